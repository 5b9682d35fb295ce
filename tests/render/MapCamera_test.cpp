#include "render/MapCamera.h"

#include "render/FixedTransform.h"
#include "render/Renderer3d.h"
#include "render/ViewPreparation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kDegrees = 0.01745329238474369f;

// A camera over a level of 24 coordinate bits (one level unit = 256 global
// units), 800 x 480, 60 degrees field of view, centre near the origin of the
// frame.
struct CameraFixture {
    Threading::SdlMutex mutex{"atlas mutex"};
    Map::AtlasViewFields view{mutex};
    std::vector<Map::StateRecord> records;
    MapCamera camera;
    Map::LevelFrame frame{24, 6, 100, 200};
    Map::Point centre;

    explicit CameraFixture(std::uint8_t mode, float anchor = 0.2f) {
        camera.setViewport(800, 480, 60 * kDegrees);
        camera.setAnchorFraction(anchor);
        camera.setMode(mode);
        centre = frame.toGlobal(Map::LocalPoint{1000.0f, 2000.0f});
        camera.setCentre(centre);
        camera.setScale(1.0f / 256); // one pixel per level unit
        camera.setupForLevel(frame);
    }

    Map::StateRecord record() const {
        Map::StateRecord r;
        r.frame = frame;
        r.levelScale = camera.scale() * 256;
        const Map::LocalPoint c = frame.toLocal(camera.centre());
        r.centreX = c.x;
        r.centreY = c.y;
        return r;
    }
};

TEST(MapCamera, RotationNinetyDegreesPutsEastUp) {
    for (std::uint8_t mode : {0, 1}) {
        CameraFixture f(mode, 0.5f);
        f.camera.setRotation(f.view, kPi / 2);
        EXPECT_EQ(f.view.redrawRequest(), 2u);
        f.camera.setupForLevel(f.frame);
        xe::Point centre;
        xe::Point east;
        xe::Point north;
        ASSERT_TRUE(f.camera.mapToScreen(f.centre, centre));
        ASSERT_TRUE(f.camera.mapToScreen(f.frame.toGlobal(Map::LocalPoint{1030.0f, 2000.0f}), east));
        ASSERT_TRUE(f.camera.mapToScreen(f.frame.toGlobal(Map::LocalPoint{1000.0f, 2030.0f}), north));
        EXPECT_LT(east.y, centre.y - 10) << int{mode};
        EXPECT_NEAR(east.x, centre.x, 1) << int{mode};
        EXPECT_LT(north.x, centre.x - 10) << int{mode}; // north turns to the left
    }
    CameraFixture f(0);
    f.view.takeRedrawRequest();
    f.camera.rotateBy(f.view, 0.25f);
    EXPECT_EQ(f.view.redrawRequest(), 1u);
    f.camera.rotateBy(f.view, 0.25f);
    EXPECT_FLOAT_EQ(f.camera.rotation(), 0.5f);
}

TEST(MapCamera, TiltPresets) {
    CameraFixture f(1, 1.0f / 3);
    f.view.zoomStep = 1;
    f.view.metresPer40Pixels = 110;
    f.camera.applyTiltPreset(f.view);
    EXPECT_NEAR(f.camera.tilt(), 48.5f * kDegrees, 1e-6);
    EXPECT_NEAR(f.camera.farFraction(), 0.1f, 1e-7);
    EXPECT_EQ(f.view.redrawRequest(), 2u);
    EXPECT_NEAR(f.camera.axisTilt(), f.camera.tilt() - f.camera.angleA(), 1e-6);

    f.view.zoomStep = 3; // modulo 3: preset 0, at or below the first key
    f.camera.applyTiltPreset(f.view);
    EXPECT_NEAR(f.camera.tilt(), 60 * kDegrees, 1e-6);
    EXPECT_EQ(f.camera.farFraction(), 0.0f);

    f.view.zoomStep = 2;
    f.view.metresPer40Pixels = 5;
    f.camera.applyTiltPreset(f.view);
    EXPECT_NEAR(f.camera.tilt(), 25 * kDegrees, 1e-6);
    EXPECT_NEAR(f.camera.farFraction(), 0.3f, 1e-7);

    // Above the last key: the last entry, 90 degrees, clamped to 89 above A
    // (A = 0 with the centre in the middle of the screen).
    f.view.metresPer40Pixels = 5000;
    f.camera.applyTiltPreset(f.view);
    EXPECT_NEAR(f.camera.tilt(), 90 * kDegrees, 1e-6); // A + 89 is above 90 here
    CameraFixture middle(1, 0.5f);
    middle.view.metresPer40Pixels = 5000;
    middle.camera.applyTiltPreset(middle.view);
    EXPECT_EQ(middle.camera.angleA(), 0.0f);
    EXPECT_NEAR(middle.camera.tilt(), 1.553343f, 1e-6);
    middle.camera.setupForLevel(middle.frame);
    xe::Point p;
    EXPECT_TRUE(middle.camera.mapToScreen(middle.centre, p));
    // Below the lower bound: 1 degree above A.
    middle.camera.setAnchorFraction(0.0f);
    middle.view.zoomStep = 2;
    middle.view.metresPer40Pixels = 1;
    middle.camera.applyTiltPreset(middle.view);
    EXPECT_NEAR(middle.camera.tilt(), middle.camera.angleA() + kDegrees, 1e-6);

    // An unknown scale uses the first entry.
    f.view.metresPer40Pixels = NAN;
    f.camera.applyTiltPreset(f.view);
    EXPECT_NEAR(f.camera.tilt(), 25 * kDegrees, 1e-6);

    // Between the second and third keys.
    f.view.metresPer40Pixels = 750;
    f.camera.applyTiltPreset(f.view);
    EXPECT_NEAR(f.camera.tilt(), 75 * kDegrees, 1e-5);
}

