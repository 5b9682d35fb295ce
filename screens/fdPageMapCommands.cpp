// The map page's commands: every click of a map page widget arrives as the
// widget's (or template window's) name and is handled here in a fixed order;
// the map menu, the track recording, showing a point and the path buttons.

#include "screens/EditWayPointPage.h"
#include "screens/MapWarnings.h"
#include "screens/fdPageSelectPoiType.h"
#include "screens/SensorsPanel.h"
#include "screens/fdPageMapMenu.h"
#include "screens/fdPagePOIInfoX.h"
#include "screens/fdPageStreetListX.h"

#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/Format.h"
#include "core/MessageTable.h"
#include "core/Text.h"
#include "core/ValueFormat.h"
#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "map/LevelFrame.h"
#include "map/Projection.h"
#include "platform/Error.h"
#include "positioning/System.h"
#include "render/MapCamera.h"
#include "render/ViewPreparation.h"
#include "routing/AtlasRoute.h"
#include "routing/NearestRoad.h"
#include "routing/PathFile.h"
#include "routing/RouteComputation.h"
#include "ui/EngineServices.h"
#include "ui/MessageBoxText.h"
#include "ui/SoundPlayer.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace Screens {

namespace {

// The least reach of a place's marker around its point, in pixels: half a
// POI icon of the demo styles and a little room.
constexpr int MarkerReach = 16;

bool isChecked(Ui::fdWindowBase* widget) {
    auto* button = dynamic_cast<Ui::fdCheckedButton*>(widget);
    return button != nullptr && button->checked();
}

void showChild(Ui::fdWindowBase* parent, const char* child, bool visible) {
    if (Ui::fdWindowBase* w = parent != nullptr ? parent->findChild(child) : nullptr)
        w->setVisible(visible);
}

// The type chosen for a point created on the map: the editor opens on it;
// no choice gives the default type.
class CreatePoiCallback final : public SelectPoiTypeResultCallback {
  public:
    CreatePoiCallback(EditWayPointPage& editor, Ui::fdInterface& ui) : m_editor(editor), m_ui(ui) {}
    bool allowsNone() const override { return true; }
    void result(std::uint16_t type) override {
        m_editor.setType(type >= NoType ? WayPoint::DefaultType : type);
        m_ui.goToPage(&m_editor);
    }

  private:
    EditWayPointPage& m_editor;
    Ui::fdInterface& m_ui;
};

} // namespace

// --- menu -----------------------------------------------------------------

std::size_t fdPageMap::Menu::addItem(std::vector<std::string> captions, std::uint32_t state, Action action) {
    Item item;
    for (const std::string& key : captions)
        item.captions.push_back(m_page.message(key.c_str()));
    item.state = state < item.captions.size() ? state : 0;
    item.action = std::move(action);
    m_items.push_back(std::move(item));
    return m_items.size() - 1;
}

void fdPageMap::Menu::setState(std::size_t index, std::uint32_t state) {
    Item& item = m_items.at(index);
    if (state < item.captions.size())
        item.state = state;
}

void fdPageMap::Menu::showMenu(bool show, std::uint32_t now, std::uint32_t autoHideMs) {
    m_open = show;
    list().setVisible(show);
    m_page.setIndicatorsVisible(!show);
    m_autoHide = show && autoHideMs != 0;
    if (m_autoHide)
        m_hideAt = now + autoHideMs;
    if (show) {
        if (!m_items.empty())
            setState(0, m_page.isThreeD() ? 1 : 0);
        // The row chosen last time is done with: a menu opens with no row
        // highlighted, until a tap chooses one.
        list().select(-1);
        refresh();
    }
    m_page.invalidate(1);
}

bool fdPageMap::Menu::autoHide(std::uint32_t now) {
    if (!m_open || !m_autoHide || static_cast<std::int32_t>(now - m_hideAt) < 0)
        return false;
    showMenu(false, now, 0);
    return true;
}

void fdPageMap::Menu::fillEmptyRow(Ui::TemplateWindow& row) {
    showChild(&row, "image", false);
    if (auto* text = dynamic_cast<Ui::fdStatic*>(row.findChild("text"))) {
        text->setText(u"");
        text->setVisible(false);
    }
}

void fdPageMap::Menu::fillRow(Ui::TemplateWindow& row, std::int32_t index) {
    const Item& item = m_items.at(static_cast<std::size_t>(index));
    showChild(&row, "image", true);
    if (auto* text = dynamic_cast<Ui::fdStatic*>(row.findChild("text"))) {
        text->setText(item.captions.empty() ? std::u16string() : item.captions[item.state]);
        text->setVisible(true);
        text->invalidate(0);
    }
}

