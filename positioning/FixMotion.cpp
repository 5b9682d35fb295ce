#include "positioning/FixMotion.h"

#include "positioning/GroundOffset.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Positioning {

namespace {

constexpr double SecondsADay = 86400.0;

// The seconds from `then` to `now` on a clock that goes round at midnight;
// negative when `now` lies up to half a day before `then` (a recording
// played again from its start).
double since(double then, double now) {
    const double d = std::fmod(now - then + SecondsADay, SecondsADay);
    return d > SecondsADay / 2 ? d - SecondsADay : d;
}

} // namespace

void FixMotion::given(const NmeaTime& time, bool speed, bool course) {
    const double now = time.secondsOfDay();
    if (speed) m_speedGiven = now;
    if (course) m_courseGiven = now;
}

std::optional<FixMotion::Motion> FixMotion::motion(const Fix& fix, double now, double atLeast, bool older) const {
    for (std::size_t back = 1; back <= m_count; ++back) {
        const Place& from = kept(back);
        const double age = since(from.seconds, now);
        if (age < 0.0 || age > LongestBaselineSeconds) return std::nullopt;
        if (age < atLeast) continue;
        const GroundOffset way = groundOffset(from.latitude, from.longitude, fix.latitude, fix.longitude);
        const double metres = std::hypot(way.east, way.north);
        if (!(metres > std::max(fixErrorMetres(from.hdop, m_uere), fixErrorMetres(fix.hdop, m_uere)))) {
            if (older) continue;
            return std::nullopt;
        }
        return Motion{static_cast<float>(metres / age),
                      static_cast<float>(std::fmod(
                          std::atan2(way.east, way.north) * 180.0 / std::numbers::pi + 360.0, 360.0))};
    }
    return std::nullopt;
}

void FixMotion::complete(Fix& fix, const NmeaTime& time) {
    const double now = time.secondsOfDay();
    const bool speedStale = !m_speedGiven || since(*m_speedGiven, now) > StaleSeconds;
    const bool courseStale = !m_courseGiven || since(*m_courseGiven, now) > StaleSeconds;
    // The speed over two seconds, the course over the last one: the way
    // between two fixes a second apart still says where the car goes (a
    // turn's course a second late held the car off its road), but their
    // distance, a metre or two of a standing receiver's scatter, would read
    // as walking pace.
    if (speedStale) {
        // A car slower than the error over two seconds has its speed from
        // an older fix.
        const std::optional<Motion> slow = motion(fix, now, SpeedBaselineSeconds, true);
        fix.speed = slow ? slow->speed : 0.0f;
    }
    if (courseStale) {
        // A course only where the last two seconds' way is longer than the
        // error: an older fix would give one to a car that just turned back
        // (the way from before the turn), and the new route went the way
        // it had come.
        const std::optional<Motion> moving = motion(fix, now, SpeedBaselineSeconds, false);
        const std::optional<Motion> last = moving && moving->speed >= CourseMinSpeed
                                               ? motion(fix, now, CourseBaselineSeconds, true)
                                               : std::nullopt;
        fix.courseKnown = last.has_value();
        fix.heading = last ? last->course : 0.0f;
    }
    // A time back from the last kept (a recording played again) starts the
    // ring afresh; a fix within MinSpacingSeconds of it is not kept.
    if (m_count > 0) {
        const double age = since(kept(1).seconds, now);
        if (age < 0.0) m_count = 0;
        else if (age < MinSpacingSeconds) return;
    }
    m_places[m_next] = {now, fix.latitude, fix.longitude, fix.hdop};
    m_next = (m_next + 1) % Kept;
    if (m_count < Kept) ++m_count;
}

} // namespace Positioning
