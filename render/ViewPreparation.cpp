#include "render/ViewPreparation.h"

#include "core/FloatToInt.h"
#include "core/Log.h"
#include "map/KVAtlas.h"
#include "map/Projection.h"
#include "render/FrameStatistics.h"
#include "render/MapCamera.h"
#include "render/MapPageServices.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace MapDrawing::ViewPreparation {

namespace {

constexpr double DegreesToRadians = 0.01745329238474369;

double latitudeCosine(const MapCamera& camera) {
    return std::cos(static_cast<double>(Map::Projection::toGeo(camera.centre()).latitude) * DegreesToRadians);
}

bool near1(float v) { return std::fabs(v - 1.0f) <= 1e-5f; }

struct Corner {
    float x;
    float y;
};

// 3D ground corners of the view, or false when no far edge meets the ground.
bool groundCorners3d(const MapCamera& camera, float* corners) {
    constexpr float Limit = 1.4835298f; // 85 degrees
    const float h = camera.eyeZ();
    const float a = camera.halfFieldOfView();
    const float theta = 1.5707963705062866f - camera.axisTilt();
    const float sinR = std::sin(camera.rotation());
    const float cosR = std::cos(camera.rotation());
    const float ex = camera.eyeX();
    const float ey = camera.eyeY();

    struct Line {
        bool valid = false;
        float r = 0.0f;
        float d = 0.0f;
    };
    auto ray = [&](float beta) {
        Line line;
        if (beta > -Limit && beta < Limit) {
            line.valid = true;
            line.r = std::tan(beta) * h;
            line.d = std::cos(a) * std::sqrt(h * h + line.r * line.r);
        }
        return line;
    };
    const Line bottom = ray(theta - a);
    const Line top = ray(theta + a);
    Line farLine;
    {
        float ux = camera.lookAtX() - ex;
        float uy = camera.lookAtY() - ey;
        float uz = -h;
        const float length = std::sqrt(ux * ux + uy * uy + uz * uz);
        if (length > 0.0f) {
            ux /= length, uy /= length, uz /= length;
            const float divisor = ux * sinR + uy * cosR;
            if (std::fabs(divisor) >= 1e-6f) {
                farLine.valid = true;
                farLine.r = (camera.farDistance() + h * uz) / divisor;
                farLine.d = camera.farDistance();
            }
        }
    }
    Line farEdge;
    if (top.valid && (!farLine.valid || top.r <= farLine.r))
        farEdge = top;
    else if (farLine.valid)
        farEdge = farLine;
    if (!farEdge.valid || !bottom.valid)
        return false;
    auto pair = [&](const Line& line, float* left, float* right) {
        const float gx = ex + sinR * line.r;
        const float gy = ey + cosR * line.r;
        const float side = line.d * std::tan(a) * camera.aspect();
        left[0] = gx - cosR * side, left[1] = gy + sinR * side;
        right[0] = gx + cosR * side, right[1] = gy - sinR * side;
    };
    // Bottom left, bottom right, far right, far left: a ring.
    pair(bottom, corners + 0, corners + 2);
    pair(farEdge, corners + 6, corners + 4);
    return true;
}

std::uint8_t lastLevelBits(Map::KVMap2& map) { return map.level(map.levelCount() - 1).coordinateBits(); }

} // namespace

float metresPer40Pixels(const MapCamera& camera) {
    return static_cast<float>(latitudeCosine(camera) / camera.scale() * 0.37281137704849243);
}

void cameraFromAtlas(MapCamera& camera, Map::KVAtlas& atlas) {
    const Map::CameraFields& fields = atlas.camera();
    camera.setCentre(Map::Point{fields.centreX, fields.centreY});
    camera.setScale(fields.scale);
    camera.setMode(fields.mode);
    camera.setRotation(atlas.view(), fields.rotation);
}

void cameraToAtlas(const MapCamera& camera, Map::CameraFields& fields) {
    fields.centreX = camera.centre().x;
    fields.centreY = camera.centre().y;
    fields.scale = camera.scale();
    fields.rotation = camera.rotation();
    fields.mode = camera.mode();
}

