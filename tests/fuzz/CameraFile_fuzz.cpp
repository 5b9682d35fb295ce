// camera.kvc: whatever it accepts must be a camera the map view can use.
#include "map/CameraFile.h"
#include "tests/fuzz/FuzzInput.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    Map::CameraFields camera;
    std::uint32_t selector = 0;
    if (!Map::CameraFile::read(FuzzInput::scratchFile("camera.kvc", data, size), camera, selector))
        return 0;
    if (!std::isfinite(camera.scale) || camera.scale < Map::CameraFile::MinScale ||
        camera.scale > Map::CameraFile::MaxScale || !std::isfinite(camera.rotation) || camera.mode > 1 ||
        selector > 3)
        __builtin_trap();
    return 0;
}
