#pragma once
// Decides once per map which gathered captions fit without overlapping the
// ones already placed, and draws them: 2D road captions turned along their
// segment, POI captions level, 3D road captions as boxed labels above their
// road with a leader line.

#include "render/CaptionCache.h"
#include "render/Canvas.h"
#include "render/DrawRecord.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SDL_Surface;
class TempSurface;

namespace Render {

class Font;
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

    // Tries the candidates from the last to the first, then, in 3D, hides
    // crossing and farther table entries and draws the rest as labels.
    void place(DrawRecord** begin, DrawRecord** end);
    // One candidate: placed, drawn and marked, or false.
    bool placeCaption(DrawRecord& record);
    // One 3D table entry as a boxed label; false when skipped.
    bool drawBoxedCaption(int index);

  private:
    bool decode(std::uint32_t offset, std::uint32_t length);
    // True when the box covers an icon other than those of ownCaption.
    bool coversIcon(const OrientedBox& box, const std::uint32_t* ownCaption) const;
    void hideCrossings();
    void keepNearest();

    SDL_Surface* m_target;
    Font& m_font;
    CaptionTexts& m_texts;
    TempSurface& m_captionSurface;
    Caption3dTable& m_table;
    std::vector<DrawRecord*>& m_placed;
    std::u16string m_text;
    CaptionCache::Key m_key;
};

// The end of a map's caption layer: places the candidates, clears the
// placed mark of the 3D table's records and detaches every record from its
// caption slot, so no caption table keeps a record between frames.
class AtlasDrawBuffers;
void finishCaptions(AtlasDrawBuffers& buffers, CaptionPlacer& placer, Caption3dTable& table);

} // namespace Render
