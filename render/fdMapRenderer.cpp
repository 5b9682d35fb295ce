#include "render/fdMapRenderer.h"

#include "core/ConfigNode.h"
#include "core/DataPath.h"
#include "core/FloatToInt.h"
#include "core/Log.h"
#include "core/MainLoopWake.h"
#include "core/SdlMutex.h"
#include "map/KVAtlas.h"
#include "render/Fill.h"
#include "render/Image.h"
#include "render/Lines.h"
#include "render/MapCamera.h"
#include "render/MapLayers.h"
#include "render/Pixels.h"
#include "render/ViewPreparation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace MapDrawing {

namespace {

fdMapRenderer* g_instance = nullptr;

constexpr std::uint32_t SlowFrameMs = 150;

// An angle brought into [-pi, pi).
float wrapAngle(float angle) {
    if (!std::isfinite(angle))
        return 0.0f;
    const double twoPi = 2.0 * std::numbers::pi;
    double a = std::fmod(static_cast<double>(angle) + std::numbers::pi, twoPi);
    if (a < 0)
        a += twoPi;
    return static_cast<float>(a - std::numbers::pi);
}

void fillBox(SDL_Surface* surface, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, Uint8 r, Uint8 g,
             Uint8 b) {
    if (surface == nullptr || x >= surface->w || y >= surface->h || x + w <= 0 || y + h <= 0)
        return;
    SDL_Rect rect{static_cast<Sint16>(std::max(x, 0)), static_cast<Sint16>(std::max(y, 0)), 0, 0};
    rect.w = static_cast<Uint16>(std::min(x + w, surface->w) - rect.x);
    rect.h = static_cast<Uint16>(std::min(y + h, surface->h) - rect.y);
    SDL_FillRect(surface, &rect, SDL_MapRGB(surface->format, r, g, b));
}

} // namespace

bool sdlHasInputEvent(bool mouseMotion) {
    SDL_PumpEvents();
    // A masked peek searches the whole queue and leaves it as it is: the UI
    // timer's expose events and button releases often sit ahead of the press
    // that should cut a slow frame short.
    Uint32 mask = SDL_EVENTMASK(SDL_KEYDOWN) | SDL_EVENTMASK(SDL_MOUSEBUTTONDOWN);
    if (mouseMotion)
        mask |= SDL_EVENTMASK(SDL_MOUSEMOTION);
    SDL_Event event;
    if (SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, mask) < 1)
        return false;
    if (Log::enabledFor(Log::Normal)) {
        Log::log(Log::Normal, u"HasInputEvent: %d", static_cast<int>(event.type));
        if (event.type == SDL_KEYDOWN)
            Log::log(Log::Normal, u"KEYDOWN[%d,%d,%d]", static_cast<int>(event.key.keysym.scancode),
                     static_cast<int>(event.key.keysym.mod), static_cast<int>(event.key.keysym.sym));
        else if (event.type == SDL_MOUSEMOTION)
            Log::log(Log::Normal, u"MOUSEMOTION[%d,abs(%d,%d),rel(%d,%d)]", static_cast<int>(event.motion.state),
                     static_cast<int>(event.motion.x), static_cast<int>(event.motion.y),
                     static_cast<int>(event.motion.xrel), static_cast<int>(event.motion.yrel));
        else
            Log::log(Log::Normal, u"MOUSEBUTTONDOWN[%d,(%d,%d)]", static_cast<int>(event.button.button),
                     static_cast<int>(event.button.x), static_cast<int>(event.button.y));
    }
    return true;
}

std::uint32_t sdlTicks() { return SDL_GetTicks(); }

void sdlPushExpose() { Threading::wakeMainLoop(); }

void unpackTypeFlags(const std::vector<std::uint8_t>& blob, std::array<std::uint8_t, 256>& flags) {
    const std::size_t bytes = std::min<std::size_t>(blob.size(), 32);
    for (std::size_t t = 0; t < bytes * 8; ++t)
        flags[t] = (blob[t / 8] >> (7 - t % 8)) & 1;
}

std::vector<std::uint8_t> packTypeFlags(const std::array<std::uint8_t, 256>& flags) {
    std::vector<std::uint8_t> blob(32, 0);
    for (std::size_t t = 0; t < 256; ++t)
        if (flags[t])
            blob[t / 8] |= static_cast<std::uint8_t>(0x80u >> (t % 8));
    return blob;
}

