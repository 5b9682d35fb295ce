#pragma once
// The car where a test puts it, for the map page's route commands: its fix
// is the test's to set; the tracker's lock is always free.

#include "screens/MapCarSource.h"

#include <optional>

namespace Screens {

struct FakeCar : MapCarSource {
    std::optional<CarFix> fix;
    bool tryTakeCarState() override { return true; }
    void releaseCarState() override {}
    std::optional<CarFix> currentFix() override { return fix; }
    Positioning::CarState shownCar() override { return {}; }
    float unitsPerMetre() override { return 1.0f; }
    GuidanceState guidance() override { return {}; }
    std::optional<WarnedObject> warnedObject() override { return std::nullopt; }
};

} // namespace Screens