void fdPageMap::Menu::itemClicked(std::int32_t index) {
    if (index >= 0 && static_cast<std::size_t>(index) < m_items.size()) {
        const Action action = m_items[static_cast<std::size_t>(index)].action;
        if (action)
            action(static_cast<std::size_t>(index));
        refresh();
    }
    showMenu(false, 0, 0);
}

void fdPageMap::buildMenu() {
    m_menuList = dynamic_cast<Ui::fdList*>(findChild("menu"));
    if (m_menuList == nullptr)
        return;
    m_menu = std::make_unique<Menu>(*m_menuList, *this);
    m_menu->addItem({"map_menu_3d", "map_menu_2d"}, isThreeD() ? 1 : 0, [this](std::size_t i) {
        const std::uint32_t state = 1 - m_menu->state(i);
        m_menu->setState(i, state);
        if (m_services.camera != nullptr)
            m_services.camera->setMode(static_cast<std::uint8_t>(state));
        if (m_services.atlas != nullptr)
            m_services.atlas->requestRedraw();
    });
    m_menu->addItem({"map_menu_minimize"}, 0, [this](std::size_t) {
        if (ui()->engine() != nullptr)
            ui()->engine()->hideToTray();
    });
    m_demoItem = m_menu->addItem({"map_menu_path_demo_on", "map_menu_path_demo_off"}, 0, [this](std::size_t) {
        // Without a route the demo has nothing to drive: the driver is told
        // rather than left with a menu that closed on nothing.
        if (!stopDemo() && !startDemo()) notice(message("map_demo_no_route"));
    });
    m_menu->addItem({"map_menu_sensors_hide", "map_menu_sensors_show"}, m_sensorsVisible ? 0 : 1,
                    [this](std::size_t i) {
                        m_sensorsVisible = !m_sensorsVisible;
                        // Written at once, so the choice survives a crash as
                        // well as a quit.
                        if (m_services.config)
                            m_services.config->set("map_sensors_visible", m_sensorsVisible);
                        showSensorsPanel();
                        m_menu->setState(i, m_sensorsVisible ? 0 : 1);
                    });
    m_menu->addItem({"map_menu_to_main_menu"}, 0, [this](std::size_t) {
        if (Ui::fdPage* page = ui()->findPage("menuMain"))
            ui()->goToPage(page);
    });
    m_menu->showMenu(false, 0, 0);
}

// --- track recording -----------------------------------------------------

void fdPageMap::startTrackRecording() {
    fdTrackManager* tracks = m_services.tracks;
    if (tracks == nullptr || tracks->isRecording()) {
        setChecked(findChild("track_indicator"), tracks != nullptr && tracks->isRecording());
        return;
    }
    const bool started = m_services.positioning != nullptr
                             ? tracks->startRecording(*m_services.positioning)
                             : tracks->startTrack(tracks->newTrackName(Positioning::localDateTime()));
    setChecked(findChild("track_indicator"), started);
    // The manager logged why; the driver must not believe REC.
    if (!started)
        notice(withReason("map_track_write_err", tracks->recordingError()));
}

void fdPageMap::trackStep() {
    fdTrackManager* tracks = m_services.tracks;
    if (tracks == nullptr || !tracks->recordingFailed())
        return;
    const int error = tracks->recordingError();
    stopTrackRecording();
    notice(withReason("map_track_write_err", error));
}

void fdPageMap::noticeStep() {
    if (m_services.waypoints != nullptr)
        if (const int error = m_services.waypoints->takeWriteError())
            notice(withReason("wp_write_err", error));
    if (m_notices.empty() || m_okDialog == nullptr || m_okDialog->visible())
        return;
    std::u16string text = std::move(m_notices.front());
    m_notices.pop_front();
    // The log names what the driver was told, line breaks as " / ".
    std::u16string line = text;
    for (std::size_t at; (at = line.find(u'\n')) != std::u16string::npos;)
        line.replace(at, 1, u" / ");
    Log::log(Log::Normal, u"Notice shown: %s", line);
    showMessage(text);
}

void fdPageMap::notice(std::u16string text) {
    if (text.empty())
        return;
    m_notices.push_back(std::move(text));
    invalidate(1);
}

std::u16string fdPageMap::withReason(const char* key, int error) const {
    return Ui::withSystemReason(message(key), error);
}