fdMapRenderer::fdMapRenderer(Map::KVAtlas* atlas, MapCamera& camera, std::shared_ptr<Core::ConfigNode> settings,
                             const Render::StyleContext& styleContext, MapServices services)
    : m_atlas(atlas), m_camera(camera), m_settings(std::move(settings)), m_services(std::move(services)) {
    if (!m_services.hasInputEvent)
        m_services.hasInputEvent = sdlHasInputEvent;
    if (!m_services.ticks)
        m_services.ticks = sdlTicks;
    if (!m_services.requestExpose)
        m_services.requestExpose = sdlPushExpose;
    g_instance = this;

    if (m_settings && m_settings->value("draw_map_info", false))
        m_statistics = std::make_unique<Render::FrameStatistics>();
    if (!m_styles.load(styleContext, Core::dataPath(styleContext.dataFolder, u"render.xml")))
        Log::log(Log::Critical, u"warning : failed to load render styles.");
    m_background = m_styles.selectSet(m_day);
    m_showPolylineText.fill(1);
    m_showPolylineLine.fill(1);
    if (m_settings) {
        m_day = !m_settings->value("night_mode", false);
        m_proportion = m_settings->value("proportion", 3);
        std::vector<std::uint8_t> text = packTypeFlags(m_showPolylineText);
        m_settings->valueBlob("show_pl_text", text);
        unpackTypeFlags(text, m_showPolylineText);
        std::vector<std::uint8_t> line = packTypeFlags(m_showPolylineLine);
        m_settings->valueBlob("show_pl_line", line);
        unpackTypeFlags(line, m_showPolylineLine);
    } else {
        m_day = true;
    }
    if (m_services.engine)
        m_services.engine->day = m_day;
}

fdMapRenderer::~fdMapRenderer() {
    if (g_instance == this)
        g_instance = nullptr;
}

fdMapRenderer* fdMapRenderer::instance() { return g_instance; }

void fdMapRenderer::setDayMode(bool day) {
    m_day = day;
    if (m_settings)
        m_settings->set("night_mode", !day);
    if (m_services.engine)
        m_services.engine->day = day;
    if (m_atlas)
        m_atlas->requestRedraw();
}

void fdMapRenderer::selectStyles(bool day) { m_background = m_styles.selectSet(day); }

void fdMapRenderer::setProportion(std::int32_t proportion) {
    m_proportion = proportion;
    if (m_settings)
        m_settings->set("proportion", proportion);
    if (m_atlas)
        m_atlas->requestRedraw();
}

std::uint32_t fdMapRenderer::ticks() { return m_services.ticks(); }

bool fdMapRenderer::inputWaits() { return m_services.hasInputEvent(m_mouseMotion); }

void fdMapRenderer::checkInput(Map::KVAtlas&, std::uint32_t& state, bool slow) {
    if (slow && state > FastFrameDue && inputWaits())
        state = FastFrameDue;
}

