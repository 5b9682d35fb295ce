#include "screens/fdPageMap.h"

#include "core/Log.h"
#include "map/KVAtlas.h"
#include "map/Projection.h"
#include "render/Font.h"
#include "render/MapCamera.h"
#include "render/fdMapRenderer.h"
#include "screens/KVScale.h"
#include "screens/MapSky.h"
#include "screens/MapWarnings.h"
#include "screens/SensorsPanel.h"
#include "screens/fdPageMapMenu.h"
#include "ui/BgRenderers.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/EngineServices.h"
#include "ui/SoundPlayer.h"
#include "ui/WidgetCreators.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include <chrono>
#include <ctime>

namespace Screens {

namespace {

fdPageMap* g_page = nullptr;

// Day and night colours of the street labels.
constexpr Ui::ColourPair StreetColours{0xFFFFFFFFu, 0xFF66FFFFu};

Positioning::DateTime fromTm(const std::tm& t) {
    Positioning::DateTime d;
    d.day = static_cast<std::uint8_t>(t.tm_mday);
    d.month = static_cast<std::uint8_t>(t.tm_mon + 1);
    d.year = static_cast<std::uint16_t>(t.tm_year + 1900);
    d.hour = static_cast<std::uint8_t>(t.tm_hour);
    d.minute = static_cast<std::uint8_t>(t.tm_min);
    d.second = static_cast<std::uint8_t>(t.tm_sec);
    return d;
}

class SystemDayClock final : public Ui::DayNightSwitch::Clock {
public:
    Positioning::DateTime localNow() override { return Positioning::localDateTime(); }
    Positioning::DateTime universalNow() override {
        const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        std::tm utc{};
        if (const std::tm* t = std::gmtime(&now))
            utc = *t;
        return fromTm(utc);
    }
};

// The rotated picture of the "compas" rotation box.
class CompassAdapter final : public MapDrawing::CompassWidget {
public:
    explicit CompassAdapter(Ui::fdStatic* box) : m_box(box) {}
    void setAngle(float degrees) override {
        if (auto* r = dynamic_cast<Ui::RotatedImageBgRenderer*>(m_box->bgRenderer())) {
            if (r->angle() != degrees) {
                r->setAngle(degrees);
                m_box->invalidate(0);
            }
        }
    }

private:
    Ui::fdStatic* m_box;
};

} // namespace

void RoadMarks::reset(std::size_t mapCount) {
    m_lists.resize(mapCount);
    for (auto& list : m_lists)
        list.clear();
}

void RoadMarks::add(std::uint32_t mapIndex, std::uint32_t roadId) {
    if (mapIndex >= m_lists.size() || m_lists[mapIndex].size() >= MaxRoadMarks)
        return;
    m_lists[mapIndex].push_back(roadId);
}

const std::vector<std::uint32_t>& RoadMarks::of(std::size_t mapIndex) const {
    static const std::vector<std::uint32_t> none;
    return mapIndex < m_lists.size() ? m_lists[mapIndex] : none;
}

fdPageMap::fdPageMap(Ui::fdInterface* ui, Services services)
    : fdPage(ui, "pageMap", nullptr), m_services(std::move(services)) {
    g_page = this;
    if (m_services.config)
        m_useTiboButtons = m_services.config->value("use_tibo_buttons", false);
    if (m_services.clock == nullptr) {
        m_systemClock = std::make_unique<SystemDayClock>();
        m_services.clock = m_systemClock.get();
    }
    if (m_services.bindings != nullptr) {
        m_dayNight = std::make_unique<Ui::DayNightSwitch>(m_services.bindings->dayNight(), *m_services.clock,
                                                          static_cast<Ui::DayNightSwitch::Position&>(*this),
                                                          static_cast<Ui::DayNightSwitch::Display&>(*this));
    }
    if (m_services.renderer != nullptr)
        m_services.renderer->services().page = this;
    if (m_services.monitoring != nullptr)
        m_services.monitoring->addListener(this);
}

// The renderer may already be gone when the engine deletes its pages: only
// the live one (its instance) is told.
fdPageMap::~fdPageMap() {
    if (m_services.monitoring != nullptr)
        m_services.monitoring->removeListener(this);
    MapDrawing::fdMapRenderer* renderer = MapDrawing::fdMapRenderer::instance();
    if (renderer != nullptr && renderer == m_services.renderer && renderer->services().page == this)
        renderer->services().page = nullptr;
    if (g_page == this)
        g_page = nullptr;
}

fdPageMap* fdPageMap::instance() { return g_page; }

Render::RenderStyles* fdPageMap::poiStyles() const {
    return m_services.renderer != nullptr ? &m_services.renderer->styles() : nullptr;
}

void fdPageMap::createCustom(const Ui::CustomCreator& creator) {
    Ui::fdWindowBase* widget = nullptr;
    if (creator.name() == "scale") {
        widget = new KVScale(this, ui(), m_services.camera, m_services.messages);
    } else if (creator.name() == "sky") {
        Render::Image* day = creator.images.size() > 0 ? ui()->loadImage(creator.images[0]) : nullptr;
        Render::Image* night = creator.images.size() > 1 ? ui()->loadImage(creator.images[1]) : nullptr;
        widget = new MapSky(this, ui(), m_services.atlas, m_services.camera, day, night);
    }
    if (widget == nullptr)
        return;
    widget->placeInParent(creator.x, creator.y, creator.w, creator.h);
    widget->setAnchors(creator.ltHorz, creator.ltVert, creator.rbHorz, creator.rbVert);
    widget->relayout();
}

const Ui::TemplateDescription* fdPageMap::findTemplate(const std::string& templateName) {
    const Ui::EngineServices* engine = ui()->engine();
    const Ui::DesignDescription* design = engine != nullptr ? engine->design() : nullptr;
    if (design == nullptr)
        return nullptr;
    const auto found = design->templates.find(templateName);
    if (found == design->templates.end()) {
        ui()->logMissingOnce("Template " + templateName + " is not part of this design");
        return nullptr;
    }
    return found->second.get();
}

Ui::TemplateWindow* fdPageMap::makeTemplate(const std::string& templateName, const std::string& name) {
    const Ui::TemplateDescription* description = findTemplate(templateName);
    if (description == nullptr)
        return nullptr;
    auto* window = new Ui::TemplateWindow(*description, this, name, ui(), m_context);
    // The template's anchors keep the buttons and the box at their edge on a
    // screen larger than the design.
    window->setAnchors(description->ltHorz, description->ltVert, description->rbHorz, description->rbVert);
    window->relayout();
    window->setVisible(false);
    return window;
}

void fdPageMap::afterBuild() {
    if (m_services.renderer != nullptr) {
        const Ui::EngineServices* engine = ui()->engine();
        const Ui::DesignDescription* design = engine != nullptr ? engine->design() : nullptr;
        if (design != nullptr)
            m_services.renderer->setMapFont(ui()->fontByName(design->extras.captionFont));
        m_services.renderer->setPoiCursor(findCursor("poi"));
        // The automatic switch starts from the mode the renderer was left
        // in, and the styles match that mode from the first frame.
        if (m_services.bindings != nullptr)
            m_services.bindings->dayNight().day = m_services.renderer->isDay();
        m_services.renderer->selectStyles(m_services.renderer->isDay());
    }
    // Looked up once: a widget the design lacks is reported here, not on
    // every tick.
    const auto lookup = [this](const std::string& name) {
        Ui::fdWindowBase* w = findChild(name);
        if (w == nullptr)
            ui()->logMissingOnce("Widget " + name + " is not part of pageMap");
        return w;
    };
    m_upperBox = lookup("upper_box");
    m_upperBoxTurn = lookup("upper_box_turn");
    for (Ui::fdWindowBase* label : {m_upperBox, m_upperBoxTurn})
        if (label != nullptr)
            label->setTextColor(StreetColours);
    showOnlineIndicators();
    m_naviIndicator = lookup("navi_indicator");
    m_gpsIndicator = lookup("gps_indicator");
    m_receivedPoints = findChild("received_points");
    for (const char* name : {"top_bar", "status_bg", "scale_bg"})
        if (Ui::fdWindowBase* panel = findChild(name)) m_panels.push_back(panel);
    buildWarnings();
    if (auto* box = dynamic_cast<Ui::fdStatic*>(lookup("compas")))
        m_compass = std::make_unique<CompassAdapter>(box);
    m_rotateCamera = makeTemplate("buttons_rotate_camera", "rotate_camera");
    showRotateButtons(!m_followGps);
    m_editPoint = makeTemplate("buttons_edit_point", "edit_point");
    m_pathStart = makeTemplate("buttons_path_start", "path_start");
    if (m_pathStart != nullptr) {
        const bool from = m_services.config && m_services.config->value("enable_from_button", false);
        if (Ui::fdWindowBase* tiny = m_pathStart->findChild("tiny_from"))
            tiny->setVisible(from);
    }
    m_pathContinue = makeTemplate("buttons_path_continue", "path_continue");
    m_okDialog = makeTemplate("mb_ok", "ok_dialog");
    showStatusLine({});
    buildMenu();
}

template <class W, class... Args> W* fdPageMap::makeWindow(const std::string& templateName, Args&&... args) {
    const Ui::TemplateDescription* t = findTemplate(templateName);
    if (t == nullptr)
        return nullptr;
    auto* window = new W(*t, this, ui(), m_context, std::forward<Args>(args)...);
    window->setAnchors(t->ltHorz, t->ltVert, t->rbHorz, t->rbVert);
    window->relayout();
    window->setVisible(false);
    return window;
}

void fdPageMap::buildWarnings() {
    static const struct : Core::MessageTable {
        const std::u16string& text(std::string_view) const override { return none; }
        std::u16string none;
    } noMessages;
    const Core::MessageTable& messages = m_services.messages != nullptr ? *m_services.messages : noMessages;
    m_maneuverWarn = makeWindow<ManeuverWarn>("group_maneuver", messages);
    m_poiWarn = makeWindow<fdPoiWarn>("group_poi", messages);
    m_proximityWarn = makeWindow<ProximityWarn>("group_proximity", messages);
    m_warnings = {m_maneuverWarn, m_poiWarn, m_proximityWarn};
    m_sensorsPanel = makeWindow<SensorsPanel>("group_sensors", m_services.config, m_services.sensors);
    m_sensorsVisible = !m_services.config || m_services.config->value("map_sensors_visible", true);
    showSensorsPanel();
}

// Without a sensors source the panel would have nothing to show.
void fdPageMap::showSensorsPanel() {
    if (m_sensorsPanel != nullptr)
        m_sensorsPanel->setVisible(m_sensorsVisible && m_services.sensors != nullptr && m_popup == nullptr);
}

void fdPageMap::onShow() {
    ui()->clearHistory();
    // Other pages change what the map shows (waypoints, shown tracks).
    if (m_services.atlas != nullptr)
        m_services.atlas->requestRedraw();
}

void fdPageMap::onHide() { stopDemo(); }

void fdPageMap::showRotateButtons(bool visible) {
    if (m_rotateCamera != nullptr)
        m_rotateCamera->setVisible(visible);
}

void fdPageMap::setIndicatorsVisible(bool visible) {
    for (const char* name : {"gps_indicator", "navi_indicator", "track_indicator", "compas"})
        if (Ui::fdWindowBase* w = findChild(name))
            w->setVisible(visible);
}

void fdPageMap::openPopup(Ui::fdWindowBase* popup) {
    if (popup == nullptr)
        return;
    m_popupShownMs = ui()->now();
    m_popupWaits = false;
    m_popup = popup;
    popup->setVisible(true);
    if (Ui::fdWindowBase* submenu = findChild("submenu"))
        submenu->setVisible(false);
    setIndicatorsVisible(false);
    showSensorsPanel();
    invalidate(1);
}

void fdPageMap::closePopup() {
    if (m_popup == nullptr)
        return;
    m_popup->setVisible(false);
    if (m_editPoint != nullptr)
        m_editPoint->setVisible(false);
    m_popup = nullptr;
    m_popupShownMs = 0;
    m_popupWaits = false;
    if (Ui::fdWindowBase* submenu = findChild("submenu"))
        submenu->setVisible(true);
    setIndicatorsVisible(true);
    showSensorsPanel();
    // The top box named the point: the streets again at once.
    streetLabelsStep();
    invalidate(1);
}

void fdPageMap::resetViewState(const Positioning::CarState& state) {
    m_lastCar = state;
    m_lastCar.valid = false;
    m_lastCar.position.frame = Map::LevelFrame{};
    // Nothing read from the old atlas is worked from while the switch holds
    // the car lock.
    m_carFix.reset();
    m_guidance = GuidanceState{};
    m_warned.reset();
}

void fdPageMap::onConnected() {
    m_onlineChange = 1;
}

void fdPageMap::onDisconnected() {
    m_onlineChange = 2;
}

void fdPageMap::onPointsReceived() { m_pointsReceived = true; }

void fdPageMap::applyOnlineFlags() {
    const int change = m_onlineChange.exchange(0);
    if (change != 0) {
        for (const char* name : {"monitoring", "received_points"})
            if (Ui::fdWindowBase* w = findChild(name))
                w->setVisible(change == 1);
        m_blinkStart = 0;
    }
    if (m_pointsReceived.exchange(false))
        m_blinkStart = ui()->now();
    if (m_tracksReceived.exchange(false) && m_services.atlas != nullptr)
        m_services.atlas->requestRedraw();
}

MapDrawing::CompassWidget* fdPageMap::compass() { return m_compass.get(); }

const MapDrawing::CursorRecord* fdPageMap::findCursor(const std::string& name) {
    // The interface's records hold the design image; the map drawing wants
    // the plain image and hot spot, kept here for the page's life.
    const Ui::CursorRecord* cursor = ui()->findCursor(name);
    if (cursor == nullptr)
        return nullptr;
    MapDrawing::CursorRecord& record = m_cursors[name];
    record = {cursor->image, cursor->hotX, cursor->hotY};
    return &record;
}

// Sunrise and sunset at the fix, or, before any fix, at the atlas's centre:
// the maps are where the driver is, so the display switches without a
// receiver too.
bool fdPageMap::currentFix(double& latitude, double& longitude) {
    if (const auto fix = m_services.car != nullptr ? m_services.car->currentFix() : std::nullopt) {
        latitude = fix->latitude;
        longitude = fix->longitude;
        return true;
    }
    const std::optional<Map::Point> centre =
        m_services.atlas != nullptr ? m_services.atlas->largestMapCentre() : std::nullopt;
    if (!centre)
        return false;
    const Map::GeoPoint geo = Map::Projection::toGeo(*centre);
    latitude = geo.latitude;
    longitude = geo.longitude;
    return true;
}

void fdPageMap::setDayMode(bool day) {
    if (m_services.renderer == nullptr)
        return;
    m_services.renderer->selectStyles(day);
    m_services.renderer->setDayMode(day);
}

bool fdPageMap::isThreeD() const { return m_services.camera != nullptr && m_services.camera->is3d(); }

} // namespace Screens
