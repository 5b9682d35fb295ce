#include "screens/fdPageGPSX.h"

#include "core/ConfigNode.h"
#include "core/DateTime.h"
#include "core/Format.h"
#include "core/MessageTable.h"
#include "core/ValueFormat.h"
#include "platform/Time.h"
#include "positioning/System.h"
#include "render/Pixels.h"
#include "ui/WidgetCreators.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Screens {

namespace {

constexpr std::uint32_t kMaxSatellites = 36;
constexpr std::uint32_t kMaxUsed = 12;

// Colours as R, G, B, A from the low byte up.
constexpr std::uint32_t kUsedDisc = 0xFF00FFFF;
constexpr std::uint32_t kUsedShade = 0xFF008080;
constexpr std::uint32_t kOtherDisc = 0xFFFFFFFF;
constexpr std::uint32_t kOtherShade = 0xFF808080;

// The receiver is active while it is switched on and its port is open: a
// port that is gone reads nothing, and what it read last is no longer
// current.
bool receiverActive(const Positioning::System* gps) {
    return gps && gps->isEnabled() && gps->isPortOpen();
}

} // namespace

SatellitesMap::SatellitesMap(Ui::fdWindowBase* parent, std::string name, Ui::fdInterface* ui,
                             const Positioning::System* gps)
    : fdWindowBase(parent, std::move(name), true, ui), m_gps(gps) {}

void SatellitesMap::tick(std::uint32_t) {
    invalidate(0);
}

SatellitesMap::Disc SatellitesMap::place(const Ui::WindowRect& rect, const Positioning::Satellite& satellite,
                                         bool used) {
    const std::int32_t halfW = rect.w / 2, halfH = rect.h / 2;
    const std::int32_t cx = rect.x + halfW, cy = rect.y + halfH;
    const std::int32_t unit = (rect.w + rect.h) / 4 / 10;
    const double radian = std::numbers::pi / 180.0;
    const double e = std::cos(satellite.elevation * radian);
    const double a = (satellite.azimuth - 90) * radian;
    Disc disc;
    disc.x = static_cast<std::int32_t>(cx + std::cos(a) * e * halfW + 0.5);
    disc.y = static_cast<std::int32_t>(cy + std::sin(a) * e * halfH + 0.5);
    disc.radius = unit / 2 + satellite.snr * unit / 99 / 2;
    disc.used = used;
    return disc;
}

void SatellitesMap::draw(SDL_Surface* surface, TempSurface&, bool force) {
    if (!m_visible || (!m_dirty && !force)) return;
    m_dirty = false;
    if (!surface || !receiverActive(m_gps)) return;
    Positioning::Satellite satellites[kMaxSatellites];
    std::uint32_t used[kMaxUsed];
    const std::uint32_t count = std::min(m_gps->getSatellites(satellites, kMaxSatellites), kMaxSatellites);
    const std::uint32_t usedCount = std::min(m_gps->getUsedSatellites(used, kMaxUsed), kMaxUsed);
    for (std::uint32_t i = 0; i < count; ++i) {
        const bool isUsed = std::find(used, used + usedCount,
                                      static_cast<std::uint32_t>(satellites[i].prn)) != used + usedCount;
        const Disc disc = place(m_rect, satellites[i], isUsed);
        xe::fillShadedCircle(surface, disc.x, disc.y, disc.radius, isUsed ? kUsedDisc : kOtherDisc,
                             isUsed ? kUsedShade : kOtherShade);
    }
}

fdPageGPSX::fdPageGPSX(Ui::fdInterface* ui, std::shared_ptr<Core::ConfigNode> config,
                       const Positioning::System* gps, const Core::MessageTable* messages)
    : fdPage(ui, "pageGPS", nullptr), m_config(std::move(config)), m_gps(gps), m_messages(messages) {}