bool computeView(MapCamera& camera, Map::StateRecord& record) {
    record.levelScale = static_cast<float>(camera.scale() * record.frame.unit());
    const Map::LocalPoint centre = record.frame.toLocal(camera.centre());
    record.centreX = centre.x;
    record.centreY = centre.y;
    camera.setupCamera3D(centre, record.levelScale);
    if (!camera.is3d()) {
        camera.setupTransform(record);
        const MapCamera::Matrix& inv = camera.inverse2d();
        const float w = camera.width();
        const float h = camera.height();
        const Corner screen[4] = {{-10, -10}, {w + 10, -10}, {w + 10, h + 10}, {-10, h + 10}};
        for (int i = 0; i < 4; ++i) {
            record.corners[2 * i] = inv[0] * screen[i].x + inv[4] * screen[i].y + inv[12];
            record.corners[2 * i + 1] = inv[1] * screen[i].x + inv[5] * screen[i].y + inv[13];
        }
    } else if (!groundCorners3d(camera, record.corners)) {
        return false;
    }

    const float cell = static_cast<float>(record.frame.cellSize());
    float minX = std::numeric_limits<float>::max();
    float minY = minX;
    float maxX = -minX;
    float maxY = -minX;
    for (int i = 0; i < 4; ++i) {
        minX = std::min(minX, record.corners[2 * i] / cell);
        maxX = std::max(maxX, record.corners[2 * i] / cell);
        minY = std::min(minY, record.corners[2 * i + 1] / cell);
        maxY = std::max(maxY, record.corners[2 * i + 1] / cell);
    }
    const float gridW = record.level ? static_cast<float>(record.level->width()) : 0.0f;
    const float gridH = record.level ? static_cast<float>(record.level->height()) : 0.0f;
    if (maxX > 0 && minX < gridW && maxY > 0 && minY < gridH) {
        record.cover = (minX >= 0 && maxX <= gridW && minY > 0 && maxY < gridH) ? 1 : 0;
        minX = std::max(minX, 0.0f), maxX = std::min(maxX, gridW);
        minY = std::max(minY, 0.0f), maxY = std::min(maxY, gridH);
        record.cellX0 = xe::floorToInt(minX);
        record.cellY0 = xe::floorToInt(minY);
        record.cellX1 = xe::ceilToInt(maxX);
        record.cellY1 = xe::ceilToInt(maxY);
    } else {
        record.cover = 0;
        record.cellX0 = record.cellY0 = record.cellX1 = record.cellY1 = 0;
    }
    return true;
}

std::array<std::int32_t, 4> computeGlobalView(MapCamera& camera) {
    Map::StateRecord record;
    record.frame = Map::LevelFrame{};
    std::array<std::int32_t, 4> box{};
    if (!computeView(camera, record))
        return box;
    double minX = record.corners[0], maxX = minX, minY = record.corners[1], maxY = minY;
    for (int i = 1; i < 4; ++i) {
        minX = std::min<double>(minX, record.corners[2 * i]);
        maxX = std::max<double>(maxX, record.corners[2 * i]);
        minY = std::min<double>(minY, record.corners[2 * i + 1]);
        maxY = std::max<double>(maxY, record.corners[2 * i + 1]);
    }
    auto clampInt = [](double v) {
        return static_cast<std::int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
    };
    // The 32-bit frame has its origin at 0: local units are global units.
    box = {clampInt(std::floor(minX)), clampInt(std::floor(minY)), clampInt(std::ceil(maxX)), clampInt(std::ceil(maxY))};
    return box;
}

void loadVisibleAreas(Map::KVAtlas& atlas) {
    auto prepareAll = [&]() {
        for (Map::StateRecord& r : atlas.viewRecords()) {
            if (r.level == nullptr)
                continue;
            if (r.cellX0 >= r.cellX1 || r.cellY0 >= r.cellY1)
                continue;
            // One more column and row on the low sides: their items reach
            // into the view (see the layers' walk).
            if (!r.level->prepareArea(r.level->defaultArea(), std::max(r.cellX0 - 1, 0), std::max(r.cellY0 - 1, 0),
                                      r.cellX1 - 1, r.cellY1 - 1))
                return false;
        }
        return true;
    };
    if (prepareAll())
        return;
    // The main heap is full: forget every area, reset the heap and load
    // only what this frame shows.
    for (const auto& map : atlas.maps())
        map->resetAreas();
    atlas.mainHeap().reset();
    prepareAll();
}