void fdPageMap::stopTrackRecording() {
    fdTrackManager* tracks = m_services.tracks;
    if (tracks == nullptr || !tracks->isRecording())
        return;
    if (m_services.positioning != nullptr)
        tracks->stopRecording(*m_services.positioning);
    else
        tracks->closeTracks();
    setChecked(findChild("track_indicator"), false);
}

// --- showing a point -----------------------------------------------------

std::int32_t fdPageMap::mapRadius(std::int32_t pixels, float scale) {
    if (!(scale > 0.0f))
        return 0;
    return static_cast<std::int32_t>(std::floor(static_cast<double>(pixels) / scale + 0.5));
}

void fdPageMap::showPoint(Map::Point point, bool runAction, const std::u16string& title) {
    m_followGps = false;
    showRotateButtons(true);
    restoreAnchor();
    if (m_services.camera != nullptr) {
        m_services.camera->setCentre(point);
        if (m_services.atlas != nullptr)
            m_services.camera->setRotation(m_services.atlas->view(), 0.0f);
    }
    if (m_services.atlas != nullptr)
        m_services.atlas->requestRedraw();
    if (runAction) {
        // The pop-up comes every time: an open map menu (left open when
        // another page was reached) would have refused the point.
        if (m_menu != nullptr && m_menu->isOpen())
            m_menu->showMenu(false, 0, 0);
        MapPointLookup lookup = pointLookup();
        lookup.exact = true;
        m_tappedFind = lookup.find(point);
        selectPoint(point);
        m_pointShown = true;
        m_popupWaits = m_popup != nullptr;
        setTopBox(title.empty() ? foundAddress() : title, nearestStreet());
        // The point in the middle of the height, unless a button of the
        // pop-up covers it there and not at the anchor.
        if (m_services.camera != nullptr && m_popup != nullptr &&
            (!popupCoversAnchor(0.5f) || popupCoversAnchor(m_services.camera->anchorFraction())))
            liftAnchor();
    }
    invalidate(1);
}

bool fdPageMap::popupCoversAnchor(float fraction) {
    const MapCamera* camera = m_services.camera;
    const int width = camera->width() > 0.0f ? static_cast<int>(camera->width()) : m_rect.w;
    const int height = camera->height() > 0.0f ? static_cast<int>(camera->height()) : m_rect.h;
    return popupCovers(m_rect.x + width / 2,
                       m_rect.y + static_cast<int>(static_cast<float>(height) * (1.0f - fraction)));
}

bool fdPageMap::popupCovers(int x, int y) {
    // The marker's reach around its point: the tapped point's cursor, or a
    // POI icon's.
    int reach = MarkerReach;
    const MapDrawing::CursorRecord* cursor = findCursor("point");
    if (cursor != nullptr && cursor->image != nullptr)
        reach = std::max({reach, cursor->hotX, cursor->image->width() - cursor->hotX, cursor->hotY,
                          cursor->image->height() - cursor->hotY});
    for (const Ui::fdWindowBase* group : {static_cast<const Ui::fdWindowBase*>(m_popup),
                                          static_cast<const Ui::fdWindowBase*>(m_editPoint)}) {
        if (group == nullptr || !group->visible())
            continue;
        for (const Ui::fdWindowBase* button : group->children()) {
            const Ui::WindowRect& r = button->rect();
            if (button->visible() && x + reach > r.x && x - reach < r.x + r.w && y + reach > r.y &&
                y - reach < r.y + r.h)
                return true;
        }
    }
    return false;
}

void fdPageMap::standClearOfPopup() {
    MapCamera* camera = m_services.camera;
    if (camera == nullptr || m_popup == nullptr || !popupCoversAnchor(camera->anchorFraction()) ||
        popupCoversAnchor(0.5f))
        return;
    // The place stays at the anchor, where zooming leaves it, and the anchor
    // goes to the middle until the map follows the car again.
    liftAnchor();
}

void fdPageMap::liftAnchor() {
    MapCamera* camera = m_services.camera;
    if (camera == nullptr || camera->anchorFraction() == 0.5f)
        return;
    camera->setAnchorFraction(0.5f);
    camera->updateCameraAngles();
    m_anchorLifted = true;
    if (m_services.atlas != nullptr)
        m_services.atlas->requestRedraw();
}

