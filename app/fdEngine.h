#pragma once
// The application object: owns every subsystem, creates them in one fixed
// order at start-up, runs the main loop and takes them down again in a fixed
// order, saving the settings. One engine exists per process; pages reach it
// through fdEngine::instance().

#include "core/InetListener.h"
#include "map/CameraFields.h"
#include "ui/EngineServices.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class TempSurface;
class MapCamera;

namespace Core {
class Config;
class ConfigNode;
class ResourcesPool;
} // namespace Core
namespace FileSystem {
class VirtualFs;
}
namespace Network {
namespace WinInet {
class Impl;
}
class InetStatistics;
} // namespace Network
namespace Positioning {
class Clock;
class PortSystem;
class System;
} // namespace Positioning
namespace Monitoring {
class System;
}
namespace Guidance {
class KVMapEventsHandler;
class Sensors;
class SoundSystem;
class SoundSystemNaviSounds;
} // namespace Guidance
namespace Screens {
class HandlerCarSource;
class HandlerNavigation;
class SensorsSource;
} // namespace Screens
class AtlasRoute;
class RouteLine;
class fdTrackManager;
class fdWPManager;
class RenderWaypointStyles;
namespace Map {
class KVAtlas;
class AtlasFolderList;
namespace Proximity {
struct IndexHolder;
}
} // namespace Map
namespace MapDrawing {
class fdMapRenderer;
class MapCaptions;
}
class Messages;
namespace Threading {
class PeriodicTimer;
}
namespace Ui {
class ButtonBindings;
class fdInterface;
class KeyboardLayouts;
struct DesignDescription;
} // namespace Ui
namespace Positioning {
class MessageTexts;
}

namespace engine {

struct DeviceSpec;

// The window and the notification-area state (the window is iconified while
// the program sits "in the tray").
struct TrayRecord {
    bool hidden = false;
};

class fdEngine : public Network::ConnectionListener, public Ui::EngineServices {
  public:
    // The program folder ends in a separator; empty means the folder of the
    // running executable. Sets the global engine.
    explicit fdEngine(std::u16string programFolder = {});
    // Releases the subsystems in the fixed order; clears the global engine.
    ~fdEngine() override;
    fdEngine(const fdEngine&) = delete;
    fdEngine& operator=(const fdEngine&) = delete;

    static fdEngine* instance();

    // Set before init, for a drive on simulated time: the clock that
    // guidance, the car tracker, the sensors, the tracks, the receiver and
    // the frames measure milliseconds on (the system's clocks when none is
    // set), and the maker of the receiver's port system (the serial ports
    // when none is set). The clock must outlive the engine.
    using PortSystemMaker =
        std::function<std::unique_ptr<Positioning::PortSystem>(const Positioning::MessageTexts* texts)>;
    void setClock(Positioning::Clock& clock) { m_clock = &clock; }
    void setPortSystemMaker(PortSystemMaker make) { m_makePortSystem = std::move(make); }

    // The whole life of the program: 0 after a normal end, -1 on failure.
    int run();
    // The start-up sequence: 0 success, 1 failure already shown to the user
    // in the user's language, 2 other failure, InitQuit when a quit signal
    // arrived on the way (the steps not yet taken are not taken).
    int init();
    static constexpr int InitQuit = 3;
    // Keeps what the run left and takes the subsystems and SDL down, once.
    // Each step runs whatever an earlier one threw; the first exception is
    // thrown again at the end.
    void shutdown();
    // The main loop; returns when the quit flag is set.
    void mainLoop();
    // After a start that succeeded: the main loop, then the shutdown; 0, or
    // -1 when a fault of the program's own code (an exception) ended a
    // frame. Such a fault is no failed start: it is reported as the fault
    // handler reports a machine fault, and the shutdown keeps the
    // settings, the view and the route as after a quit.
    int runStarted();
    // The shutdown after any run, a start that failed or was cut short by
    // a quit included: a fault in it (an exception its steps carried to the
    // end) is logged as the crash report "while shutting down", and true is
    // returned; nothing escapes.
    bool shutdownReported();

