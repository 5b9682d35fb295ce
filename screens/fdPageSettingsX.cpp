#include "screens/fdPageSettingsX.h"

#include "core/Format.h"
#include "map/KVAtlas.h"
#include "render/MapCamera.h"
#include "render/fdMapRenderer.h"
#include "screens/LeaveCommand.h"
#include "ui/DayNight.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"

#include <algorithm>
#include <cmath>

namespace Screens {

namespace {

// Radians per half degree: a field of view in degrees to the camera's half
// field of view.
constexpr float RadiansPerHalfDegree = 0.008726646f;

} // namespace

fdPageSettingsX::fdPageSettingsX(Ui::fdInterface* ui, Services services)
    : fdPage(ui, "pageRenderSettings", nullptr), m_services(std::move(services)) {}

std::int32_t fdPageSettingsX::fovStep(float degrees) {
    return static_cast<std::int32_t>(std::floor(std::clamp(degrees, 10.0f, 90.0f) + 0.5f)) / 10;
}

void fdPageSettingsX::onShow() {
    if (MapDrawing::fdMapRenderer* renderer = m_services.renderer ? m_services.renderer() : nullptr)
        m_position = renderer->proportion() - 2;
    if (m_services.camera) m_view3d = m_services.camera->mode() != 0;
    if (m_services.atlas) m_angle = static_cast<std::int32_t>(m_services.atlas->view().zoomStep);
    if (m_services.root) m_fov = fovStep(m_services.root->value("camera_fovy", 60.0f));
    if (m_services.dayNight) m_day = m_services.dayNight->day;
    refresh();
}

void fdPageSettingsX::refresh() {
    if (auto* automatic = dynamic_cast<Ui::fdCheckedButton*>(findChild("auto_check")))
        automatic->setChecked(m_services.dayNight && m_services.dayNight->automatic());
    static const char16_t* const Positions[] = {u"1/2", u"1/3", u"1/4"};
    if (auto* pos = dynamic_cast<Ui::fdStatic*>(findChild("pos")))
        pos->setText(Positions[static_cast<std::uint32_t>(m_position) % 3]);
    // The view by the words of the map menu's own switch.
    if (auto* mode = dynamic_cast<Ui::fdStatic*>(findChild("mode")))
        mode->setText(m_services.messages
                          ? m_services.messages->text(m_view3d ? "map_menu_3d" : "map_menu_2d")
                          : std::u16string(m_view3d ? u"3D view" : u"2D view"));
    if (auto* angle = dynamic_cast<Ui::fdStatic*>(findChild("angle"))) {
        if (m_angle == 0 && m_services.messages)
            angle->setText(m_services.messages->text("settings_pitch_profile0"));
        else
            angle->setText(Core::format(u"%d", m_angle));
    }
    if (auto* fov = dynamic_cast<Ui::fdStatic*>(findChild("fov")))
        fov->setText(Core::format(u"%d", m_fov * 10));
    if (fdWindowBase* dayMode = findChild("day_mode")) dayMode->setVisible(!m_day);
    if (fdWindowBase* nightMode = findChild("night_mode")) nightMode->setVisible(m_day);
    invalidate(1);
}

void fdPageSettingsX::apply() {
    Map::KVAtlas* atlas = m_services.atlas;
    MapCamera* camera = m_services.camera;
    if (camera) camera->setMode(m_view3d ? 1 : 0);
    if (atlas) {
        atlas->view().requestRedraw();
        atlas->view().zoomStep = static_cast<std::uint32_t>(m_angle);
        atlas->view().requestRedraw();
    }
    MapDrawing::fdMapRenderer* renderer = m_services.renderer ? m_services.renderer() : nullptr;
    if (renderer) renderer->setProportion(m_position + 2);
    const float degrees = static_cast<float>(m_fov) * 10.0f;
    if (m_services.root) m_services.root->set("camera_fovy", degrees);
    if (camera) {
        camera->setHalfFieldOfView(degrees * RadiansPerHalfDegree);
        camera->updateCameraAngles();
        camera->setAnchorFraction(1.0f / static_cast<float>(m_position + 2));
        camera->updateCameraAngles();
    }
    if (atlas) atlas->view().requestRedraw();
    Ui::DayNight* dayNight = m_services.dayNight;
    const bool day = dayNight && dayNight->automatic() ? dayNight->day : m_day;
    if (renderer) {
        renderer->selectStyles(day);
        renderer->setDayMode(day);
    }
    if (dayNight) dayNight->day = day;
    // The view and the pitch are kept in the atlas's camera.kvc, not in the
    // settings: the engine writes that file once the view has been still
    // and an event comes, which a menu left idle never brings (a kill
    // there lost the choice). A failed load keeps the saved view as it is.
    if (atlas && atlas->loaded() && !atlas->saveCamera() && m_services.viewNotStored)
        m_services.viewNotStored(atlas->cameraWriteError());
}

void fdPageSettingsX::childClicked(const std::string& name) {
    if (leaveCommand(*this, name)) {
        // Left; the page redraws below.
    } else if (name == "menu") {
        ui()->activatePage(ui()->findPage("menuMain"));
    } else if (name == "ok") {
        apply();
        ui()->goBack();
    } else if (name == "scPosDown" || name == "scPosUp") {
        m_position = (m_position + (name == "scPosUp" ? 1 : 2)) % 3;
        refresh();
    } else if (name == "dPosDown" || name == "dPosUp") {
        m_view3d = !m_view3d;
        refresh();
    } else if (name == "angleDown" || name == "angleUp") {
        m_angle = (m_angle + (name == "angleUp" ? 1 : 2)) % 3;
        refresh();
    } else if (name == "fovDown") {
        m_fov = m_fov < 2 ? 9 : m_fov - 1;
        refresh();
    } else if (name == "fovUp") {
        m_fov = m_fov > 8 ? 1 : m_fov + 1;
        refresh();
    } else if (name == "auto_check") {
        auto* automatic = dynamic_cast<Ui::fdCheckedButton*>(findChild("auto_check"));
        if (m_services.dayNight && automatic) m_services.dayNight->setAutoDayNight(automatic->checked());
        refresh();
    } else if (name == "day_mode" || name == "night_mode") {
        m_day = name == "day_mode";
        if (m_services.dayNight) m_services.dayNight->setAutoDayNight(false);
        refresh();
    }
    invalidate(1);
}

} // namespace Screens
