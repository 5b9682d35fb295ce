#pragma once
// The GPS setup page ("pageSetupGPS"): the receiver's COM port and speed,
// the search of the ports for a receiver, switching the GPS on and off and
// the NMEA logging period.
//
// Threads: the port search and switching on report on positioning threads,
// and the port's state changes arrive on the GPS thread while the page is
// visible. None of them touches a widget: they leave their news in a shared
// report (or in atomic flags) and wake the main loop; the page's tick, on
// the main thread, shows it.

#include "core/SdlMutex.h"
#include "core/ThreadCallbacks.h"
#include "positioning/DataListener.h"
#include "positioning/NmeaPort.h"
#include "ui/fdPage.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Messages;

namespace Core {
class ConfigNode;
}
namespace Positioning {
class System;
}

namespace Screens {

class fdPageSetupGPSX final : public Ui::fdPage, public Positioning::DataListener {
  public:
    // What the callbacks of a port search or of switching on leave for the
    // page; shared, so that a callback outliving the page stays harmless.
    struct Report {
        Threading::SdlMutex mutex{"Can't create GPS setup mutex"};
        bool progressChanged = false;
        std::u16string text;
        std::int32_t percent = 0;
        bool found = false;
        bool searchEnded = false;
        bool turnedOn = false;
    };

    class FindProgressHandler final : public Threading::ProgressCallback {
      public:
        explicit FindProgressHandler(std::shared_ptr<Report> report) : m_report(std::move(report)) {}
        // The search is over.
        ~FindProgressHandler() override;
        void result(bool found) override;
        void progress(const std::u16string& text, int percent) override;

      private:
        std::shared_ptr<Report> m_report;
    };

    class TurnOnProgressHandler final : public Threading::ResultCallback {
      public:
        explicit TurnOnProgressHandler(std::shared_ptr<Report> report) : m_report(std::move(report)) {}
        void result(bool success) override;

      private:
        std::shared_ptr<Report> m_report;
    };

    struct PortEntry {
        std::u16string name;
        std::uint32_t port = 0;
    };

    static constexpr std::uint32_t kSpeeds[] = {4800, 9600, 19200, 38400, 57600};

    // gps may be null (no receiver). fixedPort is the default of
    // "fixed_gps_port".
    fdPageSetupGPSX(Ui::fdInterface* ui, std::shared_ptr<Core::ConfigNode> config, Positioning::System* gps,
                    const Messages& messages, bool fixedPort);
    ~fdPageSetupGPSX() override;

    void onShow() override;
    void onHide() override;
    // Every 200 ms, so that news from the positioning threads shows within
    // a fifth of a second; sooner when a widget asks.
    Ui::TimerPeriod timerPeriod() const override;
    void tick(std::uint32_t now) override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // GPS thread.
    void onData(const char*, std::uint32_t) override {}
    void enabledChanged(bool enabled) override;
    void portStateChanged(bool open) override;

    // The next or previous of the five speeds; another speed stays.
    static std::uint32_t stepSpeed(std::uint32_t speed, bool up);
    // 0, 15, 30, 45, 60 in a ring.
    static std::int32_t stepNmeaPeriod(std::int32_t period, bool up);
    // A stored period down to a multiple of 15; 0 outside 1 .. 60.
    static std::int32_t nmeaPeriodOf(std::int32_t stored);

    std::uint32_t port() const { return m_port; }
    std::uint32_t speed() const { return m_speed; }
    std::int32_t nmeaPeriod() const { return m_nmeaPeriod; }
    bool busy() const { return m_busy; }
    const std::vector<PortEntry>& ports() const { return m_ports; }
    std::u16string portLabel() const;
    // Where COM n leads on this machine (the "port_device" label shows it).
    void setPortLocator(Positioning::PortLocator locator) { m_locator = std::move(locator); }
    // The device of the chosen port: where a link of the ports folder leads
    // ("→ /dev/pts/3"), else the device's path; "-" when the number leads
    // to none. The label shows its end when the whole is wider.
    std::u16string portDevice() const;
    // Where the callbacks leave their news.
    const std::shared_ptr<Report>& report() const { return m_report; }

  private:
    void refresh();
    void selectPort(std::uint32_t port);
    void setText(const char* name, const std::u16string& text);
    void showPort();
    void showSearch(bool show);
    void showConnecting(bool show, bool animate);
    void setGpsCheck(bool on);
    void gpsCheckClicked();
    void applyReports();

    std::shared_ptr<Core::ConfigNode> m_config;
    Positioning::System* m_gps;
    const Messages& m_messages;
    bool m_busy = false;
    // The driver ended the running search (no "nothing found" then).
    bool m_stopped = false;
    bool m_searchFound = false;
    bool m_fixedPort;
    bool m_protocol = true;
    std::uint32_t m_port = 0;
    std::uint32_t m_speed = 4800;
    std::vector<PortEntry> m_ports;
    std::size_t m_current = 0;
    Positioning::PortLocator m_locator;
    std::int32_t m_nmeaPeriod = 0;
    bool m_listening = false;
    std::shared_ptr<Report> m_report = std::make_shared<Report>();
    // Left by the GPS thread: -1 none, else the last flag.
    std::atomic<int> m_enabledNews{-1};
    std::atomic<int> m_portNews{-1};
};

} // namespace Screens
