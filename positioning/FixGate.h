#pragma once
// Keeps a wild fix out of the program. A receiver now and then reports one
// position far from where it is (a multipath echo, a glitch of its own, a
// damaged pair of sentences whose checksums still match); taken in, it puts
// a straight line hundreds of kilometres long into the track, resets the car
// tracker's filter and drags the map there. The gate passes a valid fix on
// only when a vehicle could have driven from the last fix passed on to it in
// the time between them; a receiver that really moved (a cold start far from
// where it was last, a ride on a train with the program running) is followed
// once it reports several fixes in a row that agree with each other.
// A fix that no car can have is kept out whatever its place: a speed below
// 0 or above the gate's, a course outside 0 to 360 degrees, a place off the
// globe (a receiver's damaged sentence with a good checksum; a speed of 1e9
// knots threw the driver's view out to the widest scale).
//
// Not thread-safe: Positioning::System calls it under its own mutex.

#include "positioning/Fix.h"

#include <cstdint>
#include <optional>

namespace Positioning {

struct FixGateRule {
    // Faster than any car drives (360 km/h).
    float maxMetresPerSecond = 100.0f;
    // Allowed on top of the distance driven: the scatter of a receiver's
    // positions (tens of metres in a street canyon, more while it starts up),
    // and steps of a recording played faster than it was recorded.
    float slackMetres = 100.0f;
    // Fixes in a row, each reachable from the one before, that the gate takes
    // for a real move; the last of them is passed on and anchors the gate.
    int fixesToMove = 5;
    // Or as few as fewestToMove that span moveMs: a receiver of one or two
    // fixes a second whose fixes moved for good is followed after a second
    // of them, not after two to five.
    int fewestToMove = 3;
    std::uint32_t moveMs = 1000;
};

class FixGate {
  public:
    struct Verdict {
        bool passed = false;
        // Passed as the last of a run of consistent fixes away from the last
        // fix passed on (fixesToMove of them, or a second's).
        bool moved = false;
        // From the last fix passed on (the anchor) to this one.
        double metres = 0.0;
        std::uint32_t ms = 0;
        // Fixes kept out since the last one passed on, this one included (a
        // moved fix counts those before it).
        int keptOut = 0;
        // Kept out for a speed, course or place no car has; the gate's
        // anchor and run are left as they were.
        bool impossible = false;
    };

    explicit FixGate(FixGateRule rule = {}) : m_rule(rule) {}

    // Judges a valid fix that arrived at `ticksMs` (the positioning clock:
    // the time a receiver's position could change in, which a stream cannot
    // forge). The first possible fix is passed on and anchors the gate.
    Verdict judge(const Fix& fix, std::uint32_t ticksMs);
    // Whether a car can have the fix's speed, course and place.
    bool possible(const Fix& fix) const;

    // Metres between two positions in degrees (on a sphere, accurate to a
    // fraction of a percent at the distances the gate compares).
    static double metresBetween(float latitudeA, float longitudeA, float latitudeB, float longitudeB);

  private:
    struct Seen {
        float latitude = 0.0f;
        float longitude = 0.0f;
        std::uint32_t ticksMs = 0;
    };
    bool reachable(const Seen& from, const Seen& to) const;

    FixGateRule m_rule;
    std::optional<Seen> m_anchor;
    // The last fix kept out, and how many fixes in a row led to it, each
    // reachable from the one before, since the ticks of the first of them.
    std::optional<Seen> m_away;
    int m_awayRun = 0;
    std::uint32_t m_awaySince = 0;
    int m_keptOut = 0;
};

// The gate's ticks for a recording: they follow the fixes' own times (the
// receiver's UTC date and time of each), not the moment a fix arrives, so a
// recording played faster or slower than it was recorded is judged at the
// pace the receiver kept. From one fix to the next the ticks advance by the
// whole seconds between their times: by their dates and times when both
// carry a date, else by their times of day, a step back of more than twelve
// hours being the next day. A fix whose time lies before the last one's
// advances them by nothing.
class FixTimeTicks {
  public:
    std::uint32_t ticksOf(const Fix& fix);

  private:
    std::uint32_t m_ticks = 0;
    std::optional<DateTime> m_last;
};

} // namespace Positioning
