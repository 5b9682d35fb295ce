#include "map/LevelFrame.h"

#include "core/FloatToInt.h"
#include "map/Level.h"

#include <cmath>
#include <limits>

namespace Map {

namespace {

// Float to i32 truncating towards zero, saturating instead of overflowing.
std::int32_t truncateToInt(float v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

} // namespace

LevelFrame LevelFrame::of(const Level& level) {
    return LevelFrame{level.coordinateBits(), level.cellShift(), level.originX(), level.originY()};
}

double LevelFrame::unit() const {
    // A positive power of two for every b; b = 1 would make the signed
    // integer 1 << 31 negative, so the factor is never taken from an int.
    return std::ldexp(1.0, static_cast<int>((32u - coordinateBits) & 31u));
}

std::uint32_t LevelFrame::originShift() const {
    return (32u + cellShift - coordinateBits) & 31u;
}

LocalPoint LevelFrame::toLocal(Point point) const {
    const std::uint32_t s = originShift();
    const auto dx = static_cast<std::int32_t>(static_cast<std::uint32_t>(point.x) - (originX << s));
    const auto dy = static_cast<std::int32_t>(static_cast<std::uint32_t>(point.y) - (originY << s));
    const double inverse = 1.0 / unit();
    return LocalPoint{static_cast<float>(dx * inverse), static_cast<float>(dy * inverse)};
}

Point LevelFrame::toGlobal(LocalPoint local) const {
    const std::uint32_t s = originShift();
    const double f = unit();
    const std::int32_t rx = xe::floorToInt(static_cast<float>(static_cast<double>(local.x) * f + 0.5));
    const float yScaled = static_cast<float>(static_cast<double>(local.y) * f);
    const std::int32_t ry = xe::floorToInt(static_cast<float>(static_cast<double>(yScaled) + 0.5));
    return Point{static_cast<std::int32_t>((originX << s) + static_cast<std::uint32_t>(rx)),
                 static_cast<std::int32_t>((originY << s) + static_cast<std::uint32_t>(ry))};
}

CellSplit LevelFrame::splitToCell(LocalPoint local) const {
    const std::int64_t n = cellSize();
    const std::int64_t ix = truncateToInt(local.x) / n;
    const std::int64_t iy = truncateToInt(local.y) / n;
    return CellSplit{static_cast<std::int32_t>(ix), static_cast<std::int32_t>(iy),
                     static_cast<float>(static_cast<double>(local.x) - static_cast<double>(ix * n)),
                     static_cast<float>(static_cast<double>(local.y) - static_cast<double>(iy * n))};
}

CellPosition LevelFrame::cellOf(std::int32_t x, std::int32_t y) const {
    const std::uint32_t c = cellShift & 31u;
    const std::int32_t mask = static_cast<std::int32_t>((std::uint32_t{1} << c) - 1);
    return CellPosition{x >> c, y >> c, x & mask, y & mask};
}

float LevelFrame::scaleFactor(const LevelFrame& a, const LevelFrame& b) {
    return std::ldexp(1.0f, static_cast<int>(b.coordinateBits) - static_cast<int>(a.coordinateBits));
}

} // namespace Map
