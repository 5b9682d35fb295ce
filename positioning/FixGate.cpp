#include "positioning/FixGate.h"

#include "positioning/GroundOffset.h"

#include <algorithm>
#include <cmath>

namespace Positioning {

namespace {

constexpr std::int64_t SecondsPerDay = 86400;

std::int64_t secondOfDay(const DateTime& t) {
    return (std::int64_t{t.hour} * 60 + t.minute) * 60 + t.second;
}

// Whole seconds from one fix's time to the next one's; negative when the
// second lies before the first.
std::int64_t secondsBetween(const DateTime& from, const DateTime& to) {
    const std::uint64_t fromDate = toUnixTime(from);
    const std::uint64_t toDate = toUnixTime(to);
    if (fromDate != 0 && toDate != 0)
        return static_cast<std::int64_t>(toDate) - static_cast<std::int64_t>(fromDate);
    std::int64_t seconds = secondOfDay(to) - secondOfDay(from);
    // A receiver without dates crosses midnight.
    if (seconds < -SecondsPerDay / 2) seconds += SecondsPerDay;
    return seconds;
}

} // namespace

double FixGate::metresBetween(float latitudeA, float longitudeA, float latitudeB, float longitudeB) {
    const GroundOffset way = groundOffset(latitudeA, longitudeA, latitudeB, longitudeB);
    return std::sqrt(way.east * way.east + way.north * way.north);
}

bool FixGate::reachable(const Seen& from, const Seen& to) const {
    const double seconds = static_cast<double>(to.ticksMs - from.ticksMs) * 0.001;
    const double limit = m_rule.slackMetres + m_rule.maxMetresPerSecond * seconds;
    // Not "distance > limit": a position of NaN is never reachable.
    return metresBetween(from.latitude, from.longitude, to.latitude, to.longitude) <= limit;
}

bool FixGate::possible(const Fix& fix) const {
    // Written so that NaN fails each test.
    const bool place = std::abs(fix.latitude) <= 90.0f && std::abs(fix.longitude) <= 180.0f;
    const bool speed = fix.speed >= 0.0f && fix.speed <= m_rule.maxMetresPerSecond;
    const bool course = !fix.courseKnown || (fix.heading >= 0.0f && fix.heading <= 360.0f);
    return place && speed && course;
}

FixGate::Verdict FixGate::judge(const Fix& fix, std::uint32_t ticksMs) {
    const Seen seen{fix.latitude, fix.longitude, ticksMs};
    Verdict verdict;
    if (!possible(fix)) {
        verdict.impossible = true;
        verdict.keptOut = ++m_keptOut;
        return verdict;
    }
    if (!m_anchor) {
        m_anchor = seen;
        verdict.passed = true;
        return verdict;
    }
    verdict.metres = metresBetween(m_anchor->latitude, m_anchor->longitude, seen.latitude, seen.longitude);
    verdict.ms = ticksMs - m_anchor->ticksMs;
    const auto anchor = [&] {
        m_anchor = seen;
        m_away.reset();
        m_awayRun = 0;
        verdict.keptOut = m_keptOut;
        m_keptOut = 0;
        verdict.passed = true;
    };
    if (reachable(*m_anchor, seen)) {
        anchor();
        return verdict;
    }
    m_awayRun = m_away && reachable(*m_away, seen) ? m_awayRun + 1 : 1;
    if (m_awayRun == 1) m_awaySince = ticksMs;
    m_away = seen;
    const bool aSecondOfThem = m_awayRun >= m_rule.fewestToMove && ticksMs - m_awaySince >= m_rule.moveMs;
    if (m_awayRun >= m_rule.fixesToMove || aSecondOfThem) {
        anchor();
        verdict.moved = true;
        return verdict;
    }
    verdict.keptOut = ++m_keptOut;
    return verdict;
}

std::uint32_t FixTimeTicks::ticksOf(const Fix& fix) {
    if (!m_last) {
        m_last = fix.dateTime;
        return m_ticks;
    }
    const std::int64_t seconds = secondsBetween(*m_last, fix.dateTime);
    // Back in time, or within the same second: measured from the newest.
    if (seconds <= 0) return m_ticks;
    m_last = fix.dateTime;
    // The ticks wrap as the machine's count does: the gate subtracts them.
    // No step counts more than 24 days, which any move fits into.
    constexpr std::int64_t MaxSeconds = 0x7FFFFFFF / 1000;
    m_ticks += static_cast<std::uint32_t>(std::min(seconds, MaxSeconds) * 1000);
    return m_ticks;
}

} // namespace Positioning
