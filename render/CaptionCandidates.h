#pragma once
// Gathering caption candidates for one map: the caption layer walks the
// visible cells (the frame pipeline's job) and hands each captioned road and
// each named POI to these functions, which keep one record per caption in
// the atlas's draw buffers: in 2D the caption's longest visible segment over
// all its roads (and the next longest as spares), in 3D one table entry per
// road piece (its segment nearest the car), for POIs the text box under the
// icon.

#include "render/AtlasDrawBuffers.h"
#include "render/Canvas.h"
#include "render/CaptionGeometry.h"
#include "render/DrawRecord.h"
#include "render/StyleSet.h"

#include <array>

#include <cstdint>

namespace Render {

enum class CandidateResult {
    Added,    // the caption has (or improved) its candidate
    Skipped,  // nothing of it is shown; go on with the next item
    PoolFull, // no record left: the rest of the road group gets none either
    TableFull // the 3D caption table is full: stop gathering 3D road captions
};

// Map-to-screen projection of the 3D view for one cell (the camera seam):
// a decoded point relative to the cell origin, its coordinates read as
// unsigned, to rounded screen pixels; false when it cannot be placed
// (outside the near/far range). The map camera's projectAnchor of the point
// (float(x), float(y)) is exactly this.
class CaptionProjection {
  public:
    virtual ~CaptionProjection() = default;
    virtual bool project(std::uint32_t x, std::uint32_t y, xe::Point& screen) const = 0;
};

// The rectangle road segments are clipped to: the canvas clip rectangle
// with its bottom raised by 10 pixels.
ClipBox roadCaptionClip(const xe::Canvas& canvas);

// Step one of a map's caption layer: the map's texts and the frame's
// rounded scale are stored, the candidate list, the 3D table and the record
// pool are emptied.
void beginCaptions(AtlasDrawBuffers& buffers, CaptionTexts& texts, std::int32_t scale, Caption3dTable& table);

// A road in 2D; its points already on the screen (the camera's affine
// transform, each coordinate floored after adding 0.5).
CandidateResult addRoadCaption2d(AtlasDrawBuffers& buffers, const CaptionSlot& slot, const xe::Point* screen,
                                 int count, const ClipBox& clip);

// A road in 3D; its decoded level points, projected here. Adds one table
// entry for the road's visible segment whose clipped midpoint lies nearest
// the focus point (the car on the screen).
CandidateResult addRoadCaption3d(AtlasDrawBuffers& buffers, Caption3dTable& table, const CaptionSlot& slot,
                                 const xe::Point* level, int count, const CaptionProjection& projection,
                                 const xe::Point& focus, const ClipBox& clip);

// The road captions of one polyline group of a cell. A polyline is
// captioned when its type's caption flag and line flag are both on and the
// rounded scale lies within its style's scale and caption scale bounds; a
// type whose lines are hidden loses only its own captions, the group goes
// on. Once the record pool runs out the rest of the group gets none.
class RoadCaptionGroup {
  public:
    // 256 one-byte flags each, by polyline type; the active set's polyline
    // styles.
    RoadCaptionGroup(const std::uint8_t* showText, const std::uint8_t* showLine,
                     const std::array<PolylineStyle, 256>& styles, std::int32_t scale)
        : m_showText(showText), m_showLine(showLine), m_styles(styles), m_scale(scale) {}

    bool shown(std::uint8_t type) const {
        const PolylineStyle& style = m_styles[type];
        return m_showText[type] && m_showLine[type] &&
               withinScales(style.minScale, style.maxScale, m_scale) &&
               withinScales(style.minCaptionScale, style.maxCaptionScale, m_scale);
    }
    CandidateResult add2d(AtlasDrawBuffers& buffers, std::uint8_t type, const CaptionSlot& slot,
                          const xe::Point* screen, int count, const ClipBox& clip);
    CandidateResult add3d(AtlasDrawBuffers& buffers, Caption3dTable& table, std::uint8_t type,
                          const CaptionSlot& slot, const xe::Point* level, int count,
                          const CaptionProjection& projection, const xe::Point& focus, const ClipBox& clip);
    // The pool ran out (2D and 3D) or the 3D table filled up.
    bool finished() const { return m_finished; }

  private:
    const std::uint8_t* m_showText;
    const std::uint8_t* m_showLine;
    const std::array<PolylineStyle, 256>& m_styles;
    std::int32_t m_scale;
    bool m_finished = false;
};

// A POI whose style has an icon and whose type is shown (the caller has
// checked both, and the style's scale bounds).
struct PoiCaption {
    bool projected = false; // the point could be placed on the screen
    xe::Point screen;       // where
    std::int32_t iconHeight = 0;
    bool hasPoiCursor = false; // the design's "poi" cursor places icons
    std::int32_t cursorOffsetY = 0;
    std::uint32_t textColour = 0; // the style's 0x00BBGGRR colours
    std::uint32_t haloColour = 0;
};

// Whether a POI of this style gets a caption at the rounded scale: the style
// exists and has an icon, the type is shown, and the scale lies within the
// style's scale and caption scale bounds.
inline bool poiCaptionShown(const PoiStyle* style, bool typeShown, std::int32_t scale) {
    return style && style->icon && typeShown && style->visibleAt(scale) && style->captionVisibleAt(scale);
}

// Texts of 21 bytes or more are not shown. In 3D a box whose top lies above
// the horizon row is dropped.
CandidateResult addPoiCaption(AtlasDrawBuffers& buffers, const CaptionSlot& slot, const PoiCaption& poi,
                              const xe::Canvas& canvas, bool view3d);

} // namespace Render
