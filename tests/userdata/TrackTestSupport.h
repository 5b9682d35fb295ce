#pragma once
// Fixes, a hand-driven clock and raw track files for the track tests.

#include "map/Projection.h"
#include "positioning/Clock.h"
#include "positioning/Fix.h"
#include "userdata/TrackFile.h"

#include <cstdint>
#include <string>

namespace TrackTest {

// A fix at (latitude, longitude) with its map point from the projection.
inline Positioning::Fix fixAt(float latitude, float longitude) {
    Positioning::Fix fix;
    fix.dateTime = {9, 12, 2010, 13, 5, 7, 0};
    fix.latitude = latitude;
    fix.longitude = longitude;
    const Map::Point p = Map::Projection::fromGeo(latitude, longitude);
    fix.x = p.x;
    fix.y = p.y;
    return fix;
}

// The i-th fix of a walk eastwards along 55.75 N.
inline Positioning::Fix walkFix(int i) {
    return fixAt(55.75f, 37.5f + 0.0001f * static_cast<float>(i));
}

class ManualClock : public Positioning::Clock {
  public:
    std::uint32_t now = 0;
    Positioning::DateTime local{7, 12, 2026, 1, 2, 3, 0};
    std::uint32_t ticksMs() const override { return now; }
    Positioning::DateTime localTime() const override { return local; }
};

// A version-0x0100 header with the given count and no properties.
inline std::string trackHeader(std::uint16_t count, std::uint16_t version = TrackFile::Version1) {
    std::string h(TrackFile::HeaderSize, '\0');
    h[0] = 'R', h[1] = 'T', h[2] = 'P', h[3] = 'G';
    h[4] = static_cast<char>(version & 0xFF), h[5] = static_cast<char>(version >> 8);
    h[6] = static_cast<char>(count & 0xFF), h[7] = static_cast<char>(count >> 8);
    return h;
}

// Records of walkFix(0) .. walkFix(n - 1).
inline std::string trackRecords(int n) {
    std::string bytes;
    for (int i = 0; i < n; ++i) {
        std::uint8_t r[TrackFile::RecordSize];
        TrackFile::encodeRecord(walkFix(i), r);
        bytes.append(reinterpret_cast<const char*>(r), sizeof r);
    }
    return bytes;
}

} // namespace TrackTest