void fdPageMap::standClearOfTappedPoint() {
    MapCamera* camera = m_services.camera;
    const std::optional<Map::Point> marker = markerPoint();
    if (camera == nullptr || m_popup == nullptr || !marker || !m_tappedRoute.isSet())
        return;
    // Where the next frame draws the marker: the view as it stands now.
    camera->setupForLevel(Map::LevelFrame::of(*m_tappedRoute.roadPoint.level));
    xe::Point at;
    if (!camera->mapToScreen(*marker, at) || !popupCovers(at.x, at.y) || popupCoversAnchor(0.5f))
        return;
    // The car would pull the view back under the pop-up.
    m_followGps = false;
    showRotateButtons(true);
    camera->setCentre(*marker);
    liftAnchor();
    if (m_services.atlas != nullptr)
        m_services.atlas->requestRedraw();
}

std::optional<Map::Point> fdPageMap::markerPoint() const {
    if (m_pointShown)
        return m_tapped;
    if (!m_tappedRoute.isSet())
        return std::nullopt;
    const LevelPoint& at = m_tappedRoute.roadPoint;
    return Map::LevelFrame::of(*at.level).toGlobal({at.x, at.y});
}

void fdPageMap::restoreAnchor() {
    MapCamera* camera = m_services.camera;
    if (!m_anchorLifted || camera == nullptr)
        return;
    m_anchorLifted = false;
    const int proportion = m_services.renderer != nullptr ? m_services.renderer->proportion() : 3;
    camera->setAnchorFraction(MapCamera::anchorFractionFor(proportion));
    camera->updateCameraAngles();
    if (m_services.atlas != nullptr)
        m_services.atlas->requestRedraw();
}

MapPointLookup fdPageMap::pointLookup() const {
    MapPointLookup lookup;
    lookup.atlas = m_services.atlas;
    lookup.waypoints = m_services.waypoints;
    lookup.dangerPoints = m_services.dangerPoints;
    lookup.styles = m_services.renderer != nullptr ? &m_services.renderer->styles() : nullptr;
    return lookup;
}

void fdPageMap::mapPointAction(Map::Point point) {
    if (m_menu != nullptr && m_menu->isOpen())
        return;
    MapPointLookup lookup = pointLookup();
    const float scale = m_services.camera != nullptr ? m_services.camera->scale() : 0.0f;
    const std::int32_t poiPixels = m_services.config ? m_services.config->value("poi_find_distance", 50) : 50;
    lookup.poiRadius = mapRadius(poiPixels, scale);
    lookup.waypointRadius = mapRadius(m_services.config ? m_services.config->value("wp_find_distance", 20) : 20, scale);
    // A POI is the icon the driver sees nearest the finger, in the frame
    // drawn last: the tap is where the camera shows the point.
    xe::Point finger;
    if (m_services.renderer != nullptr && m_services.camera != nullptr &&
        m_services.camera->mapToScreen(point, finger)) {
        lookup.icons = &m_services.renderer->drawnIcons();
        lookup.finger = finger;
        lookup.poiPixels = poiPixels;
    }
    m_tappedFind = lookup.find(point);
    selectPoint(point);
    m_pointShown = false;
    setTopBox(foundAddress(), nearestStreet());
}

// The street labels: the address found there, and the bound road's name;
// nothing for a road without a name (a service road or a path is often the
// nearest), rather than the caption alone.
std::u16string fdPageMap::foundAddress() const {
    std::u16string address;
    if (const std::u16string first = m_tappedFind.addressFirst(); !first.empty()) {
        address = message("map_address") + u": " + first;
        if (const std::u16string& second = m_tappedFind.addressSecond(); !second.empty())
            address += u", " + second;
    }
    // A POI or a waypoint goes by its name; many have no address of their
    // own, and the name tells which point "Delete" removes.
    const std::int32_t waypoint = namedWaypoint();
    const std::u16string name = waypoint >= 0 ? m_services.waypoints->point(static_cast<std::size_t>(waypoint)).name
                                : m_tappedFind.kind == MapPointFind::Kind::Poi ? m_tappedFind.address.texts[0]
                                                                               : std::u16string();
    if (!name.empty())
        address = address.empty() ? name : name + u" \u00B7 " + address;
    return address;
}

std::int32_t fdPageMap::namedWaypoint() const {
    const std::int32_t index = m_tappedFind.kind == MapPointFind::Kind::Waypoint ? m_tappedFind.waypoint : -1;
    if (index < 0 || m_services.waypoints == nullptr ||
        static_cast<std::size_t>(index) >= m_services.waypoints->pointCount() ||
        m_services.waypoints->point(static_cast<std::size_t>(index)).deleted())
        return -1;
    return index;
}

std::u16string fdPageMap::nearestStreet() const {
    std::u16string name;
    if (m_tappedRoute.isSet() && m_tappedRoute.map != nullptr && m_tappedRoute.nameIndex != 0 &&
        m_tappedRoute.map->stringsReader().string(m_tappedRoute.nameIndex, name) && !name.empty())
        return message("map_nearest_street") + u": " + name;
    return {};
}

