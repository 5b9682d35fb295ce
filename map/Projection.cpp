#include "map/Projection.h"

#include "core/FloatToInt.h"

#include <cmath>

namespace Map::Projection {

namespace {

// The stored "eccentricity" is numerically the flattening of the ellipsoid;
// it is kept as stored because existing map points were made with it.
constexpr double kEccentricity = 0.0033528106647474805;
constexpr double kHalfEccentricity = 0.0016764053323737402;
constexpr double kEccentricitySquared = 1.1241339353644441e-05;
constexpr float kDegreesToRadians = 0.01745329238474369f;
constexpr float kRadiansToDegreesForward = 57.295780181884766f;
constexpr double kRadiansToDegreesInverse = 57.29577951308232;
constexpr float kOneOver180 = 0.0055555556900799274f;
constexpr double kTwoPow31 = 2147483648.0;
constexpr double kQuarterPi = 0.7853981633974483;
constexpr double kHalfPi = 1.5707963267948966;
constexpr float kInverseOrdinateFactor = -1.462918119976564e-09f;
constexpr float kLongitudeFactor = 8.381903171539307e-08f;
constexpr double kLog2E = 1.4426950408889634;

// The series in exactly this order of operations (the results are part of
// the format). Four of the factors differ from the correctly rounded fraction
// in the last bit on purpose.
constexpr SeriesCoefficients computeCoefficients() {
    const double x = kEccentricitySquared;
    const double x2 = x * x;
    const double x3 = x2 * x;
    const double x4 = x2 * x2;
    SeriesCoefficients c;
    c.c2 = ((x4 * 0.036111111111111115 + x2 * 0.20833333333333331) + x3 * 0.08333333333333333) + x * 0.5;
    c.c4 = (x4 * 0.07039930555555556 + x3 * 0.12083333333333333) + x2 * 0.14583333333333331;
    c.c6 = x4 * 0.07232142857142856 + x3 * 0.058333333333333334;
    c.c8 = x4 * 0.026531498015873015;
    return c;
}

// Constant-initialised: ready before any other static initialiser can convert.
constexpr SeriesCoefficients g_coefficients = computeCoefficients();

} // namespace

const SeriesCoefficients& seriesCoefficients() {
    return g_coefficients;
}

Point fromGeo(float latitude, float longitude) {
    if (latitude > kMaxLatitude) latitude = kMaxLatitude;
    if (latitude < -kMaxLatitude) latitude = -kMaxLatitude;
    const float phi = latitude * kDegreesToRadians;
    const double t = std::sin(static_cast<double>(phi)) * kEccentricity;
    const double xSum = static_cast<double>(longitude) * kOneOver180 * kTwoPow31 + 0.5;
    const double p = std::pow((1.0 - t) / (1.0 + t), kHalfEccentricity);
    const double q = std::log(std::tan(static_cast<double>(phi) * 0.5 + kQuarterPi) * p);
    const double ySum = q * kRadiansToDegreesForward * kOneOver180 * kTwoPow31 + 0.5;
    return Point{xe::floorToInt(static_cast<float>(xSum)), xe::floorToInt(static_cast<float>(ySum))};
}

GeoPoint toGeo(Point point) {
    const double a = static_cast<double>(point.y) * kInverseOrdinateFactor;
    const double w = std::exp2(a * kLog2E);
    const double chi = kHalfPi - 2.0 * std::atan2(w, 1.0);
    const SeriesCoefficients& c = g_coefficients;
    const double s =
        ((std::sin(8.0 * chi) * c.c8 + std::sin(6.0 * chi) * c.c6) + std::sin(4.0 * chi) * c.c4) +
        std::sin(2.0 * chi) * c.c2;
    GeoPoint g;
    g.latitude = static_cast<float>((chi + s) * kRadiansToDegreesInverse);
    g.longitude = static_cast<float>(static_cast<double>(point.x) * kLongitudeFactor);
    return g;
}

float scaleForMetresPer40Pixels(Point point, float metres) {
    constexpr double MetresPerUnitAtEquator = 0.00932028517127037;
    const double latitude = toGeo(point).latitude * 3.14159265358979323846 / 180.0;
    return static_cast<float>(std::cos(latitude) * MetresPerUnitAtEquator * 40.0 / metres);
}

} // namespace Map::Projection
