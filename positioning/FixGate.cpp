#include "positioning/FixGate.h"

#include <cmath>

namespace Positioning {

namespace {

constexpr double EarthRadiusMetres = 6371000.0;
constexpr double RadiansPerDegree = 3.14159265358979323846 / 180.0;

} // namespace

double FixGate::metresBetween(float latitudeA, float longitudeA, float latitudeB, float longitudeB) {
    double east = static_cast<double>(longitudeB) - longitudeA;
    // Across the antimeridian the short way round.
    if (east > 180.0) east -= 360.0;
    if (east < -180.0) east += 360.0;
    const double north = static_cast<double>(latitudeB) - latitudeA;
    const double meanLatitude = (static_cast<double>(latitudeA) + latitudeB) * 0.5 * RadiansPerDegree;
    east *= std::cos(meanLatitude);
    return std::sqrt(east * east + north * north) * RadiansPerDegree * EarthRadiusMetres;
}

bool FixGate::reachable(const Seen& from, const Seen& to) const {
    const double seconds = static_cast<double>(to.ticksMs - from.ticksMs) * 0.001;
    const double limit = m_rule.slackMetres + m_rule.maxMetresPerSecond * seconds;
    // Not "distance > limit": a position of NaN is never reachable.
    return metresBetween(from.latitude, from.longitude, to.latitude, to.longitude) <= limit;
}

FixGate::Verdict FixGate::judge(const Fix& fix, std::uint32_t ticksMs) {
    const Seen seen{fix.latitude, fix.longitude, ticksMs};
    Verdict verdict;
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
    m_away = seen;
    if (m_awayRun >= m_rule.fixesToMove) {
        anchor();
        verdict.moved = true;
        return verdict;
    }
    verdict.keptOut = ++m_keptOut;
    return verdict;
}

} // namespace Positioning
