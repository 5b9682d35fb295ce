#pragma once
// The map camera's persistent fields: what camera.kvc saves and the atlas
// restores. The map camera of the drawing code keeps the live values; the
// atlas reaches them through Map::CameraAccess (AtlasServices.h) and keeps
// this copy when no camera is attached.

#include <cstdint>

namespace Map {

struct CameraFields {
    std::int32_t centreX = 0; // global map units
    std::int32_t centreY = 0;
    float scale = 1.0f;    // screen pixels per global map unit
    float rotation = 0.0f; // radians, bearing of the screen's up direction
    std::uint8_t mode = 0; // 0 2D, 1 3D

    bool operator==(const CameraFields&) const = default;
};

} // namespace Map
