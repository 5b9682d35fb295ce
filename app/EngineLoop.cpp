// The main loop, its event dispatch, the video mode and the tray.

#include "app/fdEngine.h"

#include "app/CrashReport.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/MainLoopWake.h"
#include "core/PeriodicTimer.h"
#include "core/ReleasableFileMapping.h"
#include "core/Shell.h"
#include "core/TempSurface.h"
#include "core/Text.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/Sensors.h"
#include "map/KVAtlas.h"
#include "platform/Clipboard.h"
#include "platform/CrashGuard.h"
#include "platform/Mapping.h"
#include "platform/Path.h"
#include "platform/QuitSignals.h"
#include "platform/Window.h"
#include "positioning/Clock.h"
#include "positioning/System.h"
#include "render/MapCamera.h"
#include "routing/AtlasRoute.h"
#include "render/fdMapRenderer.h"
#include "screens/AtlasesPage.h"
#include "screens/HandlerNavigation.h"
#include "screens/SensorsSource.h"
#include "screens/fdPageMap.h"
#include "screens/fdSettingsMenuPage.h"
#include "search/Engine.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <algorithm>
#include <exception>
#include <system_error>

namespace engine {

void fdEngine::mainLoop() {
    // Taps and keys given during the start were aimed at the splash, and
    // the redraws asked for meanwhile are one: they go. What the window
    // system said stays queued: a window manager that sizes or maximises
    // the window as it maps it sends that size once (SDL 1.2 reports a size
    // only when it differs from the last one it reported), and a window
    // closed during the start is a quit.
    constexpr Uint32 dropped = SDL_KEYEVENTMASK | SDL_MOUSEEVENTMASK | SDL_JOYEVENTMASK | SDL_VIDEOEXPOSEMASK;
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, dropped) > 0) {
    }
    Threading::wakeMainLoop();
    while (!quitRequested()) {
        if (m_ui)
            m_ui->applyPendingChanges();
        if (!SDL_WaitEvent(&event))
            break;
        handleEvents(event);
    }
}

int fdEngine::runStarted() {
    if (m_mapRenderer)
        m_camera->setAnchorFraction(MapCamera::anchorFractionFor(m_mapRenderer->proportion()));
    m_camera->updateCameraAngles();
    if (m_atlas)
        m_atlas->requestRedraw();
    bool faulted = true;
    Platform::FaultReport report;
    try {
        mainLoop();
        faulted = false;
    } catch (const std::exception& error) {
        report = Platform::reportThisThread();
        report.what = error.what();
    } catch (...) {
        report = Platform::reportThisThread();
    }
    if (faulted)
        logCrashReport(report);
    logQuitSignal();
    if (shutdownReported())
        faulted = true;
    // The message waits for the driver: what the drive left is kept first.
    if (faulted)
        showCrashBox();
    return faulted ? -1 : 0;
}

bool fdEngine::shutdownReported() {
    try {
        shutdown();
        return false;
    } catch (const std::exception& error) {
        Platform::FaultReport report = Platform::reportThisThread();
        report.what = error.what();
        logCrashReport(report, "shutting down");
    } catch (...) {
        logCrashReport(Platform::reportThisThread(), "shutting down");
    }
    return true;
}

void fdEngine::handleEvents(SDL_Event event) {
    ++m_pass;
    m_inPass = true;
    struct PassEnd {
        bool& inPass;
        ~PassEnd() { inPass = false; }
    } passEnd{m_inPass};
    for (;;) {
        dispatch(event);
        SDL_Delay(1);
        if (quitRequested() || !SDL_PollEvent(&event))
            break;
    }
    if (quitRequested())
        return;
    const std::uint32_t now = m_clock ? m_clock->ticksMs() : SDL_GetTicks();
    closeDamagedMaps(now);
    Core::followOpeners();
    keepRouteAndView(now);
    keepSettings(now);
    keepNavigationPace();
    // A paced page left invalidated is drawn by the timer's next expose; one
    // of the loop's own would only be passed over, again and again.
    if (m_ui && m_ui->dirty() && !framesPaced()) {
        SDL_Delay(1);
        Threading::wakeMainLoop();
    }
}

