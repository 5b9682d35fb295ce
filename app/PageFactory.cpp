#include "app/PageFactory.h"

#include "app/PageCreators.h"

#include "app/SplashPage.h"
#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/DataPath.h"
#include "core/FileSystem.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/MessageBox.h"
#include "core/TempSurface.h"
#include "core/Text.h"
#include "map/AtlasFolderList.h"
#include "map/KVAtlas.h"
#include "map/proximity/Index.h"
#include "map/proximity/Loader.h"
#include "map/proximity/Settings.h"
#include "platform/Path.h"
#include "render/fdMapRenderer.h"
#include "render/MapCamera.h"
#include "render/MapCaptions.h"
#include "render/ViewPreparation.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/Sensors.h"
#include "guidance/SoundSystem.h"
#include "positioning/System.h"
#include "routing/AtlasRoute.h"
#include "screens/HandlerCarSource.h"
#include "screens/HandlerNavigation.h"
#include "screens/SensorsSource.h"
#include "screens/fdPageMap.h"
#include "userdata/WaypointStyles.h"
#include "userdata/fdTrackManager.h"
#include "userdata/fdWPManager.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace engine {

// clang-format off
const PageFactory::Row PageFactory::kRows[] = {
    {nullptr, nullptr, Step::TrackManager, 5},
    {"menuMain", "fdMainMenuPage", {}, 10},
    {"pageGPS", "fdPageGPSX", {}, 15},
    {"menuFind", "menuFind", {}, 18},
    {"pageLists", "pageLists", {}, 20},
    {"pageSetupRouting", "fdPageSetupRoutingX", {}, 25},
    {"pageSetupGPS", "fdPageSetupGPSX", {}, 26},
    {"pageFavorites", "fdPageFavorites", {}, 28},
    {"pageFvDlg", "fdPageFvDlg", {}, 35},
    {"pageRenderSettings", "fdPageSettingsX", {}, 40},
    {"pageTrackingSettings", "fdPageTrackingSettingsX", {}, 45},
    {"sensors", "fdPageSensors", {}, 50},
    {"pageTrackList", "fdPageTrackListX", {}, 53},
    {"pageButtonSettings", "fdPageButtonSettingsX", {}, 55},
    {"pageSettingsMain", "pageSettingsMain", {}, 57},
    {"pageSettingsLists", "pageSettingsLists", {}, 59},
    {"polylines_settings", "PolylinesSettingsPage", {}, 61},
    {"pageSettingsOther", "fdPageSettingsOtherX", {}, 62},
    {"keyboard_prop", "KeyboardPropPage", {}, 63},
    {"menuFilter", "fdPageFindFilterX", {}, 64},
    {"pageFilterHistory", "SearchHistoryPage", {}, 65},
    {"pois_settings", "PoisSettingsPage", {}, 66},
    {"pageSearchCoords", "fdPageCoordsX", {}, 67},
    {"pageSearchCoordsAlt", "fdPageCoordsAltX", {}, 78},
    {nullptr, nullptr, Step::AtlasContents, 79},
    {nullptr, "After map renderer init", Step::MapRenderer, -1},
    {nullptr, "After waypoints init", Step::Waypoints, 83},
    {"select_poi_types", "SelectPoiTypesPage", {}, 84},
    {"select_poi_type", "fdPageSelectPoiType", {}, 85},
    {"pageFind", "fdPageFindX", {}, -1},
    {nullptr, nullptr, Step::DangerPoints, 86},
    {"pageWPEdit", "EditWayPointPage", {}, 87},
    {"pageImages", "fdPageImagesX", {}, 88},
    {"pageMap", "fdPageMap", {}, 90},
    {"pageWaypointsList", "fdPageWPListX", {}, 91},
    {"select_waypoint", "SelectWayPointPage", {}, 92},
    {"pageResults", "fdPageFindResults", {}, 93},
    {"pageStreetList", "fdPageStreetListX", {}, 94},
    {"pageTrackEdit", "fdPageTrackEditX", {}, 95},
    {"pagePOIInfo", "fdPagePOIInfoX", {}, 96},
    {"info", "InfoPage", {}, 97},
    {"atlases", "AtlasesPage", {}, 98},
    {"pagePathList", "fdPagePathListX", {}, 99},
    {"services_prop", "ServicesPropPage", {}, -1},
    {"monitoring_prop", "OnlineFriendsListPage", {}, -1},
    {"monitoring_friend_edit", "OnlineFriendOptionsPage", {}, -1},
    {"received_waypoints_list", "ReceivedWayPointsListPage", {}, -1},
    {"select_friends", "PointReceiversListPage", {}, -1},
};
// clang-format on
const std::size_t PageFactory::kRowCount = std::size(PageFactory::kRows);

