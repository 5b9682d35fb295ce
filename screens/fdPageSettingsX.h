#pragma once
// The render settings page ("pageRenderSettings"): where the car sits on
// the screen, 2D or 3D, the 3D pitch profile, the field of view and day or
// night styles. It edits private copies and applies them all on "ok",
// when the view and the pitch also reach the atlas's camera.kvc.

#include "core/ConfigNode.h"
#include "ui/fdPage.h"

#include <cstdint>
#include <functional>

class MapCamera;
class Messages;

namespace Map {
class KVAtlas;
}

namespace MapDrawing {
class fdMapRenderer;
}

namespace Ui {
class DayNight;
}

namespace Screens {

class fdPageSettingsX final : public Ui::fdPage {
  public:
    struct Services {
        Core::ConfigNodePtr root;
        const Messages* messages = nullptr;
        Map::KVAtlas* atlas = nullptr;
        // The renderer is made after the pages: asked for when needed.
        std::function<MapDrawing::fdMapRenderer*()> renderer;
        MapCamera* camera = nullptr;
        Ui::DayNight* dayNight = nullptr;
        // Told when "ok" could not write camera.kvc, with the Win32 number
        // of why: the view shows, but the next start has the one before.
        std::function<void(int error)> viewNotStored;
    };

    fdPageSettingsX(Ui::fdInterface* ui, Services services);

    void onShow() override;
    // Every key goes to the interface's own handling.
    bool keyDown(int) override { return false; }
    void childClicked(const std::string& name) override;

    // The field-of-view step (tens of degrees, 1-9) of a stored camera_fovy.
    static std::int32_t fovStep(float degrees);

    std::int32_t position() const { return m_position; }
    bool view3d() const { return m_view3d; }
    std::int32_t angle() const { return m_angle; }
    std::int32_t fov() const { return m_fov; }
    bool day() const { return m_day; }

  private:
    void refresh();
    void apply();

    Services m_services;
    std::int32_t m_position = 1;
    bool m_view3d = false;
    std::int32_t m_angle = 0;
    std::int32_t m_fov = 6;
    bool m_day = true;
};

} // namespace Screens