void fdEngine::keepNavigationPace() {
    // The map page's timer ticks at the pace already.
    const bool uiPaces = m_ui && m_ui->timerRunning() && m_ui->uiTimer().ms() <= NavigationPeriodMs;
    const bool carToFollow = (m_positioning && m_positioning->isEnabled()) ||
                             (m_mapEvents && m_mapEvents->navi().running());
    const bool wanted = m_navigation && !uiPaces && carToFollow && !quitRequested();
    if (wanted == (m_navigationPace != nullptr))
        return;
    if (!wanted) {
        m_navigationPace.reset();
        Log::log(Log::Info, "Navigation pace removed");
        return;
    }
    try {
        m_navigationPace = std::make_unique<Threading::PeriodicTimer>(NavigationPeriodMs, [this] { navigationDue(); });
    } catch (const std::system_error&) {
        Log::log(Log::Critical, "Can't create navigation pace %dms", NavigationPeriodMs);
        return;
    }
    Log::log(Log::Info, "Navigation pace %dms created", NavigationPeriodMs);
}

void fdEngine::navigationDue() {
    if (!m_navigationDue.exchange(true))
        Threading::wakeMainLoop();
}

void fdEngine::backgroundStep() {
    // A pass lasts as long as events keep coming (a finger dragging the
    // map, frames slower than the UI timer): once a pass alone, the car and
    // guidance stood for all of it.
    const std::uint32_t now = m_clock ? m_clock->ticksMs() : SDL_GetTicks();
    if (m_inPass) {
        if (m_steppedPass == m_pass && now - m_steppedMs < NavigationPeriodMs)
            return;
        m_steppedPass = m_pass;
    }
    m_steppedMs = now;
    navigationFrame();
    Screens::fdPageMap* map = Screens::fdPageMap::instance();
    Ui::fdPage* shown = m_ui ? m_ui->activePage() : nullptr;
    if (map == nullptr || shown == nullptr || shown == map)
        return;
    const bool day = isDay();
    map->dayNightStep();
    if (isDay() != day)
        shown->invalidate(1);
}

void fdEngine::navigationFrame() {
    if (!m_navigation)
        return;
    m_navigation->frame();
    ++m_navigationFrames;
}

bool fdEngine::framesPaced() const {
    const Ui::fdPage* page = m_ui ? m_ui->activePage() : nullptr;
    // Without its timer the page would never be drawn again.
    return page != nullptr && page->framesPacedByUiTimer() && m_ui->timerRunning();
}

void fdEngine::noticeOnMap(const char* key, int error) {
    if (auto* map = m_messages && m_ui ? dynamic_cast<Screens::fdPageMap*>(m_ui->findPage("pageMap")) : nullptr)
        map->notice(noticeWithReason(key, error));
}

void fdEngine::keepRouteAndView(std::uint32_t nowMs) {
    if (!m_atlas || !m_atlas->loaded())
        return;
    if (m_route && m_route->takeUnsaved()) {
        const bool stored = m_atlas->autosavePath();
        if (!stored && !m_routeNotStored)
            noticeOnMap("route_write_err", m_atlas->pathWriteError());
        m_routeNotStored = !stored;
    }
    if (auto* search = dynamic_cast<TextSearch::Engine*>(m_atlas->services().searchEngine.get()))
        if (const int error = search->history().takeWriteError())
            noticeOnMap("history_write_err", error);
    const Map::CameraFields view = m_atlas->camera();
    if (!(view == m_lastView)) {
        m_lastView = view;
        m_viewSinceMs = nowMs;
        return;
    }
    // A failed write is not retried until the view moves again.
    if (nowMs - m_viewSinceMs >= CalmViewMs && !(view == m_savedView)) {
        m_atlas->saveCamera();
        m_savedView = view;
    }
}

