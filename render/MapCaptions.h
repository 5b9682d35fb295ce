#pragma once
// The caption step of the map frame: after the POI icons of a map, walks the
// map's visible cells again, gathers one candidate per caption (street
// names along their longest visible segment in 2D, one piece per road
// nearest the car in 3D, POI names beside their icons) into the atlas's
// draw buffers, and lets the caption placer fit and draw them. The texts
// come from the map's strings section; the polyline flags, the active style
// set, the font, the focus point and the "poi" cursor from the map
// renderer. Main thread only.

#include "render/AtlasDrawBuffers.h"
#include "render/CaptionPlacer.h"
#include "render/DrawRecord.h"
#include "render/MapPageServices.h"

#include <vector>

namespace Map {
class KVAtlas;
}

namespace MapDrawing {

class fdMapRenderer;

class MapCaptions : public CaptionLayer {
  public:
    // Both outlive the layer. Hook it into the renderer with
    // renderer.services().captions = &layer.
    MapCaptions(Map::KVAtlas& atlas, fdMapRenderer& renderer);
    ~MapCaptions() override;
    MapCaptions(const MapCaptions&) = delete;
    MapCaptions& operator=(const MapCaptions&) = delete;

    void beginCaptions(std::int32_t horizonRow) override;
    void drawCaptions(const xe::Canvas& canvas, MapCamera& camera, const Map::StateRecord& record,
                      float scale) override;
    void releaseMap(Map::KVMap2& map) override;
    const std::vector<Render::OrientedBox>& drawnBoxes() const override { return m_drawnBoxes; }

    // How the boxed 3D labels look (the design's choice).
    Render::LabelStyle label{6, 0x00D0FFFF};

    Render::AtlasDrawBuffers& buffers() { return m_buffers; }
    // The records placed by the last drawCaptions, in placing order.
    const std::vector<Render::DrawRecord*>& placed() const { return m_placed; }
    // Captions placed over all maps of the frame (boxed 3D labels included).
    std::int32_t frameCaptions() const { return m_frameCaptions; }

  private:
    void gather(const xe::Canvas& canvas, MapCamera& camera, const Map::StateRecord& record,
                Map::KVMap2& map);

    Map::KVAtlas& m_atlas;
    fdMapRenderer& m_renderer;
    Render::AtlasDrawBuffers m_buffers;
    Render::Caption3dTable m_table;
    Render::CaptionCache m_captionPictures;
    std::vector<Render::DrawRecord*> m_placed;
    std::vector<Render::OrientedBox> m_drawnBoxes;
    // What a map's names keep clear of: the frame's icons and car, what is
    // drawn over the frame, and the names of the maps drawn before it.
    std::vector<Render::IconBox> m_taken;
    std::int32_t m_frameCaptions = 0;
};

} // namespace MapDrawing