TEST(MapCamera, ShallowAxisKeepsAFiniteFarPlane) {
    CameraFixture f(1, 0.2f);
    // A tilt close to angle B: the far row would look above the horizon.
    f.camera.setTilt(f.camera.angleA() + f.camera.angleB() + 0.001f);
    f.camera.setupForLevel(f.frame);
    EXPECT_TRUE(std::isfinite(f.camera.farDistance()));
    EXPECT_NEAR(f.camera.farDistance(),
                std::cos(f.camera.angleB()) * f.camera.eyeZ() / std::sin(0.034906585f), 1e-2);
    for (float v : f.camera.viewProjection())
        EXPECT_TRUE(std::isfinite(v));
}

TEST(MapCamera, ProjectThenUnprojectWithinHalfAPixel) {
    for (std::uint8_t mode : {0, 1}) {
        for (float rotation : {0.0f, 0.7f, -2.0f}) {
            CameraFixture f(mode, 0.2f);
            f.camera.setRotation(f.view, rotation);
            f.camera.setupForLevel(f.frame);
            int checked = 0;
            for (int y = 0; y < 480; y += 37) {
                for (int x = 0; x < 800; x += 53) {
                    Map::Point ground;
                    if (!f.camera.screenToMap(xe::Point{x, y}, ground)) {
                        EXPECT_NE(mode, 0) << "2D maps every pixel";
                        continue;
                    }
                    xe::FloatPoint back;
                    ASSERT_TRUE(f.camera.projectPoint(f.frame.toLocal(ground), false, back));
                    EXPECT_NEAR(back.x, x, 0.5) << int{mode} << " " << rotation << " " << x << "," << y;
                    EXPECT_NEAR(back.y, y, 0.5) << int{mode} << " " << rotation << " " << x << "," << y;
                    ++checked;
                }
            }
            EXPECT_GT(checked, 100);
        }
    }
}

TEST(MapCamera, ObjectOriginLoadsBothRenderers) {
    CameraFixture f(1, 0.2f);
    f.camera.setOrigin(15, 31); // cell shift 6: origin (960, 1984)
    xe::FixedMatrix expected;
    xe::toFixedMatrix(f.camera.object3d().data(), expected);
    EXPECT_EQ(xe::fixedMatrix3d(), expected);
    xe::toFixedMatrix(f.camera.object2d().data(), expected);
    EXPECT_EQ(xe::fixedMatrix2d(), expected);
    // An anchor relative to the origin lands where the level point does.
    xe::Point anchor;
    ASSERT_TRUE(f.camera.projectAnchor(Map::LocalPoint{40.0f, 16.0f}, anchor));
    xe::Point direct;
    ASSERT_TRUE(f.camera.mapToScreen(f.centre, direct));
    EXPECT_NEAR(anchor.x, direct.x, 1);
    EXPECT_NEAR(anchor.y, direct.y, 1);
    // Behind the eye: outside the near plane.
    EXPECT_FALSE(f.camera.projectAnchor(Map::LocalPoint{40.0f, -5000.0f}, anchor));
    xe::FloatPoint unclipped;
    EXPECT_TRUE(f.camera.projectPoint(Map::LocalPoint{1000.0f, -3000.0f}, false, unclipped));
    EXPECT_FALSE(f.camera.projectPoint(Map::LocalPoint{1000.0f, -3000.0f}, true, unclipped));

    // The pattern matrix maps screen pixels to level units times the level
    // scale.
    CameraFixture flat(0, 0.5f);
    const MapCamera::Matrix& pm = flat.camera.patternMatrix();
    EXPECT_NEAR(pm[0] * 410 + pm[4] * 240 + pm[12], 1010.0f, 1e-2);
    EXPECT_NEAR(pm[1] * 400 + pm[5] * 220 + pm[13], 2020.0f, 1e-2);

    // Raising the ground by h and putting it back.
    MapCamera::Matrix saved;
    const MapCamera::Matrix m3 = f.camera.viewProjection();
    f.camera.setupScreenScale(5.0f, saved);
    EXPECT_EQ(saved, m3);
    EXPECT_NE(f.camera.viewProjection(), m3);
    f.camera.restoreScreenScale(saved);
    EXPECT_EQ(f.camera.viewProjection(), m3);
}

} // namespace
