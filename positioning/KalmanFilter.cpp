#include "positioning/KalmanFilter.h"

#include "core/Log.h"
#include "positioning/Fix.h"

#include <algorithm>
#include <cmath>

namespace Positioning {

using detail::Matrix4;
using detail::Vector4;

namespace {

constexpr int kDefaultScale = 1024;
// The filtered position is kept within this many of the fix's errors
// (uere x dilution) of the fix, and this many metres at least.
constexpr float FixErrors = 4.0f;
constexpr float LeastDriftMetres = 10.0f;
// ... at a fix whose course turned from the filter's by more than the angle
// of this cosine (60 degrees).
constexpr float TurnedCosine = 0.5f;
// The error (m/s) of a velocity no fix measured.
constexpr float UnmeasuredSpeedError = 100.0f;
// A standing car's place goes this share of the way to each fix at least
// for SettleMs after it stopped; then to its fixes of the last
// RecentSeconds or so, while those lie more than HoldSpreads of the
// fixes' spread from it.
constexpr float LeastStandingShare = 0.25f;
constexpr std::uint32_t SettleMs = 3000;
constexpr float RecentSeconds = 1.0f;
constexpr double HoldSpreads = 2.0;
// A standing car creeps when its fixes, weighed down by e in CreepSeconds,
// go one way along a straight line by more than CreepMetres and by more
// than CreepRatio times their root mean square distance from it: a
// receiver's scatter, wandering or drawn afresh, goes that straight far
// less often. It is then taken this share of the way to where the line
// puts it at each fix.
constexpr double CreepSeconds = 3.0;
constexpr double CreepMetres = 1.0;
constexpr double CreepRatio = 8.0;
constexpr float CreepShare = 0.5f;

bool allFinite(std::initializer_list<float> values) {
    for (float v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

} // namespace

float modelUere(Core::ConfigNode& model) { return model.value("uere", 5.0f); }

KalmanFilter::KalmanFilter(const Clock& clock) : m_clock(clock) {}

void KalmanFilter::readModel(Core::ConfigNode& model, float minimumSpeed) {
    minSpeed = minimumSpeed;
    lastTicks = 0;
    m_hasFix = false;
    m_standingFixes = 0;
    uere = modelUere(model);
    uereVel = model.value("uere_vel", 0.5f);
    chaccelToVel = model.value("chaccel_to_vel", 1.0f);
    int scale = model.value("scale_k", kDefaultScale);
    if (scale <= 0) {
        Log::log(Log::Normal, u"Car model: scale_k %d is not positive, using %d", scale, kDefaultScale);
        scale = kDefaultScale;
    }
    scaleK = static_cast<float>(scale);
    invScaleK = 1.0f / scaleK;
    maxDeviation = static_cast<float>(model.value("max_deviation", 40));
}

void KalmanFilter::reset(Map::LocalPoint position, Map::LocalPoint velocity, std::uint32_t now) {
    m_standingFixes = 0;
    m_turnFrom.reset();
    P = Matrix4{};
    I = Matrix4::identity();
    // The state's velocity starts from the measured one, as the shown one
    // does: starting it at zero would put the next step's prediction one
    // fix interval behind the car, and with no position uncertainty yet the
    // filter would keep that lag for many fixes.
    s = {velocity.x * invScaleK, velocity.y * invScaleK, position.x * invScaleK, position.y * invScaleK};
    x = position.x;
    y = position.y;
    vx = velocity.x;
    vy = velocity.y;
    lastTicks = now;
    m_hasFix = true;
}

bool KalmanFilter::stateFinite() const {
    return allFinite({s[0], s[1], s[2], s[3]}) && P.finite();
}

void KalmanFilter::update(Map::LocalPoint position, Map::LocalPoint velocity, float speed, float accuracy,
                          float unitsPerMetre, bool velocityMeasured) {
    if (!allFinite({position.x, position.y, velocity.x, velocity.y, speed, accuracy, unitsPerMetre}) ||
        speed < 0.0f || accuracy < 0.0f || unitsPerMetre <= 0.0f) {
        Log::log(Log::Info, u"Car filter: fix ignored (speed %f, accuracy %f, units per metre %f)", speed,
                 accuracy, unitsPerMetre);
        return;
    }

    const std::uint32_t now = m_clock.ticksMs();
    const float dt = static_cast<float>(now - lastTicks) * 0.001f;
    const float dx = position.x - (x + vx * dt);
    const float dy = position.y - (y + vy * dt);
    // A fix farther off the prediction than max_deviation or its scatter,
    // whichever is the larger (Positioning::scatterMetres, which has a
    // ceiling), is a jump: the filter starts again from it. One within is
    // weighed as any.
    const float limit = std::max(maxDeviation, scatterMetres(accuracy, uere)) * unitsPerMetre;
    // Written so that a NaN innovation (an overflowing prediction) resets too.
    const bool jumped =
        !(std::fabs(dx) <= limit) || !(std::fabs(dy) <= limit) || !(dx * dx + dy * dy <= limit * limit);
    if (!m_hasFix || !stateFinite() || jumped) {
        reset(position, velocity, now);
        return;
    }

    if (!(speed > minSpeed)) {
        m_turnFrom.reset();
        standingStep(position, unitsPerMetre);
        s = {0.0f, 0.0f, x * invScaleK, y * invScaleK};
        vx = 0.0f;
        vy = 0.0f;
        lastTicks = now;
        return;
    }
    if (m_standingFixes > 0) {
        // Setting off: the car starts from its fix. Its motion is seen only
        // after it went some metres, so the place it held is taken as
        // uncertain by the whole way to the fix, however sure the filter
        // was of it.
        const float moved = (dx * dx + dy * dy) * invScaleK * invScaleK;
        P(2, 2) = std::max(P(2, 2), moved);
        P(3, 3) = std::max(P(3, 3), moved);
        m_standingFixes = 0;
    }

    const Matrix4 F = Matrix4::transition(dt);
    const Vector4 sPrior = F * s;
    const float accel = chaccelToVel * invScaleK * dt;
    // A fix without a course measures no velocity: the velocity is learnt
    // from the positions (its measurement weighs nothing), and may change
    // as much as the fix's speed says.
    const float squaredSpeed = velocityMeasured ? velocity.x * velocity.x + velocity.y * velocity.y
                                                : speed * unitsPerMetre * speed * unitsPerMetre;
    const float a = accel * accel * squaredSpeed;
    // The prediction runs on a straight line at the last velocity; a car
    // whose measured velocity has changed since went some way between the
    // two, about half the change times the interval off that line (at a
    // corner, taken between two fixes a second apart, metres). Its position
    // is that much less sure: sure of it, the filter lay 10 m beside its
    // road for seconds after each corner at 1 Hz.
    float turn = 0.0f;
    if (velocityMeasured) {
        const float dvx = velocity.x * invScaleK - sPrior[0];
        const float dvy = velocity.y * invScaleK - sPrior[1];
        turn = (dvx * dvx + dvy * dvy) * dt * dt * 0.25f;
    }
    Q = Matrix4::diagonal(a, a, turn, turn);
    const float b =
        invScaleK * (velocityMeasured ? uereVel * accuracy : UnmeasuredSpeedError) * unitsPerMetre;
    const float c = invScaleK * uere * accuracy * unitsPerMetre;
    R = Matrix4::diagonal(b * b, b * b, c * c, c * c);
    const Vector4 z{velocityMeasured ? velocity.x * invScaleK : sPrior[0],
                    velocityMeasured ? velocity.y * invScaleK : sPrior[1], position.x * invScaleK,
                    position.y * invScaleK};

    const Matrix4 pPrior = F * P * F.transposed() + Q;
    const std::optional<Matrix4> sInverse = (pPrior + R).inverse();
    if (!sInverse) {
        // No uncertainty on either side (a dilution of precision of 0 right
        // after a reset): the measurement is taken as it stands.
        Log::log(Log::Info, u"Car filter: singular innovation covariance, taking the fix as it is");
        reset(position, velocity, now);
        return;
    }
    const Matrix4 K = pPrior * *sInverse;
    Vector4 residual{};
    for (int i = 0; i < 4; ++i)
        residual[i] = z[i] - sPrior[i];
    const Vector4 correction = K * residual;
    Vector4 sPosterior{};
    for (int i = 0; i < 4; ++i)
        sPosterior[i] = sPrior[i] + correction[i];
    const Matrix4 pPosterior = (I - K) * pPrior;

    if (!allFinite({sPosterior[0], sPosterior[1], sPosterior[2], sPosterior[3]}) || !pPosterior.finite()) {
        Log::log(Log::Info, u"Car filter: step overflowed, taking the fix as it is");
        reset(position, velocity, now);
        return;
    }
    s = sPosterior;
    P = pPosterior;
    lastTicks = now;
    vx = s[0] * scaleK;
    vy = s[1] * scaleK;
    x = s[2] * scaleK;
    y = s[3] * scaleK;
    // The filter trusts the velocity far more than the positions. At a fix
    // whose course turned by more than 60 degrees from the filter's, a
    // filtered position still farther from it than a fix is ever off is
    // taken as the fix's: a slow car turned round (its velocity changed
    // too little to loosen the position much) was held metres off its
    // road, and the tracker put it on another. The turn is counted from
    // the course the filter had when it last lay near its fix, not from
    // the last fix's: at 10 fixes a second no fix turns by a right angle
    // from the one before.
    const float drift = std::max(FixErrors * uere * accuracy, LeastDriftMetres) * unitsPerMetre;
    const bool near =
        (position.x - x) * (position.x - x) + (position.y - y) * (position.y - y) <= drift * drift;
    if (!m_turnFrom) m_turnFrom = Map::LocalPoint{sPrior[0], sPrior[1]};
    const float turned = m_turnFrom->x * velocity.x + m_turnFrom->y * velocity.y;
    const float lengths = std::hypot(m_turnFrom->x, m_turnFrom->y) * std::hypot(velocity.x, velocity.y);
    const bool turnedRound = velocityMeasured && turned < TurnedCosine * lengths;
    if (turnedRound && !near) {
        x = position.x;
        y = position.y;
        s[2] = x * invScaleK;
        s[3] = y * invScaleK;
    }
    if (near || turnedRound || !velocityMeasured) m_turnFrom = Map::LocalPoint{s[0], s[1]};
}

void KalmanFilter::standingStep(Map::LocalPoint fix, float unitsPerMetre) {
    // The motion stops, and the car goes from where it was last shown (the
    // prediction for now) toward where its fixes show it stands: a half, a
    // third, ... of the way at each fix, a quarter at least, toward each
    // fix for the first SettleMs, then toward its fixes of about the last
    // RecentSeconds (their mean, each weighed down by e in that time), and
    // only while that lies beyond HoldSpreads of the spread of the fixes
    // since it stopped (their root mean square distance from their mean);
    // within that it is held, so that the map stands still while the fixes
    // scatter. Fixes that creep on are followed instead, and the spread is
    // learned afresh from the fix where the creep is seen: the creep's own
    // way is no scatter.
    const std::uint32_t now = m_clock.ticksMs();
    const float dt = static_cast<float>(now - lastTicks) * 0.001f;
    if (m_standingFixes == 0) {
        x += vx * dt;
        y += vy * dt;
        m_standSinceTicks = now;
        m_standOrigin = fix;
        m_standRecent = fix;
        m_standSum[0] = m_standSum[1] = 0.0;
        m_standSquares = 0.0;
        m_spreadFixes = 0;
        m_line = {};
        m_lineOrigin = fix;
    }
    ++m_standingFixes;
    const double ex = static_cast<double>(fix.x) - m_lineOrigin.x;
    const double ey = static_cast<double>(fix.y) - m_lineOrigin.y;
    const double t = static_cast<double>(now - m_standSinceTicks) * 0.001;
    const double keep = std::exp(-std::max(static_cast<double>(dt), 0.0) / CreepSeconds);
    m_line.add(t, ex, ey, keep);
    const float kept = std::exp(-std::max(dt, 0.0f) / RecentSeconds);
    m_standRecent = {fix.x + (m_standRecent.x - fix.x) * kept, fix.y + (m_standRecent.y - fix.y) * kept};
    const bool settling = now - m_standSinceTicks < SettleMs;
    Map::LocalPoint along;
    if (!settling && creeps(unitsPerMetre, along)) {
        x += (along.x - x) * CreepShare;
        y += (along.y - y) * CreepShare;
        m_standOrigin = fix;
        m_standSum[0] = m_standSum[1] = 0.0;
        m_standSquares = 0.0;
        m_spreadFixes = 0;
        return;
    }
    const double sx = static_cast<double>(fix.x) - m_standOrigin.x;
    const double sy = static_cast<double>(fix.y) - m_standOrigin.y;
    ++m_spreadFixes;
    m_standSum[0] += sx;
    m_standSum[1] += sy;
    m_standSquares += sx * sx + sy * sy;
    const double n = m_spreadFixes;
    const double meanX = m_standSum[0] / n;
    const double meanY = m_standSum[1] / n;
    const double spread2 = std::max(0.0, m_standSquares / n - meanX * meanX - meanY * meanY);
    const double share = std::max(1.0 / (m_standingFixes + 1.0), static_cast<double>(LeastStandingShare));
    const Map::LocalPoint to = settling ? fix : m_standRecent;
    const double offX = static_cast<double>(to.x) - x;
    const double offY = static_cast<double>(to.y) - y;
    if (!settling && !(offX * offX + offY * offY > HoldSpreads * HoldSpreads * spread2)) return;
    x += static_cast<float>(offX * share);
    y += static_cast<float>(offY * share);
}

bool KalmanFilter::creeps(float unitsPerMetre, Map::LocalPoint& at) const {
    const detail::LineSums& l = m_line;
    const double spanT = l.timeSpread();
    if (l.w < 3.0 || !(spanT > 0.0)) return false;
    const double slopeX = l.alongX() / spanT;
    const double slopeY = l.alongY() / spanT;
    const double slope2 = slopeX * slopeX + slopeY * slopeY;
    // The way along the line over two of the times' spreads about their
    // mean, and the mean square distance of the fixes from it.
    const double way2 = slope2 * 4.0 * spanT / l.w;
    const double off2 = std::max(0.0, l.ss - (l.x * l.x + l.y * l.y) / l.w - slope2 * spanT) / l.w;
    const double least = CreepMetres * unitsPerMetre;
    if (!(way2 > least * least) || !(way2 > CreepRatio * CreepRatio * off2)) return false;
    const double now = static_cast<double>(m_clock.ticksMs() - m_standSinceTicks) * 0.001 - l.t / l.w;
    at = {static_cast<float>(m_lineOrigin.x + l.x / l.w + slopeX * now),
          static_cast<float>(m_lineOrigin.y + l.y / l.w + slopeY * now)};
    return true;
}

Map::LocalPoint KalmanFilter::predict() const {
    if (!m_hasFix) return {x, y};
    const float dt = static_cast<float>(m_clock.ticksMs() - lastTicks) * 0.001f;
    return {x + vx * dt, y + vy * dt};
}

} // namespace Positioning
