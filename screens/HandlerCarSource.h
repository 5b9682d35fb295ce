#pragma once
// The map page's car: the map events handler's tracked car and guidance, or,
// while the demo drives, the demo's car and guidance. The frame also steps
// the demo drive on the handler's clock.

#include "screens/MapCarSource.h"

namespace Screens {

class HandlerNavigation;

class HandlerCarSource : public MapCarSource {
public:
    explicit HandlerCarSource(HandlerNavigation& navigation) : m_navigation(navigation) {}

    bool tryTakeCarState() override;
    void releaseCarState() override;
    void onFrame() override;
    std::optional<CarFix> currentFix() override;
    Positioning::CarState shownCar() override;
    float unitsPerMetre() override;
    GuidanceState guidance() override;
    std::optional<WarnedObject> warnedObject() override;

private:
    HandlerNavigation& m_navigation;
};

} // namespace Screens
