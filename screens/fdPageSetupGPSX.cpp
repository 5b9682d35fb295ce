#include "screens/fdPageSetupGPSX.h"

#include "core/ConfigNode.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/MainLoopWake.h"
#include "core/Text.h"
#include "positioning/System.h"
#include "ui/Messages.h"
#include "ui/TextRenderers.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

namespace Screens {

namespace {

constexpr std::uint32_t kPortCount = 20;
constexpr std::uint32_t kAnimationMs = 100;

} // namespace

fdPageSetupGPSX::FindProgressHandler::~FindProgressHandler() {
    {
        Threading::SdlLock lock(m_report->mutex);
        m_report->searchEnded = true;
    }
    Threading::wakeMainLoop();
}

void fdPageSetupGPSX::FindProgressHandler::result(bool found) {
    {
        Threading::SdlLock lock(m_report->mutex);
        m_report->found = m_report->found || found;
    }
    Threading::wakeMainLoop();
}

void fdPageSetupGPSX::FindProgressHandler::progress(const std::u16string& text, int percent) {
    {
        Threading::SdlLock lock(m_report->mutex);
        m_report->text = text;
        m_report->percent = percent;
        m_report->progressChanged = true;
    }
    Threading::wakeMainLoop();
}

void fdPageSetupGPSX::TurnOnProgressHandler::result(bool) {
    {
        Threading::SdlLock lock(m_report->mutex);
        m_report->turnedOn = true;
    }
    Threading::wakeMainLoop();
}

fdPageSetupGPSX::fdPageSetupGPSX(Ui::fdInterface* ui, std::shared_ptr<Core::ConfigNode> config,
                                 Positioning::System* gps, const Messages& messages, bool fixedPort)
    : fdPage(ui, "pageSetupGPS", nullptr), m_config(std::move(config)), m_gps(gps), m_messages(messages),
      m_fixedPort(m_config->value("fixed_gps_port", fixedPort)) {
    for (std::uint32_t port = 1; port <= kPortCount; ++port)
        m_ports.push_back({Core::format(u"COM%d", port), port});
}

fdPageSetupGPSX::~fdPageSetupGPSX() {
    if (m_listening && m_gps) m_gps->removeDataListener(this);
}

std::uint32_t fdPageSetupGPSX::stepSpeed(std::uint32_t speed, bool up) {
    const auto* begin = std::begin(kSpeeds);
    const auto* end = std::end(kSpeeds);
    const auto* at = std::find(begin, end, speed);
    if (at == end) return speed;
    const std::ptrdiff_t n = end - begin;
    return begin[((at - begin) + (up ? 1 : n - 1)) % n];
}

std::int32_t fdPageSetupGPSX::stepNmeaPeriod(std::int32_t period, bool up) {
    period += up ? 15 : -15;
    if (period > 60) return 0;
    if (period < 0) return 60;
    return period;
}

std::int32_t fdPageSetupGPSX::nmeaPeriodOf(std::int32_t stored) {
    const std::int32_t period = stored / 15 * 15;
    return period >= 1 && period <= 60 ? period : 0;
}

std::u16string fdPageSetupGPSX::portLabel() const {
    std::u16string label = Core::format(u"COM%d ", m_port);
    const std::u16string& name = m_ports.at(m_current).name;
    if (label.find(name) == std::u16string::npos) label += name;
    return label;
}

std::u16string fdPageSetupGPSX::portDevice() const {
    const std::string path = m_locator.devicePath(m_port);
    if (path.empty()) return u"-";
    // A link of the ports folder is known by where it leads (a pseudo-
    // terminal, a receiver's device); its own path is the data folder's.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    return Core::utf8ToWide(!error && !target.empty() ? "\u2192 " + target.string() : path);
}

void fdPageSetupGPSX::showPort() {
    setText("port", portLabel());
    const std::u16string device = portDevice();
    const Ui::fdWindowBase* label = findChild("port_device");
    setText("port_device", label ? Ui::shortenedToFit(*label, device, label->rect().w, true) : device);
}

void fdPageSetupGPSX::selectPort(std::uint32_t port) {
    const auto it =
        std::find_if(m_ports.begin(), m_ports.end(), [&](const PortEntry& e) { return e.port == port; });
    if (it != m_ports.end()) {
        m_current = static_cast<std::size_t>(it - m_ports.begin());
        return;
    }
    if (m_ports.size() > kPortCount)
        m_ports.back().port = port;
    else
        m_ports.push_back({u"generic", port});
    m_current = m_ports.size() - 1;
}

void fdPageSetupGPSX::setText(const char* name, const std::u16string& text) {
    if (auto* label = dynamic_cast<Ui::fdStatic*>(findChild(name))) {
        label->setText(text);
        label->invalidate(0);
    }
}

void fdPageSetupGPSX::showSearch(bool show) {
    for (const char* name : {"find_progress", "find_prog_bar"})
        if (fdWindowBase* w = findChild(name)) w->setVisible(show);
}

void fdPageSetupGPSX::showConnecting(bool show, bool animate) {
    if (auto* animation = dynamic_cast<Ui::fdMultiStatic*>(findChild("connect_animation"))) {
        animation->setVisible(show);
        animation->setAnimationPeriod(animate ? kAnimationMs : 0);
    }
}

void fdPageSetupGPSX::setGpsCheck(bool on) {
    if (auto* box = dynamic_cast<Ui::fdCheckedButton*>(findChild("gps_check"))) box->setChecked(on);
}

void fdPageSetupGPSX::onShow() {
    if (m_gps && !m_listening) {
        m_gps->addDataListener(this);
        m_listening = true;
    }
    if (m_fixedPort)
        if (fdWindowBase* search = findChild("gps_search")) search->setVisible(false);
    refresh();
}

void fdPageSetupGPSX::onHide() {
    if (m_gps && m_listening) {
        m_gps->removeDataListener(this);
        m_listening = false;
    }
}

void fdPageSetupGPSX::refresh() {
    const auto [port, speed] =
        m_gps && m_gps->hasDevice() ? m_gps->getPort() : std::pair<std::uint32_t, std::uint32_t>{0, 4800};
    m_port = port;
    m_speed = speed;
    selectPort(port);
    setText("protocol", u"NMEA");
    setText("speed", Core::format(u"%d", m_speed));
    showPort();
    setGpsCheck(m_gps && m_gps->isEnabled());
    showConnecting(false, false);
    m_nmeaPeriod = nmeaPeriodOf(m_config->value("nmea_log_period", 0));
    setText("nmea", m_nmeaPeriod == 0 ? m_messages.text("gps_nmea_off") : Core::format(u"%d", m_nmeaPeriod));
    showSearch(false);
    // A search still running keeps its progress in view.
    if (m_busy) showSearch(true);
}

Ui::TimerPeriod fdPageSetupGPSX::timerPeriod() const {
    return Ui::TimerPeriod::every(200).sooner(fdPage::timerPeriod());
}

void fdPageSetupGPSX::tick(std::uint32_t now) {
    applyReports();
    fdPage::tick(now);
}

void fdPageSetupGPSX::enabledChanged(bool enabled) {
    m_enabledNews = enabled ? 1 : 0;
    Threading::wakeMainLoop();
}

void fdPageSetupGPSX::portStateChanged(bool open) {
    m_portNews = open ? 1 : 0;
    Threading::wakeMainLoop();
}

void fdPageSetupGPSX::applyReports() {
    bool changed = false;
    bool found = false, ended = false, turnedOn = false;
    {
        Threading::SdlLock lock(m_report->mutex);
        if (m_report->progressChanged) {
            m_report->progressChanged = false;
            setText("find_progress", m_report->text);
            if (auto* bar = dynamic_cast<Ui::fdProgressBar*>(findChild("find_prog_bar"))) {
                bar->value = m_report->percent;
                bar->invalidate(0);
            }
            changed = true;
        }
        found = std::exchange(m_report->found, false);
        ended = std::exchange(m_report->searchEnded, false);
        turnedOn = std::exchange(m_report->turnedOn, false);
    }
    if (found) {
        m_searchFound = true;
        refresh();
        changed = true;
    }
    if (ended) {
        m_busy = false;
        showSearch(false);
        // A search that found nothing says so, with what it tried, until
        // the driver taps the line away.
        if (!m_searchFound && !m_stopped) {
            setText("find_progress", m_messages.text("gps_search_none"));
            if (fdWindowBase* line = findChild("find_progress")) line->setVisible(true);
        }
        changed = true;
    }
    if (turnedOn) {
        showConnecting(true, false);
        changed = true;
    }
    if (const int enabled = m_enabledNews.exchange(-1); enabled >= 0 && m_gps) {
        // Switched on, but no receiver answered: off again.
        if (enabled == 1 && !m_gps->isPortOpen()) m_gps->disable();
        // Switched off: nothing is coming to end the animation.
        if (enabled == 0) {
            showConnecting(false, false);
            setGpsCheck(false);
        }
        changed = true;
    }
    if (const int open = m_portNews.exchange(-1); open >= 0 && m_gps) {
        if (open == 0 && m_gps->isEnabled()) m_gps->disable();
        showConnecting(false, false);
        setGpsCheck(open == 1);
        changed = true;
    }
    if (changed) invalidate(1);
}

void fdPageSetupGPSX::gpsCheckClicked() {
    auto* box = dynamic_cast<Ui::fdCheckedButton*>(findChild("gps_check"));
    if (!box || !m_gps) return;
    const bool active = m_gps->isEnabled();
    if (m_busy) {
        box->setChecked(active);
        return;
    }
    if (box->checked() == active) return;
    showConnecting(true, true);
    if (!box->checked()) {
        m_gps->disable();
        return;
    }
    // The box follows the outcome, not the tap.
    box->setChecked(false);
    m_gps->setPort(m_port, m_speed);
    m_gps->enable(new TurnOnProgressHandler(m_report));
}

bool fdPageSetupGPSX::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return false;
}

