#include "render/FixedTransform.h"

#include "render/detail/EdgeWalker.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace xe {

using detail::i128;
using detail::i64;

FixedMatrix& fixedMatrix2d() {
    static FixedMatrix matrix{};
    return matrix;
}

std::int32_t toFixed(float value, float bound, int fractionBits) {
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(value)) return 0;
    if (value > bound) return highest;
    if (value < -bound) return lowest;
    // Exact in double: a float scaled by a power of two, plus one half.
    const double half = static_cast<double>(value) * static_cast<double>(i64{1} << fractionBits) + 0.5;
    // Its floor by truncation when it fits 64 bits (every bound the camera
    // uses keeps it below 2^33), with no call into the C library: the camera
    // converts two matrices whenever it moves to another cell.
    if (half > -9.0e18 && half < 9.0e18) {
        i64 floored = static_cast<i64>(half);
        if (static_cast<double>(floored) > half) --floored;
        return static_cast<std::int32_t>(std::clamp<i64>(floored, lowest, highest));
    }
    return half > 0.0 ? highest : lowest;
}

void toFixedMatrix(const float* source, FixedMatrix& destination) {
    for (int i = 0; i < 12; ++i)
        destination[i] = toFixed(source[i], 256.0f, 24);
    for (int i = 12; i < 16; ++i)
        destination[i] = toFixed(source[i], 262144.0f, 14);
}

namespace {

i64 magnitude(std::int32_t v) {
    return v < 0 ? -i64{v} : i64{v};
}

} // namespace

void transformPoints(int count, const Point* source, Point* destination) {
    const FixedMatrix& m = fixedMatrix2d();
    // A view's scale is far below the fixed range: with |M0| + |M4| and
    // |M1| + |M5| at most 2^30 the sums (coordinates at most 2^32) stay
    // within 2^62, and 64 bits give the same pixels.
    constexpr i64 small = i64{1} << 30;
    if (magnitude(m[0]) + magnitude(m[4]) <= small && magnitude(m[1]) + magnitude(m[5]) <= small) {
        // The matrix in locals: the points stored could alias it.
        const i64 m0 = m[0], m1 = m[1], m4 = m[4], m5 = m[5], m12 = m[12], m13 = m[13];
        for (int i = 0; i < count; ++i) {
            const i64 x = toFixedCoordinate(source[i].x);
            const i64 y = toFixedCoordinate(source[i].y);
            const i64 fx = ((x * m0 + y * m4) >> 24) + m12;
            const i64 fy = ((x * m1 + y * m5) >> 24) + m13;
            destination[i] = Point{static_cast<std::int32_t>((fx + 0x2000) >> 14),
                                   static_cast<std::int32_t>((fy + 0x2000) >> 14)};
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        const i128 x = toFixedCoordinate(source[i].x);
        const i128 y = toFixedCoordinate(source[i].y);
        // |x|, |y| <= 2^32 and |M| <= 2^31: the sums stay within 2^64, the
        // pixels within 2^27.
        const i64 fx = static_cast<i64>((x * m[0] + y * m[4]) >> 24) + m[12];
        const i64 fy = static_cast<i64>((x * m[1] + y * m[5]) >> 24) + m[13];
        destination[i] = Point{static_cast<std::int32_t>((fx + 0x2000) >> 14),
                               static_cast<std::int32_t>((fy + 0x2000) >> 14)};
    }
}

void transformOffsets(int count, std::int32_t width, const Point* normals, std::int32_t normalLength,
                      Point* destination) {
    if (normalLength == 0) {
        std::fill(destination, destination + count, Point{});
        return;
    }
    const FixedMatrix& m = fixedMatrix2d();
    const i64 k = (i64{width} * (i64{1} << 24)) / normalLength;
    constexpr i128 limit = i128{1} << 30;
    // Normal components up to `within` keep |a|, |b| times |M0| + |M4| (and
    // |M1| + |M5|) within 2^63: 64 bits give the same offsets. Road normals
    // are short, so nearly all take this way.
    const i64 sums = std::max({magnitude(m[0]) + magnitude(m[4]), magnitude(m[1]) + magnitude(m[5]), i64{1}});
    const i64 within = INT64_MAX / sums / std::max<i64>(k < 0 ? -k : k, 1);
    // The matrix in locals: the offsets stored could alias it.
    const i64 m0 = m[0], m1 = m[1], m4 = m[4], m5 = m[5];
    for (int i = 0; i < count; ++i) {
        if (magnitude(normals[i].x) <= within && magnitude(normals[i].y) <= within) {
            const i64 a = normals[i].x * k;
            const i64 b = normals[i].y * k;
            const i64 ox = (((a * m0 + b * m4) >> 34) + 0x2000) >> 14;
            const i64 oy = (((a * m1 + b * m5) >> 34) + 0x2000) >> 14;
            destination[i] = Point{static_cast<std::int32_t>(std::clamp<i64>(ox, -(i64{1} << 30), i64{1} << 30)),
                                   static_cast<std::int32_t>(std::clamp<i64>(oy, -(i64{1} << 30), i64{1} << 30))};
            continue;
        }
        // |a|, |b| < 2^87 and |M| <= 2^31: the sums stay within 2^119.
        const i128 a = i128{normals[i].x} * k;
        const i128 b = i128{normals[i].y} * k;
        const i128 ox = (((a * m[0] + b * m[4]) >> 34) + 0x2000) >> 14;
        const i128 oy = (((a * m[1] + b * m[5]) >> 34) + 0x2000) >> 14;
        destination[i] = Point{static_cast<std::int32_t>(std::clamp(ox, -limit, limit)),
                               static_cast<std::int32_t>(std::clamp(oy, -limit, limit))};
    }
}

} // namespace xe
