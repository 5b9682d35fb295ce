#pragma once
// The scale and rotation gestures of the map page: input records a held
// direction with its start time, or a one-shot zoom factor; the page's tick
// (and a key release) turns them into one view step whose size follows the
// real time since the previous step, so the speed does not depend on the
// frame rate.

#include <cstdint>

namespace Screens {

// The design's gesture values (pushes and taps of its extras).
struct GestureDeltas {
    float rotationPush = 1.2f; // rot_push delta
    float scalePush = 0.8f;    // scale_push delta
    float scaleFixed = 1.4f;   // scale_fixed delta
};

// One step for fdMapRenderer::moveView.
struct GestureStep {
    float factor = 1.0f;
    float angle = 0.0f; // radians
    bool ran = false;   // a scale or rotation step was computed
};

class MapGestures {
public:
    // Gesture state of a key or button: idle, held, released since the last
    // tick.
    enum State : int { Idle = 0, Held = 1, Released = 2 };

    // +1 rotates left, -1 right; the start is kept while it is set.
    void holdRotation(int direction, std::uint32_t nowMs);
    // +1 scales up, -1 down.
    void holdScale(int direction, std::uint32_t nowMs);
    // One fixed step more before the next tick takes them (a wheel notch, a
    // zoom key's tap): notches that come within one tick all count.
    void addOneShot(float factor) { m_oneShot = m_oneShot == 0.0f ? factor : m_oneShot * factor; }

    // The tick's use of the four states: held states keep their direction
    // running, released ones give one last step (with fixedSteps, a
    // released scale button gives one scale_fixed step instead) and go
    // idle. True when any state was set.
    bool applyStates(std::uint32_t nowMs, bool fixedSteps, const GestureDeltas& deltas);

    // Takes the pending step. dt is the time since the start, clamped to 1
    // to 100 ms. In the tick (restart) the start times move to now, so a
    // held direction measures from this step; on a key release they are
    // cleared.
    GestureStep take(std::uint32_t nowMs, const GestureDeltas& deltas, bool restart);

    int rotateLeft = Idle, rotateRight = Idle, scaleUp = Idle, scaleDown = Idle;

    int rotationDirection() const { return m_rotationDirection; }
    int scaleDirection() const { return m_scaleDirection; }
    float oneShot() const { return m_oneShot; }

private:
    int m_rotationDirection = 0;
    std::uint32_t m_rotationStart = 0;
    int m_scaleDirection = 0;
    std::uint32_t m_scaleStart = 0;
    float m_oneShot = 0.0f;
};

} // namespace Screens
