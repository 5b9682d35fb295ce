// The second half of the start-up: design, sound, GPS, atlas, video mode,
// interface and the start page.

#include "app/PageFactory.h"
#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/ResourcesPool.h"
#include "core/Text.h"
#include "map/AtlasFolderList.h"
#include "map/KVAtlas.h"
#include "platform/Clipboard.h"
#include "platform/Error.h"
#include "platform/Memory.h"
#include "platform/Window.h"
#include "userdata/Tarvik.h"
#include "search/Engine.h"
#include "platform/Battery.h"
#include "platform/Path.h"
#include "positioning/KalmanFilter.h"
#include "positioning/SerialPortSystem.h"
#include "guidance/Sensors.h"
#include "guidance/SoundSystem.h"
#include "positioning/System.h"
#include "render/MapCameraAccess.h"
#include "routing/AtlasRoute.h"
#include "routing/MapPicking.h"
#include "routing/Minimap.h"
#include "screens/fdPageMap.h"
#include "userdata/MonitoringSystem.h"
#include "userdata/fdWPManager.h"
#include "render/fdMapRenderer.h"
#include "ui/ButtonBindings.h"
#include "core/AnsiFile.h"
#include "core/FileSystem.h"
#include "core/MessageBox.h"
#include "ui/DesignDescription.h"
#include "ui/DesignsList.h"
#include "ui/KeyboardLayouts.h"
#include "ui/MessageBoxText.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <algorithm>
#include <climits>
#include <exception>

namespace engine {

namespace {

// The messages table as positioning asks for texts.
class PositioningTexts final : public Positioning::MessageTexts {
  public:
    explicit PositioningTexts(const ::Messages& messages) : m_messages(messages) {}
    const std::u16string& text(std::string_view name) const override { return m_messages.text(name); }

  private:
    const ::Messages& m_messages;
};

// The folder paths of the engine as the atlas asks for them.
class EngineAtlasPaths final : public Map::AtlasPaths {
  public:
    explicit EngineAtlasPaths(const fdEngine& engine) : m_engine(engine) {}
    std::u16string dataPath(std::u16string_view name) const override { return m_engine.dataPath(name); }
    std::u16string programPath(std::u16string_view name) const override { return m_engine.programPath(name); }