// One frame: decide whether anything must be drawn, prepare the view, clear
// to the background, then the maps' areas, lines and arrows in drawing order
// (each later map first paints over where it has data), the route and the
// tracks, then the POI icons and captions of every map and the route flags.
// While the last full frame was slow and input waits, the rest of the frame
// is drawn fast and a full frame follows.
bool fdMapRenderer::drawFrame(Map::KVAtlas& atlas, const xe::Canvas& canvas, std::uint32_t background,
                              MapCamera& camera, Render::FrameStatistics* statistics) {
    Map::AtlasViewFields& view = atlas.view();
    std::vector<Map::StateRecord>& records = atlas.viewRecords();
    std::uint32_t state = 0;
    bool slow = false;
    {
        Threading::SdlLock lock(atlas.mutex());
        state = view.frameState();
        slow = view.slow();
        const std::uint32_t request = view.redrawRequest();
        if (request == SmallRedraw)
            state = slow ? FastFrameDue : FullFrameDue;
        else if (request == FullRedraw)
            state = FullFrameDue;
        view.setFrameState(state);
        if (state == FrameComplete)
            return true;
    }

    const std::uint32_t t0 = ticks();
    m_working = LayerCounters{};
    view.metresPer40Pixels = 0.0f;
    ViewPreparation::prepare(camera, atlas, statistics, m_services.captions);
    const float scale = view.metresPer40Pixels;
    m_nearScale = scale <= ViewPreparation::NearScale;

    auto timed = [&](std::int32_t* into, auto&& step) {
        const std::uint32_t start = ticks();
        step();
        if (statistics != nullptr && into != nullptr)
            *into += static_cast<std::int32_t>(ticks() - start);
    };
    auto field = [&](std::int32_t Render::FrameStatistics::* member) -> std::int32_t* {
        return statistics != nullptr ? &(statistics->*member) : nullptr;
    };

    timed(field(&Render::FrameStatistics::fillMs), [&] {
        SDL_Surface* surface = canvas.surface;
        xe::fillClipRect(surface, SDL_MapRGBA(surface->format, background & 0xFF, (background >> 8) & 0xFF,
                                              (background >> 16) & 0xFF, 255));
    });

    std::int32_t horizon = -1;
    bool first = true;
    for (const Map::StateRecord& record : records) {
        if (record.hidden)
            continue;
        camera.setupTransform(record);
        xe::FloatPoint a;
        xe::FloatPoint b;
        if (camera.projectPoint(Map::LocalPoint{record.corners[4], record.corners[5]}, false, a) &&
            camera.projectPoint(Map::LocalPoint{record.corners[6], record.corners[7]}, false, b))
            horizon = std::max({horizon, xe::floorToInt(a.y + 0.5f), xe::floorToInt(b.y + 0.5f)});
        if (!first)
            timed(field(&Render::FrameStatistics::fillMs),
                  [&] { MapLayers::clearCoverage(canvas, camera, record, background); });
        first = false;
        checkInput(atlas, state, slow);
        timed(field(&Render::FrameStatistics::polygonMs), [&] {
            MapLayers::drawPolygons(*this, canvas, camera, record, scale, state == FastFrameDue);
        });
        checkInput(atlas, state, slow);
        timed(field(&Render::FrameStatistics::polylineMs), [&] {
            MapLayers::drawPolylines(*this, canvas, camera, record, scale, state == FastFrameDue);
        });
        // The page's marked roads (the next manoeuvre's, the car's) go with
        // the route: full frames only.
        if (state > FastFrameDue && m_services.page != nullptr) {
            const std::vector<std::uint32_t>& marks = m_services.page->roadMarks(record.mapIndex);
            if (!marks.empty())
                timed(field(&Render::FrameStatistics::polylineMs),
                      [&] { MapLayers::drawRoadMarks(*this, canvas, camera, record, scale, marks); });
        }
        checkInput(atlas, state, slow);
        timed(field(&Render::FrameStatistics::arrowMs),
              [&] { MapLayers::drawDirectionArrows(*this, canvas, camera, record, scale); });
    }

    checkInput(atlas, state, slow);
    if (state > FastFrameDue && m_services.route != nullptr)
        timed(field(&Render::FrameStatistics::pathMs),
              [&] { MapLayers::drawRoutePath(canvas, camera, *m_services.route, records); });
    checkInput(atlas, state, slow);
    if (state > FastFrameDue && m_services.page != nullptr)
        timed(field(&Render::FrameStatistics::tracksMs), [&] { m_services.page->drawTracksAndFriends(canvas, camera); });

    view.horizonRow = horizon;
    if (m_services.captions != nullptr)
        m_services.captions->beginCaptions(horizon);

    m_icons.clear();
    m_overMap.clear();
    bool carTaken = false;
    for (const Map::StateRecord& record : records) {
        camera.setupTransform(record);
        // The car the page draws over the frame is taken as an icon is: no
        // name or label covers it.
        if (!carTaken && m_services.page != nullptr) {
            m_frameCar = m_services.page->carBox(camera);
            if (m_frameCar) m_icons.push_back(*m_frameCar);
            carTaken = true;
            // So are the panels, flags and waypoint icons drawn over the
            // frame after its names (the flags set the camera up for their
            // own levels).
            gatherOverMap(canvas, camera, m_framePanels);
            camera.setupTransform(record);
        }
        Map::KVMap2* map = record.mapIndex < atlas.maps().size() ? atlas.maps()[record.mapIndex].get() : nullptr;
        timed(field(&Render::FrameStatistics::pointMs),
              [&] { MapLayers::drawPoiIcons(*this, canvas, camera, record, scale, &m_icons, map); });
        checkInput(atlas, state, slow);
        if (state > FastFrameDue && m_services.captions != nullptr)
            timed(field(&Render::FrameStatistics::captionMs),
                  [&] { m_services.captions->drawCaptions(canvas, camera, record, scale); });
    }
    if (m_services.route != nullptr && m_services.page != nullptr)
        timed(field(&Render::FrameStatistics::pathMs),
              [&] { MapLayers::drawRouteFlags(canvas, camera, *m_services.route, *m_services.page); });

    m_published = m_working;

    bool expose = false;
    {
        Threading::SdlLock lock(atlas.mutex());
        if (state == FastFrameDue) {
            view.setFrameState(FullFrameDue);
            expose = true;
        } else if (state == FullFrameDue) {
            view.setFrameState(FrameComplete);
            view.setSlow(ticks() - t0 > SlowFrameMs);
        }
    }
    // Nothing else asks for the full frame that must follow a fast one.
    if (expose)
        m_services.requestExpose();
    return !records.empty();
}

