#pragma once
// The automatic day/night state: whether the automation is on (setting
// "auto_dn"), the sunrise and sunset of the day last computed, and the flags
// through which the map page decides and applies the display mode. The
// button bindings hold one of these for the whole program; the map page
// updates it on its tick (see DayNightSwitch) and the render settings page
// turns the automation on and off.

#include "core/ConfigNode.h"
#include "core/DateTime.h"
#include "ui/SunriseSunset.h"

#include <optional>

namespace Ui {

class DayNight {
  public:
    // Reads "auto_dn" (bool, default true; created when missing).
    explicit DayNight(Core::ConfigNodePtr config);

    bool automatic() const { return m_automatic; }
    // Stores the flag, clears the valid flag (so the map page computes the
    // times again) and writes "auto_dn".
    void setAutoDayNight(bool on);

    // Nothing when the automation is off. Otherwise computes the sunrise and
    // sunset (Universal Time) of the date (day, month, year; its time is not
    // read) at the position in degrees, and stores them with the date:
    // - no sunrise that day: sunrise 23:59:59 of the previous day, sunset
    //   00:00:00 of the date;
    // - no sunset: sunrise 00:00:00 of the date, sunset 00:00:00 of the next
    //   day.
    // A date that is not a calendar date or a position outside the globe is
    // logged and leaves the stored times as they were. Returns the result of
    // the computation, or nothing when none was made.
    std::optional<SunResult> updateDayNight(const Positioning::DateTime& date, double latitude,
                                            double longitude);

    const Positioning::DateTime& sunrise() const { return m_sunrise; }
    // The day of month of the date last computed (0 before the first).
    int dayOfMonth() const { return m_dayOfMonth; }
    const Positioning::DateTime& sunset() const { return m_sunset; }
    // The result of the last computation (Computed before the first).
    SunResult lastResult() const { return m_lastResult; }

    // The map page shifts the stored hours into local time after a
    // computation: each hour becomes (hour + 24 + offset) mod 24.
    void shiftHours(int offsetHours);

    // The flags the map page reads and writes.
    bool day = true;
    bool changed = false;
    bool nightReached = false;
    bool valid = false;

  private:
    Core::ConfigNodePtr m_config;
    bool m_automatic = true;
    Positioning::DateTime m_sunrise;
    Positioning::DateTime m_sunset;
    SunResult m_lastResult = SunResult::Computed;
    int m_dayOfMonth = 0;
};

} // namespace Ui
