#pragma once
// The car's speed and course taken from its successive fixes, for the
// receivers that do not send them: GGA alone (no speed, no course), or RMC
// with empty fields. Without a speed the car tracker's filter takes the car
// for standing and holds it until a fix lies 40 m away, guidance looks no
// way ahead and the sensors read 0 km/h; without a course the car has no
// way to be carried along.
//
// A speed or a course that a sentence gave within the last StaleSeconds of
// the fixes' own times is kept as the receiver sent it: only when none did
// for that long (or ever) is it taken from the fixes. The fixes' times, not
// the machine's clock: a receiver stamps each epoch when it measured it,
// and several epochs may arrive in one read of the port. The baselines are
// times, not counts of fixes: receivers send 1 to 20 fixes a second.
//
// The NMEA device's, under its lock (GPS thread).

#include "positioning/Fix.h"
#include "positioning/NmeaParsers.h"

#include <array>
#include <cstddef>
#include <optional>

namespace Positioning {

class FixMotion {
  public:
    // A sentence of the epoch at `time` gave a speed, a course.
    void given(const NmeaTime& time, bool speed, bool course);
    // The fix about to be told, of the epoch at `time`: its speed and course
    // from the fixes where no sentence gave them lately. Only a way between
    // two fixes longer than their error (the larger HDOP times the UERE)
    // tells a motion: a shorter one may be the receiver's scatter. A fix
    // without such a way to an earlier one within LongestBaselineSeconds
    // (the first, after a gap, a car that stands) has speed 0 and no course,
    // never the ones taken before.
    void complete(Fix& fix, const NmeaTime& time);
    // The receiver's error in metres per unit of HDOP (the filter model's
    // "uere").
    void setUere(float metres) { m_uere = metres; }

    static constexpr double StaleSeconds = 3.0;
    // The speed is taken over two seconds of fixes at least, so that a
    // standing receiver's scatter of a metre or two does not read as
    // walking pace (over one second it read as 5 km/h); the course over one
    // (a fifth of a second at 5 Hz would be scatter again), so that it is
    // no more than half a second late in a turn. At most 5 s, so that a
    // receiver fallen silent does not give the average of the whole gap.
    static constexpr double SpeedBaselineSeconds = 1.95;
    static constexpr double CourseBaselineSeconds = 0.95;
    static constexpr double LongestBaselineSeconds = 5.0;
    // Slower than this (m/s) the way between two fixes is the receiver's
    // scatter more than the car's way: no course.
    static constexpr float CourseMinSpeed = 1.0f;
    // The fixes kept: LongestBaselineSeconds of a receiver sending up to
    // 25 a second; one of a faster receiver is kept only MinSpacingSeconds
    // after the last kept.
    static constexpr std::size_t Kept = 128;
    static constexpr double MinSpacingSeconds = 0.04;

  private:
    struct Place {
        double seconds = 0.0; // of the day
        double latitude = 0.0;
        double longitude = 0.0;
        float hdop = 0.0f;
    };
    struct Motion {
        float speed = 0.0f;  // m/s
        float course = 0.0f; // degrees
    };
    // The way to this fix from the newest earlier one at least `atLeast`
    // seconds before `now` (within LongestBaselineSeconds), when that way is
    // longer than the two fixes' error; with `older`, from the newest one
    // whose way is.
    std::optional<Motion> motion(const Fix& fix, double now, double atLeast, bool older) const;
    const Place& kept(std::size_t back) const { return m_places[(m_next + Kept - back) % Kept]; }

    float m_uere = 5.0f;
    std::optional<double> m_speedGiven; // seconds of the day
    std::optional<double> m_courseGiven;
    // The last fixes told, a ring.
    std::array<Place, Kept> m_places;
    std::size_t m_count = 0;
    std::size_t m_next = 0;
};

} // namespace Positioning
