#pragma once
// The one map view of the program: where the map is centred, how far it is
// zoomed, how it is rotated, whether it is drawn flat (2D) or as a pitched
// perspective (3D), and the viewport it is drawn into. From these it builds
// the transforms every drawing layer uses: level-local points to screen
// pixels, screen pixels back to map points, and the transform of one cell
// whose object coordinates are relative to the cell corner, which it loads
// into the 2D and 3D renderers.
//
// Matrices are 16 floats, column-major (element index = column * 4 + row),
// acting on column vectors. Main thread only.

#include "map/AtlasViewFields.h"
#include "map/LevelFrame.h"
#include "map/Point.h"
#include "map/StateRecord.h"
#include "render/Canvas.h"
#include "render/Renderer.h"
#include "render/Renderer3d.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class MapCamera {
  public:
    using Matrix = std::array<float, 16>;

    // The singleton, built with initDefaults on first use.
    static MapCamera& instance();

    MapCamera() { initDefaults(); }
    MapCamera(const MapCamera&) = delete;
    MapCamera& operator=(const MapCamera&) = delete;

    // Mode 2D, rotation 0, tilt 70 degrees, far fraction 0.1, half field of
    // view 30 degrees, scale 1, centre (0, 0), no level frame. The anchor
    // fraction, width and height are 0 until set.
    void initDefaults();

    // The anchor fraction for a "proportion" render setting: 1 / proportion
    // (the car is drawn at (proportion - 1) / proportion of the height from
    // the top, so the map centre sits at 1 / proportion from the bottom).
    // A proportion below 1 gives 1 / 3, the default setting's value.
    static float anchorFractionFor(std::int32_t proportion);

    // --- settings -------------------------------------------------------
    std::uint8_t mode() const { return m_mode; }
    bool is3d() const { return m_mode != 0; }
    void setMode(std::uint8_t mode) { m_mode = mode; }
    float anchorFraction() const { return m_anchorFraction; }
    // Sets f1 and recomputes the angles.
    void setAnchorFraction(float fraction);
    float farFraction() const { return m_farFraction; }
    void setFarFraction(float fraction);
    float width() const { return m_width; }
    float height() const { return m_height; }
    float aspect() const { return m_aspect; }
    float halfFieldOfView() const { return m_halfFov; }
    // Half field of view in radians; recomputes the angles.
    void setHalfFieldOfView(float radians);
    float rotation() const { return m_rotation; }
    float tilt() const { return m_tilt; }
    void setTilt(float radians);
    float axisTilt() const { return m_axisTilt; }
    float angleA() const { return m_angleA; }
    float angleB() const { return m_angleB; }
    Map::Point centre() const { return m_centre; }
    void setCentre(Map::Point centre) { m_centre = centre; }
    // Screen pixels per global map unit.
    float scale() const { return m_scale; }
    void setScale(float scale) { m_scale = scale; }

    // Stores width, height, aspect and half field of view = fov / 2, updates
    // the angles and hands the screen matrix to the 3D renderer.
    void setViewport(float width, float height, float fieldOfView);
    // Angle A, angle B and the axis tilt from f1, f2, the tilt and the field
    // of view.
    void updateCameraAngles();

    // rotation += delta; redraw request 1.
    void rotateBy(Map::AtlasViewFields& view, float delta);
    // rotation := angle; redraw request 2.
    void setRotation(Map::AtlasViewFields& view, float angle);
    // Tilt and far fraction from the preset table view.zoomStep % 3 at the
    // view's metres per 40 pixels; redraw request 2.
    void applyTiltPreset(Map::AtlasViewFields& view);
    // Moves the centre so that the map point under `from` comes under `to`,
    // in the frame of the last view record that is not hidden (none: the
    // current transform); redraw request 1. A drag whose ends do not both
    // lie on the ground ahead of a 3D camera (above the horizon) is ignored
    // and requests nothing.
    void dragBy(Map::AtlasViewFields& view, const std::vector<Map::StateRecord>& records, xe::Point from,
                xe::Point to);

    // --- transforms -----------------------------------------------------
    // Eye, look-at point, far distance, projection and the 2D view centre for
    // a level-local centre and level scale (pixels per level unit).
    void setupCamera3D(Map::LocalPoint centre, float levelScale);
    // Makes the record's frame current and builds S2 with its inverse and M3.
    void setupTransform(const Map::StateRecord& record);
    // The same with no level frame: global units, centre = the camera centre
    // as floats, level scale = scale.
    void setupGlobalTransform();
    // Level scale = scale * 2^(32 - bits), centre = the camera centre in the
    // frame, then setupTransform.
    void setupForLevel(const Map::LevelFrame& frame);
    // Sets the object origin to the corner of cell (cellX, cellY) of the
    // current frame and loads both object transforms into the renderers.
    void setOrigin(std::int32_t cellX, std::int32_t cellY);

    // Level-local point to screen; false only when clip is asked and (3D) the
    // point lies outside the near/far range.
    bool projectPoint(Map::LocalPoint point, bool clip, xe::FloatPoint& out) const;
    // A point relative to the object origin to rounded screen pixels; false
    // in 3D when outside the near/far range.
    bool projectAnchor(Map::LocalPoint point, xe::Point& out) const;
    // A global point to rounded screen pixels; false (out untouched) when no
    // level frame is current or the point is clipped.
    bool mapToScreen(Map::Point point, xe::Point& out) const;
    // The map point under a screen pixel, in the current frame (with none,
    // the global transform is set up first). False (out untouched) when the
    // pixel does not see the ground in front of a 3D camera (at or above the
    // horizon) or the view is degenerate.
    bool screenToMap(xe::Point screen, Map::Point& out);
    // Saves M3 in `saved` and raises the ground by h pixels: M3 := M3 *
    // translation(0, 0, -h / level scale).
    void setupScreenScale(float h, Matrix& saved);
    // Puts back a matrix saved by setupScreenScale.
    void restoreScreenScale(const Matrix& saved) { m_m3 = saved; }

    // --- transform state ------------------------------------------------
    const std::optional<Map::LevelFrame>& levelFrame() const { return m_frame; }
    float levelScale() const { return m_levelScale; }
    float farDistance() const { return m_far; }
    const xe::ScreenMatrix& screenMatrix() const { return m_screen; }
    const Matrix& projection() const { return m_projection; }
    const Matrix& viewProjection() const { return m_m3; }
    const Matrix& object3d() const { return m_object3d; }
    const Matrix& matrix2d() const { return m_s2; }
    const Matrix& inverse2d() const { return m_s2Inverse; }
    const Matrix& object2d() const { return m_object2d; }
    const Matrix& scaledObject2d() const { return m_scaledObject2d; }
    // Screen pixel to pattern coordinates: level-local point times the level
    // scale, so patterns stay fixed to the map and join across cells.
    const Matrix& patternMatrix() const { return m_pattern; }
    // The matrices that renderer slots 4 and 7 read.
    xe::ViewMatrices viewMatrices() const;
    float eyeX() const { return m_eye[0]; }
    float eyeY() const { return m_eye[1]; }
    float eyeZ() const { return m_eye[2]; }
    float lookAtX() const { return m_lookAt[0]; }
    float lookAtY() const { return m_lookAt[1]; }
    Map::LocalPoint viewCentre2d() const { return Map::LocalPoint{m_viewCentre[0], m_viewCentre[1]}; }

  private:
    void setSinCos();
    void buildTransforms(Map::LocalPoint centre);
    // Solves the screen pixel to the ground point in the current frame's
    // units; false when it does not hit the ground ahead.
    bool solveGround(xe::Point screen, double& x, double& y) const;

    std::uint8_t m_mode = 0;
    float m_anchorFraction = 0.0f;
    float m_farFraction = 0.1f;
    float m_width = 0.0f;
    float m_height = 0.0f;
    float m_halfFov = 0.5235988f;
    float m_aspect = 0.0f;
    float m_rotation = 0.0f;
    float m_tilt = 1.2217305f;
    Map::Point m_centre;
    float m_scale = 1.0f;
    float m_sin = 0.0f;
    float m_cos = 1.0f;
    float m_axisTilt = 0.0f;
    float m_angleA = 0.0f;
    float m_angleB = 0.0f;
    float m_far = 0.0f;
    xe::ScreenMatrix m_screen{};
    Matrix m_projection{};
    Matrix m_m3{};
    Matrix m_object3d{};
    Matrix m_s2{};
    Matrix m_s2Inverse{};
    Matrix m_object2d{};
    Matrix m_scaledObject2d{};
    Matrix m_pattern{};
    std::optional<Map::LevelFrame> m_frame;
    float m_levelScale = 1.0f;
    float m_eye[3] = {};
    float m_lookAt[2] = {};
    float m_viewCentre[2] = {};
};