void fdPageMap::selectPoint(Map::Point point) {
    if (auto* info = dynamic_cast<fdPagePOIInfoX*>(ui()->findPage("pagePOIInfo")))
        info->fillFrom(m_tappedFind, m_services.waypoints);
    m_tapped = point;
    m_tappedRoute = PathPoint{};
    m_tappedRoute.allowForward = m_tappedRoute.allowBackward = 1;
    Map::Routing::RoadBinding binding;
    if (m_services.atlas != nullptr && Map::Routing::bindToNearestRoad(*m_services.atlas, point, binding))
        m_tappedRoute = boundPoint(*m_services.atlas, binding);
    showChild(m_editPoint, "info", m_tappedFind.kind != MapPointFind::Kind::Nothing);
    showChild(m_editPoint, "del", namedWaypoint() >= 0);
    const bool empty = m_services.route == nullptr || m_services.route->path().points.empty();
    openPopup(empty ? m_pathStart : m_pathContinue);
    // The point's own buttons (waypoint, information, coordinates) come up
    // above the route buttons: the tap is the driver's only way to them.
    if (m_editPoint != nullptr)
        m_editPoint->setVisible(true);
}

void fdPageMap::setTopBox(const std::u16string& first, const std::u16string& second) {
    for (auto [label, text] : {std::pair{m_upperBoxTurn, first}, std::pair{m_upperBox, second}})
        if (auto* box = dynamic_cast<Ui::fdStatic*>(label)) {
            box->setText(text);
            box->invalidate(0);
            Log::log(Log::Info, u"Street box %hs: \"%s\"", box->name(), text);
        }
}

void fdPageMap::showFound(const FoundObject& found) {
    m_followGps = false;
    showRotateButtons(true);
    restoreAnchor();
    MapCamera* camera = m_services.camera;
    if (camera != nullptr) {
        camera->setCentre(found.point);
        if (m_services.atlas != nullptr)
            camera->setRotation(m_services.atlas->view(), 0.0f);
    }
    m_tappedFind = found.find;
    if (found.waypoint && m_services.waypoints != nullptr) {
        m_tappedFind.waypoint = m_services.waypoints->findNearestPoint(found.point, 1);
        if (m_tappedFind.waypoint >= 0)
            m_tappedFind.kind = MapPointFind::Kind::Waypoint;
    }
    selectPoint(found.point);
    m_pointShown = false;
    m_popupWaits = m_popup != nullptr;
    standClearOfPopup();
    if (camera != nullptr) {
        // The point is drawn at the anchor: the room is what lies between
        // it and the nearer edges.
        const float width = camera->width() > 0.0f ? camera->width() : static_cast<float>(m_rect.w);
        const float height = camera->height() > 0.0f ? camera->height() : static_cast<float>(m_rect.h);
        const float anchor = camera->anchorFraction() > 0.0f ? camera->anchorFraction() : 0.5f;
        const float room = 0.9f * std::min(width / 2.0f, height * std::min(anchor, 1.0f - anchor));
        camera->setScale(foundObjectScale(found, room));
    }
    if (m_services.atlas != nullptr)
        m_services.atlas->requestRedraw();
    setTopBox(found.title, found.detail);
    invalidate(1);
    if (m_services.camera != nullptr)
        Log::log(Log::Info, u"Map shows \"%s\" (%s) at %d m per 40 px", found.title, found.detail,
                 static_cast<int>(MapDrawing::ViewPreparation::metresPer40Pixels(*m_services.camera) + 0.5f));
}

// --- commands ------------------------------------------------------------

const std::u16string& fdPageMap::message(const char* key) const {
    static const std::u16string none;
    return m_services.messages != nullptr ? m_services.messages->text(key) : none;
}

void fdPageMap::playNavi(int priority, int sound) {
    if (m_services.sound != nullptr && m_services.navigation != nullptr && m_services.navigation->naviSoundsOn())
        m_services.sound->play(priority, {sound});
}

bool fdPageMap::startDemo() {
    MapNavigation* nav = m_services.navigation;
    if (nav == nullptr)
        return false;
    // Asked before the demo's own guidance starts.
    const bool guiding = nav->guidanceActive();
    const bool started = !nav->demoRunning() && nav->startDemo();
    if (started) {
        m_followGps = true;
        showRotateButtons(false);
        if (!guiding)
            nav->startNavigation();
    }
    showDemoState();
    return started;
}