    // Start-up pieces, in the order init calls them.
    bool initSound();
    bool loadGps();
    void onlineLogin();
    bool initVideo();
    // The screen's own size opens full screen, unless another program holds
    // the pointer (SDL 1.2 would wait for it without end): then a window of
    // that size. A quit signal that SDL_SetVideoMode does not outlast by
    // VideoModeQuitGraceMs ends the process at once (exit code 0).
    bool setVideoMode(int width, int height);
    static constexpr std::uint32_t VideoModeQuitGraceMs = 3000;

    // Settings written at shutdown (and by the pages).
    void saveSettings();
    void saveGpsSettings();
    void saveMonitoringSettings();
    // Between events: the route as soon as it changed, the view once it has
    // stayed still for CalmViewMs, so that a crash loses neither. A route
    // or a search history the disk did not take is said on the map page:
    // the route when the disk begins to refuse it (not again at every
    // rebuild until one is stored), the history at each change.
    void keepRouteAndView(std::uint32_t nowMs);
    static constexpr std::uint32_t CalmViewMs = 2000;
    // Between events: the settings on disk as soon as a page was left (a
    // settings page's "ok" applied its copies and went back), and values
    // the program changed itself at most every CalmSettingsMs, so that a
    // kill or a power cut loses none of them.
    void keepSettings(std::uint32_t nowMs);
    static constexpr std::uint32_t CalmSettingsMs = 2000;
    // The Map view page's "ok" could not write camera.kvc (a Win32 error
    // number): said, with the settings, when its page is left.
    void viewNotStored(int error) { m_viewWriteError = error; }
    // A setting was changed since the last save, by a page or by the
    // program itself (a setting only read, created with its default, is
    // none): what a running program writes config.xml for.
    bool settingsEdited() const;
    // A message with the system's reason, queued on the map page.
    void noticeOnMap(const char* key, int error);
    // A map file cut short while in use (a new map copied over it), gone
    // (deleted or moved away) or replaced by another file is logged, the
    // atlas is loaded again, which skips a file that is missing or invalid
    // now, and the driver is told of the first two and of a replacement
    // that load refused. Faults and failed opens
    // are taken at once; the atlas's files are looked at every
    // MapFilesCheckMs (a file deleted while mapped stays readable, and a
    // cut one faults only when a page past its end is read).
    void closeDamagedMaps(std::uint32_t nowMs);
    static constexpr std::uint32_t MapFilesCheckMs = 2000;

    // One expose event's work: the car's and guidance's frame, sensors,
    // interface tick, and the draw and flip unless the active page is drawn
    // on change only and nothing changed.
    void redraw();
    // The work that goes on behind every page, once a pass of the main loop
    // or once a NavigationPeriodMs, whichever comes first, however many of
    // the pass's exposes ask for it (any number of times outside a pass):
    // the car's and guidance's frame
    // (Screens::HandlerNavigation::frame), then the automatic day/night step
    // while a page other than the map is shown (the map page's tick steps
    // it there), the shown page redrawn when the mode changes. Run first by
    // every redraw and by the navigation pace's expose.
    void backgroundStep();
    // The car's and guidance's frame alone.
    void navigationFrame();
    // Navigation frames run since the start (for the tests and benchmarks).
    std::uint64_t navigationFrames() const { return m_navigationFrames; }
    // While the active page's UI timer ticks less often than every
    // NavigationPeriodMs, or not at all, and there is a car to follow (the
    // receiver is on, or guidance runs), a timer of the engine's own wakes
    // the loop at that period: its expose runs the background step alone,
    // the page ticking and drawing at its own pace. Kept after every pass
    // of the loop.
    void keepNavigationPace();
    static constexpr std::uint32_t NavigationPeriodMs = 50;
    bool navigationPaced() const { return m_navigationPace != nullptr; }
    // The pace's work, on its own thread: one expose event until the loop
    // took it.
    void navigationDue();
    // The redraw without the sensor and tick steps.
    void drawNow() override;
    // Frames drawn and flipped since the start (for the benchmarks).
    std::uint64_t framesDrawn() const { return m_framesDrawn; }
    // Dispatches one SDL event.
    void dispatch(const SDL_Event& event);
    // One pass of the main loop after its wait: the event and every event
    // queued behind it dispatched, damaged maps closed, the openers of
    // links followed (Core::followOpeners), the route and view kept, and an
    // expose pushed for a page left invalidated unless its frames follow
    // the UI timer.
    void handleEvents(SDL_Event event);
    // True while the active page is drawn only at its UI timer's pace.
    bool framesPaced() const;
    // The window was resized to (w, h): a new video mode within the design's
    // minimum and the screen's size, else the window is put back in limits.
    void onResize(int width, int height);

