#include "render/MapCamera.h"

#include "core/FloatToInt.h"
#include "map/FloatMath.h"
#include "render/FixedTransform.h"

#include <algorithm>
#include <cmath>

namespace {

using Matrix = MapCamera::Matrix;

constexpr float kDegreesToRadians = 0.01745329238474369f;
constexpr float kMaxAxisAboveA = 1.553343f;       // 89 degrees
constexpr float kMinFarDepression = 0.034906585f; // 2 degrees

struct TiltEntry {
    float key; // metres per 40 pixels; 0 ends the table
    float degrees;
    float farFraction;
};

constexpr TiltEntry kPreset0[] = {{200, 60, 0}, {1300, 90, 0}, {0, 0, 0}};
constexpr TiltEntry kPreset1[] = {{20, 37, 0.2f}, {200, 60, 0}, {1300, 90, 0}, {0, 0, 0}};
constexpr TiltEntry kPreset2[] = {{20, 25, 0.3f}, {200, 60, 0}, {1300, 90, 0}, {0, 0, 0}};
constexpr const TiltEntry* kPresets[3] = {kPreset0, kPreset1, kPreset2};

Matrix identity() {
    Matrix m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[column * 4 + k];
            r[column * 4 + row] = sum;
        }
    return r;
}

Matrix translation(float x, float y, float z) {
    Matrix m = identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

} // namespace

MapCamera& MapCamera::instance() {
    static MapCamera camera;
    return camera;
}

float MapCamera::anchorFractionFor(std::int32_t proportion) {
    if (proportion < 1) return 1.0f / 3.0f;
    return 1.0f / static_cast<float>(proportion);
}

void MapCamera::initDefaults() {
    m_mode = 0;
    m_rotation = 0.0f;
    setSinCos();
    m_tilt = 1.2217305f;
    m_farFraction = 0.1f;
    m_halfFov = 0.5235988f;
    updateCameraAngles();
    m_scale = 1.0f;
    m_centre = Map::Point{};
    m_frame.reset();
    m_levelScale = 1.0f;
    m_s2 = m_s2Inverse = m_object2d = m_scaledObject2d = m_pattern = identity();
    m_m3 = m_object3d = m_projection = identity();
}

void MapCamera::setSinCos() {
    m_sin = static_cast<float>(Map::fastSin(m_rotation));
    m_cos = static_cast<float>(Map::fastCos(m_rotation));
}

void MapCamera::setAnchorFraction(float fraction) {
    m_anchorFraction = fraction;
    updateCameraAngles();
}

void MapCamera::setFarFraction(float fraction) {
    m_farFraction = fraction;
    updateCameraAngles();
}

void MapCamera::setHalfFieldOfView(float radians) {
    m_halfFov = radians;
    updateCameraAngles();
}

void MapCamera::setTilt(float radians) {
    m_tilt = radians;
    updateCameraAngles();
}

void MapCamera::setViewport(float width, float height, float fieldOfView) {
    m_width = width;
    m_height = height;
    m_aspect = height != 0.0f ? width / height : 0.0f;
    m_halfFov = fieldOfView * 0.5f;
    updateCameraAngles();
    m_screen = {width / 2, 0, 0, 0, -height / 2, 0, width / 2, height / 2, 1};
    xe::setViewport3d(m_screen);
}

void MapCamera::updateCameraAngles() {
    const auto t = static_cast<float>(Map::fastTan(m_halfFov));
    m_angleA = Map::floatAtan2(t - 2 * t * m_anchorFraction, 1.0f);
    m_angleB = Map::floatAtan2(t - 2 * t * m_farFraction, 1.0f);
    m_axisTilt = m_tilt - m_angleA;
}

void MapCamera::rotateBy(Map::AtlasViewFields& view, float delta) {
    m_rotation += delta;
    setSinCos();
    view.setRedrawRequest(Map::AtlasViewFields::SmallRedraw);
}

void MapCamera::setRotation(Map::AtlasViewFields& view, float angle) {
    m_rotation = angle;
    setSinCos();
    view.setRedrawRequest(Map::AtlasViewFields::FullRedraw);
}