void fdMapRenderer::drawMap(SDL_Surface* screen, const SDL_Rect& target, bool indicator, ProximitySource* overlay) {
    if (m_surface == nullptr || m_atlas == nullptr)
        return;
    Render::FrameStatistics* statistics = m_statistics.get();
    if (statistics != nullptr)
        statistics->clearTimes();
    const std::uint32_t start = ticks();
    if (carMovedOntoNames() || panelsMoved()) m_atlas->requestRedraw();
    if (!inputWaits())
        drawFrame(*m_atlas, xe::Canvas::of(m_surface), m_background, m_camera, statistics);
    xe::blitWhole(m_surface, screen, target.x, target.y);
    if (statistics != nullptr)
        statistics->totalMs += static_cast<std::int32_t>(ticks() - start);

    // The overlays go onto the map surface's place on screen.
    const xe::Canvas canvas{screen, target.x, target.y, std::min<std::int32_t>(target.x + m_surface->w, screen->w),
                            std::min<std::int32_t>(target.y + m_surface->h, screen->h)};
    if (m_services.engine != nullptr && m_services.engine->carMarker && m_services.carMapPosition) {
        if (const auto car = m_services.carMapPosition()) {
            xe::Point p;
            if (m_camera.mapToScreen(*car, p) && p.x >= 0 && p.y >= 0 && p.x < m_surface->w && p.y < m_surface->h)
                fillBox(screen, target.x + p.x - 1, target.y + p.y - 1, 2, 2, 255, 0, 0);
        }
    }
    const std::int32_t rounded = xe::floorToInt(m_atlas->view().metresPer40Pixels + 0.5f);
    if (rounded < 2000 && m_services.waypoints != nullptr) {
        const std::uint32_t t = ticks();
        // The names keep clear of the frame's names, its icons and the car,
        // and of the page's panels over the map.
        std::vector<Render::OrientedBox> taken;
        if (m_services.captions != nullptr) taken = m_services.captions->drawnBoxes();
        for (const Render::IconBox& icon : m_icons) taken.push_back(icon.box);
        if (m_services.page != nullptr) {
            const std::vector<Render::OrientedBox> panels = m_services.page->coveredBoxes();
            taken.insert(taken.end(), panels.begin(), panels.end());
        }
        const std::uint32_t n = m_services.waypoints->drawPoints(screen, m_camera, taken);
        if (statistics != nullptr) {
            statistics->waypoints = static_cast<std::int32_t>(n);
            statistics->totalMs += static_cast<std::int32_t>(ticks() - t);
        }
    }
    if (rounded < 500 && overlay != nullptr) {
        const std::uint32_t t = ticks();
        const float markSize = 30.0f / m_camera.scale();
        const std::int32_t* box = m_atlas->view().globalViewBox;
        const xe::Canvas mapCanvas{screen, target.x, target.y, canvas.right, canvas.bottom};
        const std::uint32_t n = overlay->visitPoints(box[0], box[1], box[2], box[3], [&](const ProximityPoint& p) {
            drawProximityPoint(mapCanvas, p, markSize);
        });
        if (statistics != nullptr) {
            statistics->dangerPoints = static_cast<std::int32_t>(n);
            statistics->totalMs += static_cast<std::int32_t>(ticks() - t);
        }
    }
    if (m_services.page != nullptr) {
        if (CompassWidget* compass = m_services.page->compass())
            compass->setAngle(static_cast<float>(m_camera.rotation() * 180.0 / std::numbers::pi));
    }
    if (indicator)
        fillBox(screen, target.x + m_focus.x - 2, target.y + m_focus.y - 2, 5, 5, 255, 128, 0);
    if (statistics != nullptr) {
        if (m_services.resourcePoolFigures)
            m_services.resourcePoolFigures(statistics->poolFigures);
        if (m_mapFont != nullptr)
            Render::drawDebugInfo(*statistics, screen, *m_mapFont);
    }
}

