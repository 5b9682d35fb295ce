#pragma once
// What crosses the wire between the online service and its server: the four
// request documents and the four replies, read into plain records. Request
// text is UTF-8; every value from the user or the server (user name,
// password, session token, waypoint texts) is XML-escaped. The reply
// readers never throw: malformed XML, a missing top-level element or a
// nesting too deep to parse give no record, and the caller logs the reply
// as invalid.

#include "map/Point.h"
#include "userdata/WayPoint.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace Monitoring::Messages {

std::string connectRequest(std::u16string_view user, std::u16string_view password);
std::string friendInfoRequest(std::string_view token);

struct TrackRequest {
    std::string token;
    std::optional<std::int32_t> minTrackId;
    std::optional<std::int32_t> minPointId;
    std::vector<std::uint32_t> friends; // whose tracks are wanted, in token order
    std::uint32_t packedSize = 0;       // 0: no track of our own to send
    std::string packedBase64;           // the compressed packed points
    Map::GeoPoint lastPosition;         // of the newest packed point
};
std::string trackRequest(const TrackRequest& request);

std::string pointRequest(std::string_view token, std::span<const std::uint32_t> receivers,
                         const WayPoint& point);

// A number attribute: an optional sign and the leading decimal digits (0
// when there are none, trailing text ignored); absent attributes are
// nothing. Values beyond 64 bits saturate, so the range checks reject them.
using Number = std::optional<std::int64_t>;

struct FriendEntry {
    Number token;
    std::optional<std::u16string> name;
};

struct TrackEntry {
    Number id;
    Number token;
    Number size;
    std::optional<std::string> value; // Base64 of the compressed packed points
};

struct PointEntry {
    Number id;
    Number token;
    std::u16string name;
    std::u16string comment;
    Number type;
    std::optional<float> latitude;
    std::optional<float> longitude;
};

// The session token; nothing when there is no "mcr" element with a
// non-empty "token".
std::optional<std::string> connectReply(std::string text);
// The "friend" children of "mfi" in document order.
std::optional<std::vector<FriendEntry>> friendsReply(std::string text);
// The "track" and "wpt" children of "mft" in document order.
std::optional<std::vector<std::variant<TrackEntry, PointEntry>>> tracksReply(std::string text);
// A reply whose first element exists and is not "error".
bool pointReply(std::string text);

} // namespace Monitoring::Messages
