#include "map/Projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>

namespace {

using Map::Point;

// The spacing of f32 values around a map coordinate: 1 below 2^24, up to 128
// near 2^31.
double quantum(std::int32_t v) {
    const double magnitude = std::fabs(static_cast<double>(v));
    return magnitude < 16777216.0 ? 1.0 : std::ldexp(1.0, std::ilogb(magnitude) - 23);
}

unsigned seed() {
    const char* text = std::getenv("MIREL_TEST_SEED");
    return text != nullptr ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 11u;
}
using Map::Projection::fromGeo;
using Map::Projection::toGeo;

TEST(Projection, SeriesCoefficientsAreBitExact) {
    const auto& c = Map::Projection::seriesCoefficients();
    EXPECT_EQ(c.c2, 5.620696003546946e-06);
    EXPECT_EQ(c.c4, 1.842879609262426e-11);
    EXPECT_EQ(c.c6, 8.286612335852064e-17);
    EXPECT_EQ(c.c8, 4.236761390290161e-22);
}

TEST(Projection, ForwardReferenceValues) {
    // Values computed independently from the conversion steps with explicit
    // single-precision rounding.
    EXPECT_EQ(fromGeo(0.0f, 0.0f), (Point{0, 0}));
    EXPECT_EQ(fromGeo(55.75f, 37.6167f), (Point{448784704, 804736512}));
    EXPECT_EQ(fromGeo(-33.8688f, 151.2093f), (Point{1803997312, -429888704}));
    EXPECT_EQ(fromGeo(45.0f, -90.0f), (Point{-1073741824, 602470976}));
    EXPECT_EQ(fromGeo(0.001f, 0.001f), (Point{11930, 11930}));
    EXPECT_EQ(fromGeo(-85.0f, -179.5f), (Point{-2141518464, -2140440832}));
    // Large coordinates come out as multiples of 128 (f32 rounding).
    EXPECT_EQ(fromGeo(0.0f, 179.99999f).x % 128, 0);
}

TEST(Projection, LongitudeWrapsAtTheAntimeridian) {
    EXPECT_EQ(fromGeo(0.0f, 180.0f).x, INT32_MIN);
    EXPECT_EQ(fromGeo(0.0f, -180.0f).x, INT32_MIN);
    EXPECT_EQ(fromGeo(0.0f, 90.0f).x, 1 << 30);
    EXPECT_EQ(toGeo(Point{INT32_MIN, 0}).longitude, -180.0f);
}

TEST(Projection, PolesAreClampedToTheMercatorLimit) {
    const Point limit = fromGeo(Map::Projection::kMaxLatitude, 0.0f);
    EXPECT_EQ(limit.y, 2147483392);
    EXPECT_EQ(fromGeo(90.0f, 10.0f).y, limit.y);
    EXPECT_EQ(fromGeo(85.06f, 10.0f).y, limit.y);
    EXPECT_EQ(fromGeo(-90.0f, 10.0f).y, -limit.y);
    EXPECT_EQ(fromGeo(INFINITY, 0.0f).y, limit.y);
    EXPECT_EQ(fromGeo(-INFINITY, 0.0f).y, -limit.y);
    // Order is kept up to the limit.
    EXPECT_LT(fromGeo(85.0f, 0.0f).y, limit.y);
    EXPECT_EQ(fromGeo(NAN, 0.0f).y, 0);
    EXPECT_NEAR(toGeo(limit).latitude, 85.0511856f, 1e-5);
    EXPECT_NEAR(toGeo(Point{0, INT32_MAX}).latitude, 85.05113f, 1e-4);
    EXPECT_NEAR(toGeo(Point{0, INT32_MIN}).latitude, -85.05113f, 1e-4);
}

TEST(Projection, InverseReferenceValuesAndRoundTrip) {
    const Map::GeoPoint origin = toGeo(Point{0, 0});
    EXPECT_EQ(origin.latitude, 0.0f);
    EXPECT_EQ(origin.longitude, 0.0f);
    EXPECT_NEAR(toGeo(Point{448784704, 804736512}).latitude, 55.75f, 2e-5);
    EXPECT_NEAR(toGeo(Point{448784704, 804736512}).longitude, 37.6167f, 2e-5);
    EXPECT_NEAR(toGeo(Point{-1073741824, 602470976}).latitude, 45.0f, 2e-5);

    std::mt19937 random(seed());
    std::uniform_real_distribution<float> latitude(-85.0f, 85.0f);
    std::uniform_real_distribution<float> longitude(-180.0f, 180.0f);
    for (int i = 0; i < 20000; ++i) {
        // Degrees -> map -> degrees: within one map quantum (the f32 spacing
        // of the coordinate, turned into degrees) plus one f32 step of the
        // degrees themselves. The ordinate's derivative is the spherical one
        // (the ellipsoid differs by 0.3 %), hence the factor 1.5.
        const float lat = latitude(random);
        const float lon = longitude(random);
        const Point p = fromGeo(lat, lon);
        const Map::GeoPoint g = toGeo(p);
        const double unitDegrees = 180.0 / 2147483648.0;
        const double lonTolerance =
            quantum(p.x) * unitDegrees + (std::nextafter(std::fabs(lon), 1000.0f) - std::fabs(lon));
        const double latTolerance = quantum(p.y) * unitDegrees * std::cos(lat * 0.017453292519943295) +
                                    (std::nextafter(std::fabs(lat), 1000.0f) - std::fabs(lat));
        EXPECT_LE(std::fabs(static_cast<double>(g.longitude) - lon), lonTolerance) << lat << "," << lon;
        EXPECT_LE(std::fabs(static_cast<double>(g.latitude) - lat), 1.5 * latTolerance) << lat << "," << lon;

        // Map -> degrees -> map: the degree floats add their own rounding, so
        // a map point comes back within a few quanta (measured: 2 for x, up
        // to 7 for y near the latitude limit).
        const Point back = fromGeo(g.latitude, g.longitude);
        EXPECT_LE(std::fabs(static_cast<double>(back.x) - p.x), 2.0 * quantum(p.x)) << lat << "," << lon;
        EXPECT_LE(std::fabs(static_cast<double>(back.y) - p.y), 8.0 * quantum(p.y)) << lat << "," << lon;
    }
    // Small ordinates round-trip within one unit.
    for (std::int32_t y : {1, -1, 1000, -54321, 8000000}) {
        const Point back = fromGeo(toGeo(Point{y, y}).latitude, toGeo(Point{y, y}).longitude);
        EXPECT_NEAR(back.x, y, 1);
        EXPECT_NEAR(back.y, y, 1);
    }
}

} // namespace