bool fdPageMap::stopDemo() {
    MapNavigation* nav = m_services.navigation;
    if (nav == nullptr || !nav->demoRunning())
        return false;
    nav->stopDemo();
    showDemoState();
    return true;
}

void fdPageMap::showDemoState() {
    if (m_menu == nullptr || m_demoItem >= static_cast<std::size_t>(m_menu->count()))
        return;
    m_menu->setState(m_demoItem, m_services.navigation != nullptr && m_services.navigation->demoRunning() ? 1 : 0);
    m_menu->refresh();
}

void fdPageMap::showStatusLine(const std::u16string& text) {
    auto* line = dynamic_cast<Ui::fdStatic*>(findChild("status_line"));
    if (line == nullptr) return;
    line->setText(Ui::wrapText(*line, text, line->rect().w));
    line->setVisible(!text.empty());
    if (Ui::fdWindowBase* panel = findChild("status_bg")) panel->setVisible(!text.empty());
    invalidate(1);
}

void fdPageMap::showMessage(const std::u16string& text) {
    if (m_okDialog == nullptr)
        return;
    Ui::setMessageText(*m_okDialog, text);
    setCapture(m_okDialog);
    m_okDialog->setVisible(true);
    invalidate(1);
}

void fdPageMap::childClicked(const std::string& name) {
    const std::uint32_t now = ui()->now();
    if (name == "submenu") {
        if (m_menu != nullptr) {
            const int seconds = m_services.config ? m_services.config->value("menu_autohide", 7) : 7;
            m_menu->showMenu(!m_menu->isOpen(), now, static_cast<std::uint32_t>(std::max(seconds, 0)) * 1000u);
        }
    } else if (name == "btn_search") {
        stopDemo();
        if (Ui::fdPage* page = ui()->findPage("menuFind"))
            ui()->goToPage(page);
    } else if (name == "gps_indicator") {
        // The indicator shows the fix, not the click.
        if (auto* button = dynamic_cast<Ui::fdCheckedButton*>(findChild(name)))
            button->toggle();
        ui()->goToPageByName("pageGPS");
    } else if (name == "track_indicator") {
        if (isChecked(findChild(name)))
            startTrackRecording();
        else
            stopTrackRecording();
    } else if (name == "navi_indicator") {
        naviIndicatorCommand();
    } else if (name == "compas") {
        if (m_services.camera != nullptr && m_services.atlas != nullptr)
            m_services.camera->setRotation(m_services.atlas->view(), 0.0f);
    } else if (name == "upper_box" || name == "upper_box_turn") {
        if (auto* streets = dynamic_cast<fdPageStreetListX*>(ui()->findPage("pageStreetList"))) {
            std::vector<StreetRun> rows;
            if (m_services.route != nullptr)
                Path::collectStreetRuns(m_services.route->path(), rows);
            streets->setStreets(std::move(rows));
        }
        ui()->goToPageByName("pageStreetList");
    } else if (name == "monitoring") {
        if (m_services.monitoring != nullptr)
            ui()->goToPageByName("monitoring_prop");
    } else if (name == "received_points") {
        m_blinkStart = 0;
        if (m_services.monitoring != nullptr)
            ui()->goToPageByName("received_waypoints_list");
    } else if (name == "maneuver") {
        MapNavigation* nav = m_services.navigation;
        if (m_maneuverWarn == nullptr || m_maneuverWarn->lastChild() != "rotate_image" || nav == nullptr ||
            !nav->guidanceActive() || m_services.route == nullptr || m_services.route->path().points.empty())
            return;
        if (nav->carOffRoute()) {
            if (!nav->demoRunning())
                nav->requestRebuild();
        } else if (nav->naviSoundsOn()) {
            nav->sayNextManeuver();
        }
    } else if (name == "poiwarn") {
        MapNavigation* nav = m_services.navigation;
        if (m_poiWarn == nullptr || m_poiWarn->lastChild() != "poi_image" || nav == nullptr ||
            m_services.route == nullptr || m_services.atlas == nullptr || !m_services.config)
            return;
        if (const auto object = nav->incomingObject();
            object && m_services.route->addPathPointAtLocation(*m_services.atlas, *m_services.config, *object))
            playNavi(2, 9);
    } else if (name == "sensors") {
        if (m_sensorsPanel != nullptr && m_sensorsPanel->lastChild() == "sensors_bg")
            ui()->goToPageByName("sensors");
    } else if (name == "rotate_camera") {
        if (m_rotateCamera != nullptr && m_rotateCamera->lastChild() == "follow_gps") {
            m_followGps = true;
            showRotateButtons(false);
            // Back to the car the chosen point's pop-up has nothing left
            // to act on where the driver looks: it goes, and the page's own
            // controls and streets come back.
            closePopup();
        }
    } else if (name == "edit_point") {
        if (m_editPoint != nullptr)
            editPointCommand(m_editPoint->lastChild());
    } else if (name == "path_start" || name == "path_continue") {
        if (auto* buttons = name == "path_start" ? m_pathStart : m_pathContinue)
            pathCommand(*buttons, buttons->lastChild());
    } else if (name == "ok_dialog") {
        setCapture(nullptr);
        if (m_okDialog != nullptr)
            m_okDialog->setVisible(false);
    } else if (name == "menu") {
        if (m_menu != nullptr)
            m_menu->activateSelected();
    } else {
        return;
    }
    invalidate(1);
}

