#pragma once
// One atlas folder drawn the way the map page draws it: the atlas loaded
// with the data folder's render styles, the map camera set from a view
// description, and frames drawn by the map renderer into a map surface and
// blitted to a screen surface. Used by tools/render-atlas and the frame
// benchmark.

#include "core/Config.h"
#include "core/ResourcesPool.h"
#include "core/VirtualFs.h"
#include "map/KVAtlas.h"
#include "render/Font.h"
#include "render/ImageList.h"
#include "render/MapCaptions.h"
#include "render/MapCamera.h"
#include "render/fdMapRenderer.h"
#include "tools/ScratchFolder.h"

#include <SDL.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace AtlasRendering {

struct ViewSettings {
    std::optional<double> latitude;  // none: the atlas's saved camera
    std::optional<double> longitude;
    std::optional<float> metresPer40Pixels;
    float rotationDegrees = 0.0f;
    bool threeD = false;
    bool night = false;
    int width = 800;
    int height = 480;
    // Keep the frame statistics (per-layer times) of the renderer.
    bool statistics = false;
    // The caption font; empty: DejaVuSans.ttf of the data folder. Without a
    // font the frame has no captions.
    std::string fontPath;
    int fontSize = 12;
};

class Session {
public:
    // dataFolder holds render.xml and its style files; it and the atlas
    // folder are only read (the atlas.xml of the load goes to a scratch
    // folder removed with the session, and no camera is saved). Throws
    // std::runtime_error when the atlas does not load.
    Session(const std::string& atlasFolder, const std::string& dataFolder, const ViewSettings& view);
    ~Session();

    // Points the camera at the view again and asks for a full redraw.
    void resetView();
    // Asks for a redraw of the given kind (1 small, 2 full) and clears the
    // frame-state memory of a slow frame.
    void request(std::uint32_t redraw, bool slow);
    // The map page's draw: one frame, blitted to the screen surface.
    void draw();
    // Drops every loaded cell (the next frame loads them again).
    void dropCells();

    SDL_Surface* screen() const { return m_screen; }
    // The surface the renderer draws the map into before the blit.
    SDL_Surface* mapSurface() const { return m_map; }
    MapDrawing::fdMapRenderer& renderer() { return *m_renderer; }
    // Null when no font could be opened.
    MapDrawing::MapCaptions* captions() { return m_captions.get(); }
    Map::KVAtlas& atlas() { return *m_atlas; }
    MapCamera& camera() { return m_camera; }

private:
    ViewSettings m_view;
    Core::Config m_config;
    Core::ResourcesPool m_pool{10};
    MapCamera m_camera;
    std::unique_ptr<Map::KVAtlas> m_atlas;
    std::unique_ptr<FileSystem::VirtualFs> m_files;
    std::unique_ptr<Render::ImageList> m_images;
    std::unique_ptr<MapDrawing::fdMapRenderer> m_renderer;
    std::shared_ptr<Render::Font> m_font;
    std::unique_ptr<MapDrawing::MapCaptions> m_captions;
    // A folder of its own for what the atlas writes (its data/atlas.xml).
    Tools::ScratchFolder m_scratch{"mirel-atlas"};
    SDL_Surface* m_map = nullptr;
    SDL_Surface* m_screen = nullptr;
};

} // namespace AtlasRendering
