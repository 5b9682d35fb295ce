#pragma once
// The view state that the atlas keeps for the map view: what the frame
// pipeline and the map camera read and write between frames. The atlas owns
// one and hands it to the camera; anything that changes what the map shows
// asks for a new frame through it.
//
// The redraw request, the frame state and the slow flag are shared with other
// threads and are read and written under the atlas mutex (recursive, so a
// caller already holding it may call in). Everything else belongs to the main
// thread.

#include "core/SdlMutex.h"
#include "map/StateRecord.h"

#include <cstdint>
#include <vector>

namespace Map {

enum RedrawRequest : std::uint32_t {
    NoRedraw = 0,
    SmallRedraw = 1, // rotation, drag
    FullRedraw = 2,  // load, camera change, settings
};

enum FrameState : std::uint32_t {
    FastFrameDue = 0,
    FullFrameDue = 1,
    FrameComplete = 2,
};

struct ViewBox {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
};

class AtlasViewState {
  public:
    explicit AtlasViewState(Threading::SdlMutex& atlasMutex) : m_mutex(atlasMutex) {}
    AtlasViewState(const AtlasViewState&) = delete;
    AtlasViewState& operator=(const AtlasViewState&) = delete;

    // Tilt preset selector, 0 to 3, used modulo 3; saved in the camera file.
    std::uint32_t zoomStep = 0;
    // The largest rounded screen row of the far ground corners of the drawn
    // maps; -1 before the first frame.
    std::int32_t horizonRow = -1;
    // One record per map drawn this frame, in drawing order.
    std::vector<StateRecord> records;
    // The scale: metres per 40 pixels, recomputed every frame.
    float metresPer40Pixels = 0.0f;
    // Bounding box of the visible region in global map units.
    ViewBox globalViewBox;

    // Redraw request := FullRedraw.
    void requestRedraw() { setRedrawRequest(FullRedraw); }
    void setRedrawRequest(std::uint32_t request);
    std::uint32_t redrawRequest() const;
    // Reads the request and clears it in one step (the frame that serves it).
    std::uint32_t takeRedrawRequest();

    void setFrameState(std::uint32_t state);
    std::uint32_t frameState() const;
    void setSlow(bool slow);
    bool slow() const;

    // What unloading the atlas forgets: the records (the selector and the
    // shared values stay).
    void clearRecords() { records.clear(); }

    // Sorts the records into drawing order (world first, city last).
    void sortRecords();

  private:
    Threading::SdlMutex& m_mutex;
    std::uint32_t m_redrawRequest = NoRedraw;
    std::uint32_t m_frameState = FastFrameDue;
    std::uint8_t m_slow = 0;
};

} // namespace Map
