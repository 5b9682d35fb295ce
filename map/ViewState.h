#pragma once
// The map view's stored state: the camera fields that camera.kvc saves and
// the per-frame view fields the atlas keeps for the frame pipeline. Plain
// data; the camera maths and the frame pipeline that fill them live in the
// drawing code.

#include <cstdint>

namespace Map {

class Level;

// The map camera's persistent fields.
struct CameraFields {
    std::int32_t centreX = 0; // global map units
    std::int32_t centreY = 0;
    float scale = 1.0f;       // screen pixels per global map unit
    float rotation = 0.0f;    // radians, bearing of the screen's up direction
    std::uint8_t mode = 0;    // 0 2D, 1 3D

    bool operator==(const CameraFields&) const = default;
};

// What the map view redraws next.
enum RedrawRequest : std::uint32_t { NoRedraw = 0, SmallRedraw = 1, FullRedraw = 2 };
// How far the frame on screen is drawn.
enum FrameState : std::uint32_t { FastFramePending = 0, FullFramePending = 1, FrameComplete = 2 };

// The view fields kept by the atlas. Redraw request, frame state and slow
// flag are shared with other threads and taken under the atlas mutex.
struct ViewFields {
    std::uint32_t zoomStepSelector = 0; // 0..3; tilt preset = value % 3
    std::int32_t horizonRow = -1;
    float metresPer40Pixels = 0.0f;
    std::int32_t viewBox[4] = {};       // global units: x0, y0, x1, y1
    std::uint32_t redrawRequest = FullRedraw;
    std::uint32_t frameState = FastFramePending;
    std::uint8_t slow = 0;              // the last full frame took more than 150 ms
};

// One map drawn in a frame.
struct StateRecord {
    Level* level = nullptr;
    std::uint32_t mapType = 0;
    float levelScale = 0.0f; // screen pixels per level unit
    float centreX = 0.0f;    // camera centre in level units
    float centreY = 0.0f;
    std::int32_t cells[4] = {}; // x0, y0, x1, y1 (x1, y1 exclusive)
    float corners[8] = {};      // ground corners of the visible region, level units
    std::uint8_t cover = 0;
    std::uint8_t hidden = 0;

    // World maps rank 1, country 2, region, pois, polylines and invisible 3,
    // city 4; any other type ranks as world.
    static int kindRank(std::uint32_t mapType) {
        switch (mapType) {
        case 0: return 4;
        case 1: case 4: case 5: case 6: return 3;
        case 2: return 2;
        default: return 1;
        }
    }
    // Records are drawn in ascending rank.
    static bool drawsBefore(const StateRecord& a, const StateRecord& b) {
        return kindRank(a.mapType) < kindRank(b.mapType);
    }
};

} // namespace Map
