#include "map/FloatMath.h"

#include <cmath>

namespace Map {

double fastSin(float radians) {
    return std::sin(static_cast<double>(radians));
}

double fastCos(float radians) {
    return std::cos(static_cast<double>(radians));
}

double fastTan(float radians) {
    return std::tan(static_cast<double>(radians));
}

float floatAtan2(float y, float x) {
    return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

std::int32_t headingDegrees(const float vector[2]) {
    const float degrees = floatAtan2(vector[0], vector[1]) * 57.295780181884766f;
    if (std::isnan(degrees)) return 0;
    // |degrees| <= 180.00001: the truncation always fits.
    std::int32_t whole = static_cast<std::int32_t>(degrees);
    if (whole < 0) whole += 360;
    return whole;
}

} // namespace Map
