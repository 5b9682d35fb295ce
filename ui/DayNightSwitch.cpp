#include "ui/DayNightSwitch.h"

namespace Ui {

namespace {

int minuteOfDay(int hour, int minute) {
    return hour * 60 + minute;
}

} // namespace

DayNightSwitch::DayNightSwitch(DayNight& state, Clock& clock, Position& position, Display& display)
    : m_state(state), m_clock(clock), m_position(position), m_display(display) {}

bool DayNightSwitch::evaluateDayNight(DayNight& state, int hour, int minute) {
    bool day;
    if (state.lastResult() == SunResult::NoSunrise) {
        // The stored times are 23:59:59 and 00:00:00; read as a span they
        // would give one minute of daylight at midnight.
        day = false;
    } else {
        // Whole minutes are compared, not just hours: a day shorter than an
        // hour (rise 06:10, set 06:50) would otherwise count as day all day.
        const int now = minuteOfDay(hour, minute);
        const int rise = minuteOfDay(state.sunrise().hour, state.sunrise().minute);
        const int set = minuteOfDay(state.sunset().hour, state.sunset().minute);
        if (rise < set)
            day = now > rise && now <= set;
        else
            day = now > rise || now <= set;
    }
    if (day && !state.day) {
        state.day = true;
        state.changed = true;
        return false;
    }
    if (!day && state.day) {
        state.day = false;
        state.changed = true;
        return true;
    }
    return false;
}

void DayNightSwitch::tick() {
    if (m_state.automatic()) {
        const Positioning::DateTime local = m_clock.localNow();
        const Positioning::DateTime universal = m_clock.universalNow();
        const int offset = (int(local.hour) - int(universal.hour) + 24) % 24;
        if (m_state.valid && (!m_state.nightReached || m_state.dayOfMonth() == local.day)) {
            if (!m_state.nightReached)
                m_state.nightReached = evaluateDayNight(m_state, local.hour, local.minute);
        } else {
            double latitude = 0.0;
            double longitude = 0.0;
            // Only a computed day counts as valid: a refused date or position
            // is tried again on the next tick.
            if (m_position.currentFix(latitude, longitude) &&
                m_state.updateDayNight(local, latitude, longitude)) {
                m_state.nightReached = false;
                m_state.valid = true;
                m_state.shiftHours(offset);
                evaluateDayNight(m_state, local.hour, local.minute);
            }
        }
    }
    if (m_state.changed) {
        m_display.setDayMode(m_state.day);
        m_state.changed = false;
    }
}

} // namespace Ui
