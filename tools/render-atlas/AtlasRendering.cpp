#include "tools/render-atlas/AtlasRendering.h"

#include "core/DataPath.h"
#include "core/Text.h"
#include "map/Projection.h"
#include "render/Image.h"
#include "render/TtfFont.h"
#include "render/ViewPreparation.h"

#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace AtlasRendering {

namespace {

SDL_Surface* makeSurface(int w, int h) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
}

std::u16string withSlash(const std::string& folder) {
    std::u16string wide = Core::utf8ToWide(folder);
    if (wide.empty() || wide.back() != u'/')
        wide += u'/';
    return wide;
}

// The data folder as given, except that the atlas.xml every atlas load
// writes goes to a scratch folder: a review or query tool must leave the
// user's data folder as it found it.
class ReadOnlyDataPaths : public Map::AtlasPaths {
  public:
    ReadOnlyDataPaths(std::u16string programFolder, std::u16string scratchFolder)
        : m_given(std::move(programFolder)), m_scratch(std::move(scratchFolder)) {}
    std::u16string dataPath(std::u16string_view name) const override {
        return name == u"atlas.xml" ? m_scratch.dataPath(name) : m_given.dataPath(name);
    }
    std::u16string programPath(std::u16string_view name) const override { return m_given.programPath(name); }

  private:
    Map::FolderPaths m_given;
    Map::FolderPaths m_scratch;
};

} // namespace

Session::Session(const std::string& atlasFolder, const std::string& dataFolder, const ViewSettings& view)
    : m_view(view) {
    m_map = makeSurface(view.width, view.height);
    m_screen = makeSurface(view.width, view.height);
    if (m_map == nullptr || m_screen == nullptr)
        throw std::runtime_error("cannot create the drawing surfaces");

    // The atlas takes the program folder and finds "data/" below it.
    const std::filesystem::path data = std::filesystem::absolute(dataFolder);
    Map::AtlasServices services;
    if (data.filename() != "data")
        throw std::runtime_error("the data folder must be named data");
    // Without its styles the renderer draws an empty map, which would pass
    // for a (very fast) frame.
    if (!std::filesystem::is_regular_file(data / "styles" / "polylines.xml"))
        throw std::runtime_error("the data folder has no map styles (styles/polylines.xml)");
    std::filesystem::create_directory(m_scratch.path / "data");
    services.paths = std::make_shared<ReadOnlyDataPaths>(withSlash(data.parent_path().string()),
                                                         withSlash(m_scratch.path.string()));
    services.keepsFolder = true;
    m_atlas = std::make_unique<Map::KVAtlas>(m_config.root(), m_pool, std::move(services));
    if (!m_atlas->load(Core::utf8ToWide(std::filesystem::absolute(atlasFolder).string())))
        throw std::runtime_error("the atlas did not load");

    const std::u16string dataWide = withSlash(data.string());
    const SDL_PixelFormat* format = m_map->format;
    // Images as the program reads them: from the data packages, with their
    // alpha kept (round POI icons stay round).
    m_files = std::make_unique<FileSystem::VirtualFs>(dataWide);
    m_images = std::make_unique<Render::ImageList>(Render::packedImageFactory(*m_files, nullptr));
    Render::StyleContext styles;
    styles.images = m_images.get();
    styles.patternFormat = format;
    styles.dataFolder = dataWide;
    auto settings = m_config.root();
    settings->set("night_mode", view.night);
    settings->set("draw_map_info", view.statistics);
    MapDrawing::MapServices mapServices;
    mapServices.hasInputEvent = [](bool) { return false; };
    mapServices.requestExpose = [] {};
    m_renderer = std::make_unique<MapDrawing::fdMapRenderer>(m_atlas.get(), m_camera, settings, styles, mapServices);
    m_renderer->selectStyles(!view.night);
    m_renderer->styles().resetPoiTypeFlags();
    m_renderer->setMapSurface(m_map);

    const std::u16string fontPath =
        view.fontPath.empty() ? Core::dataPath(dataWide, u"DejaVuSans.ttf") : Core::utf8ToWide(view.fontPath);
    m_font = Render::TtfFont::open(fontPath, view.fontSize);
    if (m_font) {
        m_renderer->setMapFont(m_font.get());
        m_captions = std::make_unique<MapDrawing::MapCaptions>(*m_atlas, *m_renderer);
        m_renderer->services().captions = m_captions.get();
    }
    resetView();
}

Session::~Session() {
    if (m_renderer)
        m_renderer->services().captions = nullptr;
    m_captions.reset();
    m_renderer.reset();
    m_atlas.reset();
    SDL_FreeSurface(m_map);
    SDL_FreeSurface(m_screen);
}

void Session::resetView() {
    // The saved camera of the atlas, read and never written back: a review
    // tool leaves the atlas folder as it found it.
    MapDrawing::ViewPreparation::cameraFromAtlas(m_camera, *m_atlas);
    m_camera.setAnchorFraction(MapCamera::anchorFractionFor(m_renderer->proportion()));
    m_camera.setViewport(static_cast<float>(m_view.width), static_cast<float>(m_view.height),
                         2 * m_camera.halfFieldOfView());
    if (m_view.latitude && m_view.longitude)
        m_camera.setCentre(Map::Projection::fromGeo(static_cast<float>(*m_view.latitude),
                                                    static_cast<float>(*m_view.longitude)));
    if (m_view.metresPer40Pixels && *m_view.metresPer40Pixels > 0) {
        const double latitude = Map::Projection::toGeo(m_camera.centre()).latitude;
        m_camera.setScale(static_cast<float>(std::cos(latitude * 0.01745329238474369) * 0.37281137704849243 /
                                             *m_view.metresPer40Pixels));
    }
    m_camera.setMode(m_view.threeD ? 1 : 0);
    m_camera.setRotation(m_atlas->view(), m_view.rotationDegrees * 0.017453292f);
    const std::int32_t h = m_view.height;
    const std::int32_t p = m_renderer->proportion() > 0 ? m_renderer->proportion() : 3;
    m_renderer->setFocusPoint(xe::Point{m_view.width / 2, (p - 1) * h / p});
    request(Map::AtlasViewFields::FullRedraw, false);
}

void Session::request(std::uint32_t redraw, bool slow) {
    m_atlas->view().setRedrawRequest(redraw);
    m_atlas->view().setSlow(slow);
}

void Session::draw() {
    const SDL_Rect target{0, 0, static_cast<Uint16>(m_view.width), static_cast<Uint16>(m_view.height)};
    m_renderer->drawMap(m_screen, target, false, nullptr);
}

void Session::dropCells() {
    for (const auto& map : m_atlas->maps())
        map->resetAreas();
    m_atlas->mainHeap().reset();
}

} // namespace AtlasRendering
