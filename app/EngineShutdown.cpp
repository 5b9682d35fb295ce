// What the engine stores between runs and the orderly end of the program.

#include "app/DevicesFile.h"
#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/DateTime.h"
#include "core/InetStatistics.h"
#include "core/Log.h"
#include "core/ResourcesPool.h"
#include "core/TempSurface.h"
#include "core/Text.h"
#include "core/VirtualFs.h"
#include "core/WinInet.h"
#include "map/AtlasFolderList.h"
#include "map/KVAtlas.h"
#include "map/proximity/Index.h"
#include "platform/Memory.h"
#include "positioning/System.h"
#include "render/fdMapRenderer.h"
#include "ui/fdInterface.h"

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
            Log::log(Log::Critical, "No gps settings read");
            return false;
        }
    }
    if (!m_positioning || !m_positioning->hasDevice())
        return true;
    m_positioning->setPort(static_cast<std::uint32_t>(port), static_cast<std::uint32_t>(supportedGpsRate(speed)));
    return true;
}

void fdEngine::onlineLogin() {
    // The online service joins the engine with its own subsystem; until then
    // there is no service to log in to, and the program runs offline.
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

void fdEngine::saveMonitoringSettings() {}

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
    if (m_config->changed())
        m_config->save(dataPath(u"config.xml"));
}

void fdEngine::shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    if (m_atlasFolders && m_config) {
        const auto& records = m_atlasFolders->records();
        if (m_atlasIndex < records.size())
            m_config->root()->set("atlas", Core::wideToUtf8(records[m_atlasIndex].path));
    }
    saveSettings();
    if (m_ui) {
        m_ui->shutdown();
        if (Log::currentSeverity() >= Log::Info) {
            const auto before = Platform::memoryStatus().availablePhysical;
            m_ui->deleteImages();
            const auto after = Platform::memoryStatus().availablePhysical;
            Log::log(Log::Info, "%d bytes used in images", static_cast<long long>(after) - static_cast<long long>(before));
        }
    }
    m_mapRenderer.reset();
    m_ui.reset();
    m_atlas.reset();
    m_scratchSurface.reset();
    m_mapSurface.reset();
    if (m_config) {
        if (m_config->changed()) {
            Log::log(Log::Info, "Config was changed");
            if (!m_config->save(dataPath(u"config.xml")))
                Log::log(Log::Critical, "Config was not saved");
        } else {
            Log::log(Log::Info, "Config was not changed");
        }
    }
    Log::log(Log::Normal, "SDL closing");
    if (m_sdlStarted)
        SDL_QuitSubSystem(SDL_INIT_EVERYTHING & ~SDL_INIT_TIMER);
    m_screen = nullptr;
    Log::log(Log::System, "SDL closed");
    m_positioning.reset();
    m_inetStatistics.reset();
    m_internet.reset();
    m_files.reset();
    const Positioning::DateTime now = Positioning::localDateTime();
    Log::log(Log::System, "shutdown at: %.4d-%.2d-%.2d %.2d:%.2d:%.2d", now.year, now.month, now.day, now.hour,
             now.minute, now.second);
    if (m_sdlStarted)
        SDL_Quit();
    m_sdlStarted = false;
}

} // namespace engine
