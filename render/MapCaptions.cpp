#include "render/MapCaptions.h"

#include "core/FloatToInt.h"
#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "map/Level.h"
#include "map/StateRecord.h"
#include "render/CaptionCandidates.h"
#include "render/CaptionTexts.h"
#include "render/CellItems.h"
#include "render/Image.h"
#include "render/MapCamera.h"
#include "render/MapLayers.h"
#include "render/fdMapRenderer.h"

#include <algorithm>

namespace MapDrawing {

namespace {

// A decoded cell point of the current cell through the camera's anchor
// projection, as the 3D road captions need it.
class CameraProjection : public Render::CaptionProjection {
  public:
    explicit CameraProjection(const MapCamera& camera) : m_camera(camera) {}
    bool project(std::uint32_t x, std::uint32_t y, xe::Point& screen) const override {
        return MapCanvas::projectMapPoint(
            m_camera, xe::Point{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)}, screen);
    }

  private:
    const MapCamera& m_camera;
};

// The caption table slot of an item, when its index lies inside the map's
// table and the strings section gave the caption a text.
bool captionSlot(Map::KVMap2& map, std::uint32_t index, Render::CaptionSlot& slot) {
    Map::KVMap2::Caption* captions = map.captions();
    if (captions == nullptr || index >= map.captionCount()) return false;
    Map::KVMap2::Caption& caption = captions[index];
    if (caption.offset == 0 || caption.length == 0) return false;
    slot = Render::CaptionSlot{&caption.cached, caption.offset, caption.length};
    return true;
}

// Screen points of one polyline; a polyline holds at most 255 points.
xe::Point g_screen[256];

} // namespace

MapCaptions::MapCaptions(Map::KVAtlas& atlas, fdMapRenderer& renderer)
    : m_atlas(atlas), m_renderer(renderer) {}

// Every record was detached from its caption slot when its caption call
// ended, so nothing is written into a map's table here (the maps may be gone).
MapCaptions::~MapCaptions() = default;

void MapCaptions::beginCaptions(std::int32_t horizonRow) {
    // Pictures drawn with another font (a new design, another size) say
    // nothing about this one's, even where its measures agree.
    if (m_renderer.mapFont() != m_buffers.captionFont)
        m_captionPictures.clear();
    m_buffers.captionFont = m_renderer.mapFont();
    m_captionPictures.startFrame();
    m_buffers.horizonRow = horizonRow;
    m_frameCaptions = 0;
    m_drawnBoxes.clear();
}

void MapCaptions::releaseMap(Map::KVMap2& map) {
    // Records never outlive a caption call; should one still be attached to
    // this map's table, detach them all before the table may go.
    if (m_buffers.recordCount() > 0) {
        m_buffers.resetAll();
        m_buffers.clearCandidates();
        m_table.clear();
    }
    (void)map;
}

void MapCaptions::drawCaptions(const xe::Canvas& canvas, MapCamera& camera, const Map::StateRecord& record,
                               float scale) {
    const auto& maps = m_atlas.maps();
    if (record.level == nullptr || record.mapIndex >= maps.size()) return;
    Map::KVMap2& map = *maps[record.mapIndex];
    Render::Font* font = m_buffers.captionFont;
    if (font == nullptr || map.captions() == nullptr || canvas.surface == nullptr) return;

    Render::MapCaptionTexts texts(map.stringsReader());
    Render::beginCaptions(m_buffers, texts, xe::floorToInt(scale + 0.5f), m_table);
    gather(canvas, camera, record, map);

    Render::CaptionPlacer placer(canvas.surface, *font, texts, m_buffers.captionSurface, m_table, m_placed);
    placer.view3d = camera.is3d();
    placer.focus = m_renderer.focusPoint();
    placer.label = label;
    placer.cache = &m_captionPictures;
    placer.drawnBoxes = &m_drawnBoxes;
    // The names of one map keep clear of each other as they are placed;
    // those of the maps before it (a town over its country) are taken as
    // icons are, as is what the page draws over the frame.
    m_taken = m_renderer.drawnIcons();
    for (const Render::OrientedBox& box : m_renderer.overMap())
        m_taken.push_back(Render::IconBox{box, nullptr});
    for (const Render::OrientedBox& box : m_drawnBoxes)
        m_taken.push_back(Render::IconBox{box, nullptr});
    placer.icons = &m_taken;
    Render::finishCaptions(m_buffers, placer, m_table);
    m_renderer.workingCounters().captions += placer.labelsDrawn;
    m_frameCaptions += static_cast<std::int32_t>(m_placed.size()) + placer.labelsDrawn;
}

