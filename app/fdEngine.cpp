#include "app/fdEngine.h"

#include "app/CrashReport.h"
#include "app/DevicesFile.h"
#include "app/SettingKeys.h"
#include "core/AnsiFile.h"
#include "core/Config.h"
#include "core/DataPath.h"
#include "core/FileLogger.h"
#include "core/FileSystem.h"
#include "core/InetStatistics.h"
#include "core/Log.h"
#include "core/LoggedText.h"
#include "core/MainLoopWake.h"
#include "core/MessageBox.h"
#include "core/PeriodicTimer.h"
#include "core/ResourcesPool.h"
#include "core/TempSurface.h"
#include "core/Text.h"
#include "core/Version.h"
#include "core/VirtualFs.h"
#include "core/WinInet.h"
#include "map/AtlasFolderList.h"
#include "map/KVAtlas.h"
#include "map/proximity/Index.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/Memory.h"
#include "platform/Path.h"
#include "platform/QuitSignals.h"
#include "platform/SoundLibrary.h"
#include "platform/SystemInfo.h"
#include "platform/Window.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/Sensors.h"
#include "screens/HandlerCarSource.h"
#include "screens/HandlerNavigation.h"
#include "screens/SensorsSource.h"
#include "guidance/SoundSystem.h"
#include "positioning/System.h"
#include "routing/AtlasRoute.h"
#include "userdata/MonitoringSystem.h"
#include "userdata/WaypointStyles.h"
#include "userdata/fdTrackManager.h"
#include "userdata/fdWPManager.h"
#include "render/MapCamera.h"
#include "render/MapCaptions.h"
#include "render/fdMapRenderer.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <stdexcept>