void prepare(MapCamera& camera, Map::KVAtlas& atlas, Render::FrameStatistics* statistics, CaptionLayer* captions) {
    Map::AtlasViewFields& view = atlas.view();
    std::vector<Map::StateRecord>& records = atlas.viewRecords();
    if (view.redrawRequest() == NoRedraw) {
        view.metresPer40Pixels = static_cast<float>(latitudeCosine(camera) * 0.00932028517127037 / camera.scale() * 40.0);
        return;
    }
    records.clear();
    const std::array<std::int32_t, 4> box = computeGlobalView(camera);
    std::copy(box.begin(), box.end(), view.globalViewBox);

    const auto& maps = atlas.maps();
    float scale = 0.0f;
    int bits = -1;
    for (int attempt = 0; attempt < 10; ++attempt) {
        scale = metresPer40Pixels(camera);
        if (!(scale > 0.0f) || !(camera.scale() > 0.0f)) {
            atlas.resetCameraToLargestMap();
            cameraFromAtlas(camera, atlas);
            scale = metresPer40Pixels(camera);
            Log::log(Log::Info, u"mp40px = %f", scale);
        }
        if (scale < MinScale && !near1(scale * 0.2f)) {
            camera.setScale(camera.scale() * (scale * 0.2f));
            view.setRedrawRequest(SmallRedraw);
            continue;
        }
        if (scale > MaxScale && !near1(scale * 2e-06f)) {
            camera.setScale(camera.scale() * (scale * 2e-06f));
            view.setRedrawRequest(SmallRedraw);
            continue;
        }
        view.metresPer40Pixels = scale;
        camera.applyTiltPreset(view);
        bits = atlas.levelForScale(static_cast<float>(xe::floorToInt(scale + 0.5f)));
        records.clear();
        if (bits < 0)
            break;

        bool countryAdded = false;
        for (std::size_t i = 0; i < maps.size(); ++i) {
            Map::KVMap2& map = *maps[i];
            Map::Level* level = nullptr;
            for (std::size_t l = 0; l < map.levelCount(); ++l) {
                if (map.level(l).coordinateBits() <= bits) {
                    level = &map.level(l);
                    break;
                }
            }
            if (level == nullptr)
                continue;
            Map::StateRecord record;
            record.level = level;
            record.frame = Map::LevelFrame::of(*level);
            record.mapIndex = static_cast<std::uint32_t>(i);
            record.mapType = map.mapType();
            if (computeView(camera, record) && record.cellX0 < record.cellX1 && record.cellY0 < record.cellY1) {
                records.push_back(record);
                countryAdded = countryAdded || record.mapType == Map::CountryMap;
            }
        }
        Map::sortForDrawing(records);

        if (records.empty()) {
            int coarsest = -1;
            for (const auto& map : maps)
                if (map->levelCount() > 0 && (coarsest < 0 || lastLevelBits(*map) < coarsest))
                    coarsest = lastLevelBits(*map);
            const auto& table = atlas.levelScales();
            if (coarsest < 0 || static_cast<std::size_t>(coarsest) >= table.size() || table[coarsest] < 1)
                break;
            const float factor = scale / static_cast<float>(table[coarsest] - 1);
            if (near1(factor))
                break;
            camera.setScale(camera.scale() * factor);
            view.setRedrawRequest(SmallRedraw);
            continue;
        }
        for (Map::StateRecord& r : records) {
            if (r.mapType == Map::InvisibleMap)
                r.hidden = 0;
            if (countryAdded && r.mapType != Map::CountryMap && bits < 18)
                r.hidden = 1;
        }
        const Map::StateRecord* first = nullptr;
        const Map::StateRecord* last = nullptr;
        for (const Map::StateRecord& r : records) {
            if (r.hidden)
                continue;
            if (first == nullptr)
                first = &r;
            last = &r;
        }
        if (first != nullptr && first->levelScale < 0.03f && !near1(0.03f / first->levelScale)) {
            camera.setScale(camera.scale() * (0.03f / first->levelScale));
            view.setRedrawRequest(SmallRedraw);
            continue;
        }
        if (last != nullptr && last->levelScale > 16.0f && !near1(16.0f / last->levelScale)) {
            camera.setScale(camera.scale() * (16.0f / last->levelScale));
            view.setRedrawRequest(SmallRedraw);
            continue;
        }
        break;
    }
    view.metresPer40Pixels = scale;

    // A map whose data covers the whole view hides the maps drawn before it.
    for (std::size_t i = records.size(); i-- > 0;) {
        Map::StateRecord& r = records[i];
        if (r.hidden || !r.cover || r.level == nullptr)
            continue;
        r.level->loadIndex();
        bool full = true;
        for (std::int32_t x = r.cellX0; x < r.cellX1 && full; ++x)
            for (std::int32_t y = r.cellY0; y < r.cellY1 && full; ++y)
                full = (r.level->cellValue(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) & 2) != 0;
        if (full) {
            for (std::size_t j = 0; j < i; ++j)
                records[j].hidden = 1;
            break;
        }
        r.cover = 0;
    }

    for (Map::StateRecord& r : records) {
        if (r.mapType == Map::CountryMap && scale <= NearScale)
            r.hidden = 1;
        if (r.mapType == Map::InvisibleMap)
            r.hidden = scale <= NearScale ? 0 : 1;
    }

    if (statistics != nullptr) {
        statistics->scale = scale;
        statistics->level = bits;
        statistics->viewLeft = box[0], statistics->viewTop = box[1];
        statistics->viewRight = box[2], statistics->viewBottom = box[3];
        statistics->maps.clear();
        for (const Map::StateRecord& r : records) {
            Render::MapStatLine line;
            line.marker = Render::MapStatLine::markerFor(r.hidden != 0, r.cover != 0);
            line.index = static_cast<std::int32_t>(r.mapIndex);
            line.level = r.frame.coordinateBits;
            line.levelScale = r.levelScale;
            line.width = r.cellX1 - r.cellX0;
            line.height = r.cellY1 - r.cellY0;
            if (r.mapIndex < maps.size())
                line.name = maps[r.mapIndex]->sourceName();
            statistics->maps.push_back(std::move(line));
        }
    }

    loadVisibleAreas(atlas);
    for (std::size_t i = 0; i < maps.size(); ++i) {
        const bool drawn = std::any_of(records.begin(), records.end(),
                                       [&](const Map::StateRecord& r) { return r.mapIndex == i; });
        if (drawn)
            maps[i]->loadCaptions();
        else if (captions != nullptr)
            captions->releaseMap(*maps[i]);
    }
    view.setRedrawRequest(NoRedraw);
}

} // namespace MapDrawing::ViewPreparation
