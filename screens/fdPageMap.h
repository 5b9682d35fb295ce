#pragma once
// The map page ("pageMap"): the moving map drawn by the map renderer with
// the car, the tapped point and the warned object on it, the scale ruler and
// the sky, and the gestures that move the view. Built once by the page
// factory; other pages reach it through instance().
//
// Threads: everything here runs on the main thread. The car state is read
// only under one unit of the car state lock taken without waiting; the
// online service's callbacks (another thread) only raise flags that the
// tick applies to the widgets.

#include "render/MapPageServices.h"
#include "render/fdMapRenderer.h"
#include "screens/MapCarSource.h"
#include "screens/MapGestures.h"
#include "screens/MapNavigation.h"
#include "screens/FoundObject.h"
#include "screens/MapPointLookup.h"
#include "routing/Path.h"
#include "ui/DayNightSwitch.h"
#include "ui/fdPage.h"

#include "core/ConfigNode.h"
#include "map/proximity/Queries.h"
#include "positioning/CarState.h"
#include "userdata/MonitoringSystem.h"
#include "userdata/fdTrackManager.h"
#include "userdata/fdWPManager.h"

#include <array>
#include <deque>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class AtlasRoute;
class MapCamera;

namespace Core {
class MessageTable;
}
namespace Positioning {
class System;
}

namespace Map {
class KVAtlas;
namespace Proximity {
struct IndexHolder;
}
} // namespace Map
namespace Render {
class RenderStyles;
}
namespace MapDrawing {
class fdMapRenderer;
}
namespace Ui {
class ButtonBindings;
class fdList;
class SoundPlayer;
class TemplateWindow;
} // namespace Ui

