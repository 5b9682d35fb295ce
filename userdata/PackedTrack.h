#pragma once
// The packed form in which tracks cross the wire in both directions: 20-byte
// little-endian records, oldest first, no header. The first record holds
// absolute values; each later one the difference from the record before,
// field by field, in the field's own width with wrap-around.
//
//   offset size field
//   0      8    time, u64 seconds since 1970
//   8      4    y, i32 global map ordinate (note: y before x)
//   12     4    x, i32 global map abscissa
//   16     2    altitude, i16 metres truncated toward zero
//   18     1    speed, u8 metres per second rounded, at most 255
//   19     1    heading, u8 steps of 360/256 degrees
//
// On the wire the records are zlib-compressed (level 6) and Base64-encoded.

#include "userdata/TrackCollector.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Monitoring::PackedTrack {

inline constexpr std::size_t RecordSize = 20;
// The largest unpacked chunk taken from the service. The service's size
// attribute sets an allocation, so it is bounded; a chunk holds what one
// exchange of a collector sends (at most 100 records), and this leaves
// room for servers that join several.
inline constexpr std::uint32_t MaxBytes = 64 * 1024;

std::vector<std::uint8_t> pack(std::span<const CollectedPoint> points);
// size / 20 whole records; the first is a segment start.
std::vector<CollectedPoint> unpack(std::span<const std::uint8_t> bytes);

// zlib stream of the bytes, Base64-encoded.
std::string compress(std::span<const std::uint8_t> bytes);
// The bytes of a Base64 zlib stream that inflates to exactly `size` bytes;
// nothing for a size of 0 or above MaxBytes, a broken stream, or a stream
// of another length.
std::optional<std::vector<std::uint8_t>> inflate(std::string_view base64, std::uint32_t size);

} // namespace Monitoring::PackedTrack
