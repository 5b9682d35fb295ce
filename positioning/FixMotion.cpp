#include "positioning/FixMotion.h"

#include "positioning/GroundOffset.h"

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

std::optional<FixMotion::Place> FixMotion::baseline(double now, double atLeast) const {
    for (std::size_t i = 1; i <= m_count; ++i) {
        const Place& p = m_places[(m_next + m_places.size() - i) % m_places.size()];
        const double age = since(p.seconds, now);
        if (age < 0.0 || age > LongestBaselineSeconds) return std::nullopt;
        if (age >= atLeast) return p;
    }
    return std::nullopt;
}

std::optional<FixMotion::Motion> FixMotion::motion(const Fix& fix, double now, double atLeast) const {
    const std::optional<Place> from = baseline(now, atLeast);
    if (!from) return std::nullopt;
    const GroundOffset way = groundOffset(from->latitude, from->longitude, fix.latitude, fix.longitude);
    return Motion{static_cast<float>(std::hypot(way.east, way.north) / since(from->seconds, now)),
                  static_cast<float>(std::fmod(std::atan2(way.east, way.north) * 180.0 / std::numbers::pi + 360.0,
                                               360.0))};
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
    const std::optional<Motion> slow =
        speedStale || courseStale ? motion(fix, now, SpeedBaselineSeconds) : std::nullopt;
    if (slow && speedStale) fix.speed = slow->speed;
    if (slow && courseStale) {
        const std::optional<Motion> last = motion(fix, now, CourseBaselineSeconds);
        fix.courseKnown = slow->speed >= CourseMinSpeed && last.has_value();
        fix.heading = fix.courseKnown ? last->course : 0.0f;
    }
    m_places[m_next] = {now, fix.latitude, fix.longitude};
    m_next = (m_next + 1) % m_places.size();
    if (m_count < m_places.size()) ++m_count;
}

} // namespace Positioning
