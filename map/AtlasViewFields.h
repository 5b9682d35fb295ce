#pragma once
// The view fields the atlas keeps for the map view between frames: the
// zoom-step selector saved in camera.kvc, the scale and horizon of the last
// frame, and the three values shared with other threads (redraw request,
// frame state, slow flag), which are taken under the atlas mutex (recursive,
// so a caller holding it may call in). The per-map view records of a frame
// belong to the drawing code's view state, which keeps the same member names.

#include "core/SdlMutex.h"

#include <cstdint>

namespace Map {

class AtlasViewFields {
public:
    static constexpr std::uint32_t NoRedraw = 0;
    static constexpr std::uint32_t SmallRedraw = 1; // rotation, drag
    static constexpr std::uint32_t FullRedraw = 2;  // load, camera change, settings

    explicit AtlasViewFields(Threading::SdlMutex& atlasMutex) : m_mutex(atlasMutex) {}
    AtlasViewFields(const AtlasViewFields&) = delete;
    AtlasViewFields& operator=(const AtlasViewFields&) = delete;

    // Tilt preset selector, 0 to 3, used modulo 3; saved in camera.kvc.
    std::uint32_t zoomStep = 0;
    // The largest rounded screen row of the far ground corners; -1 before
    // the first frame.
    std::int32_t horizonRow = -1;
    float metresPer40Pixels = 0.0f;
    // Bounding box of the visible region in global units: x0, y0, x1, y1.
    std::int32_t globalViewBox[4] = {};

    void requestRedraw() { setRedrawRequest(FullRedraw); }
    void setRedrawRequest(std::uint32_t request) {
        Threading::SdlLock lock(m_mutex);
        m_redrawRequest = request;
    }
    std::uint32_t redrawRequest() const {
        Threading::SdlLock lock(m_mutex);
        return m_redrawRequest;
    }
    // Reads the request and clears it in one step.
    std::uint32_t takeRedrawRequest() {
        Threading::SdlLock lock(m_mutex);
        const std::uint32_t request = m_redrawRequest;
        m_redrawRequest = NoRedraw;
        return request;
    }
    // 0 a fast frame is due, 1 a full frame is due, 2 the frame is complete.
    void setFrameState(std::uint32_t state) {
        Threading::SdlLock lock(m_mutex);
        m_frameState = state;
    }
    std::uint32_t frameState() const {
        Threading::SdlLock lock(m_mutex);
        return m_frameState;
    }
    // The last full frame took more than 150 ms.
    void setSlow(bool slow) {
        Threading::SdlLock lock(m_mutex);
        m_slow = slow ? 1 : 0;
    }
    bool slow() const {
        Threading::SdlLock lock(m_mutex);
        return m_slow != 0;
    }

private:
    Threading::SdlMutex& m_mutex;
    std::uint32_t m_redrawRequest = NoRedraw;
    std::uint32_t m_frameState = 0;
    std::uint8_t m_slow = 0;
};

} // namespace Map