    void restoreFromTray();

    // --- EngineServices ----------------------------------------------------
    void setQuit() override;
    bool hideToTray() override;
    std::u16string dataPath(std::u16string_view name) const override;
    bool isDay() const override;
    bool doubleSize() const override { return m_doubleSize; }
    std::int32_t designWidth() const override;
    std::int32_t designHeight() const override;
    const Ui::DesignDescription* design() const override { return m_design.get(); }

    std::u16string programPath(std::u16string_view name) const;
    const std::u16string& programFolder() const { return m_programFolder; }
    const std::u16string& dataFolder() const { return m_dataFolder; }

    // Sets the quit flag and wakes the main loop (the terminate handler).
    static void onTerminate();
    // Any thread, after a quit signal: wakes a loop blocked in its wait,
    // which then finds quitRequested() set.
    static void wakeOnQuitSignal();
    // Any thread: asks the main loop to bring the window back (a later copy
    // of the program was started).
    void requestRaise();
    // The three wake the main loop through Threading::wakeMainLoop, open
    // from the start of SDL's video to the shutdown's closing of it: SDL_Quit
    // takes the queue and its lock down, and a signal may come at any moment.
    void connectionChanged() override;
    // Whether a network change stops the online service (the account page).
    void setOnlineAutoDisable(bool on) { m_onlineAutoDisable = on; }

    bool quit() const { return m_quit; }
    // The quit flag, or a quit signal (SIGTERM, SIGHUP, SIGINT) at any
    // moment since the start: every loop that waits asks this.
    bool quitRequested() const;
    bool initialized() const { return m_initialized; }
    // The screen's size as the window system reports it, read once before
    // the first video mode; the design's size when it reports none.
    int screenWidth() const;
    int screenHeight() const;
    // Overrides the screen size (tests; a desktop without a size).
    void setScreenSize(int width, int height);

    Core::Config* config() const { return m_config.get(); }
    std::shared_ptr<Core::ConfigNode> configRoot() const;
    Ui::fdInterface* ui() const { return m_ui.get(); }
    ::Messages* messages() const { return m_messages.get(); }
    Ui::ButtonBindings* bindings() const { return m_bindings.get(); }
    Ui::KeyboardLayouts* keyboardLayouts() const { return m_keyboardLayouts.get(); }
    Map::KVAtlas* atlas() const { return m_atlas.get(); }
    Map::AtlasFolderList* atlasFolders() const { return m_atlasFolders.get(); }
    Positioning::System* positioning() const { return m_positioning.get(); }
    Monitoring::System* monitoring() const { return m_monitoring.get(); }
    Guidance::SoundSystem* sound() const { return m_sound.get(); }
    AtlasRoute* route() const { return m_route; }
    fdTrackManager* tracks() const { return m_tracks.get(); }
    fdWPManager* waypoints() const { return m_waypoints.get(); }
    RenderWaypointStyles* waypointStyles() const { return m_waypointStyles.get(); }
    MapDrawing::fdMapRenderer* mapRenderer() const { return m_mapRenderer.get(); }
    MapCamera& camera() { return *m_camera; }
    SDL_Surface* screen() const { return m_screen; }
    TempSurface* mapSurface() const { return m_mapSurface.get(); }
    TempSurface* scratchSurface() const { return m_scratchSurface.get(); }
    Map::Proximity::IndexHolder* dangerPoints() const { return m_dangerPoints.get(); }
    Guidance::KVMapEventsHandler* mapEvents() const { return m_mapEvents.get(); }
    Guidance::Sensors* sensors() const { return m_sensors.get(); }
    Screens::HandlerNavigation* navigation() const { return m_navigation.get(); }
    // The atlas folder loaded; the atlases page sets it when the driver
    // chooses one, and that choice is the one saved from then on.
    std::uint32_t atlasIndex() const { return m_atlasIndex; }
    void setAtlasIndex(std::uint32_t index) {
        m_atlasIndex = index;
        m_missingAtlas.clear();
        m_unreadAtlasNotice.clear();
    }

