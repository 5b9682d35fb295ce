#pragma once
// The map view's stored state: the camera fields that camera.kvc saves, and
// (AtlasViewState.h) the per-frame view fields and records the atlas keeps
// for the frame pipeline. Plain data; the camera maths and the frame
// pipeline that fill them live in the drawing code.

#include "map/AtlasViewState.h"

#include <cstdint>

namespace Map {

// The map camera's persistent fields.
struct CameraFields {
    std::int32_t centreX = 0; // global map units
    std::int32_t centreY = 0;
    float scale = 1.0f;       // screen pixels per global map unit
    float rotation = 0.0f;    // radians, bearing of the screen's up direction
    std::uint8_t mode = 0;    // 0 2D, 1 3D

    bool operator==(const CameraFields&) const = default;
};

} // namespace Map