void MapCamera::applyTiltPreset(Map::AtlasViewFields& view) {
    const TiltEntry* table = kPresets[view.zoomStep % 3];
    const float m = view.metresPer40Pixels;
    float degrees = table[0].degrees;
    float fraction = table[0].farFraction;
    // At or below the first key (or an unknown scale): the first entry.
    if (m > table[0].key) {
        const TiltEntry* passed = table;
        while (true) {
            const TiltEntry& next = passed[1];
            if (next.key == 0.0f) {
                degrees = passed->degrees;
                fraction = passed->farFraction;
                break;
            }
            if (m > next.key) {
                ++passed;
                continue;
            }
            const float u = (m - passed->key) / (next.key - passed->key);
            degrees = passed->degrees * (1 - u) + next.degrees * u;
            fraction = passed->farFraction * (1 - u) + next.farFraction * u;
            break;
        }
    }
    const float low = m_angleA + kDegreesToRadians;
    const float high = m_angleA + kMaxAxisAboveA;
    m_tilt = std::clamp(degrees * kDegreesToRadians, low, high);
    m_axisTilt = m_tilt - m_angleA;
    m_farFraction = fraction;
    updateCameraAngles();
    view.setRedrawRequest(Map::AtlasViewFields::FullRedraw);
}

void MapCamera::dragBy(Map::AtlasViewFields& view, const std::vector<Map::StateRecord>& records,
                       xe::Point from, xe::Point to) {
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->hidden == 0) {
            setupTransform(*it);
            break;
        }
    }
    Map::Point a;
    Map::Point b;
    if (!screenToMap(from, a) || !screenToMap(to, b)) return;
    const std::uint32_t dx = static_cast<std::uint32_t>(a.x) - static_cast<std::uint32_t>(b.x);
    const std::uint32_t dy = static_cast<std::uint32_t>(a.y) - static_cast<std::uint32_t>(b.y);
    m_centre.x = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_centre.x) + dx);
    m_centre.y = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_centre.y) + dy);
    view.setRedrawRequest(Map::AtlasViewFields::SmallRedraw);
}

void MapCamera::setupCamera3D(Map::LocalPoint c, float s) {
    const float t = std::tan(m_halfFov);
    const float u = t - 2 * t * m_anchorFraction;
    const float distance = (m_height / (2 * t)) / s * std::sqrt(u * u + 1);
    const float cosTilt = std::cos(m_tilt);
    m_eye[0] = c.x - m_sin * distance * cosTilt;
    m_eye[1] = c.y - m_cos * distance * cosTilt;
    m_eye[2] = distance * std::sin(m_tilt);
    const float tanAxis = std::tan(m_axisTilt);
    m_lookAt[0] = m_eye[0] + m_sin * m_eye[2] / tanAxis;
    m_lookAt[1] = m_eye[1] + m_cos * m_eye[2] / tanAxis;
    const float a = std::max(m_axisTilt - m_angleB, kMinFarDepression);
    m_far = std::cos(m_angleB) * m_eye[2] / std::sin(a);
    // A far plane at or before the near plane (1) would divide by zero.
    const float far = m_far > 1.001f ? m_far : 1.001f;
    m_projection = Matrix{};
    m_projection[0] = 1 / (m_aspect * t);
    m_projection[5] = 1 / t;
    m_projection[10] = -(far + 1) / (far - 1);
    m_projection[14] = -2 * far / (far - 1);
    m_projection[11] = -1;
    const float ahead = m_height * (0.5f - m_anchorFraction) / s;
    m_viewCentre[0] = c.x + m_sin * ahead;
    m_viewCentre[1] = c.y + m_cos * ahead;
}

