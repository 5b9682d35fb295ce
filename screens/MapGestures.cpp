#include "screens/MapGestures.h"

#include <algorithm>
#include <cmath>

namespace Screens {

namespace {

float clampedSeconds(std::uint32_t nowMs, std::uint32_t startMs) {
    const std::uint32_t dt = std::clamp<std::uint32_t>(nowMs - startMs, 1, 100);
    return static_cast<float>(dt) / 1000.0f;
}

} // namespace

void MapGestures::holdRotation(int direction, std::uint32_t nowMs) {
    m_rotationDirection = direction;
    if (m_rotationStart == 0)
        m_rotationStart = nowMs;
}

void MapGestures::holdScale(int direction, std::uint32_t nowMs) {
    m_scaleDirection = direction;
    if (m_scaleStart == 0)
        m_scaleStart = nowMs;
}

bool MapGestures::applyStates(std::uint32_t nowMs, bool fixedSteps, const GestureDeltas& deltas) {
    bool any = false;
    const auto rotation = [&](int& state, int direction) {
        if (state == Idle)
            return;
        holdRotation(direction, nowMs);
        if (state == Released)
            state = Idle;
        any = true;
    };
    rotation(rotateLeft, +1);
    rotation(rotateRight, -1);
    const auto scale = [&](int& state, int direction, float fixed) {
        if (state == Idle)
            return;
        if (state == Held || !fixedSteps)
            holdScale(direction, nowMs);
        else
            m_oneShot = fixed;
        if (state == Released)
            state = Idle;
        any = true;
    };
    scale(scaleUp, +1, deltas.scaleFixed);
    scale(scaleDown, -1, 1.0f / deltas.scaleFixed);
    return any;
}

GestureStep MapGestures::take(std::uint32_t nowMs, const GestureDeltas& deltas, bool restart) {
    GestureStep step;
    if (m_scaleDirection != 0 || m_oneShot != 0.0f) {
        // A wheel notch alone carries no direction: only a held direction
        // adds a timed step (a stale start would otherwise zoom in).
        if (m_scaleDirection != 0 && m_scaleStart != 0) {
            const float sign = m_scaleDirection < 0 ? -1.0f : 1.0f;
            step.factor = std::exp(sign * deltas.scalePush * clampedSeconds(nowMs, m_scaleStart));
            m_scaleStart = restart ? nowMs : 0;
        }
        m_scaleDirection = 0;
        if (m_oneShot != 0.0f) {
            step.factor *= m_oneShot;
            m_oneShot = 0.0f;
        }
        step.ran = true;
    }
    if (m_rotationDirection != 0 && m_rotationStart != 0) {
        const float sign = m_rotationDirection < 0 ? -1.0f : 1.0f;
        step.angle = sign * 4.0f * deltas.rotationPush * clampedSeconds(nowMs, m_rotationStart);
        m_rotationDirection = 0;
        m_rotationStart = restart ? nowMs : 0;
        step.ran = true;
    }
    return step;
}

} // namespace Screens