void fdPageMap::naviIndicatorCommand() {
    MapNavigation* nav = m_services.navigation;
    if (stopDemo() || nav == nullptr) {
        setChecked(m_naviIndicator, nav != nullptr && nav->guidanceActive());
        return;
    }
    const bool active = nav->toggleNavigation();
    setChecked(m_naviIndicator, active);
    if (!active)
        return;
    if (m_services.route != nullptr && !m_services.route->path().points.empty()) {
        const LevelPoint& start = m_services.route->path().points.front().roadPoint;
        if (start.level != nullptr)
            showPoint(Map::LevelFrame::of(*start.level).toGlobal({start.x, start.y}), false);
    }
    m_followGps = true;
    showRotateButtons(false);
}

void fdPageMap::editPointCommand(const std::string& child) {
    closePopup();
    if (child == "info") {
        ui()->goToPageByName("pagePOIInfo");
    } else if (child == "coords") {
        const Map::GeoPoint geo = Map::Projection::toGeo(m_tapped);
        const int style = (m_services.config ? m_services.config->value("position_format", 1) : 1) % 4;
        std::u16string text = Core::format(u"%s = %s\n\n%s = %s", message("latitude"),
                                           Core::formatLatitude(style, geo.latitude), message("longitude"),
                                           Core::formatLongitude(style, geo.longitude));
        if (text.size() > 100)
            text.resize(100);
        showMessage(text);
    }
    else if (child == "del") {
        if (const std::int32_t index = namedWaypoint(); index >= 0) {
            m_services.waypoints->deletePoint(static_cast<std::size_t>(index));
            if (m_services.atlas != nullptr)
                m_services.atlas->requestRedraw();
        }
        invalidate(1);
    } else if (child == "set") {
        auto* editor = dynamic_cast<EditWayPointPage*>(ui()->findPage("pageWPEdit"));
        if (editor == nullptr)
            return;
        if (const std::int32_t index = namedWaypoint(); index >= 0) {
            editor->editPoint(index);
            ui()->goToPage(editor);
            return;
        }
        editor->setNewPoint(m_tapped);
        auto* chooser = dynamic_cast<fdPageSelectPoiType*>(ui()->findPage("select_poi_type"));
        if (chooser == nullptr) {
            ui()->goToPage(editor);
            return;
        }
        // The chooser shows the type its "OK" gives the new point.
        chooser->showAllTypes(WayPoint::DefaultType);
        chooser->setCallback(std::make_shared<CreatePoiCallback>(*editor, *ui()));
        ui()->goToPage(chooser);
    }
}

