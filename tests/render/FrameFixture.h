#pragma once
// A small atlas written by the fixture map writer, a map renderer over it
// with styles set in code, a 2D camera and a 32-bit canvas, for structural
// pixel tests of the map frame. Injected input probe, clock and expose.

#include "core/Config.h"
#include "core/ResourcesPool.h"
#include "map/KVAtlas.h"
#include "map/LevelFrame.h"
#include "render/MapCamera.h"
#include "render/fdMapRenderer.h"
#include "tools/mapwriter/MapDescription.h"
#include "tests/support/TempDir.h"

#include <SDL.h>

#include <filesystem>
#include <memory>
#include <string>

namespace FrameTest {

constexpr int Width = 400;
constexpr int Height = 300;
// Every fixture level: 16 coordinate bits, cells of 2^8 units (fields of 9
// bits), 4 x 4 cells from cell (4, 4).
constexpr std::uint8_t Bits = 16;
constexpr std::uint8_t Shift = 8;
constexpr std::int32_t Cell = 256;

MapWriting::LevelDescription fixtureLevel();
// A map that opens: strings, the level, empty routing and search sections.
MapWriting::MapDescription fixtureMap(std::uint8_t type, std::uint32_t id, MapWriting::LevelDescription level);

// Colours (0x00BBGGRR) of the code-made styles.
constexpr std::uint32_t Background = 0x00E0E0E0;
constexpr std::uint32_t AreaRed = 0x000000C0;
constexpr std::uint32_t AreaBorder = 0x00404040;
constexpr std::uint32_t RoadGreen = 0x0000A000;
constexpr std::uint32_t RoadBorderBlue = 0x00C00000;
constexpr std::uint32_t DashPurple = 0x00800080;
constexpr std::uint32_t OneWayOrange = 0x000080FF;
constexpr std::uint32_t ArrowBlack = 0x00101010;
constexpr std::uint32_t WorldYellow = 0x0000E0E0;
constexpr std::uint32_t IconMagenta = 0x00FF00FF;
constexpr std::uint32_t NightArea = 0x00300000;
// The misc item "route2": the marked roads, 6 pixels each side.
constexpr std::uint32_t MarkCyan = 0x00F0F000;
constexpr std::int32_t MarkPixels = 6;

class Fixture {
public:
    Fixture();
    ~Fixture();

    void writeMap(const std::string& name, const MapWriting::MapDescription& map);
    std::filesystem::path mapsFolder() const { return m_dir.path() / "maps"; }
    // Loads the folder's atlas and builds the renderer with the fixture
    // styles (day set active). False when the atlas does not load.
    bool load();
    // Camera at level-local point (x, y) of the fixture level at the scale.
    void lookAt(float localX, float localY, float metresPer40Pixels);

    // One frame after a redraw request (0: none).
    bool frame(std::uint32_t request = Map::AtlasViewFields::FullRedraw);
    // The pixel as 0x00BBGGRR.
    std::uint32_t pixel(int x, int y) const;
    // Screen point of a cell-local point of the fixture level.
    xe::Point screenOf(std::int32_t cellX, std::int32_t cellY, float x, float y);
    // Whether the colour occurs in the box (inclusive, clipped).
    bool anyIn(std::uint32_t colour, int x0, int y0, int x1, int y1) const;

    TestSupport::TempDir m_dir;
    Core::Config config;
    Core::ResourcesPool pool{10};
    std::unique_ptr<Map::KVAtlas> atlas;
    MapCamera camera;
    std::unique_ptr<MapDrawing::fdMapRenderer> renderer;
    SDL_Surface* surface = nullptr;
    std::vector<std::unique_ptr<Render::Image>> icons;

    // Injected services.
    int inputCalls = 0;
    int inputFrom = -1; // the probe answers true from this call on (-1 never)
    std::uint32_t now = 1000;
    std::uint32_t tick = 1; // added on every clock read
    int exposes = 0;
    // The frame lookAt and screenOf work in: the fixture level's unless a
    // test writes levels of another cell shift.
    Map::LevelFrame levelFrame{Bits, Shift, 4, 4};
};

} // namespace FrameTest