  private:
    const fdEngine& m_engine;
};

} // namespace

std::int32_t fdEngine::designWidth() const { return m_design ? m_design->extras.width : 0; }

std::int32_t fdEngine::designHeight() const { return m_design ? m_design->extras.height : 0; }

bool fdEngine::initSound() {
    try {
        m_sound = std::make_unique<Guidance::SoundSystem>(*m_files, m_config->root());
        if (!m_sound->loadSchema(dataPath(u"sounds.xml"))) {
            Log::log(Log::Critical, "fatal error : failed to load sounds schema");
            return false;
        }
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool fdEngine::initDesign(int& result) {
    result = 2;
    readScreenSize();
    // Without a screen size (a display driver that reports none) the
    // largest design is taken and the window gets its size.
    const int width = m_screenWidth > 0 ? m_screenWidth : Ui::UnreportedScreenSide;
    const int height = m_screenHeight > 0 ? m_screenHeight : Ui::UnreportedScreenSide;
    Log::log(Log::Normal, "Video mode: %d x %d", m_screenWidth, m_screenHeight);
    bool chosen = false;
    try {
        chosen = Ui::chooseDesign(m_config->root(), m_dataFolder, width, height, *m_bindings);
    } catch (const std::exception& error) {
        Log::log(Log::Critical, "%s", std::string(error.what()));
    }
    // Once the design names its buttons file; before anything is written.
    removeStaleTemporaryFiles();
    if (!chosen)
        return false;

    Log::log(Log::Normal, "Setting exception handlers.");
    std::set_terminate([] {
        fdEngine::onTerminate();
        std::abort();
    });
    Log::log(Log::Info, "begin");
    Log::logMemoryStatus();

    if (!initSound()) {
        Log::log(Log::Critical, "fatal error : failed to init sound system");
        return false;
    }
    if (quitRequested()) {
        result = InitQuit;
        return false;
    }

    auto root = m_config->root();
    try {
        m_positioningTexts = std::make_unique<PositioningTexts>(*m_messages);
        const std::string ports = Platform::toNativePath(dataPath(u"ports"));
        Positioning::Clock* clock = m_clock ? m_clock : &Positioning::systemClock();
        Positioning::PortSystemFactory makePorts = m_makePortSystem;
        if (!makePorts)
            makePorts = [ports, clock](const Positioning::MessageTexts* texts) {
                Positioning::SerialPortSystemOptions options;
                options.locator.portsFolder = ports;
                return std::unique_ptr<Positioning::PortSystem>(
                    std::make_unique<Positioning::SerialPortSystem>(texts, options, *clock));
            };
        m_positioning = std::make_unique<Positioning::System>(programPath(u"nmea"), root->value("nmea_log_period", 0),
                                                              m_positioningTexts.get(), makePorts, *clock);
        m_positioning->setUere(Positioning::modelUere(*root->child("Car")->child("Model")));
    } catch (const std::exception& error) {
        Log::log(Log::Critical, "fatal error : failed to create GPS system : %s", std::string(error.what()));
        return false;
    }
    const bool gpsSettings = loadGps();
    if (root->value("gps_enable", true) && gpsSettings)
        m_positioning->enable(nullptr);
    if (quitRequested()) {
        result = InitQuit;
        return false;
    }

    try {
        Guidance::SensorsSetup setup;
        setup.powerSupplyRoot = Platform::kPowerSupplyRoot;
        setup.clock = m_clock;
        m_sensors = std::make_unique<Guidance::Sensors>(*m_messages, m_positioning.get(), setup);
    } catch (const std::exception& error) {
        Log::log(Log::Critical, "fatal error : failed to create sensors : %s", std::string(error.what()));
        return false;
    }
    Log::log(Log::Info, "Sensors started");

    m_onlineAutoDisable = root->value("online_auto_disable", true);

    // The online service, when the network is there and an address is set.
    const std::string onlineUrl = root->value("online_url", std::string());
    if (m_internet && !onlineUrl.empty()) {
        const int period = std::max(root->value("online_refresh_period", 10), 10);
        const bool autoConnect = root->value("online_auto_connect", true);
        m_monitoring = std::make_unique<Monitoring::System>(m_positioning.get(), m_internet, Core::utf8ToWide(onlineUrl),
                                                            autoConnect, static_cast<std::uint32_t>(period));
        std::vector<std::uint8_t> seen;
        root->valueBlob("online_deleted_waypoints", seen);
        std::vector<std::uint32_t> ids;
        for (std::size_t i = 0; i + 4 <= seen.size(); i += 4)
            ids.push_back(seen[i] | (seen[i + 1] << 8) | (seen[i + 2] << 16) | (std::uint32_t(seen[i + 3]) << 24));
        m_monitoring->setSeenPointIds(std::move(ids));
    }

    m_pool = std::make_unique<Core::ResourcesPool>(10);
    Map::AtlasServices services;
    services.paths = std::make_shared<EngineAtlasPaths>(*this);
    auto route = std::make_unique<AtlasRoute>();
    m_route = route.get();
    services.routePath = std::move(route);
    // The atlas restores camera.kvc into the live camera and saves the live
    // camera, so the view the driver left is the one that comes back.
    services.camera = std::make_shared<MapDrawing::MapCameraAccess>(*m_camera);
    services.interMapGraph = std::make_unique<Minimap>();
    Map::Nearest::installPicking();
    // The atlas owns its text search and attaches it to the maps of every
    // atlas it loads.
    services.searchEngine = std::make_unique<TextSearch::Engine>();
    // The waypoints plug-in, when the program folder has one; it gets the
    // window once the video mode is set (atlases load after that).
    services.createWaypointsPlugin = [this](const std::u16string& database) -> std::unique_ptr<Map::AtlasPart> {
        TarvikPtr tarvik;
        Tarvik::create(tarvik, programPath(u"tarvik_win.so"), 0, Platform::videoWindowId(), database);
        return tarvik;
    };
    m_atlas = std::make_unique<Map::KVAtlas>(root, *m_pool, std::move(services));
    if (quitRequested()) {
        result = InitQuit;
        return false;
    }

    // The design file: a missing, unparsable or foreign design is the one
    // failure the user is told about in the user's language.
    const std::u16string designPath = dataPath(m_bindings->designFile);
    Log::log(Log::Info, u"Parsing design '%s'...", designPath);
    const std::uint32_t parseStart = SDL_GetTicks();
    std::string designText;
    {
        FileSystem::AnsiFile file(designPath, u"rb");
        if (!file.isOpen())
            Log::log(Log::Critical, u"Can't open design file '%s' (err %d)", designPath, Log::Errno{errno});
        else {
            std::uint32_t size = 0;
            if (auto bytes = FileSystem::readFile(file, &size, designPath))
                designText.assign(bytes.get(), size);
        }
    }
    if (designText.empty()) {
        showStartFailure(m_messages->text("ui_loading_error"));
        result = 1;
        return false;
    }
    Log::log(Log::Normal, "Design parsed in %u ms", SDL_GetTicks() - parseStart);
    // The preview pass also refuses text that is no design of this
    // version: the user is told in the user's language.
    if (!readTheme(designText, false)) {
        Log::log(Log::Critical, "fatal error : failed to read theme");
        showStartFailure(m_messages->text("ui_loading_error"));
        result = 1;
        return false;
    }
    Log::log(Log::Info, "after readTheme(false)");
    Log::logMemoryStatus();

    if (!initVideo()) {
        Log::log(Log::Critical, "fatal error : failed to init video");
        return false;
    }
    Log::log(Log::Info, "after initVideo");
    if (quitRequested()) {
        result = InitQuit;
        return false;
    }
    // Under a driver without an X11 window (the dummy one) copied text can
    // only be pasted within the program.
    if (Platform::Clipboard::systemClipboard())
        Log::log(Log::Normal, "Clipboard: the system's (X11 CLIPBOARD selection)");
    else
        Log::log(Log::Normal, "No system clipboard (no X11 window): copied text stays inside the program");
    Log::logMemoryStatus();

    if (!readTheme(std::move(designText), true)) {
        Log::log(Log::Critical, "fatal error : failed to read theme");
        return false;
    }
    Log::log(Log::Info, "after readTheme(true)");
    if (quitRequested()) {
        result = InitQuit;
        return false;
    }
    Log::logMemoryStatus();

    // "atlas" holds the folder's path; a relative one (the first run's
    // default names "maps\monaco") is taken within the data folder.
    const std::u16string atlas = Core::utf8ToWide(root->value("atlas", std::string()));
    m_atlasFolders =
        std::make_unique<Map::AtlasFolderList>(EngineAtlasPaths(*this), atlas.empty() ? atlas : dataPath(atlas));
    if (!atlas.empty() && m_atlasFolders->current() >= m_atlasFolders->records().size())
        m_missingAtlas = atlas;
    Log::log(Log::Info, "Atlases collected");
    if (quitRequested()) {
        result = InitQuit;
        return false;
    }
    Log::logMemoryStatus();

    if (!PageFactory(*this).initInterface()) {
        Log::log(Log::Critical, "fatal error : failed to init interface");
        return false;
    }
    Log::log(Log::Info, "after initInterface");
    // Reading the design, decoding its pictures and building the pages
    // freed about 1.5 MB that would stay resident in the heap; the map's
    // first frames would draw on top of it.
    Platform::releaseFreeHeapPages();
    Log::logMemoryStatus();

    onlineLogin();
    m_initialized = true;
    noticeStartProblems();
    m_ui->activatePage(m_ui->findPage(root->value("map_start", false) ? "pageMap" : "menuMain"));

    if (m_mapRenderer) {
        auto& styles = m_mapRenderer->styles();
        std::vector<std::uint8_t> show, warn;
        if (root->get("show_pt", show) && root->get("warn_pt", warn))
            styles.applyPoiTypeFlags(show, warn);
        else
            styles.resetPoiTypeFlags();
        m_mapRenderer->selectStyles(m_mapRenderer->isDay());
    }
    result = 0;
    return true;
}

std::u16string fdEngine::noticeWithFiles(const char* key, const std::vector<std::u16string>& files) const {
    // A list of files by name (the message says which folder), the first
    // few only: the dialog must fit the screen (the log names them all with
    // their paths).
    constexpr std::size_t ShownFiles = 2;
    std::u16string text = m_messages->text(key);
    for (std::size_t i = 0; i < files.size() && i < ShownFiles; ++i) {
        text.push_back(u'\n');
        text.append(FileSystem::fileName(Platform::shownPath(files[i])));
    }
    if (files.size() > ShownFiles)
        text += Core::utf8ToWide(
            Core::format("\n... (%d more)", static_cast<int>(files.size() - ShownFiles)));
    return text;
}

std::u16string fdEngine::noticeWithReason(const char* key, int error) const {
    return Ui::withSystemReason(m_messages->text(key), error);
}

std::u16string fdEngine::missingAtlasText() const {
    if (m_missingAtlas.empty() || !m_messages)
        return {};
    return m_messages->text("atlas_missing_err") + u"\n" + Platform::shownPath(m_missingAtlas);
}

void fdEngine::noticeStartProblems() {
    auto* map = m_ui ? dynamic_cast<Screens::fdPageMap*>(m_ui->findPage("pageMap")) : nullptr;
    if (!map || !m_messages)
        return;
    if (!m_missingAtlas.empty() && m_atlasFolders && m_atlasIndex < m_atlasFolders->records().size())
        map->notice(missingAtlasText() + u"\n" + m_messages->text("atlas_shown_instead") + u"\n" +
                    m_atlasFolders->records()[m_atlasIndex].name);
    map->notice(m_unreadAtlasNotice);
    // The system's reason: a read-only mount, missing rights, a full disk.
    if (m_dataReadOnly)
        map->notice(noticeWithReason("data_readonly_err", m_dataReadOnlyError));
    if (m_configDamaged) {
        std::u16string text = m_messages->text("config_damaged_err");
        if (!m_damagedConfigKeptAs.empty()) {
            text.push_back(u'\n');
            text.append(noticeWithFiles("config_kept_as", {m_damagedConfigKeptAs}));
        }
        map->notice(std::move(text));
    }
    if (m_waypoints && !m_waypoints->unreadableFiles().empty())
        map->notice(noticeWithFiles("wp_read_err", m_waypoints->unreadableFiles()));
    if (m_atlas && !m_atlas->vanishedMaps().empty())
        map->notice(noticeWithFiles("map_file_gone_err", m_atlas->vanishedMaps()));
    if (m_atlas && !m_atlas->refusedMaps().empty()) {
        std::vector<std::u16string> files;
        for (const auto& refused : m_atlas->refusedMaps())
            files.push_back(refused.path);
        map->notice(noticeWithFiles("atlas_map_skipped_err", files));
    }
    // A silent navigator the driver would take for a broken one: the log
    // alone is not read on the road.
    if (m_sound && !m_sound->audioOpen()) map->notice(m_messages->text("sound_none_err"));
}

bool fdEngine::readTheme(std::string designText, bool full) {
    auto design = std::make_unique<Ui::DesignDescription>();
    auto layouts = std::make_unique<Ui::KeyboardLayouts>();
    const bool read = Ui::readTheme(std::move(designText), full, dataPath(m_bindings->keyboardLayoutsFile), *design,
                                    *layouts);
    m_design = std::move(design);
    m_doubleSize = m_design->extras.big;
    if (full)
        m_keyboardLayouts = read ? std::move(layouts) : nullptr;
    return read;
}

} // namespace engine