void updateSplash(fdEngine& engine, SplashPage& splash, bool force) {
    splash.tick(SDL_GetTicks());
    if ((splash.needsRedraw() || force) && engine.screen() && engine.scratchSurface()) {
        splash.draw(engine.screen(), *engine.scratchSurface(), true);
        SDL_Flip(engine.screen());
    }
}

void PageFactory::progress(SplashPage& splash, std::int32_t value) {
    splash.setProgress(value);
    updateSplash(m_engine, splash, false);
}

bool PageFactory::initInterface() {
    fdEngine& e = m_engine;
    try {
        // The scratch surface of framed pictures: stretched pieces are
        // scaled into it, which needs the depth of the pictures (the
        // screen's); a depth of 0 makes no usable surface.
        if (e.m_screen) {
            const SDL_PixelFormat* f = e.m_screen->format;
            e.m_scratchSurface = std::make_unique<TempSurface>(f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, f->Amask);
        } else {
            e.m_scratchSurface = std::make_unique<TempSurface>(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
        }
        e.m_ui = std::make_unique<Ui::fdInterface>(&e, e.m_files.get());
        if (Positioning::Clock* clock = e.m_clock)
            e.m_ui->setClock([clock] { return clock->ticksMs(); });
        if (e.m_sound)
            e.m_ui->setSoundPlayer(e.m_sound.get());
        if (e.m_screen)
            e.m_ui->setRect(0, 0, e.m_screen->w, e.m_screen->h);
        Log::log(Log::Info, "initInterface - begin");
        Log::logMemoryStatus();

        const Ui::DesignDescription& design = *e.m_design;
        if (!Ui::initFonts(design, *e.m_ui)) {
            Log::log(Log::Critical, "Fatal error : failed to load fonts");
            return false;
        }
        Log::log(Log::Info, "After initFonts()");
        Log::logMemoryStatus();
        Log::log(Log::Normal, "font : %s", design.systemFont);
        e.m_ui->setSystemFont(e.m_ui->fontByName(design.systemFont));
        e.m_ui->setFont(e.m_ui->systemFont());
        e.m_ui->setTextColor(Ui::ColourPair{});
        Log::log(Log::Info, "After setSystemFont");
        Log::logMemoryStatus();

        if (!Ui::loadCursors(design, *e.m_ui)) {
            Log::log(Log::Critical, "Fatal error : failed to load cursors");
            return false;
        }
        Log::log(Log::Info, "Cursors loaded");
        Log::logMemoryStatus();
        if (!Ui::loadMaterials(design, *e.m_ui)) {
            Log::log(Log::Critical, "Fatal error : failed to load materials");
            return false;
        }
        Log::log(Log::Info, "Materials loaded");
        Log::logMemoryStatus();

        // The splash: built first and owned here rather than by the
        // interface, so the factory can delete it when every page stands.
        Log::log(Log::Info, "Creating splash screen...");
        const std::uint32_t splashStart = SDL_GetTicks();
        std::unique_ptr<SplashPage> splash;
        auto found = e.m_design->pages.find("splash");
        if (found != e.m_design->pages.end()) {
            splash = std::make_unique<SplashPage>(e.m_ui.get(), nullptr);
            e.m_ui->removeChild(splash.get());
            // The page covers the interface through its anchors; setting
            // its rectangle would freeze them at today's size.
            splash->relayout();
            splash->build(*found->second);
            e.m_design->pages.erase(found);
            Log::log(Log::Normal, "Splash screen created in %u ms", SDL_GetTicks() - splashStart);
        }
        if (!splash) {
            Log::log(Log::Critical, "Fatal error : failed to show splash screen");
            return false;
        }
        updateSplash(e, *splash, true);
        Log::log(Log::Info, "After StartSplashScreen()");
        Log::logMemoryStatus();

        if (!applyInterface(*splash)) {
            Log::log(Log::Critical, "Fatal error : failed to apply interface");
            return false;
        }
        Log::log(Log::Info, "After ApplyInterface()");
        Log::logMemoryStatus();
        Ui::releaseDesignDescriptions(*e.m_design);
        e.m_ui->releaseImages();
        return true;
    } catch (const std::exception& error) {
        Log::log(Log::Critical, "%s", std::string(error.what()));
        return false;
    }
}

void PageFactory::createPage(const Row& row) {
    Ui::fdInterface* ui = m_engine.m_ui.get();
    const std::string name = row.designName;
    if (name == "pageMap") {
        fdEngine& e = m_engine;
        Screens::fdPageMap::Services services;
        services.config = e.m_config->root();
        services.renderer = e.m_mapRenderer.get();
        services.atlas = e.m_atlas.get();
        services.camera = e.m_camera.get();
        services.bindings = e.m_bindings.get();
        services.dangerPoints = e.m_dangerPoints.get();
        services.tracks = e.m_tracks.get();
        services.sound = ui->soundPlayer();
        services.messages = e.m_messages.get();
        const Ui::DesignExtras& extras = e.m_design->extras;
        services.deltas = {extras.rotationPushDelta, extras.scalePushDelta, extras.scaleFixedDelta};
        services.fingerTap = extras.fingerTapDistance;
        services.route = e.m_route;
        services.waypoints = e.m_waypoints.get();
        // A recording registers the track manager with the fixes while it
        // records, and only then.
        services.positioning = e.m_positioning.get();
        services.car = e.m_carSource.get();
        services.navigation = e.m_navigation.get();
        services.monitoring = e.m_monitoring.get();
        if (e.m_sensors) {
            e.m_sensorSource = std::make_unique<Screens::SensorsSource>(*e.m_sensors, e.m_navigation.get(),
                                                                         e.m_atlas.get(), e.m_mapRenderer.get());
            services.sensors = e.m_sensorSource.get();
        }
        new Screens::fdPageMap(ui, std::move(services));
        return;
    }
    // The pages of search, user data and settings, each area in its own file.
    for (auto create : {createSearchPage, createUserDataPage, createOnlinePage, createMenuPage,
                        createSettingsPage, createGpsPage})
        if (create(m_engine, name))
            return;
    // Pages whose screens are not part of this build yet stand as plain
    // pages of their design name: they are built from the design and answer
    // the commands every page understands.
    new Ui::fdPage(ui, name, nullptr);
}

bool PageFactory::applyInterface(SplashPage& splash) {
    fdEngine& e = m_engine;
    splash.setProgressMaximum(100);
    splash.setProgress(0);
    splash.setState(e.m_messages->text("splash_loading_map"));
    updateSplash(e, splash, true);

    for (const Row& row : kRows) {
        if (row.designName) {
            createPage(row);
        } else if (!runStep(row.step)) {
            return false;
        }
        if (row.logLine) {
            Log::log(Log::Info, "%s", row.logLine);
            Log::logMemoryStatus();
        }
        if (row.progress >= 0)
            progress(splash, row.progress);
    }

    auto& pages = e.m_design->pages;
    splash.setProgressMaximum(static_cast<std::int32_t>(pages.size()));
    splash.setProgress(0);
    splash.setState(e.m_messages->text("splash_creating_ui"));
    updateSplash(e, splash, true);
    std::int32_t built = 0;
    for (const auto& [name, description] : pages) {
        Ui::fdPage* page = e.m_ui->findPage(name);
        if (!page) {
            Log::log(Log::Critical, "Page: %s was not created!", name);
            continue;
        }
        page->relayout();
        page->build(*description);
        progress(splash, ++built);
    }
    buildStandInPages(e);
    return true;
}

bool PageFactory::runStep(Step step) {
    switch (step) {
    case Step::TrackManager:
        return createTrackManager();
    case Step::Waypoints:
        return loadWaypoints();
    case Step::AtlasContents:
        return loadAtlasContents();
    case Step::MapRenderer:
        return createMapRenderer();
    case Step::DangerPoints:
        return loadDangerPoints();
    }
    return true;
}

bool PageFactory::loadAtlasContents() {
    fdEngine& e = m_engine;
    const auto* folders = e.m_atlasFolders.get();
    if (!folders || folders->records().empty()) {
        Log::log(Log::Critical, "fatal error : atlases collection is empty.");
        e.showStartFailure(e.m_messages->text("atlas_no_atlas_err"));
        return false;
    }
    // A stored atlas that is no longer among the folders falls back to the
    // first one, with a word: the log's here, the driver's on the map page.
    const auto& records = folders->records();
    std::uint32_t chosen = folders->current();
    if (chosen >= records.size())
        chosen = 0;
    // The chosen atlas, then the others in their order: one folder that
    // cannot be read (emptied, its rights taken away, its maps damaged)
    // must not keep the driver from the atlases page to choose another.
    AtlasFailure failure;
    std::optional<std::uint32_t> shown;
    for (std::uint32_t tried = 0; tried < records.size() && !shown; ++tried) {
        const std::uint32_t index = tried == 0 ? chosen : tried - (tried <= chosen ? 1 : 0);
        e.m_atlas->setAnotherToTry(tried + 1 < records.size());
        if (e.m_atlas->load(records[index].path))
            shown = index;
        else if (tried == 0)
            failure = atlasFailure(records[index].path);
    }
    e.m_atlas->setAnotherToTry(false);
    if (!shown) {
        Log::log(Log::Critical, "fatal error : bad atlas.");
        // The atlas that failed was not the driver's choice: that is said
        // first.
        std::u16string text = e.missingAtlasText();
        if (!text.empty())
            text.push_back(u'\n');
        text += failure.box;
        if (failure.named)
            Core::messageBox(text, u"Mirel - Critical error");
        else
            e.showStartFailure(text);
        return false;
    }
    const std::u16string& folder = records[*shown].path;
    if (!e.m_missingAtlas.empty()) {
        Log::log(Log::Critical, u"Atlas error: the chosen atlas %s is missing - %s is shown, the choice is kept",
                 e.dataPath(e.m_missingAtlas), folder);
    } else if (*shown != chosen) {
        Log::log(Log::Critical, u"Atlas error: the chosen atlas %s could not be read - %s is shown, the choice is kept",
                 records[chosen].path, folder);
        std::u16string& notice = e.m_unreadAtlasNotice;
        // The folder as the setting names it (within the data folder).
        notice = e.m_messages->text("atlas_unreadable_err") + u"\n" +
                 Platform::shownPath(Map::FolderPaths(e.m_programFolder).relativeToData(records[chosen].path));
        if (!failure.reason.empty())
            notice += u"\n" + failure.reason;
        notice += u"\n" + e.m_messages->text("atlas_unreadable_shown") + u"\n" + records[*shown].name;
    }
    e.m_atlasIndex = *shown;
    e.m_atlasFolders->setCurrent(*shown);
    return true;
}

PageFactory::AtlasFailure PageFactory::atlasFailure(const std::u16string& folder) const {
    const fdEngine& e = m_engine;
    // The user is told, file by file, which maps are gone since the last
    // load of the folder and which were refused, and why (the first few:
    // the dialog must fit on the screen; the log has them all); an atlas
    // without map files shows its folder and the last Critical lines of
    // the log instead.
    constexpr std::size_t ShownFiles = 10;
    AtlasFailure failure;
    failure.box = e.m_messages->text("atlas_bad_atlas_err");
    failure.box.push_back(u'\n');
    std::vector<std::pair<std::u16string, std::string>> files;
    for (const std::u16string& path : e.m_atlas->vanishedMaps())
        files.emplace_back(path, "Gone (deleted or moved away)");
    for (const auto& refused : e.m_atlas->refusedMaps())
        files.emplace_back(refused.path, refused.reason);
    if (files.empty()) {
        failure.box.append(Core::utf8ToWide(Platform::toNativePath(folder)));
        return failure;
    }
    failure.named = true;
    for (std::size_t i = 0; i < files.size() && i < ShownFiles; ++i) {
        failure.box.push_back(u'\n');
        failure.box.append(Core::utf8ToWide(Platform::toNativePath(files[i].first)));
        failure.box.append(u": ");
        failure.box.append(Core::utf8ToWide(files[i].second));
    }
    if (files.size() > ShownFiles)
        failure.box.append(Core::utf8ToWide(Core::format("\n... and %d more map files (see log.txt)",
                                                         static_cast<int>(files.size() - ShownFiles))));
    // The notice names the first file by name (its folder is said above
    // it), or only the reason when it is the folder itself.
    const auto& [path, reason] = files.front();
    if (Platform::toNativePath(path) != Platform::toNativePath(folder))
        failure.reason = FileSystem::fileName(Platform::shownPath(path)) + u": ";
    failure.reason += Core::utf8ToWide(reason);
    return failure;
}

bool PageFactory::createMapRenderer() {
    fdEngine& e = m_engine;
    // The window's size: the map is drawn into no more pixels than it shows.
    SDL_Surface* map = e.m_mapSurface && e.m_screen ? e.m_mapSurface->get(e.m_screen->w, e.m_screen->h) : nullptr;
    if (!map) {
        Log::log(Log::Critical, "fatal error : Failed to create map surface");
        return false;
    }
    Render::StyleContext styles;
    styles.images = e.m_ui.get();
    styles.patternFormat = map->format;
    styles.dataFolder = e.m_dataFolder;
    e.m_mapRenderer = std::make_unique<MapDrawing::fdMapRenderer>(e.m_atlas.get(), *e.m_camera, e.m_config->root(),
                                                                   styles);
    e.m_mapRenderer->setMapSurface(map);
    // The map page opens on the atlas's saved view.
    MapDrawing::ViewPreparation::cameraFromAtlas(*e.m_camera, *e.m_atlas);
    e.m_camera->setAnchorFraction(MapCamera::anchorFractionFor(e.m_mapRenderer->proportion()));
    e.m_mapCaptions = std::make_unique<MapDrawing::MapCaptions>(*e.m_atlas, *e.m_mapRenderer);
    e.m_mapRenderer->services().captions = e.m_mapCaptions.get();
    if (e.m_route) {
        e.m_routeLine = std::make_unique<RouteLine>(e.m_route->path(), *e.m_atlas);
        e.m_mapRenderer->services().route = e.m_routeLine.get();
    }
    return true;
}

bool PageFactory::createTrackManager() {
    fdEngine& e = m_engine;
    try {
        e.m_tracks = std::make_unique<fdTrackManager>(e.programPath(u"tracks\\"), e.m_config->root(),
                                                      e.m_clock ? *e.m_clock : Positioning::systemClock());
    } catch (const std::exception& error) {
        Log::log(Log::Critical, "Fatal error : failed to init tracks manager : %s", std::string(error.what()));
        return false;
    }
    return true;
}

bool PageFactory::loadWaypoints() {
    fdEngine& e = m_engine;
    try {
        // Waypoint names are written in the design's caption font, in the
        // caption colours of their POI type (white only for a type that has
        // no style).
        Render::Font* font = e.m_ui->fontByName(e.m_design->extras.captionFont);
        e.m_waypointStyles = std::make_unique<RenderWaypointStyles>(e.m_mapRenderer->styles(), e.m_ui.get(), font,
                                                                    0xFFFFFFFFu);
        e.m_waypoints = std::make_unique<fdWPManager>(e.m_waypointStyles.get(), e.dataPath(u"icons.txt"));
        e.m_waypoints->load(e.programPath(u"waypoints"));
        e.m_waypoints->writeChangesTo(e.programPath(u"waypoints"));
        e.m_mapRenderer->services().waypoints = e.m_waypoints.get();
    } catch (const std::exception& error) {
        Log::log(Log::Critical, "fatal error : failed to init waypoints manager : %s", std::string(error.what()));
        return false;
    }
    return true;
}

bool PageFactory::createMapEvents() {
    fdEngine& e = m_engine;
    if (!e.m_route || !e.m_atlas)
        return true;
    try {
        if (e.m_sound)
            e.m_naviSounds = std::make_unique<Guidance::SoundSystemNaviSounds>(*e.m_sound);
        Render::RenderStyles* styles = e.m_mapRenderer ? &e.m_mapRenderer->styles() : nullptr;
        e.m_mapEvents = Guidance::KVMapEventsHandler::create(e.m_config->root(), *e.m_atlas, e.m_route->path(),
                                                             e.m_naviSounds.get(), styles,
                                                             e.m_clock ? *e.m_clock : Positioning::systemClock());
    } catch (const std::exception& error) {
        Log::log(Log::Critical, "fatal error : failed to init map events handler : %s", std::string(error.what()));
        return false;
    }
    e.m_navigation = std::make_unique<Screens::HandlerNavigation>(*e.m_mapEvents, e.m_naviSounds.get(),
                                                                  e.m_config->root());
    e.m_carSource = std::make_unique<Screens::HandlerCarSource>(*e.m_navigation);
    if (e.m_positioning)
        e.m_positioning->addListener(e.m_mapEvents.get());
    return true;
}

bool PageFactory::loadDangerPoints() {
    fdEngine& e = m_engine;
    auto root = e.m_config->root();
    try {
        const Map::Proximity::Settings settings = Map::Proximity::Settings::read(*root);
        e.m_dangerPoints = std::make_unique<Map::Proximity::IndexHolder>();
        e.m_dangerPoints->warningTimeSeconds = settings.warningTimeSeconds;
        e.m_dangerPoints->sectorHalfWidthDegrees = settings.sectorHalfWidthDegrees;
        const std::u16string folder = e.programPath(u"waypoints");
        if (!Map::Proximity::loadDangerWarnPoints(folder, *e.m_dangerPoints, settings.nodeCacheCapacity,
                                                  settings.pointCacheCapacity)) {
            // No danger-warn points to load (a clean install) is no alarm;
            // damaged files have logged their own Critical lines.
            Log::log(Log::Normal, u"Loading Danger Warn Points from %s failed", folder);
            e.m_dangerPoints->index.reset();
        }
    } catch (const std::exception& error) {
        Log::log(Log::Critical, "fatal error : failed to init Danger Warn Points manager : %s",
                 std::string(error.what()));
        return false;
    }
    Log::log(Log::Info, "After Danger Warn Points init");
    Log::logMemoryStatus();
    Log::log(Log::Info, "fdMapRenderer::init()");
    Log::logMemoryStatus();
    return createMapEvents();
}

} // namespace engine
