#pragma once
// The waypoint editor ("pageWPEdit"): name, comment and web link typed on
// the on-screen keyboard, the POI type and image chosen on their pages, the
// position shown, and sending the point to friends. A new point is stored
// (in the first category) only on "ok" or when an image is chosen for it.

#include "ui/KeyboardOwner.h"
#include "core/ConfigNode.h"
#include "screens/PoiTypeCallbacks.h"
#include "ui/EditBox.h"
#include "ui/Keyboard.h"
#include "ui/fdPage.h"
#include "userdata/WayPoint.h"

#include <array>
#include <functional>
#include <memory>

class fdWPManager;
class WaypointStyles;

namespace Monitoring {
class System;
}
namespace Ui {
class KeyboardLayouts;
}

namespace Screens {

class EditWayPointPage : public Ui::fdPage, public Ui::KeyboardOwner {
  public:
    enum Mode : int { Form = 0, NameBox = 1, CommentBox = 2, UrlBox = 3 };

    // Any of the pointers may be null: no online service hides "send", no
    // styles shows no type names or icons, no layouts opens no keyboard.
    EditWayPointPage(Ui::fdInterface* ui, fdWPManager* waypoints, Monitoring::System* online,
                     WaypointStyles* styles, Core::ConfigNodePtr config, const Ui::KeyboardLayouts* layouts);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // A new point at the map point, named after the local time.
    void setNewPoint(Map::Point position);
    // The stored point of that index.
    void editPoint(std::int32_t index);
    // The type chosen for the point being edited.
    void setType(std::uint16_t type) { m_point.type = type; }
    // What "send" does with a copy of the point (prepares the friends
    // chooser); without it "send" stays hidden.
    void setSendHandler(std::function<void(const WayPoint&)> handler) { m_send = std::move(handler); }

    const WayPoint& point() const { return m_point; }
    std::int32_t index() const { return m_index; }
    Mode mode() const { return m_mode; }
    const std::u16string& boxText(Mode box) const { return m_boxes[std::size_t(box)].text(); }
    Ui::Keyboard* keyboard() const { return m_keyboard.get(); }
    // The keyboard again, with the "Keyboard" settings as they are now.
    void reopenKeyboard() override;

  private:
    void setMode(Mode mode);
    void loadBoxes();
    // Stores a new point in the first category; false when it cannot be.
    bool storeNew();
    void ok();
    void type(const std::string& key);

    fdWPManager* m_waypoints;
    Monitoring::System* m_online;
    WaypointStyles* m_styles;
    Core::ConfigNodePtr m_config;
    const Ui::KeyboardLayouts* m_layouts;
    std::function<void(const WayPoint&)> m_send;
    WayPoint m_point;
    std::int32_t m_index = -1;
    Mode m_mode = Form;
    // The name, comment and url boxes, indexed by their modes; each owns its
    // text while it is edited.
    std::array<Ui::EditBox, 4> m_boxes;
    std::string m_layout;
    std::string m_languages;
    Ui::PageKeyboardPtr m_keyboard;
};

} // namespace Screens
