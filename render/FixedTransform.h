#pragma once
// The fixed-point view transform of the 2D renderer and the conversions the
// map camera uses to write it.

#include "render/Canvas.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace xe {

// Sixteen i32 in the camera's element order (column-major, element index =
// column * 4 + row, acting on column vectors): elements 0 to 11 with 24
// fraction bits, 12 to 15 with 14 fraction bits.
using FixedMatrix = std::array<std::int32_t, 16>;

// The process-wide 2D view transform, written by the map camera (with
// toFixedMatrix from its float 2D object matrix) whenever it sets a cell
// origin, read by the 2D renderer. Main thread only.
FixedMatrix& fixedMatrix2d();

// Float 4x4 (column-major) to the fixed format. Elements 0 to 11: above 256
// gives INT32_MAX, below -256 INT32_MIN, else floor(v * 2^24 + 0.5), which
// saturates at the i32 limits too (so values between 128 and 256 no longer
// wrap to the wrong sign); elements 12 to 15 likewise with the bound 262144
// and 14 fraction bits. NaN gives 0.
void toFixedMatrix(const float* source, FixedMatrix& destination);

// One float to fixed point with the given fraction bits, saturating at the
// i32 limits (and at +-bound first); NaN gives 0. For other fixed formats of
// the camera (the 3D viewport uses fractionBits 8, bound 2^24).
std::int32_t toFixed(float value, float bound, int fractionBits);

// A level coordinate in fixed form (14 fraction bits). The value is kept in
// 64 bits so that coordinates up to +-262144 stay exact; beyond that it
// saturates to the edge of the fixed range, +-(262144 << 14). Inline: the 3D
// renderer takes every point through it.
inline std::int64_t toFixedCoordinate(std::int32_t c) {
    constexpr std::int64_t limit = 262144;
    return std::clamp<std::int64_t>(c, -limit, limit) * (std::int64_t{1} << 14);
}

// 2D point transform with the current fixed matrix M: X = ((x M0 + y M4) >>
// 24) + M12, Y = ((x M1 + y M5) >> 24) + M13 on fixed coordinates, then the
// pixel ((X + 0x2000) >> 14, (Y + 0x2000) >> 14).
void transformPoints(int count, const Point* source, Point* destination);

// 2D offset transform: each normal (length normalLength) scaled to width and
// taken through the rotation and scale of the view, without translation;
// results beyond +-2^30 pixels are clamped there. Zero offsets when
// normalLength is 0.
void transformOffsets(int count, std::int32_t width, const Point* normals, std::int32_t normalLength,
                      Point* destination);

} // namespace xe