void fdPageMap::pathCommand(Ui::TemplateWindow& buttons, const std::string& child) {
    AtlasRoute* route = m_services.route;
    Map::KVAtlas* atlas = m_services.atlas;
    MapNavigation* nav = m_services.navigation;
    if (child == "add_path" || route == nullptr || atlas == nullptr || !m_services.config) {
        closePopup();
        if (child == "add_path")
            storePath();
        return;
    }
    Core::ConfigNode& config = *m_services.config;
    Path& path = route->path();
    bool applyPending = false;
    bool showStatus = false;
    bool startOnly = false;
    const auto startNavigation = [nav] {
        if (nav != nullptr)
            nav->startNavigation();
    };
    // The pop-up shows the button pressed while the route is computed.
    const auto waitState = [&] {
        if (!config.value("redraw_path_wait_state", true))
            return;
        auto* button = dynamic_cast<Ui::fdButtonX*>(buttons.findChild(child));
        if (button == nullptr)
            return;
        button->swapNormalAndPressed();
        if (ui()->engine() != nullptr)
            ui()->engine()->drawNow();
        button->swapNormalAndPressed();
    };
    const auto carPosition = [this]() -> std::optional<Map::Point> {
        if (m_services.car == nullptr)
            return std::nullopt;
        const auto fix = m_services.car->currentFix();
        return fix ? std::optional<Map::Point>(fix->position) : std::nullopt;
    };
    stopDemo();

    if (child == "tiny_from") {
        route->startPathAt(m_tappedRoute);
        if (const auto car = carPosition(); car && !path.points.empty() && nav != nullptr) {
            const double dx = double(car->x) - m_tapped.x, dy = double(car->y) - m_tapped.y;
            const double reach = 500.0 * nav->unitsPerMetre();
            applyPending = dx * dx + dy * dy < reach * reach;
        }
        startNavigation();
    } else if (child == "tiny_to") {
        waitState();
        const auto car = carPosition();
        // With a fix the route starts at the car, also when there was a
        // route: from the old route's start guidance would find the car off
        // it and rebuild at once, "route rebuilt" right after the driver
        // chose where to go. A tap on no road changes nothing.
        const bool hadRoute = !path.points.empty();
        bool atCar = false;
        if (car && (!hadRoute || m_tappedRoute.isSet())) {
            applyPending = true;
            atCar = route->startPathAtLocation(*atlas, *car);
        }
        if (hadRoute && !atCar) {
            applyPending = false;
            if (route->recalculatePath(*atlas, config, m_tappedRoute))
                playNavi(2, 11);
            else
                showStatus = true;
        } else if (!car) {
            route->startPathAt(m_tappedRoute);
            // Without a position the tap only sets the start: the driver is
            // told so, and what comes next.
            startOnly = true;
        } else {
            if (!atCar) {
                applyPending = false;
                showStatus = true;
            }
            if (route->calculatePath(*atlas, config, m_tappedRoute)) {
                if (!path.points.empty())
                    playNavi(2, 11);
            } else {
                applyPending = false;
                showStatus = true;
            }
        }
        startNavigation();
    } else if (child == "del") {
        path.clear();
        atlas->requestRedraw();
    } else if (child == "continue" || child == "set_inter") {
        waitState();
        const bool done = child == "continue" ? route->calculatePath(*atlas, config, m_tappedRoute)
                                              : route->addPathPoint(*atlas, config, m_tappedRoute);
        if (done)
            playNavi(2, 11);
        else
            showStatus = true;
        startNavigation();
    }
    closePopup();
    // A route point placed without a route (a start without a fix) changes
    // no route line: the map is drawn anew so its flag shows.
    atlas->requestRedraw();
    if (applyPending && nav != nullptr)
        nav->applyPendingRoute();
    // Without a position the tap only set the start: a line over the map
    // says so, and what comes next, without stopping the next tap.
    showStatusLine(startOnly ? message("map_start_set_no_position") : std::u16string());
    if (showStatus) {
        const std::int32_t status = Map::Routing::routingResult().status;
        if (status == 0)
            showMessage(u"Internal error!");
        else if (status >= -4 && status <= -1)
            showMessage(message(Map::Routing::statusMessageKey(status)));
    }
}

std::u16string fdPageMap::freeRouteFile(const std::u16string& folder, const std::u16string& name) {
    const std::u16string base = folder.empty() || folder.back() == u'/' ? folder : folder + u"/";
    const std::size_t dot = name.rfind(u'.');
    const std::u16string stem = dot == std::u16string::npos ? name : name.substr(0, dot);
    const std::u16string extension = dot == std::u16string::npos ? std::u16string() : name.substr(dot);
    std::u16string file = base + name;
    for (int n = 2; FileSystem::fileExists(file); ++n)
        file = base + stem + Core::format(u" (%d)", n) + extension;
    return file;
}

void fdPageMap::storePath() {
    if (m_services.route == nullptr)
        return;
    const Path& path = m_services.route->path();
    std::u16string name;
    Path::defaultFileName(path, name);
    if (path.points.size() < 2 || name.empty()) {
        showMessage(message("map_no_path_to_save"));
        return;
    }
    if (m_services.atlas == nullptr || m_services.atlas->folder().empty()) {
        showMessage(message("map_path_save_err"));
        return;
    }
    const std::u16string file = freeRouteFile(m_services.atlas->folder(), name);
    const std::u16string title = name.substr(0, name.size() - 4); // without ".kvp"
    int error = 0;
    if (!PathFile::write(title, file, path, &error))
        showMessage(withReason("map_path_save_err", error));
}

} // namespace Screens
