#pragma once
// The map page's per-tick use of the day/night state: recomputes sunrise and
// sunset at the car's position once a day, compares the local clock with them
// and switches the display between day and night. The clock, the position and
// the display are reached through the small interfaces below, which the map
// page implements (system clock, GPS fix, map renderer styles).

#include "core/DateTime.h"
#include "ui/DayNight.h"

namespace Ui {

class DayNightSwitch {
  public:
    class Clock {
      public:
        virtual ~Clock() = default;
        virtual Positioning::DateTime localNow() = 0;
        virtual Positioning::DateTime universalNow() = 0;
    };

    class Position {
      public:
        virtual ~Position() = default;
        // The position of the current fix in degrees (north and east
        // positive); false when there is no valid fix.
        virtual bool currentFix(double& latitude, double& longitude) = 0;
    };

    class Display {
      public:
        virtual ~Display() = default;
        // Selects the day (true) or night style set and the renderer's day
        // mode (fdMapRenderer::setDayMode).
        virtual void setDayMode(bool day) = 0;
    };

    DayNightSwitch(DayNight& state, Clock& clock, Position& position, Display& display);

    // One tick: when the automation is on, evaluates the mode against the
    // stored times, or first computes them for today at the current fix when
    // they are missing or a night has passed since; then hands a changed mode
    // to the display.
    void tick();

    // Decides day or night for the local time now (hour, minute) from the
    // stored (local) sunrise and sunset. Switching to day sets the day and
    // changed flags and answers false; switching to night clears the day
    // flag, sets changed and answers true; no change answers false.
    static bool evaluateDayNight(DayNight& state, int hour, int minute);

  private:
    DayNight& m_state;
    Clock& m_clock;
    Position& m_position;
    Display& m_display;
};

} // namespace Ui