  private:
    friend class PageFactory;
    friend struct EngineTestAccess;
    // A notice's message followed by the names of the files it is about
    // (the first two, then how many more).
    std::u16string noticeWithFiles(const char* key, const std::vector<std::u16string>& files) const;
    // A notice's message followed by the system's reason in brackets (none
    // for 0).
    std::u16string noticeWithReason(const char* key, int error) const;
    // After a page was left: a change its "ok" made that the disk did not
    // take (config.xml, camera.kvc), said once, in one box, on the page
    // shown now (the settings menu's box, else the map page's notices).
    void noticeNotStored();

    void initPaths(std::u16string programFolder);
    bool readTheme(std::string designText, bool full);
    bool initConfig();
    bool initMessages();
    bool initDesign(int& result);
    // Takes the map events handler off the fix stream.
    void stopMapEvents();
    // Ends the demo drive and releases the handler, the sensors and the
    // page's views of them; before the atlas and the sound player go.
    void releaseGuidance();
    void readScreenSize();
    // Removes what a kill in the middle of a save left of the files the
    // program writes whole (their temporary files beside them) and logs
    // each one; files of a copy still running and any other file stay.
    void removeStaleTemporaryFiles() const;
    // What went wrong at start without stopping it, for the driver once on
    // the map page: the data folder read-only, config.xml damaged, waypoint
    // files unreadable, map files gone since the last run, maps of the atlas
    // skipped.
    void noticeStartProblems();
    // "Quit signal %d received" when a signal ended the program.
    void logQuitSignal() const;
    // The box of a failed start: the text, then the last Critical lines
    // this engine logged (none of an earlier engine of the process).
    void showStartFailure(std::u16string_view text) const;

