#pragma once
// Decides once per map which gathered captions fit without overlapping the
// ones already placed, and draws them: 2D road captions turned along their
// segment, POI captions level, 3D road captions as boxed labels above their
// road with a leader line.

#include "render/CaptionCache.h"
#include "render/CaptionRoom.h"
#include "render/Canvas.h"
#include "render/DrawRecord.h"
#include "render/Font.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct SDL_Surface;
class TempSurface;

namespace Render {

class CaptionTexts;

// The boxed labels' look, owned by the design: how far a label sits above
// its road, and its fill colour (0x00BBGGRR; the top byte is ignored).
struct LabelStyle {
    std::int32_t raise = 0;
    std::uint32_t fill = 0x00FFFFFF;
};

// Turns a surface by the angle of the given sine and cosine into a new
// surface (the caller frees it); null on failure.
using SurfaceRotator = std::function<SDL_Surface*(SDL_Surface* source, float sine, float cosine)>;

class CaptionPlacer {
  public:
    // placed and table belong to the map renderer; captionSurface to the
    // atlas's draw buffers.
    CaptionPlacer(SDL_Surface* target, Font& font, CaptionTexts& texts, TempSurface& captionSurface,
                  Caption3dTable& table, std::vector<DrawRecord*>& placed);

    bool view3d = false;
    xe::Point focus; // the car's place on the screen
    LabelStyle label;
    SurfaceRotator rotate;        // Render::rotateSurface unless replaced
    std::int32_t labelsDrawn = 0; // boxed 3D labels drawn by place()
    // Pictures of captions kept across frames (the caller's, started each
    // frame); none when null. Only for the default rotation.
    CaptionCache* cache = nullptr;
    // When given, place() appends the box of every caption and label it
    // draws, so that what is drawn over the map afterwards can keep clear.
    std::vector<OrientedBox>* drawnBoxes = nullptr;
    // The POI icons drawn in the frame so far: no caption or label covers
    // one, but a POI caption may meet its own icon.
    const std::vector<IconBox>* icons = nullptr;

    // Tries the candidates from the last to the first, each at its own
    // place, then those that found it taken once more, moving; then, in 3D,
    // hides crossing and farther table entries and draws the rest as labels
    // the same way, a caption's farther pieces tried when its nearest one
    // has no room.
    void place(DrawRecord** begin, DrawRecord** end);
    // One candidate: placed and drawn, or false. A POI's name has one
    // place, a road's name first the point of its chosen segment nearest
    // the focus point. When that is taken and moving is on, the name slides
    // along that segment, then along its spare segments (longest first),
    // to the clear spot nearest the focus point.
    bool placeCaption(DrawRecord& record, bool moving = true);
    // One 3D table entry as a boxed label above its midpoint; false when
    // skipped. When that place is taken (by a label or an icon) and moving
    // is on, the label moves (slideLabel); then a piece hidden only because
    // a nearer piece of its caption was to have the label (spare) may be
    // drawn too.
    bool drawBoxedCaption(int index, bool moving = true);

  private:
    // A caption's turn along its segment: the cosine and sine of its angle
    // and the half sizes of the turned picture.
    struct Turn {
        float cosine = 1.0f;
        float sine = 0.0f;
        std::int32_t halfWidth = 0;
        std::int32_t halfHeight = 0;
    };

    // A boxed label (left, top, width, height) and the point its leader
    // rises from up to the label's bottom edge.
    struct LabelBox {
        std::int32_t x = 0, y = 0, width = 0, height = 0;
        std::int32_t anchorX = 0, anchorY = 0;

        OrientedBox box() const;
        // The leader: the column of pixels from the anchor to the label.
        OrientedBox leader() const;
        // The boxes overlap (touching counts) or a leader crosses the other box.
        bool meets(const LabelBox& other) const;
    };

    // What became of a caption: placed and drawn; its places all taken; or
    // without a place (off the target, unreadable, not drawn).
    enum class Placing { Placed, Taken, Dropped };
    // placeCaption(), the text's size given or measured into size.
    Placing tryCaption(DrawRecord& record, bool moving, std::optional<TextSize>& size);
    bool decode(std::uint32_t offset, std::uint32_t length);
    // What a caption's first spot is taken from.
    enum class Spot { PoiBox, ChosenSegment, SpareSegment };
    // Where a caption goes first: a POI's name at its box's centre; a road's
    // at the point of the segment's line nearest the focus point, which must
    // lie on the chosen segment and is moved onto a spare one. False when
    // the segment misses the target or the chosen one that point.
    bool firstSpot(const CaptionSegment& segment, Spot kind, float& centreX, float& centreY) const;
    // The box overlaps no placed caption and covers no icon but ownIcon's.
    bool clear(const OrientedBox& box, const std::uint32_t* ownIcon) const;
    // The boxes in the way (the placed captions, or the labels drawn and
    // their leaders; and the icons) that reach into the area, into m_room,
    // for the moves of one caption.
    void gatherRoom(const CaptionRoom::Area& area, bool amongLabels);
    // Moves a road name's box along its segment to the clear spot nearest
    // where it stands, its centre on the segment or the name over all of
    // it; false (the box moved) when the segment has none.
    bool slide(OrientedBox& box, const CaptionSegment& segment);
    // Draws the text at the record's box.
    bool drawCaption(const DrawRecord& record, const TextSize& size, const Turn& turn, bool turned);
    // True when the box covers an icon other than those of ownCaption.
    bool coversIcon(const OrientedBox& box, const std::uint32_t* ownCaption) const;
    void hideCrossings();
    void keepNearest();
    // Counts the label drawn last and keeps its box.
    void noteLabel();
    // The entry's label meets no label drawn, and neither it nor its leader
    // up from the anchor covers an icon.
    bool labelClear(const LabelBox& label) const;
    // Moves the label sideways over its anchor, else raises it, else moves
    // it along the entry's piece, to the clear place nearest; false (the
    // label moved) when none is clear.
    bool slideLabel(LabelBox& moved, const Caption3dEntry& entry);

    SDL_Surface* m_target;
    Font& m_font;
    CaptionTexts& m_texts;
    TempSurface& m_captionSurface;
    Caption3dTable& m_table;
    std::vector<DrawRecord*>& m_placed;
    std::u16string m_text;
    CaptionCache::Key m_key;
    CaptionRoom m_room;
    std::vector<LabelBox> m_labels; // the labels drawn in this placing
    std::vector<int> m_pieces;      // place()'s scratch
    // Road names whose place was taken, and their text's size.
    struct Waiting {
        DrawRecord* record;
        TextSize size;
    };
    std::vector<Waiting> m_waiting;
};

// The end of a map's caption layer: places the candidates, clears the
// placed mark of the 3D table's records and detaches every record from its
// caption slot, so no caption table keeps a record between frames.
class AtlasDrawBuffers;
void finishCaptions(AtlasDrawBuffers& buffers, CaptionPlacer& placer, Caption3dTable& table);

} // namespace Render
