#pragma once
// The map camera as the atlas reaches it: the atlas restores camera.kvc (or
// the largest map) into the live camera and saves the live camera on
// unload. Hand one to Map::AtlasServices::camera at start-up.

#include "core/SdlMutex.h"
#include "map/AtlasServices.h"
#include "map/AtlasViewFields.h"

class MapCamera;

namespace MapDrawing {

class MapCameraAccess : public Map::CameraAccess {
public:
    explicit MapCameraAccess(MapCamera& camera);
    Map::CameraFields read() const override;
    // Centre, scale, mode and rotation; the atlas asks for its own redraw.
    void write(const Map::CameraFields& fields) override;

private:
    MapCamera& m_camera;
    // Takes the redraw request that setting the rotation makes: the atlas
    // requests the redraw itself after restoring a camera.
    Threading::SdlMutex m_mutex{"Can't create camera access mutex"};
    Map::AtlasViewFields m_scratch{m_mutex};
};

} // namespace MapDrawing