    // The process's count of Critical log lines when this engine was made.
    std::uint64_t m_criticalLinesBefore = 0;
    // Fields in the order the engine releases them in reverse.
    std::unique_ptr<Ui::DesignDescription> m_design;
    std::atomic<bool> m_quit{false};
    std::uint64_t m_framesDrawn = 0;
    std::uint64_t m_navigationFrames = 0;
    // The main loop's passes (handleEvents) and the one whose background
    // step has run; a step outside a pass always runs.
    std::uint64_t m_pass = 0;
    std::uint64_t m_steppedPass = 0;
    std::uint32_t m_steppedMs = 0; // when the background step last ran
    bool m_inPass = false;
    std::atomic<bool> m_raiseRequested{false};
    bool m_doubleSize = false;
    std::u16string m_programFolder;
    std::u16string m_dataFolder;
    std::unique_ptr<TrayRecord> m_tray;
    std::unique_ptr<Core::Config> m_config;
    std::unique_ptr<Ui::ButtonBindings> m_bindings;
    std::unique_ptr<FileSystem::VirtualFs> m_files;
    std::shared_ptr<Network::WinInet::Impl> m_internet;
    std::unique_ptr<Network::InetStatistics> m_inetStatistics;
    std::unique_ptr<DeviceSpec> m_device;
    std::unique_ptr<Ui::fdInterface> m_ui;
    std::unique_ptr<Ui::KeyboardLayouts> m_keyboardLayouts;
    std::unique_ptr<::Messages> m_messages;
    std::unique_ptr<Core::ResourcesPool> m_pool;
    std::unique_ptr<Map::AtlasFolderList> m_atlasFolders;
    std::unique_ptr<MapDrawing::fdMapRenderer> m_mapRenderer;
    // The caption step of the frame; goes before the renderer.
    std::unique_ptr<MapDrawing::MapCaptions> m_mapCaptions;
    std::unique_ptr<Map::Proximity::IndexHolder> m_dangerPoints;
    std::unique_ptr<Positioning::System> m_positioning;
    std::unique_ptr<fdTrackManager> m_tracks;
    std::unique_ptr<RenderWaypointStyles> m_waypointStyles;
    std::unique_ptr<fdWPManager> m_waypoints;
    std::unique_ptr<Guidance::SoundSystem> m_sound;
    std::unique_ptr<Monitoring::System> m_monitoring;
    std::unique_ptr<Map::KVAtlas> m_atlas;
    // The route: the atlas owns the path (its "path.kvp"), the renderer
    // draws it through the route line.
    AtlasRoute* m_route = nullptr;
    Map::CameraFields m_lastView;
    Map::CameraFields m_savedView;
    std::uint32_t m_viewSinceMs = 0;
    // What keepSettings last saw and did.
    const void* m_settingsPage = nullptr;
    std::uint32_t m_settingsSavedMs = 0;
    std::uint32_t m_mapFilesCheckedMs = 0;
    bool m_settingsSaveFailed = false;
    // config.xml's text when the driver was last told it could not be
    // stored (the same settings failing again at the next page are no
    // news); empty after a save that succeeded.
    std::string m_settingsToldLost;
    int m_viewWriteError = 0;
    bool m_routeNotStored = false; // the last write of path.kvp failed
    std::unique_ptr<RouteLine> m_routeLine;
    std::unique_ptr<MapCamera> m_camera;
    // Sensors listen to the positioning system; the map events handler
    // speaks through the sound player and follows the atlas's route; the
    // map page reads them through the three views after them.
    std::unique_ptr<Guidance::Sensors> m_sensors;
    std::unique_ptr<Guidance::SoundSystemNaviSounds> m_naviSounds;
    std::unique_ptr<Guidance::KVMapEventsHandler> m_mapEvents;
    std::unique_ptr<Screens::HandlerNavigation> m_navigation;
    std::unique_ptr<Screens::HandlerCarSource> m_carSource;
    std::unique_ptr<Screens::SensorsSource> m_sensorSource;
    // Released before the guidance it paces.
    std::unique_ptr<Threading::PeriodicTimer> m_navigationPace;
    std::atomic<bool> m_navigationDue{false};
    bool m_initialized = false;
    bool m_onlineAutoDisable = true;
    SDL_Surface* m_screen = nullptr;
    std::unique_ptr<TempSurface> m_scratchSurface;
    std::unique_ptr<TempSurface> m_mapSurface;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    bool m_screenSizeKnown = false;
    bool m_sdlStarted = false;
    bool m_shutDown = false;
    // The atlas folder loaded (the stored one, or the first when the stored
    // one is gone); saved as "atlas" at shutdown.
    std::uint32_t m_atlasIndex = 0;
    // The "atlas" setting when no folder of the list is the one it names
    // (deleted, moved or renamed since): the first atlas is shown, the
    // driver is told, and the setting is kept, not overwritten by the atlas
    // shown, until the driver chooses one on the atlases page. Empty
    // otherwise.
    std::u16string m_missingAtlas;
    // The chosen atlas is there but could not be read (emptied, its rights
    // taken away, its maps damaged): another is shown, and the setting is
    // kept as with a missing one. The map page's notice that says so;
    // empty otherwise.
    std::u16string m_unreadAtlasNotice;
    std::unique_ptr<Positioning::MessageTexts> m_positioningTexts;
    Positioning::Clock* m_clock = nullptr;
    PortSystemMaker m_makePortSystem;
    // No file can be made in the data folder: the driver is told once.
    bool m_dataReadOnly = false;
    int m_dataReadOnlyError = 0;
    // config.xml could not be read and its defaults are in use; the name
    // the damaged file was kept under (empty when it could not be kept).
    bool m_configDamaged = false;
    std::u16string m_damagedConfigKeptAs;

    // "The chosen atlas is missing ...:" and the setting's folder as a
    // person writes it; empty when the chosen atlas is there.
    std::u16string missingAtlasText() const;
};

// "Intl", "MIPS", "Alpha", "PPC", "SHx", "ARM", "IA64", "Alpha64" for 0-7 of
// the low 16 bits, "Unknown" otherwise.
const char* processorName(std::uint32_t architecture);

} // namespace engine
