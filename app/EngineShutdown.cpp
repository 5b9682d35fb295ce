// What the engine stores between runs and the orderly end of the program.

#include "app/DevicesFile.h"
#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/DateTime.h"
#include "core/InetStatistics.h"
#include "core/Log.h"
#include "core/MainLoopWake.h"
#include "core/PeriodicTimer.h"
#include "core/ResourcesPool.h"
#include "core/TempSurface.h"
#include "core/Text.h"
#include "core/VirtualFs.h"
#include "core/WinInet.h"
#include "map/AtlasFolderList.h"
#include "map/AtlasServices.h"
#include "map/KVAtlas.h"
#include "map/proximity/Index.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/Sensors.h"
#include "screens/HandlerCarSource.h"
#include "screens/HandlerNavigation.h"
#include "screens/SensorsSource.h"
#include "guidance/SoundSystem.h"
#include "positioning/System.h"
#include "routing/AtlasRoute.h"
#include "userdata/MonitoringSystem.h"
#include "userdata/fdTrackManager.h"
#include "userdata/fdWPManager.h"
#include "render/MapCaptions.h"
#include "render/fdMapRenderer.h"
#include "ui/ButtonBindings.h"
#include "ui/fdInterface.h"

#include <algorithm>
#include <exception>

namespace engine {

bool fdEngine::loadGps() {
    int port = 0;
    int speed = 0;
    if (m_device) {
        port = m_device->gpsPort;
        speed = m_device->baudRate;
    } else {
        auto root = m_config->root();
        if (!root->get("gps_port", port) || !root->get("gps_speed", speed)) {
            // The first start: the receiver has not been set up yet.
            Log::log(Log::Normal, "No gps settings read");
            return false;
        }
    }
    if (!m_positioning || !m_positioning->hasDevice())
        return true;
    m_positioning->setPort(static_cast<std::uint32_t>(port), static_cast<std::uint32_t>(supportedGpsRate(speed)));
    return true;
}

void fdEngine::onlineLogin() {
    if (!m_monitoring)
        return;
    auto root = m_config->root();
    const std::string password = root->value("online_password", std::string());
    const std::string user = root->value("online_user", std::string());
    m_monitoring->setLogin(Core::utf8ToWide(user), Core::utf8ToWide(password));
    if (root->value("monitoring_enabled", true))
        m_monitoring->start();
}

void fdEngine::saveGpsSettings() {
    if (!m_positioning)
        return;
    auto root = m_config->root();
    if (m_positioning->hasDevice()) {
        const auto [port, speed] = m_positioning->getPort();
        root->set("gps_port", static_cast<int>(port));
        root->set("gps_speed", static_cast<int>(speed));
    } else {
        root->set("gps_port", 0);
        root->set("gps_speed", 4800);
    }
    root->set("gps_enable", m_positioning->isEnabled());
}

void fdEngine::saveMonitoringSettings() {
    if (!m_monitoring)
        return;
    auto root = m_config->root();
    root->set("monitoring_enabled", m_monitoring->isRunning());
    std::vector<std::uint8_t> seen;
    for (const std::uint32_t id : m_monitoring->seenPointIds())
        for (int shift = 0; shift < 32; shift += 8)
            seen.push_back(static_cast<std::uint8_t>(id >> shift));
    root->set("online_deleted_waypoints", seen);
}

bool fdEngine::settingsEdited() const {
    // The day or night mode the automatic switch chose is the program's own
    // state, not a setting the driver changed: it goes with the exit's
    // save, and a running program does not rewrite config.xml at dusk.
    const bool automatic = m_bindings && m_bindings->dayNight().automatic();
    const std::set<std::string>& keys = m_config->editedKeys();
    return std::any_of(keys.begin(), keys.end(),
                       [automatic](const std::string& key) { return !automatic || key != "night_mode"; });
}

void fdEngine::saveSettings() {
    if (!m_initialized || !m_config)
        return;
    auto root = m_config->root();
    if (m_mapRenderer) {
        std::vector<std::uint8_t> show, warn;
        m_mapRenderer->styles().collectPoiTypeFlags(show, warn);
        root->set("show_pt", show);
        root->set("warn_pt", warn);
    }
    saveGpsSettings();
    saveMonitoringSettings();
    // A value set, by a page or by the program itself; settings only read
    // so far (created with their defaults) go with the exit's save.
    if (settingsEdited())
        m_config->save(dataPath(u"config.xml"));
}

void fdEngine::stopMapEvents() {
    if (m_positioning && m_mapEvents)
        m_positioning->removeListener(m_mapEvents.get());
}

void fdEngine::releaseGuidance() {
    m_navigationPace.reset();
    stopMapEvents();
    m_sensorSource.reset();
    m_carSource.reset();
    // The demo drive's guidance reports to the handler: it goes first.
    m_navigation.reset();
    m_mapEvents.reset();
    m_naviSounds.reset();
    m_sensors.reset();
}

void fdEngine::shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    // A fault in one step (a second one, after a frame's) is carried to the
    // caller after the others ran: the settings are still saved, and SDL
    // still goes, which would otherwise leave a dead window on the screen
    // until the process ends.
    std::exception_ptr fault;
    const auto step = [&fault](auto&& work) {
        try {
            work();
        } catch (...) {
            if (!fault)
                fault = std::current_exception();
        }
    };
    // The atlas that is open is stored; after a start that could not open
    // one, or that showed another because the chosen one was missing or
    // could not be read, the configured atlas stays as the user chose it.
    step([this] {
        if (!m_atlasFolders || !m_config || !m_atlas || !m_atlas->loaded() || !m_missingAtlas.empty() ||
            !m_unreadAtlasNotice.empty())
            return;
        const auto& records = m_atlasFolders->records();
        // Relative to the data folder when inside it: a moved or copied
        // program folder opens the same atlas.
        if (m_atlasIndex < records.size())
            m_config->root()->set("atlas", Core::wideToUtf8(
                                               Map::FolderPaths(m_programFolder).relativeToData(records[m_atlasIndex].path)));
    });
    step([this] {
        if (m_positioning && m_tracks)
            m_positioning->removeListener(m_tracks.get());
        stopMapEvents();
    });
    step([this] {
        if (m_waypoints)
            m_waypoints->save(programPath(u"waypoints"));
    });
    step([this] {
        if (m_ui)
            m_ui->setSoundPlayer(nullptr);
        releaseGuidance();
        m_sound.reset();
    });
    step([this] { saveSettings(); });
    step([this] {
        if (!m_ui)
            return;
        m_ui->shutdown();
        // The pixels the images held, counted: the machine's free memory
        // moves with every other process, and memory freed to the heap
        // need not show there at all (a shutdown logged -8192 bytes).
        if (Log::currentSeverity() >= Log::Info)
            Log::log(Log::Info, "%d bytes used in images", m_ui->deleteImages());
    });
    step([this] {
        m_mapCaptions.reset();
        m_routeLine.reset();
        m_mapRenderer.reset();
        m_ui.reset();
        m_atlas.reset();
        m_scratchSurface.reset();
        m_mapSurface.reset();
    });
    step([this] {
        if (m_config && !m_initialized) {
            // A start that failed or was cut short by a quit signal has only
            // added defaults to what was read: the user's config.xml stays as
            // it was.
            Log::log(Log::Info, "Config was not saved: the start did not finish");
        } else if (m_config) {
            if (m_config->changed()) {
                Log::log(Log::Info, "Config was changed");
                if (!m_config->save(dataPath(u"config.xml")))
                    Log::log(Log::Critical, "Config was not saved");
            } else {
                Log::log(Log::Info, "Config was not changed");
            }
        }
    });
    Log::log(Log::Normal, "SDL closing");
    Threading::closeMainLoopWakeUps();
    if (m_sdlStarted)
        SDL_QuitSubSystem(SDL_INIT_EVERYTHING & ~SDL_INIT_TIMER);
    m_screen = nullptr;
    Log::log(Log::System, "SDL closed");
    step([this] {
        if (m_monitoring && m_monitoring->isRunning())
            m_monitoring->stop();
        m_monitoring.reset();
        m_positioning.reset();
        m_inetStatistics.reset();
        m_internet.reset();
        m_files.reset();
    });
    const Positioning::DateTime now = Positioning::localDateTime();
    Log::log(Log::System, "shutdown at: %.4d-%.2d-%.2d %.2d:%.2d:%.2d", now.year, now.month, now.day, now.hour,
             now.minute, now.second);
    if (m_sdlStarted)
        SDL_Quit();
    m_sdlStarted = false;
    if (fault)
        std::rethrow_exception(fault);
}

} // namespace engine
