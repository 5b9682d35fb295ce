#include "tests/render/FrameFixture.h"

#include "core/Text.h"
#include "map/Projection.h"
#include "render/Image.h"
#include "render/ViewPreparation.h"
#include "tools/mapwriter/MapWriter.h"

#include "core/FloatToInt.h"

#include <cstring>
#include <stdexcept>

namespace FrameTest {

using namespace MapWriting;

LevelDescription fixtureLevel() {
    LevelDescription level;
    level.coordinateBits = Bits;
    level.cellShift = Shift;
    level.originX = 4;
    level.originY = 4;
    level.width = 4;
    level.height = 4;
    return level;
}

MapDescription fixtureMap(std::uint8_t type, std::uint32_t id, LevelDescription level) {
    MapDescription map;
    map.mapId = id;
    map.mapType = type;
    map.strings.add("Fixture");
    map.levels = {std::move(level)};
    map.sections.push_back({17, 1, std::vector<std::uint8_t>(60, 0)});
    map.sections.push_back({18, 1, {0, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0}});
    return map;
}

Fixture::Fixture() {
    std::filesystem::create_directories(m_dir.path() / "data");
    std::filesystem::create_directories(mapsFolder());
    auto root = config.root();
    root->set("win_main_heap", 1024);
    root->set("win_route_heap", 64);
    surface = SDL_CreateRGBSurface(SDL_SWSURFACE, Width, Height, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    if (surface == nullptr)
        throw std::runtime_error("no surface");
}

Fixture::~Fixture() {
    renderer.reset();
    atlas.reset();
    SDL_FreeSurface(surface);
}

void Fixture::writeMap(const std::string& name, const MapDescription& map) {
    writeMapFile(mapsFolder() / name, map);
}

bool Fixture::load() {
    Map::AtlasServices services;
    services.paths = std::make_shared<Map::FolderPaths>(Core::utf8ToWide(m_dir.path().string()) + u"/");
    atlas = std::make_unique<Map::KVAtlas>(config.root(), pool, std::move(services));
    if (!atlas->load(Core::utf8ToWide(mapsFolder().string())))
        return false;

    MapDrawing::MapServices hooks;
    hooks.hasInputEvent = [this](bool) {
        ++inputCalls;
        return inputFrom >= 0 && inputCalls >= inputFrom;
    };
    hooks.ticks = [this] { return now += tick; };
    hooks.requestExpose = [this] { ++exposes; };
    Render::StyleContext context;
    context.dataFolder = Core::utf8ToWide((m_dir.path() / "data").string()) + u"/";
    renderer = std::make_unique<MapDrawing::fdMapRenderer>(atlas.get(), camera, config.root(), context, hooks);

    // Styles in code: the day set, and a night set that differs in colour.
    for (Render::StyleSet* set : {&renderer->styles().daySet(), &renderer->styles().nightSet()}) {
        const bool night = set == &renderer->styles().nightSet();
        set->misc[Render::MiscMapBg].color = Background;
        set->misc[Render::MiscDirection].color = ArrowBlack;
        set->misc[Render::MiscRoute2] = {MarkCyan, MarkPixels, 0};
        set->polygons[1].color = night ? NightArea : AreaRed;
        set->polygons[1].borderColor = AreaBorder | Render::PolygonStyle::Present;
        set->polygons[7].color = WorldYellow;
        auto& road = set->polylines[2];
        road.fill = Render::FillKind::Solid, road.color = RoadGreen, road.width = 4;
        road.borderColor = RoadBorderBlue, road.borderWidth = 1;
        auto& dash = set->polylines[3];
        dash.fill = Render::FillKind::Dash, dash.color = DashPurple, dash.width = 2;
        for (std::uint8_t t : {4, 5, 6}) {
            auto& line = set->polylines[t];
            line.fill = Render::FillKind::Solid, line.color = OneWayOrange, line.width = 2;
        }
    }
    // POI types 0x100 + p with placement p (0..10), an 8 x 8 icon.
    SDL_Surface* iconSurface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    SDL_FillRect(iconSurface, nullptr, SDL_MapRGB(iconSurface->format, 0xFF, 0x00, 0xFF));
    icons.push_back(Render::ImageFromSurface::owning(iconSurface));
    for (int p = 0; p <= 10; ++p) {
        Render::PoiStyle style;
        style.icon = icons.back().get();
        style.placement = p;
        const auto type = static_cast<std::uint16_t>(0x100 + p);
        renderer->styles().daySet().poiStyles[type] = style;
        renderer->styles().setPoiTypeFlags(type, true, false);
    }
    renderer->selectStyles(true);
    camera.setAnchorFraction(0.5f);
    camera.setViewport(Width, Height, 2 * camera.halfFieldOfView());
    return true;
}

void Fixture::lookAt(float localX, float localY, float metresPer40Pixels) {
    camera.setCentre(levelFrame.toGlobal(Map::LocalPoint{localX, localY}));
    camera.setScale(1.0f);
    camera.setScale(MapDrawing::ViewPreparation::metresPer40Pixels(camera) / metresPer40Pixels);
}

bool Fixture::frame(std::uint32_t request) {
    if (request != Map::AtlasViewFields::NoRedraw)
        atlas->view().setRedrawRequest(request);
    return renderer->drawFrame(*atlas, xe::Canvas::of(surface), renderer->backgroundColour(), camera, nullptr);
}

std::uint32_t Fixture::pixel(int x, int y) const {
    const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch;
    std::uint32_t value = 0;
    std::memcpy(&value, row + 4 * x, 4);
    Uint8 r, g, b;
    SDL_GetRGB(value, surface->format, &r, &g, &b);
    return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b) << 16;
}

xe::Point Fixture::screenOf(std::int32_t cellX, std::int32_t cellY, float x, float y) {
    camera.setupForLevel(levelFrame);
    xe::FloatPoint s;
    const auto cell = static_cast<float>(levelFrame.cellSize());
    camera.projectPoint(Map::LocalPoint{static_cast<float>(cellX) * cell + x, static_cast<float>(cellY) * cell + y},
                        false, s);
    return xe::Point{xe::floorToInt(s.x + 0.5f), xe::floorToInt(s.y + 0.5f)};
}

bool Fixture::anyIn(std::uint32_t colour, int x0, int y0, int x1, int y1) const {
    for (int y = std::max(y0, 0); y <= std::min(y1, Height - 1); ++y)
        for (int x = std::max(x0, 0); x <= std::min(x1, Width - 1); ++x)
            if (pixel(x, y) == colour)
                return true;
    return false;
}

} // namespace FrameTest