void fdPageSetupGPSX::childClicked(const std::string& name) {
    if (handleCommonCommand(name))
        return;
    if (name == "menu") {
        ui()->activatePage(ui()->findPage("menuMain"));
        return;
    }
    if (name == "ok") {
        if (m_gps && m_gps->hasDevice()) m_gps->setPort(m_port, m_speed);
        m_config->set("nmea_log_period", m_nmeaPeriod);
        if (m_gps) m_gps->setNmeaLogging(m_nmeaPeriod);
        Log::log(Log::Normal, u"GPS settings applied: COM%d at %d, NMEA log %d min", m_port, m_speed,
                 m_nmeaPeriod);
        ui()->goBack();
        return;
    }
    if (name == "prevSpeed" || name == "nextSpeed") {
        m_speed = stepSpeed(m_speed, name == "nextSpeed");
        setText("speed", Core::format(u"%d", m_speed));
    } else if (name == "prevPort" || name == "nextPort") {
        const std::size_t n = m_ports.size();
        m_current = (m_current + (name == "nextPort" ? 1 : n - 1)) % n;
        m_port = m_ports[m_current].port;
        showPort();
    } else if (name == "prevNMEA" || name == "nextNMEA") {
        m_nmeaPeriod = stepNmeaPeriod(m_nmeaPeriod, name == "nextNMEA");
        setText("nmea",
                m_nmeaPeriod == 0 ? m_messages.text("gps_nmea_off") : Core::format(u"%d", m_nmeaPeriod));
    } else if (name == "prevProtocol" || name == "nextProtocol") {
        m_protocol = !m_protocol;
        setText("protocol", m_messages.text(m_protocol ? "gps_protocol_nmea" : "gps_protocol_glonass"));
    } else if (name == "gps_search") {
        if (m_busy || !m_gps) return;
        m_busy = true;
        m_stopped = false;
        m_searchFound = false;
        showSearch(true);
        if (auto* bar = dynamic_cast<Ui::fdProgressBar*>(findChild("find_prog_bar"))) bar->value = 0;
        Log::log(Log::Normal, u"GPS port search started");
        m_gps->findPort(new FindProgressHandler(m_report));
    } else if (name == "find_progress") {
        m_stopped = true;
        if (m_gps) m_gps->stopPortSearch();
        showSearch(false);
    } else if (name == "gps_check") {
        gpsCheckClicked();
    } else {
        return;
    }
    invalidate(1);
}

} // namespace Screens