void fdEngine::keepSettings(std::uint32_t nowMs) {
    if (!m_initialized || !m_config || !m_ui || m_dataReadOnly)
        return;
    const void* page = m_ui->activePage();
    if (page != m_settingsPage) {
        // Every settings page applies on "ok" and goes back: the values
        // held outside the store (the POI lists, the receiver's port) are
        // collected with the rest. A page left by "back" changed nothing,
        // and nothing is written then (a setting a page only read, created
        // with its default, waits for the exit).
        m_settingsPage = page;
        m_settingsSavedMs = nowMs;
        m_settingsSaveFailed = false;
        saveSettings();
        m_settingsSaveFailed = settingsEdited();
        noticeNotStored();
        return;
    }
    // A failed save (a full disk) is logged once and tried again when the
    // next page is left, not between every two events.
    if (!settingsEdited() || m_settingsSaveFailed || nowMs - m_settingsSavedMs < CalmSettingsMs)
        return;
    m_settingsSavedMs = nowMs;
    m_settingsSaveFailed = !m_config->save(dataPath(u"config.xml"));
}

void fdEngine::noticeNotStored() {
    const char* key = nullptr;
    int error = 0;
    if (!m_settingsSaveFailed) {
        m_settingsToldLost.clear();
    } else if (std::string lost = m_config->toXml(); lost != m_settingsToldLost) {
        m_settingsToldLost = std::move(lost);
        key = "settings_write_err";
        error = m_config->saveError();
    }
    // The view is one of the settings its page stored: one box says both.
    if (!key && m_viewWriteError != 0) {
        key = "view_write_err";
        error = m_viewWriteError;
    }
    m_viewWriteError = 0;
    if (!key || !m_messages || !m_ui)
        return;
    std::u16string text = noticeWithReason(key, error);
    if (auto* menu = dynamic_cast<Screens::fdSettingsMenuPage*>(m_ui->activePage()))
        menu->notice(text);
    else if (auto* map = dynamic_cast<Screens::fdPageMap*>(m_ui->findPage("pageMap")))
        map->notice(std::move(text));
}

void fdEngine::closeDamagedMaps(std::uint32_t nowMs) {
    std::vector<std::string> cut = Platform::takeDamagedMappings();
    std::vector<std::u16string> gone = FileSystem::takeVanishedFiles();
    std::vector<std::u16string> replaced;
    if (m_atlas && m_atlas->loaded() && nowMs - m_mapFilesCheckedMs >= MapFilesCheckMs) {
        m_mapFilesCheckedMs = nowMs;
        for (Map::KVAtlas::ChangedMapFile& changed : m_atlas->changedMapFiles()) {
            const std::string native = Platform::toNativePath(changed.path);
            if (changed.change == Platform::FileChange::CutShort) {
                if (std::find(cut.begin(), cut.end(), native) == cut.end())
                    cut.push_back(native);
            } else if (changed.change == Platform::FileChange::Gone) {
                if (std::find(gone.begin(), gone.end(), changed.path) == gone.end())
                    gone.push_back(std::move(changed.path));
            } else {
                replaced.push_back(std::move(changed.path));
            }
        }
    }
    if (cut.empty() && gone.empty() && replaced.empty())
        return;
    for (const std::string& path : cut)
        Log::log(Log::Critical, "Map file '%s' was cut short while in use: the atlas is loaded again", path);
    for (const std::u16string& path : gone)
        Log::log(Log::Critical, u"Map file '%s' is gone while in use: the atlas is loaded again", path);
    for (const std::u16string& path : replaced)
        Log::log(Log::Normal, u"Map file '%s' was replaced while in use: the atlas is loaded again", path);
    if (m_atlas && m_atlas->loaded()) {
        if (auto* page = m_ui ? dynamic_cast<Screens::AtlasesPage*>(m_ui->findPage("atlases")) : nullptr)
            page->reloadAtlas();
        else
            m_atlas->load(std::u16string(m_atlas->folder()));
    }
    // A file put in a map's place is news only when the load refused it.
    std::vector<std::u16string> unreadable;
    if (m_atlas)
        for (const std::u16string& path : replaced)
            for (const Map::AtlasXml::LeftOut& refused : m_atlas->refusedMaps())
                if (Platform::toNativePath(refused.path) == Platform::toNativePath(path)) {
                    unreadable.push_back(path);
                    break;
                }
    // The map would go blank, or lose a part, without a word: the driver is
    // told which file went away, was cut short or was replaced by one that
    // cannot be read, and when the atlas is left with no map to show.
    auto* map = m_messages && m_ui ? dynamic_cast<Screens::fdPageMap*>(m_ui->findPage("pageMap")) : nullptr;
    if (!map)
        return;
    std::vector<std::u16string> notices;
    if (!gone.empty())
        notices.push_back(noticeWithFiles("map_file_gone_err", gone));
    if (!cut.empty()) {
        std::vector<std::u16string> paths;
        for (const std::string& path : cut)
            paths.push_back(Core::utf8ToWide(path));
        notices.push_back(noticeWithFiles("map_file_cut_err", paths));
    }
    if (!unreadable.empty())
        notices.push_back(noticeWithFiles("map_file_bad_err", unreadable));
    if (!notices.empty() && m_atlas && !m_atlas->loaded()) {
        notices.back().push_back(u'\n');
        notices.back().append(m_messages->text("atlas_bad_atlas_err"));
    }
    for (std::u16string& text : notices)
        map->notice(std::move(text));
}