void MapCamera::buildTransforms(Map::LocalPoint centre) {
    setupCamera3D(centre, m_levelScale);

    // 3D: look from the eye towards the look-at point on the ground, z up.
    float f[3] = {m_eye[0] - m_lookAt[0], m_eye[1] - m_lookAt[1], m_eye[2]};
    const float fLength = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (float& v : f)
        v /= fLength;
    // side = up x f with up = (0, 0, 1).
    float side[3] = {-f[1], f[0], 0.0f};
    float sideLength = std::sqrt(side[0] * side[0] + side[1] * side[1]);
    if (!(sideLength > 1e-6f)) {
        // Looking straight down: the screen's right is the rotated east.
        side[0] = m_cos;
        side[1] = -m_sin;
        sideLength = 1.0f;
    }
    side[0] /= sideLength;
    side[1] /= sideLength;
    const float up[3] = {f[1] * side[2] - f[2] * side[1], f[2] * side[0] - f[0] * side[2],
                         f[0] * side[1] - f[1] * side[0]};
    Matrix v = identity();
    const float* rows[3] = {side, up, f};
    for (int r = 0; r < 3; ++r) {
        v[0 + r] = rows[r][0];
        v[4 + r] = rows[r][1];
        v[8 + r] = rows[r][2];
        v[12 + r] = -(rows[r][0] * m_eye[0] + rows[r][1] * m_eye[1] + rows[r][2] * m_eye[2]);
    }
    m_m3 = multiply(m_projection, v);

    // 2D: d = p - view centre; sx = w/2 + s (cosR dx - sinR dy), sy = h/2 -
    // s (sinR dx + cosR dy).
    const float s = m_levelScale;
    const float cx = m_viewCentre[0];
    const float cy = m_viewCentre[1];
    m_s2 = identity();
    m_s2[0] = s * m_cos;
    m_s2[4] = -s * m_sin;
    m_s2[12] = m_width / 2 - s * (m_cos * cx - m_sin * cy);
    m_s2[1] = -s * m_sin;
    m_s2[5] = -s * m_cos;
    m_s2[13] = m_height / 2 + s * (m_sin * cx + m_cos * cy);
    // The inverse from the rotation and scale directly: a determinant test
    // against a fixed bound would call the global transform (scale below
    // 1e-3 pixels per unit) singular.
    m_s2Inverse = identity();
    if (s != 0.0f && std::isfinite(s)) {
        const float k = 1 / s;
        m_s2Inverse[0] = k * m_cos;
        m_s2Inverse[4] = -k * m_sin;
        m_s2Inverse[1] = -k * m_sin;
        m_s2Inverse[5] = -k * m_cos;
        // p = c + R^T (screen - centre) / s, with the y axis flipped.
        const float ox = -m_width / 2;
        const float oy = -m_height / 2;
        m_s2Inverse[12] = cx + k * (m_cos * ox - m_sin * oy);
        m_s2Inverse[13] = cy + k * (-m_sin * ox - m_cos * oy);
    }
    m_pattern = m_s2Inverse;
    for (int i : {0, 1, 4, 5, 12, 13})
        m_pattern[i] *= s;
    m_object2d = m_s2;
    m_object3d = m_m3;
    m_scaledObject2d = m_s2;
}

void MapCamera::setupTransform(const Map::StateRecord& record) {
    m_frame = record.frame;
    m_levelScale = record.levelScale;
    buildTransforms(Map::LocalPoint{record.centreX, record.centreY});
}

void MapCamera::setupGlobalTransform() {
    m_frame.reset();
    m_levelScale = m_scale;
    buildTransforms(Map::LocalPoint{static_cast<float>(m_centre.x), static_cast<float>(m_centre.y)});
}

void MapCamera::setupForLevel(const Map::LevelFrame& frame) {
    Map::StateRecord record;
    record.frame = frame;
    record.levelScale = static_cast<float>(m_scale * frame.unit());
    const Map::LocalPoint centre = frame.toLocal(m_centre);
    record.centreX = centre.x;
    record.centreY = centre.y;
    setupTransform(record);
}

void MapCamera::setOrigin(std::int32_t cellX, std::int32_t cellY) {
    const std::int64_t size = m_frame ? m_frame->cellSize() : 1;
    const float ox = static_cast<float>(static_cast<std::int64_t>(cellX) * size);
    const float oy = static_cast<float>(static_cast<std::int64_t>(cellY) * size);
    const Matrix t = translation(ox, oy, 0.0f);
    m_object2d = multiply(m_s2, t);
    // The scaled 2D object matrix: the linear part and translation of the
    // object matrix times the level scale, no depth terms. Nothing in the
    // frame reads it; it is kept for the layers that want pixel-per-unit
    // independent offsets.
    m_scaledObject2d = Matrix{};
    for (int i : {0, 1, 4, 5, 8, 9, 12, 13})
        m_scaledObject2d[i] = m_object2d[i];
    m_scaledObject2d[15] = 1.0f;
    for (int i : {0, 1, 4, 5, 12, 13})
        m_scaledObject2d[i] *= m_levelScale;
    m_object3d = multiply(m_m3, t);
    xe::toFixedMatrix(m_object2d.data(), xe::fixedMatrix2d());
    xe::toFixedMatrix(m_object3d.data(), xe::fixedMatrix3d());
}

xe::ViewMatrices MapCamera::viewMatrices() const {
    return xe::ViewMatrices{m_object2d.data(), m_object3d.data(), m_pattern.data()};
}