// While the view does not follow the car, the frame stands as the car
// moves; when the car has moved onto a name of it, the names are placed
// again. A car that stayed (its box within a pixel of the one the names were
// placed against: the frame's first map may round it otherwise) asks
// nothing, so a name it only touches by rounding cannot redraw every frame.
bool fdMapRenderer::carMovedOntoNames() {
    if (m_services.page == nullptr || m_services.captions == nullptr) return false;
    const std::optional<Render::IconBox> car = m_services.page->carBox(m_camera);
    if (!car) return false;
    if (m_frameCar) {
        const Render::OrientedBox &now = car->box, &then = m_frameCar->box;
        if (std::fabs(now.centreX - then.centreX) <= 1.0f && std::fabs(now.centreY - then.centreY) <= 1.0f &&
            std::fabs(now.halfWidth - then.halfWidth) <= 1.0f &&
            std::fabs(now.halfHeight - then.halfHeight) <= 1.0f)
            return false;
    }
    const std::vector<Render::OrientedBox>& names = m_services.captions->drawnBoxes();
    return std::any_of(names.begin(), names.end(),
                       [&](const Render::OrientedBox& name) { return name.overlaps(car->box); });
}

void fdMapRenderer::gatherOverMap(const xe::Canvas& canvas, MapCamera& camera,
                                  std::vector<Render::OrientedBox>& panels) {
    panels = m_services.page->coveredBoxes();
    m_overMap = panels;
    if (m_services.route != nullptr) {
        const std::vector<Render::OrientedBox> flags =
            MapLayers::routeFlagBoxes(camera, *m_services.route, *m_services.page);
        m_overMap.insert(m_overMap.end(), flags.begin(), flags.end());
    }
    // The waypoints are drawn only nearer than 2000 m per 40 pixels.
    if (m_services.waypoints != nullptr && canvas.surface != nullptr && m_atlas != nullptr &&
        xe::floorToInt(m_atlas->view().metresPer40Pixels + 0.5f) < 2000) {
        const std::vector<Render::OrientedBox> icons =
            m_services.waypoints->iconBoxes(canvas.surface->w, canvas.surface->h, camera);
        m_overMap.insert(m_overMap.end(), icons.begin(), icons.end());
    }
}

// A panel shown, hidden or moved over a standing frame: its names are placed
// again, clear of the panels as they are now.
bool fdMapRenderer::panelsMoved() {
    if (m_services.page == nullptr || m_services.captions == nullptr) return false;
    const std::vector<Render::OrientedBox> now = m_services.page->coveredBoxes();
    return !std::equal(now.begin(), now.end(), m_framePanels.begin(), m_framePanels.end(),
                       [](const Render::OrientedBox& a, const Render::OrientedBox& b) {
                           return a.centreX == b.centreX && a.centreY == b.centreY &&
                                  a.halfWidth == b.halfWidth && a.halfHeight == b.halfHeight;
                       });
}

