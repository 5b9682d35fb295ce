#pragma once
// GPX 1.1 waypoint files of a category: the reader takes the waypoints of
// any GPX file (other content is skipped), the writer writes the live
// points of a category in the schema's element order. The program's own
// fields (uses, id, proximity) go into "extensions" under the private
// namespace `Gpx::ExtensionsNamespace` (prefix "mirel"); the reader also
// takes them unprefixed, as older files of the program wrote them.

#include "map/Point.h"
#include "userdata/WayPoint.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class WaypointStyles;

namespace Gpx {

inline constexpr char ExtensionsNamespace[] = "urn:mirel:gpx:waypoint-extensions:1";
// Proximity radii beyond this are clamped: a waypoint warns of a place, not
// of a region.
inline constexpr float MaxRadiusMetres = 100000.0f;
inline constexpr float MaxSpeedKmh = 1000.0f;

struct ReadPoint {
    StoredWayPoint point;
    std::int32_t boxHalfSize = 1; // the point's box in the R-tree, map units
};

// The waypoints of one document, in document order. `text` is parsed in
// place. Throws std::runtime_error("Invalid GPX file") when there is no
// top-level "gpx" element or the nesting is too deep to parse, and the XML
// parser's exception on malformed text. Waypoints without "lat" or "lon" or
// with coordinates off the globe (not finite, |latitude| >= 90,
// |longitude| > 180, as the file writes them) are skipped. A point keeps
// the file's degrees (StoredWayPoint::fileDegrees); its position is their
// projection, held at the map's edge beyond 85.05 degrees of latitude.
std::vector<ReadPoint> readWaypoints(std::string& text, WaypointStyles* styles, std::uint8_t category);

// Where the writer puts a point: its degrees, and their text as the "lat"
// and "lon" attributes give it (the file's own where the point has not
// moved from it).
struct WrittenPlace {
    Map::GeoPoint geo;
    std::string latitude;
    std::string longitude;
};
WrittenPlace writtenPlace(const StoredWayPoint& point);

// The whole file for the points, in their order.
std::string writeWaypoints(std::span<const StoredWayPoint* const> points, WaypointStyles* styles);

// True for a place a waypoint can stand on: both finite, |latitude| < 90
// (the map cannot show a pole), |longitude| <= 180. Every reader of
// waypoint positions from outside (files, the online service) checks this.
bool isOnGlobe(double latitude, double longitude);

// A coordinate with as few decimals as give the same float back, at most 9.
std::string formatCoordinate(float degrees);
// The same for a coordinate read from a file, at most 15 decimals.
std::string formatCoordinate(double degrees);
// UTF-8, XML-escaped text without the characters XML 1.0 cannot carry
// (controls other than tab, line feed and carriage return, unpaired
// surrogates, U+FFFE and U+FFFF); tab, line feed and carriage return become
// character references so they survive attribute normalisation.
std::string escapeText(std::u16string_view text);
// A category name made safe to be a file name: path separators and control
// characters become "_", leading dots and blanks are dropped, the UTF-8
// length is cut to what a file system takes beside ".gpx"; empty gives "_".
std::u16string safeFileStem(std::u16string_view name);

} // namespace Gpx
