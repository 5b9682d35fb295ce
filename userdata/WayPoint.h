#pragma once
// The waypoint records: the base shared by stored and received points and
// by the search, the stored point of a category, and the category.

#include "map/Point.h"

#include <cstdint>
#include <optional>
#include <string>

struct WayPoint {
    static constexpr std::uint16_t DefaultType = 0x6613;

    std::uint8_t flag = 0; // 1 = deleted (the record keeps its index)
    std::u16string name;
    std::u16string comment; // GPX "desc" and "cmt"
    std::u16string url;     // GPX link of type "text/html"
    std::uint16_t type = DefaultType;
    Map::Point position;
    std::int32_t radius = 0; // proximity radius in map units, 0 = none
    float speed = 0.0f;      // proximity speed in m/s, 0 = none
    std::uint8_t sector = 0; // 0 = any direction, 1..240 = steps of 1.5 degrees
    std::uint32_t id = 0;    // identifier at the online service, 0 = none

    bool deleted() const { return flag == 1; }
};

struct StoredWayPoint : WayPoint {
    std::uint8_t category = 0;
    std::int32_t imageIndex = -1; // -1: the type's icon; else a position in the icon list
    std::u16string imageUrl;      // icon file name (GPX link of type "image/bmp")
    std::uint32_t uses = 0;
    // The "sym" of a file from another program, written back while the
    // point's type has no style of its own.
    std::u16string symbol;
    // The degrees its file gave it (none for a point made in the program),
    // written back as they were while the point stays where they put it:
    // a place beyond the map's reach (its projection ends at 85.05 degrees
    // of latitude) keeps its own latitude rather than the map's edge.
    struct Degrees {
        double latitude = 0.0;
        double longitude = 0.0;
    };
    std::optional<Degrees> fileDegrees;
};

struct WayPointCategory {
    std::u16string name; // the GPX file name without ".gpx"
    std::uint8_t modified = 0;
};

// Sector of a direction in degrees: floor(degrees * 2/3 + 0.5) mod 240 + 1,
// the modulo taken towards the positive side so that negative degrees work.
std::uint8_t sectorOfDegrees(std::int32_t degrees);
// Degrees of a sector 1..240: floor((sector - 1) * 1.5 + 0.5) mod 360.
std::int32_t degreesOfSector(std::uint8_t sector);
