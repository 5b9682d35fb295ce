#include "render/MapCameraAccess.h"

#include "render/MapCamera.h"

namespace MapDrawing {

MapCameraAccess::MapCameraAccess(MapCamera& camera) : m_camera(camera) {}

Map::CameraFields MapCameraAccess::read() const {
    Map::CameraFields fields;
    fields.centreX = m_camera.centre().x;
    fields.centreY = m_camera.centre().y;
    fields.scale = m_camera.scale();
    fields.rotation = m_camera.rotation();
    fields.mode = m_camera.mode();
    return fields;
}

void MapCameraAccess::write(const Map::CameraFields& fields) {
    m_camera.setCentre(Map::Point{fields.centreX, fields.centreY});
    m_camera.setScale(fields.scale);
    m_camera.setMode(fields.mode);
    m_camera.setRotation(m_scratch, fields.rotation);
}

} // namespace MapDrawing