namespace engine {

namespace {

fdEngine* g_engine = nullptr;

constexpr char16_t kCriticalCaption[] = u"Mirel - Critical error";

bool isAbsolutePath(std::u16string_view name) {
    return (name.size() > 1 && name[1] == u':') || (!name.empty() && (name[0] == u'\\' || name[0] == u'/'));
}

std::u16string joinProgramPath(const std::u16string& folder, std::u16string_view name) {
    if (isAbsolutePath(name))
        return std::u16string(name);
    std::u16string path = folder + std::u16string(name);
    for (auto& ch : path)
        if (ch == u'/')
            ch = u'\\';
    return path;
}

} // namespace

const char* processorName(std::uint32_t architecture) {
    // The families as this system names them.
    static const char* const names[] = {"x86", "MIPS", "Alpha", "PowerPC", "SuperH", "ARM", "IA-64", "Alpha64"};
    const std::uint32_t low = architecture & 0xFFFF;
    return low < std::size(names) ? names[low] : "Unknown";
}

fdEngine::fdEngine(std::u16string programFolder) : m_criticalLinesBefore(Log::criticalLineCount()) {
    initPaths(std::move(programFolder));
    m_camera = std::make_unique<MapCamera>();
    g_engine = this;
}

fdEngine* fdEngine::instance() { return g_engine; }

void fdEngine::initPaths(std::u16string programFolder) {
    // The program's own paths use '\' like every path it stores; the
    // platform layer turns them into '/' at the system boundary.
    if (programFolder.empty())
        programFolder = Platform::programFolder();
    for (auto& ch : programFolder)
        if (ch == u'/')
            ch = u'\\';
    if (!programFolder.empty() && programFolder.back() != u'\\')
        programFolder += u'\\';
    m_programFolder = std::move(programFolder);
    m_dataFolder = m_programFolder + u"data\\";
}

std::u16string fdEngine::dataPath(std::u16string_view name) const { return joinProgramPath(m_dataFolder, name); }

std::u16string fdEngine::programPath(std::u16string_view name) const {
    return joinProgramPath(m_programFolder, name);
}

std::shared_ptr<Core::ConfigNode> fdEngine::configRoot() const {
    return m_config ? m_config->root() : nullptr;
}

void fdEngine::setQuit() { m_quit = true; }

bool fdEngine::isDay() const { return !m_mapRenderer || m_mapRenderer->isDay(); }

void fdEngine::onTerminate() {
    if (!g_engine)
        return;
    g_engine->m_quit = true;
    Threading::wakeMainLoop();
}

void fdEngine::wakeOnQuitSignal() { Threading::wakeMainLoop(); }

bool fdEngine::quitRequested() const { return m_quit || Platform::quitRequested(); }

void fdEngine::logQuitSignal() const {
    if (const int signal = Platform::quitSignal())
        Log::log(Log::Normal, "Quit signal %d received", signal);
}

void fdEngine::requestRaise() {
    m_raiseRequested = true;
    Threading::wakeMainLoop();
}

void fdEngine::connectionChanged() {
    if (m_onlineAutoDisable && m_monitoring)
        m_monitoring->stop();
}

int fdEngine::run() {
    const unsigned boxesBefore = Core::messageBoxCount();
    int result = 2;
    try {
        // The log rolls over to log.old.txt past its bound, so it never
        // grows without end.
        if (!Log::installFileLogger(programPath(u"log.txt"))) {
            // No log to look in: the message names the file and the reason.
            const std::string reason = Platform::errorText(Platform::lastError());
            Core::messageBox(u"Log file creation error\n" + Core::utf8ToWide(Platform::toNativePath(programPath(u"log.txt"))) +
                                 (reason.empty() ? u"" : u": " + Core::utf8ToWide(reason)),
                             kCriticalCaption);
            return -1;
        }
        result = quitRequested() ? InitQuit : init();
        if (result == 0 && quitRequested())
            result = InitQuit;
        if (result != 0 && result != InitQuit) {
            if (result == 2 && Core::messageBoxCount() == boxesBefore)
                showStartFailure(u"Initialization error");
            Log::log(Log::Critical, "fatal error : Failed to initialize engine");
        }
    } catch (const std::exception& error) {
        const std::string text = Log::linesJoined(error.what());
        Log::log(Log::Critical, "fatal error : Failed to initialize engine (%s)", text.empty() ? "-" : text);
        // Seen as any failed start is, the line above among the box's.
        if (Core::messageBoxCount() == boxesBefore)
            showStartFailure(u"Initialization error");
        result = 2;
    }
    if (result == 0)
        return runStarted();
    // A quit signal before or during the start ends the program as one on
    // the map page would: what was opened is closed, status 0. A start that
    // failed stays a failure whatever came after it (the failure's window
    // may have been closed by the signal). Either way a fault of the
    // shutdown is the run's, reported as after a drive, never a failed
    // start: the start's own dialog, when it failed, is the one shown.
    logQuitSignal();
    const bool faulted = shutdownReported();
    if (result != InitQuit)
        return -1;
    if (faulted)
        showCrashBox();
    return faulted ? -1 : 0;
}

void fdEngine::showStartFailure(std::u16string_view text) const {
    Core::startFailureBox(text, kCriticalCaption, m_criticalLinesBefore);
}

bool fdEngine::initConfig() {
    const auto fresh = [this] {
        m_config = std::make_unique<Core::Config>();
        m_config->setKnownKeys(settingKeys());
    };
    fresh();
    const std::u16string path = dataPath(u"config.xml");
    if (!m_config->load(path)) {
        // A torn or foreign file is kept beside the new one, so settings a
        // person may still recover are not overwritten.
        m_damagedConfigKeptAs = Core::Config::keepUnreadable(path);
        m_configDamaged = FileSystem::fileExists(path) || !m_damagedConfigKeptAs.empty();
        // Deleting config.xml is how a person resets the settings: they
        // start again from the first-run settings shipped with the data,
        // and from every caller's own defaults where there are none.
        const std::u16string firstRun = dataPath(u"config.default.xml");
        if (FileSystem::fileExists(firstRun)) {
            if (m_config->load(firstRun))
                Log::log(Log::Normal, u"Settings start from '%s'", firstRun);
            else
                fresh();
        }
        if (!m_config->root()->has("log_severity"))
            m_config->root()->set("log_severity", 0);
        m_config->save(path);
    }
    // Below 0 nothing at all would be written while the log names the
    // level Critical: the lowest level the log can name is the lowest kept.
    const int severity = std::max(m_config->root()->value("log_severity", 0), 0);
    if (Log::Logger* logger = Log::installed(); logger && logger->isOpen())
        logger->setSeverity(severity);
    // Whether anything can be written beside config.xml: a file made there
    // and thrown away at once.
    Platform::AtomicFile probe(path);
    m_dataReadOnly = !probe.isOpen();
    m_dataReadOnlyError = probe.error();
    probe.discard();
    if (m_dataReadOnly)
        Log::log(Log::Critical, u"Data folder '%s' cannot be written: nothing will be saved", dataPath(u""));
    return true;
}

void fdEngine::removeStaleTemporaryFiles() const {
    // The files written whole through the atomic writer, by folder: by name,
    // and by extension where their names are the user's (routes, waypoint
    // categories). The design's buttons file is named by the design.
    struct Targets {
        std::u16string folder;
        std::vector<std::string_view> names;
        std::string_view extension;
    };
    std::vector<Targets> targets = {
        {dataPath(u""), {"config.xml", "atlas.xml", "favorites.kvf"}, {}},
        {programPath(u"waypoints"), {"DangerWarnPoints.idx"}, ".gpx"},
    };
    // Every atlas folder: the camera, the routes (path.kvp among them) and
    // the text search's index and history.
    const Map::AtlasFolderList atlases(Map::FolderPaths(m_programFolder), u"");
    for (const auto& atlas : atlases.records())
        targets.push_back({atlas.path, {"camera.kvc", "TextSearch.tsi", "TextSearch.tsh"}, ".kvp"});
    const auto endsWith = [](std::string_view name, std::string_view extension) {
        if (extension.empty() || name.size() <= extension.size()) return false;
        const std::string_view end = name.substr(name.size() - extension.size());
        return std::equal(end.begin(), end.end(), extension.begin(), [](char a, char b) {
            return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
        });
    };
    std::vector<std::string> removed;
    for (const Targets& t : targets) {
        const auto found = Platform::removeStaleTemporariesIn(t.folder, [&](std::string_view name) {
            return std::find(t.names.begin(), t.names.end(), name) != t.names.end() || endsWith(name, t.extension);
        });
        removed.insert(removed.end(), found.begin(), found.end());
    }
    if (m_bindings && !m_bindings->buttonsFile.empty()) {
        const auto found = Platform::removeStaleTemporaries(dataPath(m_bindings->buttonsFile));
        removed.insert(removed.end(), found.begin(), found.end());
    }
    // Each was a save cut short, whose file kept its earlier contents: a
    // loss the log at its lowest severity tells.
    for (const std::string& stale : removed)
        Log::log(Log::Critical, "Stale temporary file '%s' removed (left by a save that was cut short)", stale);
}

bool fdEngine::initMessages() {
    const std::u16string path = dataPath(u"messages.xml");
    FileSystem::AnsiFile file(path, u"rb");
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open messages file '%s' (err %d)", path, Log::Errno{errno});
        return false;
    }
    try {
        m_messages = std::make_unique<::Messages>();
        m_messages->load(file, path);
    } catch (const std::exception& error) {
        Log::log(Log::Critical, "%s", std::string(error.what()));
        return false;
    }
    return true;
}