namespace Screens {

class ManeuverWarn;
class MapSensorSource;
class ProximityWarn;
class SensorsPanel;
class fdPoiWarn;

// At most this many roads of one map are marked by the frame.
inline constexpr std::size_t MaxRoadMarks = 10;

// The roads the frame marks, one list per map of the atlas.
class RoadMarks {
public:
    void reset(std::size_t mapCount);
    // Dropped when the map's list is full or the map is unknown.
    void add(std::uint32_t mapIndex, std::uint32_t roadId);
    const std::vector<std::uint32_t>& of(std::size_t mapIndex) const;
    bool operator==(const RoadMarks&) const = default;

private:
    std::vector<std::vector<std::uint32_t>> m_lists;
};

// The car marker is drawn at least this wide on each side of its axis.
inline constexpr float MinCarHalfWidthPixels = 18.0f;

// The geometry of the car marker: back centre B, tip F, notch N and the
// back corners L and R of a car at P heading h (radians) with style width
// w, front length a and notch n, in level units (k = 1 / level scale).
struct CarMarkerPoints {
    Map::LocalPoint tip, notch, left, right;
};
CarMarkerPoints carMarkerPoints(Map::LocalPoint position, float heading, float width, float front, float notch,
                                float k);

class fdPageMap : public Ui::fdPage,
                  public MapDrawing::MapPage,
                  public Monitoring::MonitoringListener,
                  private Ui::DayNightSwitch::Position,
                  private Ui::DayNightSwitch::Display {
public:
    // What the page factory hands in; the engine owns all of it. Any member
    // may be missing: the step that needs it is skipped.
    struct Services {
        Core::ConfigNodePtr config;
        MapDrawing::fdMapRenderer* renderer = nullptr;
        Map::KVAtlas* atlas = nullptr;
        MapCamera* camera = nullptr;
        Ui::ButtonBindings* bindings = nullptr;
        Map::Proximity::IndexHolder* dangerPoints = nullptr;
        fdTrackManager* tracks = nullptr;
        fdWPManager* waypoints = nullptr;
        Ui::SoundPlayer* sound = nullptr;
        MapCarSource* car = nullptr;
        // Local and universal time for the day/night switch; null: the
        // system clock.
        Ui::DayNightSwitch::Clock* clock = nullptr;
        // Texts of the messages file (distances, dialogs, menu captions).
        const Core::MessageTable* messages = nullptr;
        // The atlas's route and what guidance offers the commands.
        AtlasRoute* route = nullptr;
        MapNavigation* navigation = nullptr;
        // The fix source a recording registers the track manager with; null
        // when the engine keeps the manager listening all the time.
        Positioning::System* positioning = nullptr;
        const MapSensorSource* sensors = nullptr;
        // The online service (only when one is configured): its indicators,
        // its pages and the friends drawn on the map.
        Monitoring::System* monitoring = nullptr;
        // The design's gesture values and tap radius.
        GestureDeltas deltas;
        std::int32_t fingerTap = 0;
    };

    class Menu;

    fdPageMap(Ui::fdInterface* ui, Services services);
    ~fdPageMap() override;

    static fdPageMap* instance();

    void createCustom(const Ui::CustomCreator& creator) override;
    Ui::TimerPeriod timerPeriod() const override { return Ui::TimerPeriod::every(50); }
    bool drawsOnlyWhenInvalidated() const override { return true; }
    bool framesPacedByUiTimer() const override { return true; }
    void tick(std::uint32_t now) override;
    // The automatic day/night step: the switch compares the clock with the
    // day's sunrise and sunset and hands a change to the renderer's styles,
    // which every page's colours follow. The page's tick runs it; while
    // another page is shown the engine does (fdEngine::backgroundStep).
    void dayNightStep();
    void drawBackground(SDL_Surface* surface, TempSurface& clip) override;
    bool mouseButtonDown(int button, int x, int y) override;
    bool mouseMove(int x, int y) override;
    bool press(int x, int y) override;
    bool release(int x, int y) override;
    bool keyDown(int key) override;
    bool keyUp(int key) override;
    void childClicked(const std::string& name) override;
    void childPressed(const std::string& name) override;
    void childReleased(const std::string& name) override;
    void onShow() override;
    // A text the driver reads in the page's dialog while the page is shown:
    // notices wait for the page and for each other, and each is shown once,
    // in the order given (the engine's notices of the start, a point that
    // could not be stored).
    void notice(std::u16string text);
    const std::deque<std::u16string>& pendingNotices() const { return m_notices; }
    // A message of the table followed by the system's reason for an error
    // number on a line of its own, "(reason)"; the message alone for 0.
    std::u16string withReason(const char* key, int error) const;
    // The demo stops while another page is shown: it would otherwise drive
    // on unseen, and on return its first step would jump the whole time
    // away.
    void onHide() override;
    void afterBuild() override;

    // --- MapDrawing::MapPage ----------------------------------------------
    void drawTracksAndFriends(const xe::Canvas& canvas, MapCamera& camera) override;
    void invalidate() override { invalidate(1); }
    void invalidate(int arg) override { fdPage::invalidate(arg); }
    MapDrawing::CompassWidget* compass() override;
    const MapDrawing::CursorRecord* findCursor(const std::string& name) override;
    const std::vector<std::uint32_t>& roadMarks(std::uint32_t mapIndex) const override {
        return m_roadMarks.of(mapIndex);
    }
    // The box of the car marker drawn over the frame (its white rim
    // included), none while no car is drawn.
    std::optional<Render::IconBox> carBox(const MapCamera& camera) override;
    // The sensors panel's box while it shows over the map.
    std::vector<Render::OrientedBox> coveredBoxes() const override;

    void setIndicatorsVisible(bool visible);
    // The route demo: starts only on a route with parts, follows its car and
    // turns guidance on; both show in the menu whether a demo now runs.
    // stopDemo is false when none ran.
    bool startDemo();
    bool stopDemo();
    void openPopup(Ui::fdWindowBase* popup);
    void closePopup();
    // Track recording by the "track_indicator" and the engine's shutdown;
    // each does nothing when already in that state.
    void startTrackRecording();
    void stopTrackRecording();
    // Centres the map on the point, north up, no longer following the car.
    // With runAction the point is chosen as itself: its marker on it, in the
    // middle of the height, and its pop-up (which waits for the driver) with
    // the commands of what stands exactly there; nothing around it is
    // looked up. The top box shows the title (else what stands there) and
    // the nearest street.
    void showPoint(Map::Point point, bool runAction, const std::u16string& title = {});
    // A tap's selection: what lies there (POI, waypoint, danger point,
    // address), the point bound to its nearest road, the street labels and
    // the path pop-up.
    void mapPointAction(Map::Point point);
    // A lookup over what the map shows (no reach set yet).
    MapPointLookup pointLookup() const;
    // A chosen search result: centred and zoomed to it, north up, no longer
    // following the car; the top box names it and the path pop-up offers
    // it, as a tap would, but nothing around it is looked up.
    void showFound(const FoundObject& found);
    // A point just centred with its pop-up open stands where the pop-up
    // leaves its marker in view: at the render anchor, unless a button of
    // the pop-up covers the marker there (the car drawn low, at 1/4); then
    // the anchor goes to the middle of the height until the map follows the
    // car again (restoreAnchor), the place staying at it as zoom keeps it.
    void standClearOfPopup();
    void restoreAnchor();
    bool anchorLifted() const { return m_anchorLifted; }
    const Core::MessageTable* messages() const { return m_services.messages; }
    // The renderer's styles (the POI types' names), null without one.
    Render::RenderStyles* poiStyles() const;
    // Screen pixels as map units at the view scale (pixels per unit).
    static std::int32_t mapRadius(std::int32_t pixels, float scale);
    // Where "add_path" stores a path named `name` in `folder`: the name,
    // else "<stem> (2).kvp", "(3)" ... while a file of that name exists, so
    // a stored route is never overwritten.
    static std::u16string freeRouteFile(const std::u16string& folder, const std::u16string& name);

    // Replaces the last drawn car state (its validity cleared) while the
    // atlas is switched, so no reference into an unloaded map survives.
    void resetViewState(const Positioning::CarState& state);

    // Online service callbacks (any thread): applied by the next tick.
    void onConnected() override;
    void onDisconnected() override;
    void onPointsReceived() override;
    void onStateChanged() override {}
    void onFriendsChanged() override {}
    void onTracksReceived() override;
    void onPointsSeenChanged() override {}

    // The car marker at P (level frame of P) heading h in radians.
    void drawCarMarker(SDL_Surface* surface, const Positioning::TilePoint& position, float heading);

    bool followGps() const { return m_followGps; }
    bool pressed() const { return m_pressed; }
    bool dragged() const { return m_dragged; }
    const RoadMarks& roadMarks() const { return m_roadMarks; }
    MapGestures& gestures() { return m_gestures; }
    Map::Point tappedPoint() const { return m_tapped; }
    // Where the chosen point's marker stands: a shown point on itself, a
    // tapped one where its route commands put their route point; none for
    // a tap that could not be bound to a road.
    std::optional<Map::Point> markerPoint() const;

    const PathPoint& tappedRoutePoint() const { return m_tappedRoute; }
    // What the last map point action found there (for the point
    // information page).
    const MapPointFind& tappedFind() const { return m_tappedFind; }
    Menu* menu() const { return m_menu.get(); }
    SensorsPanel* sensorsPanel() const { return m_sensorsPanel; }
    ManeuverWarn* maneuverWarn() const { return m_maneuverWarn; }
    fdPoiWarn* poiWarn() const { return m_poiWarn; }
    ProximityWarn* proximityWarn() const { return m_proximityWarn; }
    std::uint32_t tapCount() const { return m_tapCount; }
    // The danger point announced last; (0, 0) none.
    std::array<std::uint32_t, 2> lastWarned() const { return m_lastWarned; }

private:
    // Whether a shown button of the pop-up covers a marker drawn at that
    // screen point, or at the anchor of that fraction.
    bool popupCovers(int x, int y);
    bool popupCoversAnchor(float fraction);
    // The anchor at the middle of the height until the map follows the car
    // again.
    void liftAnchor();
    // A tapped point whose marker lies under its pop-up: the view leaves
    // following the car and the marker goes to the middle of the height.
    void standClearOfTappedPoint();
    // The labels of the top box for the chosen point: the address found
    // there (a POI's or a waypoint's name first), and the bound road's name.
    std::u16string foundAddress() const;
    // The stored waypoint the chosen point names, which "Point" edits and
    // "Delete" removes, or -1: a POI named there wins over a waypoint
    // within reach, and the buttons act on what the top box names.
    std::int32_t namedWaypoint() const;
    std::u16string nearestStreet() const;

    // The car marker's corners on the screen (each missing when it does not
    // project), those of its white rim, and the colours of its two halves.
    struct CarOnScreen {
        enum Corner { Tip, Notch, Left, Right };
        std::array<std::optional<xe::Point>, 4> marker, rim;
        std::uint32_t body = 0, body2 = 0;
    };
    // False when no style set or view scale is there or the tip or notch
    // does not project: no car is drawn.
    bool carOnScreen(const MapCamera& camera, const Positioning::TilePoint& position, float heading,
                     CarOnScreen& out) const;

    // DayNightSwitch::Position and Display.
    bool currentFix(double& latitude, double& longitude) override;
    void setDayMode(bool day) override;

    void carStep(std::uint32_t now);
    void dangerPointsStep(const std::optional<CarFix>& fix);
    void roadMarksStep(const GuidanceState& guidance);
    void warningsStep(const GuidanceState& guidance, const std::optional<WarnedObject>& warned);
    // The icon of a POI type's style in the current style set, or null.
    Render::Image* poiIcon(std::uint16_t type);
    void indicatorsStep(const GuidanceState& guidance);
    void gestureStep(std::uint32_t now);
    void receivedPointsStep(std::uint32_t now);
    // A recording that can no longer write stops, and the driver is told.
    void trackStep();
    // A waypoint change that could not be written, then the next notice.
    void noticeStep();
    void applyOnlineFlags();
    // Online service (fdPageMapOnline.cpp): the indicators as the service
    // stands after the build, and each shown friend's track, car and name.
    void showOnlineIndicators();
    void drawFriends(const xe::Canvas& canvas, MapCamera& camera);
    // Where the press or the last move left the pointer: a tap.
    void tapAt(int x, int y);
    void showRotateButtons(bool visible);
    bool isThreeD() const;
    // The design's template of that name; null (logged once) when missing.
    const Ui::TemplateDescription* findTemplate(const std::string& templateName);
    Ui::TemplateWindow* makeTemplate(const std::string& templateName, const std::string& name);
    // Checks or unchecks a checked button when its state differs.
    static void setChecked(Ui::fdWindowBase* widget, bool checked);
    template <class W, class... Args> W* makeWindow(const std::string& templateName, Args&&... args);
    void buildMenu();
    void buildWarnings();
    // The sensors panel as the user's choice says, hidden under a pop-up.
    void showSensorsPanel();
    // Commands (fdPageMapCommands.cpp).
    void naviIndicatorCommand();
    void editPointCommand(const std::string& child);
    // The point selected (tapped or found): bound to its nearest road, its
    // buttons and the path pop-up shown; the info page filled from
    // m_tappedFind.
    void selectPoint(Map::Point point);
    void setTopBox(const std::u16string& first, const std::u16string& second);
    void pathCommand(Ui::TemplateWindow& buttons, const std::string& child);
    void storePath();
    // "ok_dialog" shows the text and captures the page's input.
    void showMessage(const std::u16string& text);
    // The line "status_line" (over "status_bg") shows the text; an empty
    // text hides both.
    void showStatusLine(const std::u16string& text);
    void playNavi(int priority, int sound);
    void showDemoState();
    void streetLabelsStep();
    const std::u16string& message(const char* key) const;

    Services m_services;
    std::unique_ptr<Ui::DayNightSwitch::Clock> m_systemClock;
    std::unique_ptr<Ui::DayNightSwitch> m_dayNight;
    bool m_useTiboButtons = false;

    // Pointer gesture.
    std::int32_t m_lastX = 0, m_lastY = 0;
    std::int32_t m_dragX = 0, m_dragY = 0;
    bool m_dragged = false;
    bool m_pressed = false;
    std::int32_t m_pressX = 0, m_pressY = 0;
    MapGestures m_gestures;

    // Widgets (owned by the window tree).
    Ui::fdWindowBase* m_upperBox = nullptr;
    Ui::fdWindowBase* m_upperBoxTurn = nullptr;
    Ui::TemplateWindow* m_rotateCamera = nullptr;
    Ui::TemplateWindow* m_editPoint = nullptr;
    Ui::TemplateWindow* m_pathStart = nullptr;
    Ui::TemplateWindow* m_pathContinue = nullptr;
    Ui::TemplateWindow* m_okDialog = nullptr;
    Ui::fdWindowBase* m_popup = nullptr;
    Ui::fdWindowBase* m_naviIndicator = nullptr;
    Ui::fdWindowBase* m_gpsIndicator = nullptr;
    Ui::fdWindowBase* m_receivedPoints = nullptr;
    std::array<Ui::fdWindowBase*, 3> m_warnings{};
    std::unique_ptr<MapDrawing::CompassWidget> m_compass;
    std::map<std::string, MapDrawing::CursorRecord> m_cursors;
    std::uint32_t m_popupShownMs = 0;
    std::deque<std::u16string> m_notices;
    // The pop-up shows the route buttons of a place another page chose (a
    // search result, a point shown with its action): it waits for the
    // driver instead of hiding by itself. Hidden while the driver looked at
    // where the place lies, the tap meant for "To" chose the point under
    // the finger instead, and the chosen place was lost.
    bool m_popupWaits = false;
    // The anchor is at the middle for a shown place (standClearOfPopup).
    bool m_anchorLifted = false;
    // The chosen point was shown by another page with its action, not
    // tapped: its marker stands on the point itself.
    bool m_pointShown = false;
    Ui::fdList* m_menuList = nullptr;
    std::unique_ptr<Menu> m_menu;
    std::size_t m_demoItem = static_cast<std::size_t>(-1);
    SensorsPanel* m_sensorsPanel = nullptr;
    // The design's panels over the map (the top box, the status line, the
    // scale), which the map's names keep clear of while shown.
    std::vector<Ui::fdWindowBase*> m_panels;
    // The user's choice ("map_sensors_visible"): the panel shows by it
    // whenever no pop-up covers the map.
    bool m_sensorsVisible = true;
    ManeuverWarn* m_maneuverWarn = nullptr;
    fdPoiWarn* m_poiWarn = nullptr;
    ProximityWarn* m_proximityWarn = nullptr;

    // Map state.
    Map::Point m_tapped;
    PathPoint m_tappedRoute;
    MapPointFind m_tappedFind;
    std::uint32_t m_tapCount = 0;
    std::array<std::uint32_t, 2> m_lastWarned{0, 0};
    bool m_followGps = true;
    MapDrawing::FollowState m_follow;
    Positioning::CarState m_lastCar;
    // What the car step read last (under the car lock, or from the demo).
    std::optional<CarFix> m_carFix;
    GuidanceState m_guidance;
    std::optional<WarnedObject> m_warned;
    RoadMarks m_roadMarks;
    TrackDrawBuffers m_trackBuffers;
    std::vector<Map::Proximity::ProximityEvent> m_events;

    // Online indicators: raised by the service thread, applied by the tick.
    std::atomic<int> m_onlineChange{0}; // 0 none, 1 connected, 2 disconnected
    std::atomic<bool> m_pointsReceived{false};
    std::atomic<bool> m_tracksReceived{false};
    // Reused by every frame's friends drawing.
    std::vector<std::pair<std::uint32_t, Monitoring::Friend>> m_friends;
    std::vector<FriendTrackPoint> m_friendPoints;
    std::uint32_t m_blinkStart = 0;
    std::uint32_t m_blinkCount = 0;
};

} // namespace Screens
