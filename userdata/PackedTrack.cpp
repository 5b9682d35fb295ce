#include "userdata/PackedTrack.h"

#include "core/Base64.h"
#include "userdata/detail/LittleEndian.h"

#include <zlib.h>

#include <cmath>

namespace Monitoring::PackedTrack {
namespace {

using namespace UserData::detail;

// One record's fields in their wire widths, unsigned so that differences
// and running sums wrap.
struct Fields {
    std::uint64_t time = 0;
    std::uint32_t y = 0;
    std::uint32_t x = 0;
    std::uint16_t altitude = 0;
    std::uint8_t speed = 0;
    std::uint8_t heading = 0;
};

// The value kept within [low, high]; NaN gives low.
std::int64_t clamped(double value, std::int64_t low, std::int64_t high) {
    if (!(value >= static_cast<double>(low))) return low;
    return value > static_cast<double>(high) ? high : static_cast<std::int64_t>(value);
}

std::int64_t rounded(float value, std::int64_t low, std::int64_t high) {
    return clamped(std::floor(static_cast<double>(value) + 0.5), low, high);
}

Fields fieldsOf(const CollectedPoint& p) {
    Fields f;
    f.time = p.time;
    f.y = static_cast<std::uint32_t>(p.y);
    f.x = static_cast<std::uint32_t>(p.x);
    f.altitude = static_cast<std::uint16_t>(clamped(std::trunc(p.altitude), -32768, 32767));
    f.speed = static_cast<std::uint8_t>(rounded(p.speed, 0, 255));
    // 256 steps a turn; 359.9 degrees rounds to 256, which wraps to 0.
    f.heading = static_cast<std::uint8_t>(rounded(p.heading * 0.7111111f, -(1 << 30), 1 << 30) & 0xFF);
    return f;
}

void write(std::uint8_t* at, const Fields& f) {
    putU64(at, f.time);
    putU32(at + 8, f.y);
    putU32(at + 12, f.x);
    putU16(at + 16, f.altitude);
    at[18] = f.speed;
    at[19] = f.heading;
}

Fields read(const std::uint8_t* at) {
    return {getU64(at), getU32(at + 8), getU32(at + 12), getU16(at + 16), at[18], at[19]};
}

} // namespace

std::vector<std::uint8_t> pack(std::span<const CollectedPoint> points) {
    std::vector<std::uint8_t> out(points.size() * RecordSize);
    Fields previous;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Fields f = fieldsOf(points[i]);
        Fields d = f;
        if (i > 0) {
            d.time = f.time - previous.time;
            d.y = f.y - previous.y;
            d.x = f.x - previous.x;
            d.altitude = static_cast<std::uint16_t>(f.altitude - previous.altitude);
            d.speed = static_cast<std::uint8_t>(f.speed - previous.speed);
            d.heading = static_cast<std::uint8_t>(f.heading - previous.heading);
        }
        write(out.data() + i * RecordSize, d);
        previous = f;
    }
    return out;
}

std::vector<CollectedPoint> unpack(std::span<const std::uint8_t> bytes) {
    const std::size_t n = bytes.size() / RecordSize;
    std::vector<CollectedPoint> out;
    out.reserve(n);
    Fields sum;
    for (std::size_t i = 0; i < n; ++i) {
        const Fields d = read(bytes.data() + i * RecordSize);
        sum.time += d.time;
        sum.y += d.y;
        sum.x += d.x;
        sum.altitude = static_cast<std::uint16_t>(sum.altitude + d.altitude);
        sum.speed = static_cast<std::uint8_t>(sum.speed + d.speed);
        sum.heading = static_cast<std::uint8_t>(sum.heading + d.heading);
        CollectedPoint p;
        p.segmentStart = i == 0 ? 1 : 0;
        p.time = sum.time;
        p.y = static_cast<std::int32_t>(sum.y);
        p.x = static_cast<std::int32_t>(sum.x);
        p.altitude = static_cast<float>(static_cast<std::int16_t>(sum.altitude));
        p.speed = static_cast<float>(sum.speed);
        p.heading = static_cast<float>(sum.heading) * 1.40625f;
        out.push_back(p);
    }
    return out;
}

std::string compress(std::span<const std::uint8_t> bytes) {
    const uLong n = static_cast<uLong>(bytes.size());
    std::vector<std::uint8_t> out(compressBound(n));
    uLongf length = static_cast<uLongf>(out.size());
    if (compress2(out.data(), &length, bytes.data(), n, 6) != Z_OK) return {};
    out.resize(length);
    return Core::base64Encode(out);
}

std::optional<std::vector<std::uint8_t>> inflate(std::string_view base64, std::uint32_t size) {
    if (size == 0 || size > MaxBytes) return std::nullopt;
    const std::vector<std::uint8_t> stream = Core::base64Decode(base64);
    std::vector<std::uint8_t> out(size);
    uLongf length = size;
    if (uncompress(out.data(), &length, stream.data(), static_cast<uLong>(stream.size())) != Z_OK ||
        length != size)
        return std::nullopt;
    return out;
}

} // namespace Monitoring::PackedTrack
