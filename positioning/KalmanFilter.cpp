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
        standingStep(position);
        s = {0.0f, 0.0f, x * invScaleK, y * invScaleK};
        vx = 0.0f;
        vy = 0.0f;
        lastTicks = now;
        return;
    }
    if (m_standingFixes > 0) {
        // Setting off. Where the car stood tells no better where it is now
        // than the way its fix lies from there: the motion was seen only
        // after the car had gone some metres, and the fix is moved ahead by
        // the receiver's latency. Without this the filter, sure of the
        // place it held (after a reset it has no uncertainty at all),
        // started the car from there and it ran 20 m behind its fixes for
        // ten seconds.
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
    Q = Matrix4::diagonal(a, a, 0.0f, 0.0f);
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
    // The filter trusts the velocity far more than the positions. Where the
    // course turns round (a hairpin, the more so with a course a second
    // late from a receiver that sends GGA before RMC) the point moved ahead
    // by the latency jumps 20 m from one fix to the next, and the filter
    // followed it at a tenth a fix: it held the car 20 m off its road, and
    // the tracker put it on another. At a fix whose course turned by more
    // than a right angle from the filter's, a filtered position farther
    // from it than a fix is ever off is taken as measured. Not at every
    // fix: in a roundabout at 50 km/h the point moved ahead along the
    // course lies that far off the filter's at each fix, and taken as it
    // was, it threw the car on along the ring a second early.
    const float turned = sPrior[0] * velocity.x + sPrior[1] * velocity.y;
    const float lengths = std::hypot(sPrior[0], sPrior[1]) * std::hypot(velocity.x, velocity.y);
    const bool turnedRound = velocityMeasured && turned < TurnedCosine * lengths;
    const float drift = std::max(FixErrors * uere * accuracy, LeastDriftMetres) * unitsPerMetre;
    if (turnedRound &&
        (position.x - x) * (position.x - x) + (position.y - y) * (position.y - y) > drift * drift) {
        x = position.x;
        y = position.y;
        s[2] = x * invScaleK;
        s[3] = y * invScaleK;
    }
}

void KalmanFilter::standingStep(Map::LocalPoint fix) {
    // Standing: the motion stops, and the car goes from where it was last
    // shown (the prediction for now) toward where its fixes show it
    // stands. It was shown a latency ahead of the fixes while it drove, or
    // behind a filter that lagged: held there, a car that stopped at the
    // finish was drawn metres off it for good, and guidance never arrived.
    // It goes a half, a third, ... of the way at each fix, a quarter at
    // least: for the first seconds toward each fix, then toward where its
    // fixes of about the last second lie (their mean, each weighed down by
    // e in a second), and only while that lies beyond two of the spread of
    // the fixes since it stopped (their root mean square distance from
    // their mean); within that it is held. Stepped toward every fix for as
    // long as it stood, it was drawn a metre or two elsewhere at each one
    // in a receiver's scatter, and the map that follows it never stood
    // still. A car that creeps on, or moves off before its fixes are told
    // moving (in a hairpin their speed came 8 s late), or fixes that agree
    // (no spread), are still followed.
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
    }
    ++m_standingFixes;
    const double ex = static_cast<double>(fix.x) - m_standOrigin.x;
    const double ey = static_cast<double>(fix.y) - m_standOrigin.y;
    m_standSum[0] += ex;
    m_standSum[1] += ey;
    m_standSquares += ex * ex + ey * ey;
    const double n = m_standingFixes;
    const double meanX = m_standSum[0] / n;
    const double meanY = m_standSum[1] / n;
    const double spread2 = std::max(0.0, m_standSquares / n - meanX * meanX - meanY * meanY);
    const float kept = std::exp(-std::max(dt, 0.0f) / RecentSeconds);
    m_standRecent = {fix.x + (m_standRecent.x - fix.x) * kept, fix.y + (m_standRecent.y - fix.y) * kept};
    const double share = std::max(1.0 / (n + 1.0), static_cast<double>(LeastStandingShare));
    const Map::LocalPoint to = now - m_standSinceTicks < SettleMs ? fix : m_standRecent;
    const double offX = static_cast<double>(to.x) - x;
    const double offY = static_cast<double>(to.y) - y;
    if (now - m_standSinceTicks >= SettleMs && !(offX * offX + offY * offY > HoldSpreads * HoldSpreads * spread2))
        return;
    x += static_cast<float>(offX * share);
    y += static_cast<float>(offY * share);
}

Map::LocalPoint KalmanFilter::predict() const {
    if (!m_hasFix) return {x, y};
    const float dt = static_cast<float>(m_clock.ticksMs() - lastTicks) * 0.001f;
    return {x + vx * dt, y + vy * dt};
}

} // namespace Positioning