void fdMapRenderer::drawProximityPoint(const xe::Canvas& canvas, const ProximityPoint& point, float markSize) {
    // Screen points of the map camera are relative to the map surface; the
    // canvas's corner says where that lies.
    auto toScreen = [&](Map::Point p, xe::Point& out) {
        if (!m_camera.mapToScreen(p, out))
            return false;
        out.x += canvas.left;
        out.y += canvas.top;
        return true;
    };
    xe::Point s;
    if (!toScreen(point.position, s) || s.x < canvas.left || s.x >= canvas.right || s.y < canvas.top ||
        s.y >= canvas.bottom)
        return;
    const std::int32_t rounded = xe::floorToInt(m_atlas ? m_atlas->view().metresPer40Pixels + 0.5f : 0.5f);
    const Render::PoiStyle* style = m_styles.poiStyle(point.poiType);
    if (style == nullptr) {
        xe::fillCircle(canvas.surface, s.x, s.y, 5, 0xFF8000FFu);
        return;
    }
    if (!style->visibleAt(rounded))
        return;
    if (style->icon == nullptr) {
        xe::fillCircle(canvas.surface, s.x, s.y, 5, 0xFF8000FFu);
    } else if (m_poiCursor != nullptr) {
        Render::drawImageAt(Render::ImageAnchor{style->icon, m_poiCursor->hotX, m_poiCursor->hotY}, s.x, s.y,
                            canvas.surface);
    } else {
        const int w = style->icon->width();
        const int h = style->icon->height();
        SDL_Rect rect{static_cast<Sint16>(s.x - w / 2), static_cast<Sint16>(s.y - h / 2), static_cast<Uint16>(w),
                      static_cast<Uint16>(h)};
        style->icon->drawAligned(canvas.surface, rect, 0, 0);
    }
    const std::uint32_t direction = (point.packed >> 20) & 3u;
    if (direction != 1 && direction != 2)
        return;
    const float heading = static_cast<float>((point.packed >> 22) & 0x1FFu) * 0.017453292f;
    const std::int32_t dx = xe::floorToInt(std::sin(heading) * markSize + 0.5f);
    const std::int32_t dy = xe::floorToInt(std::cos(heading) * markSize + 0.5f);
    const Uint32 green = SDL_MapRGB(canvas.surface->format, 0, 255, 0);
    auto mark = [&](std::int32_t mx, std::int32_t my) {
        const Map::Point p = point.position;
        auto at = [&](std::int64_t x, std::int64_t y) {
            return Map::Point{static_cast<std::int32_t>(static_cast<std::uint32_t>(p.x) + static_cast<std::uint32_t>(x)),
                              static_cast<std::int32_t>(static_cast<std::uint32_t>(p.y) + static_cast<std::uint32_t>(y))};
        };
        xe::Point corners[3];
        if (!toScreen(at(mx, my), corners[0]) ||
            !toScreen(at(mx / 2 - my / 8, my / 2 + mx / 8), corners[1]) ||
            !toScreen(at(mx / 2 + my / 8, my / 2 - mx / 8), corners[2]))
            return;
        xe::fillTrianglePoints(canvas, &corners[0], &corners[1], &corners[2], green);
        xe::drawLineBetween(canvas, corners[0], corners[1], 0);
        xe::drawLineBetween(canvas, corners[1], corners[2], 0);
        xe::drawLineBetween(canvas, corners[2], corners[0], 0);
    };
    mark(dx, dy);
    if (direction == 2)
        mark(-dx, -dy);
}

void fdMapRenderer::moveView(float dx, float dy, float zoom, float angle) {
    if (m_atlas == nullptr)
        return;
    Map::AtlasViewFields& view = m_atlas->view();
    bool changed = false;
    const std::int32_t rx = xe::floorToInt(dx + 0.5f);
    const std::int32_t ry = xe::floorToInt(dy + 0.5f);
    if (rx != 0 || ry != 0) {
        const xe::Point to{m_dragAnchor.x + rx, m_dragAnchor.y + ry};
        m_camera.dragBy(view, m_atlas->viewRecords(), m_dragAnchor, to);
        m_dragAnchor = to;
        changed = true;
    }
    if (angle != 0.0f) {
        m_camera.rotateBy(view, angle);
        changed = true;
    }
    if (zoom != 0.0f && zoom != 1.0f) {
        m_camera.setScale(m_camera.scale() * zoom);
        view.setRedrawRequest(SmallRedraw);
        changed = true;
    }
    if (changed && m_services.page != nullptr)
        m_services.page->invalidate();
}

bool fdMapRenderer::followCar(FollowState& state, std::uint32_t nowMs, MapCamera& camera, Map::KVAtlas& atlas,
                              const CarState& car, const std::optional<FollowOverride>& override) {
    const Map::Point target = override ? override->position : car.position;
    const float heading = override ? override->headingRadians : car.headingDegrees * 0.017453292f;
    const float elapsed = static_cast<float>(nowMs - state.timeMs);
    const float rotation = camera.rotation();
    // The shorter way round, however far apart the two angles are.
    const float d = wrapAngle(heading - rotation);
    float next = rotation;
    if (car.speed > 1.0f) {
        const float rate = car.speed < 10.0f ? (car.speed - 1.0f) * 0.3490658503988659f
                                             : static_cast<float>(std::numbers::pi);
        const float allowed = rate * elapsed * 0.001f;
        next = std::fabs(d) < allowed ? rotation + d : rotation + (d < 0 ? -allowed : allowed);
    }
    next = wrapAngle(next);
    // A car standing under the view asks for no new frame.
    if (!(camera.centre() == target) || next != rotation) {
        camera.setCentre(target);
        camera.setRotation(atlas.view(), next);
    }

    const float limit = 0.1f * elapsed;
    const bool changed = std::fabs(wrapAngle(next - state.rotation)) >= 0.02f ||
                         std::fabs(static_cast<float>(target.x) - static_cast<float>(state.position.x)) > limit ||
                         std::fabs(static_cast<float>(target.y) - static_cast<float>(state.position.y)) > limit;
    if (changed) {
        state.timeMs = nowMs;
        state.position = target;
        state.rotation = next;
    }
    return changed;
}

} // namespace MapDrawing
