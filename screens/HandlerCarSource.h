#pragma once
// The map page's car: the map events handler's tracked car and guidance, or,
// while the demo drives, the demo's car and guidance. While the demo drives
// the map page's tick steps it alone, on the handler's clock; the handler's
// own frame (HandlerNavigation::frame) waits until the demo ends.

#include "screens/MapCarSource.h"

namespace Screens {

class HandlerNavigation;

class HandlerCarSource : public MapCarSource {
public:
    explicit HandlerCarSource(HandlerNavigation& navigation) : m_navigation(navigation) {}

    bool tryTakeCarState() override;
    void releaseCarState() override;
    bool stepDemo() override;
    std::optional<CarFix> currentFix() override;
    Positioning::CarState shownCar() override;
    float unitsPerMetre() override;
    GuidanceState guidance() override;
    std::optional<WarnedObject> warnedObject() override;

private:
    HandlerNavigation& m_navigation;
};

} // namespace Screens
