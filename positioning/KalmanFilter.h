#pragma once
// Smoothing of GPS fixes for the car tracker: a four-state Kalman filter over
// position and velocity in the level-local float units of one map level.
// Each fix measures both position and velocity (the velocity derived from the
// fix's speed and heading, so headings never wrap here); between fixes the
// position is extrapolated from the elapsed ticks, so the car moves at frame
// rate while fixes arrive once a second. Where the course turns round the
// filtered position is kept within four of the fix's errors of it; a
// standing car goes to where its fixes show it stands and is held there
// while they only scatter about it, and one that sets off again starts
// from its fix (see update).
//
// Not thread-safe: the car tracker serialises access under its own mutex.

#include "core/ConfigNode.h"
#include "map/LevelFrame.h"
#include "positioning/Clock.h"
#include "positioning/detail/LineSums.h"
#include "positioning/detail/Matrix4.h"

#include <cstdint>
#include <optional>

namespace Positioning {

// The receiver's error per unit of HDOP in metres: the "uere" of the car's
// "Model" node (created with its default when missing). The filter, the
// positioning system and guidance read it here alone.
float modelUere(Core::ConfigNode& model);

class KalmanFilter {
  public:
    // The clock gives the ticks of fixes and predictions; it must outlive the
    // filter.
    explicit KalmanFilter(const Clock& clock = systemClock());

    // Reads the noise model from the car's "Model" node (missing keys are
    // created with their defaults), stores the tracker's minimum speed and
    // forgets any earlier fix. A "scale_k" of 0 or less would divide by zero
    // and is replaced by its default, with a logged warning.
    void readModel(Core::ConfigNode& model, float minSpeed);

    // Takes in one fix. Position in level-local units, velocity in those units
    // per second, speed in metres per second, accuracy the fix's dilution of
    // precision, unitsPerMetre the level units per metre at the fix. Without
    // a course the velocity is not measured: it is learnt from the positions.
    // A fix with a non-finite number, a negative accuracy or speed, or a unit
    // factor that is not positive is ignored (logged) and changes nothing.
    void update(Map::LocalPoint position, Map::LocalPoint velocity, float speed, float accuracy,
                float unitsPerMetre, bool velocityMeasured = true);

    // The filtered position extrapolated to the clock's current ticks. Before
    // the first fix: the origin.
    Map::LocalPoint predict() const;

    // The filtered state as of the last fix.
    Map::LocalPoint position() const { return {x, y}; }
    Map::LocalPoint velocity() const { return {vx, vy}; }
    bool hasFix() const { return m_hasFix; }
    std::uint32_t lastFixTicks() const { return lastTicks; }
    const detail::Matrix4& covariance() const { return P; }

    float minimumSpeed() const { return minSpeed; }
    float scale() const { return scaleK; }
    float maximumDeviation() const { return maxDeviation; }
    // The receiver's error per unit of HDOP ("uere").
    float positionError() const { return uere; }

  private:
    void reset(Map::LocalPoint position, Map::LocalPoint velocity, std::uint32_t now);
    // A fix of a standing car: its place goes toward its fixes, or is held;
    // one whose fixes creep on is followed.
    void standingStep(Map::LocalPoint fix, float unitsPerMetre);
    // Whether the standing car's fixes of the last seconds go one way along
    // a straight line, far beyond their distances from it; where the line
    // puts the car now, in `at`.
    bool creeps(float unitsPerMetre, Map::LocalPoint& at) const;
    bool stateFinite() const;

    const Clock& m_clock;

    float x = 0.0f;
    float y = 0.0f;
    float vx = 0.0f;
    float vy = 0.0f;
    // Ticks of the last fix taken in. Whether there was one is kept apart in
    // m_hasFix: the tick count may well read 0 at a fix (it wraps).
    std::uint32_t lastTicks = 0;
    bool m_hasFix = false;
    detail::Matrix4 Q;
    detail::Matrix4 R;
    detail::Matrix4 P;
    detail::Matrix4 I = detail::Matrix4::identity();
    detail::Vector4 s{}; // (vx, vy, x, y) / scaleK
    float uere = 5.0f;
    float uereVel = 0.5f;
    float chaccelToVel = 1.0f;
    float scaleK = 1024.0f;
    float invScaleK = 1.0f / 1024.0f;
    float maxDeviation = 40.0f;
    float minSpeed = 1.0f;
    // Fixes taken in since the car stopped (0 while it moves), the ticks of
    // the first, and their sums about it (level units), for their spread.
    std::uint32_t m_standingFixes = 0;
    // The filter's velocity when it last lay within its drift of its fix
    // (none: take the prediction's).
    std::optional<Map::LocalPoint> m_turnFrom;
    std::uint32_t m_standSinceTicks = 0;
    Map::LocalPoint m_standOrigin;
    Map::LocalPoint m_standRecent; // the fixes of about the last second
    double m_standSum[2] = {0.0, 0.0};
    double m_standSquares = 0.0;
    std::uint32_t m_spreadFixes = 0; // in those sums
    // The standing car's fixes, each weighed down by e in CreepSeconds, for
    // the straight line that fits them best: time in seconds since it
    // stopped, places in level units about m_lineOrigin, the first fix
    // since it stopped.
    Map::LocalPoint m_lineOrigin;
    detail::LineSums m_line;
};

} // namespace Positioning
