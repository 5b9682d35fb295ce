#pragma once
// The map renderer: the one object that owns what drawing the map needs
// besides the atlas and the camera — the day and night styles, the
// per-type polyline flags, the render settings, the layer counters and the
// frame statistics — and draws one map frame into the map surface, then
// blits it with the overlays. The engine builds it once; the layers find it
// through instance(). Main thread only (the frame takes the atlas mutex for
// the shared view values).
//
// Render settings (the renderer's configuration node, read once at
// construction): "draw_map_info" (bool, false), "night_mode" (bool, false),
// "proportion" (int, 3), "show_pl_text" and "show_pl_line" (blobs of 256
// bits, bit for type t in byte t / 8, most significant bit first; all set
// by default).

#include "render/FrameStatistics.h"
#include "render/MapPageServices.h"
#include "render/RenderStyles.h"

#include <SDL.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class MapCamera;

namespace Render {
class Font;
}

namespace Core {
class ConfigNode;
}
namespace Map {
class KVAtlas;
}

namespace MapDrawing {

// The car as followCar sees it.
struct CarState {
    Map::Point position;
    float headingDegrees = 0.0f;
    float speed = 0.0f; // metres per second
};

// A position and heading (radians) that replaces the car's.
struct FollowOverride {
    Map::Point position;
    float headingRadians = 0.0f;
};

// What followCar remembers between calls.
struct FollowState {
    std::uint32_t timeMs = 0;
    Map::Point position;
    float rotation = 0.0f;
};

// The layer counters of one frame.
struct LayerCounters {
    std::int32_t polygons = 0;
    std::int32_t polylines = 0;
    std::int32_t points = 0;
    std::int32_t captions = 0;
};

class fdMapRenderer {
public:
    // Reads the settings and loads "render.xml" from styleContext.dataFolder
    // (a failure logs "warning : failed to load render styles." and leaves
    // empty styles). The active set is the night set until the caller
    // selects one (selectStyles).
    fdMapRenderer(Map::KVAtlas* atlas, MapCamera& camera, std::shared_ptr<Core::ConfigNode> settings,
                  const Render::StyleContext& styleContext, MapServices services = {});
    ~fdMapRenderer();
    fdMapRenderer(const fdMapRenderer&) = delete;
    fdMapRenderer& operator=(const fdMapRenderer&) = delete;

    // The renderer of the running program (null when none is built).
    static fdMapRenderer* instance();

    // --- settings -----------------------------------------------------------
    // Stores the day flag, writes "night_mode", mirrors the flag into the
    // engine's display settings and requests a redraw. The caller then
    // selects the matching style set.
    void setDayMode(bool day);
    bool isDay() const { return m_day; }
    // Selects the day or night set and takes its "map_bg" colour.
    void selectStyles(bool day);
    void setProportion(std::int32_t proportion);
    std::int32_t proportion() const { return m_proportion; }
    const std::array<std::uint8_t, 256>& showPolylineText() const { return m_showPolylineText; }
    std::array<std::uint8_t, 256>& showPolylineText() { return m_showPolylineText; }
    const std::array<std::uint8_t, 256>& showPolylineLine() const { return m_showPolylineLine; }
    std::array<std::uint8_t, 256>& showPolylineLine() { return m_showPolylineLine; }

    Render::RenderStyles& styles() { return m_styles; }
    std::uint32_t backgroundColour() const { return m_background; }

    // --- what the map page sets ---------------------------------------------
    void setMapSurface(SDL_Surface* surface) { m_surface = surface; }
    SDL_Surface* mapSurface() const { return m_surface; }
    void setPoiCursor(const CursorRecord* cursor) { m_poiCursor = cursor; }
    // The map page's font (captions, debug overlay); not owned.
    void setMapFont(Render::Font* font) { m_mapFont = font; }
    Render::Font* mapFont() const { return m_mapFont; }
    const CursorRecord* poiCursor() const { return m_poiCursor; }
    void setMouseMotion(bool on) { m_mouseMotion = on; }
    void setFocusPoint(xe::Point focus) { m_focus = focus; }
    xe::Point focusPoint() const { return m_focus; }
    void setDragAnchor(xe::Point anchor) { m_dragAnchor = anchor; }
    xe::Point dragAnchor() const { return m_dragAnchor; }
    MapServices& services() { return m_services; }