void MapCaptions::gather(const xe::Canvas& canvas, MapCamera& camera, const Map::StateRecord& record,
                         Map::KVMap2& map) {
    const Render::StyleSet* set = m_renderer.styles().activeSet();
    if (set == nullptr) return;
    Render::RenderStyles& styles = m_renderer.styles();
    const std::int32_t scale = m_buffers.scale;
    const bool view3d = camera.is3d();
    const Render::ClipBox roadClip = Render::roadCaptionClip(canvas);
    const xe::Point focus = m_renderer.focusPoint();
    const CameraProjection projection(camera);
    const CursorRecord* cursor = m_renderer.poiCursor();
    // A hidden map's lines were not drawn (a country map near the ground):
    // names along them would float over nothing. Its POIs keep their icons
    // and so their captions.
    bool roadsDone = record.hidden; // or, in 3D, the caption table is full

    Map::Level& level = *record.level;
    const unsigned fieldBits = record.frame.cellShift + 1u;
    if (record.cellX0 >= record.cellX1 || record.cellY0 >= record.cellY1) return;
    // Items reach one cell right of and above their own, as in the layers.
    for (std::int32_t x = std::max(record.cellX0 - 1, 0); x < record.cellX1; ++x) {
        for (std::int32_t y = std::max(record.cellY0 - 1, 0); y < record.cellY1; ++y) {
            Map::Level::CellItems cell;
            if (!level.cellItems(level.defaultArea(), x, y, cell) || cell.size == 0) continue;
            camera.setOrigin(x, y);

            Render::RoadCaptionGroup roads(m_renderer.showPolylineText().data(),
                                           m_renderer.showPolylineLine().data(), set->polylines, scale);
            CellItemWalker lines(cell, PolylineItems, fieldBits);
            CellItem item;
            // The header says whether a line has a caption to show: only
            // those are decoded.
            while (!roadsDone && !roads.finished() && lines.nextHeader(item)) {
                Render::CaptionSlot slot;
                if (item.count < 2 || !roads.shown(item.type) || !captionSlot(map, item.caption, slot))
                    continue;
                lines.decode(item);
                Render::CandidateResult result;
                if (view3d) {
                    result = roads.add3d(m_buffers, m_table, item.type, slot, item.points, item.count,
                                         projection, focus, roadClip);
                } else {
                    const int n = std::min(item.count, 256);
                    for (int i = 0; i < n; ++i)
                        MapCanvas::projectMapPoint(camera, item.points[i], g_screen[i]);
                    result = roads.add2d(m_buffers, item.type, slot, g_screen, n, roadClip);
                }
                roadsDone = result == Render::CandidateResult::TableFull;
            }

            CellItemWalker points(cell, PointItems, fieldBits);
            while (points.nextHeader(item)) {
                const Render::PoiStyle* style = styles.poiStyle(item.poiType);
                Render::CaptionSlot slot;
                if (!Render::poiCaptionShown(style, styles.isPoiShownOnMap(item.poiType), scale) ||
                    !captionSlot(map, item.caption, slot))
                    continue;
                points.decode(item);
                Render::PoiCaption poi;
                poi.projected = MapCanvas::projectMapPoint(camera, item.points[0], poi.screen);
                poi.iconHeight = style->icon->height();
                poi.hasPoiCursor = cursor != nullptr;
                poi.cursorOffsetY = cursor != nullptr ? cursor->hotY : 0;
                poi.textColour = style->textForeColor;
                poi.haloColour = style->textHaloColor;
                if (Render::addPoiCaption(m_buffers, slot, poi, canvas, view3d) ==
                    Render::CandidateResult::PoolFull)
                    break;
            }
        }
    }
}

} // namespace MapDrawing