bool MapCamera::projectPoint(Map::LocalPoint p, bool clip, xe::FloatPoint& out) const {
    if (!is3d()) {
        out.x = m_s2[0] * p.x + m_s2[4] * p.y + m_s2[12];
        out.y = m_s2[1] * p.x + m_s2[5] * p.y + m_s2[13];
        return true;
    }
    const float x = m_m3[0] * p.x + m_m3[4] * p.y + m_m3[12];
    const float y = m_m3[1] * p.x + m_m3[5] * p.y + m_m3[13];
    const float z = m_m3[2] * p.x + m_m3[6] * p.y + m_m3[14];
    const float w = m_m3[3] * p.x + m_m3[7] * p.y + m_m3[15];
    if (clip && (w < -z || w < z)) return false;
    out.x = m_width / 2 * x / w + m_width / 2;
    out.y = -m_height / 2 * y / w + m_height / 2;
    return true;
}

bool MapCamera::projectAnchor(Map::LocalPoint p, xe::Point& out) const {
    float sx;
    float sy;
    if (!is3d()) {
        sx = m_object2d[0] * p.x + m_object2d[4] * p.y + m_object2d[12];
        sy = m_object2d[1] * p.x + m_object2d[5] * p.y + m_object2d[13];
    } else {
        const Matrix& m = m_object3d;
        const float x = m[0] * p.x + m[4] * p.y + m[12];
        const float y = m[1] * p.x + m[5] * p.y + m[13];
        const float z = m[2] * p.x + m[6] * p.y + m[14];
        const float w = m[3] * p.x + m[7] * p.y + m[15];
        if (z + w < 0 || w - z < 0 || !(w > 0)) return false;
        sx = m_width / 2 * x / w + m_width / 2;
        sy = -m_height / 2 * y / w + m_height / 2;
    }
    out = xe::Point{xe::floorToInt(sx + 0.5f), xe::floorToInt(sy + 0.5f)};
    return true;
}

bool MapCamera::mapToScreen(Map::Point point, xe::Point& out) const {
    if (!m_frame) return false;
    xe::FloatPoint s;
    if (!projectPoint(m_frame->toLocal(point), true, s)) return false;
    out = xe::Point{xe::floorToInt(s.x + 0.5f), xe::floorToInt(s.y + 0.5f)};
    return true;
}

bool MapCamera::solveGround(xe::Point screen, double& x, double& y) const {
    const double sx = screen.x;
    const double sy = screen.y;
    if (!is3d()) {
        const Matrix& m = m_s2Inverse;
        x = m[0] * sx + m[4] * sy + m[12];
        y = m[1] * sx + m[5] * sy + m[13];
        return std::isfinite(x) && std::isfinite(y);
    }
    if (m_width == 0.0f || m_height == 0.0f) return false;
    const double halfW = m_width / 2.0;
    const double halfH = m_height / 2.0;
    const double nx = (sx - halfW) / halfW;
    const double ny = (sy - halfH) / -halfH;
    const Matrix& m = m_m3;
    const double a11 = m[0] - nx * m[3];
    const double a12 = m[4] - nx * m[7];
    const double b1 = nx * m[15] - m[12];
    const double a21 = m[1] - ny * m[3];
    const double a22 = m[5] - ny * m[7];
    const double b2 = ny * m[15] - m[13];
    const double det = a11 * a22 - a12 * a21;
    if (det == 0.0 || !std::isfinite(det)) return false;
    x = (b1 * a22 - a12 * b2) / det;
    y = (a11 * b2 - b1 * a21) / det;
    // A pixel at or above the horizon solves to a point behind the eye.
    const double w = m[3] * x + m[7] * y + m[15];
    return w > 0.0 && std::isfinite(x) && std::isfinite(y);
}

bool MapCamera::screenToMap(xe::Point screen, Map::Point& out) {
    if (!m_frame) {
        setupGlobalTransform();
        double x;
        double y;
        if (!solveGround(screen, x, y)) return false;
        out = Map::Point{xe::floorToInt(static_cast<float>(x) + 0.5f),
                         xe::floorToInt(static_cast<float>(y) + 0.5f)};
        return true;
    }
    double x;
    double y;
    if (!solveGround(screen, x, y)) return false;
    out = m_frame->toGlobal(Map::LocalPoint{static_cast<float>(x), static_cast<float>(y)});
    return true;
}

void MapCamera::setupScreenScale(float h, Matrix& saved) {
    saved = m_m3;
    m_m3 = multiply(m_m3, translation(0.0f, 0.0f, -h / m_levelScale));
}