    // --- counters and statistics --------------------------------------------
    LayerCounters& workingCounters() { return m_working; }
    const LayerCounters& counters() const { return m_published; }
    // Null unless "draw_map_info" is on.
    Render::FrameStatistics* statistics() { return m_statistics.get(); }
    // The POI icons of the frame being drawn (of the last one, once drawn),
    // and the page's car first when it draws one.
    const std::vector<Render::IconBox>& drawnIcons() const { return m_icons; }
    // The page's car as the frame being drawn places its icons and names
    // against it (none while the page draws no car).
    const std::optional<Render::IconBox>& frameCar() const { return m_frameCar; }
    // What is drawn over the frame after its names, which they keep clear
    // of: the page's panels over the map, the route's flags and the
    // waypoints' icons (map surface pixels, of the frame being drawn).
    const std::vector<Render::OrientedBox>& overMap() const { return m_overMap; }
    // The last frame's scale was at most 80 m per 40 pixels.
    bool nearScale() const { return m_nearScale; }
    void setNearScale(bool near) { m_nearScale = near; }

    // --- drawing ------------------------------------------------------------
    // One map frame into canvas (see the frame pipeline in the .cpp). False
    // only when no view record exists after drawing.
    bool drawFrame(Map::KVAtlas& atlas, const xe::Canvas& canvas, std::uint32_t background, MapCamera& camera,
                   Render::FrameStatistics* statistics);
    // The map page's draw body: the frame into the map surface (unless input
    // already waits), the blit to target's corner on screen, then the
    // overlays. overlay: the danger-warn points, or null.
    void drawMap(SDL_Surface* screen, const SDL_Rect& target, bool indicator, ProximitySource* overlay);
    // A gesture: drag by (dx, dy) pixels from the drag anchor, zoom factor
    // (0 and 1 change nothing), rotation by angle radians.
    void moveView(float dx, float dy, float zoom, float angle);
    // Keeps the view on the car; true when the view changed enough to count.
    bool followCar(FollowState& state, std::uint32_t nowMs, MapCamera& camera, Map::KVAtlas& atlas,
                   const CarState& car, const std::optional<FollowOverride>& override);

    // The proximity marks of one frame (see the .cpp).
    void drawProximityPoint(const xe::Canvas& canvas, const ProximityPoint& point, float markSize);

private:
    bool inputWaits();
    bool carMovedOntoNames();
    // The boxes of overMap() as the page, the route and the waypoints give
    // them now; the panels alone into panels.
    void gatherOverMap(const xe::Canvas& canvas, MapCamera& camera, std::vector<Render::OrientedBox>& panels);
    bool panelsMoved();
    void checkInput(Map::KVAtlas& atlas, std::uint32_t& state, bool slow);
    std::uint32_t ticks();

    Map::KVAtlas* m_atlas;
    MapCamera& m_camera;
    std::shared_ptr<Core::ConfigNode> m_settings;
    MapServices m_services;
    xe::Point m_focus;
    std::uint32_t m_background = 0;
    xe::Point m_dragAnchor;
    std::array<std::uint8_t, 256> m_showPolylineText{};
    std::array<std::uint8_t, 256> m_showPolylineLine{};
    Render::RenderStyles m_styles;
    const CursorRecord* m_poiCursor = nullptr;
    LayerCounters m_published;
    LayerCounters m_working;
    std::unique_ptr<Render::FrameStatistics> m_statistics;
    std::vector<Render::IconBox> m_icons;
    // The page's car the last frame placed its names against.
    std::optional<Render::IconBox> m_frameCar;
    std::vector<Render::OrientedBox> m_overMap;
    // The page's panels the last frame placed its names against.
    std::vector<Render::OrientedBox> m_framePanels;
    Render::Font* m_mapFont = nullptr;
    bool m_day = false;
    std::int32_t m_proportion = 3;
    SDL_Surface* m_surface = nullptr;
    bool m_mouseMotion = false;
    bool m_nearScale = false;
};

// The 256 flags from a settings blob: bit for type t in byte t / 8, most
// significant first. A blob shorter than 32 bytes leaves the remaining
// flags as they are.
void unpackTypeFlags(const std::vector<std::uint8_t>& blob, std::array<std::uint8_t, 256>& flags);
std::vector<std::uint8_t> packTypeFlags(const std::array<std::uint8_t, 256>& flags);

} // namespace MapDrawing