int fdEngine::screenWidth() const { return m_screenSizeKnown && m_screenWidth > 0 ? m_screenWidth : designWidth(); }

int fdEngine::screenHeight() const {
    return m_screenSizeKnown && m_screenHeight > 0 ? m_screenHeight : designHeight();
}

void fdEngine::setScreenSize(int width, int height) {
    m_screenWidth = width;
    m_screenHeight = height;
    m_screenSizeKnown = true;
}

void fdEngine::readScreenSize() {
    if (m_screenSizeKnown)
        return;
    // Before the first mode is set SDL reports the desktop's size; the
    // dummy driver reports 0 x 0, and the design's size stands in then.
    if (const SDL_VideoInfo* info = SDL_GetVideoInfo()) {
        m_screenWidth = info->current_w;
        m_screenHeight = info->current_h;
    }
    m_screenSizeKnown = true;
}

int fdEngine::init() {
    m_tray = std::make_unique<TrayRecord>();
    // SDL's clock only: the UI timer runs on a thread of its own, and SDL
    // 1.2's timer thread would wake every millisecond for nothing.
    SDL_InitSubSystem(0);
    m_sdlStarted = true;
    initConfig();
    auto root = m_config->root();
    if (quitRequested())
        return InitQuit;

    Log::log(Log::Normal, "Init started...");
    Log::log(Log::System, "Version %s", Core::kProgramVersion);
    const Platform::SystemInfo system = Platform::systemInfo();
    Log::log(Log::System, "Processor: %s family %d model %d", processorName(system.architecture), system.processorLevel,
             system.processorRevision);
    Log::log(Log::System, "OS: %s %d.%d", system.osName, system.osMajor, system.osMinor);
    Log::log(Log::Info, u"Data path: %s", m_dataFolder);

    m_files = std::make_unique<FileSystem::VirtualFs>(m_dataFolder);

    const std::uint32_t inetStart = SDL_GetTicks();
    m_internet = Network::WinInet::create();
    if (m_internet) {
        m_inetStatistics = std::make_unique<Network::InetStatistics>(m_internet);
        Log::log(Log::System, "HTTP (libcurl) initialized in %u ms", SDL_GetTicks() - inetStart);
    }

    if (!root->value("device", std::string()).empty()) {
        try {
            if (auto device = device_specs::configured(*root, dataPath(u"devices.inf")))
                m_device = std::make_unique<DeviceSpec>(*device);
        } catch (const std::exception& error) {
            // A missing or unreadable device file leaves the GPS settings
            // to the configuration.
            Log::log(Log::Critical, "%s", std::string(error.what()));
        }
    }

    if (!initMessages())
        return 2;
    if (quitRequested())
        return InitQuit;
    m_bindings = std::make_unique<Ui::ButtonBindings>(root);

    // Without either SDL would draw the program into the terminal that
    // started it, as escape codes, until it is killed.
    if (!Platform::videoDisplayGiven()) {
        Log::log(Log::Critical,
                 "fatal error : A display is needed: set DISPLAY to an X server, or SDL_VIDEODRIVER to a video driver");
        return 2;
    }
    Platform::silenceSoundLibraryErrors();
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) < 0) {
        // Either half may have failed: the video alone says which. Without a
        // sound device the navigator still drives, silent.
        const std::string first = SDL_GetError();
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) < 0) {
            const std::string reason = SDL_GetError();
            Log::log(Log::Critical, "fatal error : Failed to init SDL");
            Log::log(Log::Critical, "SDL: %s", reason);
            return 2;
        }
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0)
            Log::log(Log::Critical, "No audio device: the program runs without sound (%s)",
                     std::string(SDL_GetError()));
        else
            Log::log(Log::System, "SDL started on the second try (%s)", first);
    }
    Threading::openMainLoopWakeUps();
    Log::log(Log::Info, "after SDL_Init");
    Log::logMemoryStatus();
    SDL_EnableUNICODE(1);
    if (quitRequested())
        return InitQuit;

    int result = 0;
    if (!initDesign(result))
        return result;
    return result;
}

fdEngine::~fdEngine() {
    releaseGuidance();
    m_mapCaptions.reset();
    m_mapRenderer.reset();
    g_engine = nullptr;
    m_mapSurface.reset();
    m_scratchSurface.reset();
    // The pages go before the atlas: the search filter page listens to it
    // until its destructor.
    if (m_ui)
        m_ui->setSoundPlayer(nullptr);
    m_ui.reset();
    m_atlas.reset();
    m_monitoring.reset();
    if (m_ui)
        m_ui->setSoundPlayer(nullptr);
    m_sound.reset();
    m_positioning.reset();
    m_dangerPoints.reset();
    m_waypointStyles.reset();
    m_atlasFolders.reset();
    m_pool.reset();
    m_messages.reset();
    m_keyboardLayouts.reset();
    m_ui.reset();
    m_device.reset();
    m_inetStatistics.reset();
    m_internet.reset();
    m_files.reset();
    m_bindings.reset();
    m_config.reset();
    m_tray.reset();
    m_design.reset();
}

} // namespace engine