void fdPageGPSX::createCustom(const Ui::CustomCreator& creator) {
    if (creator.name() != "satellites") {
        fdPage::createCustom(creator);
        return;
    }
    auto* map = new SatellitesMap(this, creator.name(), ui(), m_gps);
    map->placeInParent(creator.x, creator.y, creator.w, creator.h);
    map->setAnchors(creator.ltHorz, creator.ltVert, creator.rbHorz, creator.rbVert);
    map->relayout();
}

void fdPageGPSX::afterBuild() {
    m_led = dynamic_cast<Ui::fdMultiStatic*>(widget("status_led"));
    if (m_led) m_led->setCurrent(0);
}

int fdPageGPSX::coordinateStyle(int positionFormat) {
    // The remainder keeps the sign of a negative value; styles run 0..3.
    return ((positionFormat % 4) + 4) % 4;
}

Ui::TimerPeriod fdPageGPSX::timerPeriod() const {
    return Ui::TimerPeriod::every(500).sooner(fdPage::timerPeriod());
}

void fdPageGPSX::tick(std::uint32_t now) {
    const std::int32_t phase = static_cast<std::int32_t>(now / 500 % 2);
    if (phase != m_phase) {
        m_phase = phase;
        invalidate(1);
    }
    update();
    fdPage::tick(now);
}

void fdPageGPSX::setText(const char* name, const std::u16string& text) {
    auto* label = dynamic_cast<Ui::fdStatic*>(findChild(name));
    if (label && label->text() != text) {
        label->setText(text);
        label->invalidate(0);
    }
}

void fdPageGPSX::setLed(std::int32_t state) {
    if (m_led && m_led->current() != state) {
        m_led->setCurrent(state);
        m_led->invalidate(0);
    }
}

void fdPageGPSX::update() {
    // A port that is gone: no fix of it is current, and the LED does not
    // claim a receiver.
    const bool open = receiverActive(m_gps);
    Positioning::Fix fix;
    if (open && m_gps->getFix(fix)) {
        setLed(1);
        setText("speed", Core::format(u"%.2f", fix.speed * 3.6f));
        setText("altitude", Core::format(u"%.2f", fix.altitude));
        setText("hdop", Core::format(u"%.2f", fix.hdop));
        const int style = coordinateStyle(m_config ? m_config->value("position_format", 1) : 1);
        setText("latitude", Core::formatLatitude(style, fix.latitude));
        setText("longitude", Core::formatLongitude(style, fix.longitude));
        const Positioning::DateTime& utc = fix.dateTime;
        const std::uint64_t seconds = Positioning::toUnixTime(utc);
        if (seconds != 0) {
            const Platform::CalendarTime local =
                Platform::localCalendar(static_cast<std::int64_t>(seconds), utc.millisecond % 1000);
            setText("time", Core::format(u"%.2d:%.2d:%.2d", local.hour, local.minute, local.second));
            setText("date", Core::format(u"%.2d/%.2d/%.4d", local.day, local.month, local.year));
        } else {
            // No date received yet: the time of day as the receiver sent it.
            setText("time", Core::format(u"%.2d:%.2d:%.2d", int(utc.hour), int(utc.minute), int(utc.second)));
            setText("date", u"--/--/----");
        }
        return;
    }
    setLed(open ? m_phase : 0);
    setText("speed", u"");
    setText("altitude", u"");
    setText("hdop", u"");
    const std::u16string noFix = m_messages ? m_messages->text("gps_no_fix") : std::u16string();
    setText("latitude", noFix);
    setText("longitude", noFix);
    setText("time", u"--:--:--");
    setText("date", u"--/--/----");
}

bool fdPageGPSX::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return false;
}

void fdPageGPSX::childClicked(const std::string& name) {
    if (handleCommonCommand(name))
        return;
    if (name == "menu")
        ui()->activatePage(ui()->findPage("menuMain"));
    else if (name == "options")
        ui()->goToPageByName("pageSetupGPS");
}

} // namespace Screens