void fdEngine::redraw() {
    const std::uint32_t now = m_clock ? m_clock->ticksMs() : SDL_GetTicks();
    if (!m_ui)
        return;
    backgroundStep();
    if (m_sensors && m_sensorSource)
        m_sensors->updateAll(m_sensorSource->frame());
    m_ui->tick(now);
    // The timer's ticks that changed nothing on such a page cost no frame.
    const Ui::fdPage* page = m_ui->activePage();
    if (page != nullptr && page->drawsOnlyWhenInvalidated() && !m_ui->dirty())
        return;
    drawNow();
}

void fdEngine::drawNow() {
    if (!m_ui || !m_screen || !m_scratchSurface)
        return;
    m_ui->draw(m_screen, *m_scratchSurface, true);
    SDL_Flip(m_screen);
    ++m_framesDrawn;
}

void fdEngine::dispatch(const SDL_Event& event) {
    switch (event.type) {
    case SDL_ACTIVEEVENT:
        if (event.active.gain && m_ui) {
            m_ui->invalidate(0);
            redraw();
        }
        break;
    case SDL_KEYDOWN:
        if (event.key.keysym.sym != 0 && m_ui) {
            m_ui->setKeyEvent(event.key.keysym.mod, static_cast<char16_t>(event.key.keysym.unicode));
            m_ui->keyDown(event.key.keysym.sym);
        }
        break;
    case SDL_KEYUP:
        if (event.key.keysym.sym != 0 && m_ui)
            m_ui->keyUp(event.key.keysym.sym);
        break;
    case SDL_MOUSEMOTION:
        if (m_ui)
            m_ui->mouseMove(event.motion.x, event.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (m_ui)
            m_ui->mouseButtonDown(event.button.button, event.button.x, event.button.y);
        break;
    case SDL_MOUSEBUTTONUP:
        if (m_ui)
            m_ui->mouseButtonUp(event.button.button, event.button.x, event.button.y);
        break;
    case SDL_QUIT:
        m_quit = true;
        break;
    case SDL_SYSWMEVENT:
        // Other programs asking for the text the program put on the
        // clipboard.
        Platform::Clipboard::instance().handleWindowEvent(event);
        break;
    case SDL_VIDEORESIZE:
        onResize(event.resize.w, event.resize.h);
        break;
    case SDL_VIDEOEXPOSE: {
        // A later copy of the program asked this one to show itself (the
        // request arrives as a flag and an expose event).
        if (m_raiseRequested.exchange(false))
            restoreFromTray();
        // Each expose would tick the page's animations a step further and
        // ask for the next frame at once: the map page, while the car
        // moves, drew as fast as the processor allowed. A page its UI timer
        // paces is drawn on the timer's ticks; any other on every expose but
        // the navigation pace's, which runs the background step alone.
        const bool navigation = m_navigationDue.exchange(false);
        const bool frameDue = m_ui && m_ui->takeFrameDue();
        const bool draws = framesPaced() ? frameDue : frameDue || !navigation || (m_ui && m_ui->dirty());
        if (draws)
            redraw();
        else if (navigation)
            backgroundStep();
        break;
    }
    default:
        break;
    }
}

void fdEngine::onResize(int width, int height) {
    const int k = m_doubleSize ? 2 : 1;
    const int minWidth = designWidth() * k;
    const int minHeight = designHeight() * k;
    const int maxWidth = std::max(screenWidth(), minWidth);
    const int maxHeight = std::max(screenHeight(), minHeight);
    if (width >= minWidth && width <= maxWidth && height >= minHeight && height <= maxHeight) {
        if (!setVideoMode(width, height))
            m_quit = true;
        return;
    }
    // Out of limits: the window goes back to the nearest allowed size.
    if (!setVideoMode(std::clamp(width, minWidth, maxWidth), std::clamp(height, minHeight, maxHeight)))
        m_quit = true;
}

bool fdEngine::initVideo() {
    SDL_WM_SetCaption("mirel", nullptr);
    const int k = m_doubleSize ? 2 : 1;
    return setVideoMode(designWidth() * k, designHeight() * k);
}

bool fdEngine::setVideoMode(int width, int height) {
    readScreenSize();
    // The screen's own size opens full screen without a frame; anything
    // else is a resizable window.
    bool fullScreen = width == screenWidth() && height == screenHeight() && m_screenWidth > 0;
    // SDL 1.2 opens the full screen only once it has grabbed the pointer,
    // and waits for that without end: another copy in full screen on this
    // display (in a session of its own) holds it as long as it runs.
    if (fullScreen && !(m_screen && (m_screen->flags & SDL_FULLSCREEN)) && Platform::pointerHeldElsewhere()) {
        Log::log(Log::Critical,
                 "Another program holds the pointer: a window of %dx%d instead of the full screen (taps reach it "
                 "once that program lets the pointer go)",
                 width, height);
        fullScreen = false;
    }
    const Uint32 flags = fullScreen ? SDL_HWSURFACE | SDL_NOFRAME | SDL_HWACCEL | SDL_DOUBLEBUF | SDL_FULLSCREEN
                                    : SDL_HWSURFACE | SDL_RESIZABLE | SDL_HWACCEL | SDL_DOUBLEBUF;
    const int depth = 32;
    {
        // Should the pointer be taken between the look above and SDL's
        // grab, the call would never come back to ask for a quit: a signal
        // then ends the program from the signals' watcher. What the driver
        // made is on disk already, as a kill would find it.
        Platform::UnboundedWait wait(
            VideoModeQuitGraceMs,
            [](int signal) {
                Log::log(Log::Critical,
                         "Quit signal %d received while SDL waits to set the video mode: the program ends without "
                         "its shutdown",
                         signal);
            },
            0);
        m_screen = SDL_SetVideoMode(width, height, depth, flags);
    }
    if (!m_screen) {
        Log::log(Log::Critical, "fatal error : Failed to set video mode %dx%dx%d", width, height, depth);
        return false;
    }
    const SDL_PixelFormat* format = m_screen->format;
    m_mapSurface = std::make_unique<TempSurface>(format->BitsPerPixel, format->Rmask, format->Gmask, format->Bmask,
                                                 format->Amask);
    SDL_Surface* map = m_mapSurface->get(m_screen->w, m_screen->h);
    if (!map) {
        Log::log(Log::Critical, "fatal error : Failed to create map surface");
        return false;
    }
    if (m_mapRenderer)
        m_mapRenderer->setMapSurface(map);
    const float fieldOfView = std::clamp(m_config->root()->value("camera_fovy", 60.0f), 10.0f, 90.0f);
    m_camera->setViewport(static_cast<float>(m_screen->w), static_cast<float>(m_screen->h),
                          fieldOfView * 0.017453292f);
    if (m_atlas)
        m_atlas->requestRedraw();
    if (m_ui) {
        m_ui->setRect(0, 0, width, height);
        // The new surface starts black: draw the pages again without
        // waiting for input.
        m_ui->invalidate(0);
        Threading::wakeMainLoop();
    }
    return true;
}

bool fdEngine::hideToTray() {
    Log::log(Log::Normal, "Hiding to tray");
    if (!SDL_WM_IconifyWindow()) {
        Log::log(Log::Critical, "Can't add icon to tray");
        return false;
    }
    m_tray->hidden = true;
    return true;
}

void fdEngine::restoreFromTray() {
    Log::log(Log::Info, "Restoring from tray");
    Platform::raiseVideoWindow();
    if (m_tray)
        m_tray->hidden = false;
}

} // namespace engine
