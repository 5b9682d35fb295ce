#pragma once
// The waypoint list ("pageWaypointsList"): the stored waypoints of one POI
// type grouped by category. A chosen point is shown on the map, edited or
// deleted. The list is reached through the POI type chooser, whose callback
// filters it.

#include "screens/ListPageSupport.h"
#include "screens/PoiTypeCallbacks.h"
#include "screens/WayPointsCategoriesLists.h"
#include "ui/fdPage.h"

#include <memory>

class fdWPManager;
namespace Core {
class MessageTable;
}

namespace Ui {
class ButtonBindings;
}

namespace Screens {

class fdPageWPListX : public Ui::fdPage {
  public:
    // Filters the list to the chosen type and opens it with history.
    class ShowTypedWayPointsCallback : public SelectPoiTypeResultCallback {
      public:
        ShowTypedWayPointsCallback(fdPageWPListX& page, Ui::fdInterface& ui) : m_page(page), m_ui(ui) {}
        bool allowsNone() const override { return false; }
        void result(std::uint16_t type) override;

      private:
        fdPageWPListX& m_page;
        Ui::fdInterface& m_ui;
    };

    // The messages name the default category (none: its stored name).
    fdPageWPListX(Ui::fdInterface* ui, fdWPManager* waypoints, const Ui::ButtonBindings* bindings,
                  const Core::MessageTable* messages = nullptr);

    void afterBuild() override;
    // A point deleted or renamed elsewhere meanwhile: the buttons follow.
    void onShow() override { updateButtons(); }
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // Keeps the points of that type only.
    void showType(std::uint16_t type);
    // Chooses the point (its group opened); the filter stays.
    void selectPoint(std::uint32_t point);
    std::uint16_t typeFilter() const { return m_type; }
    WayPointsCategoriesMultiSelectList* model() const { return m_model.get(); }
    // The open "delete this point?" box, or null.
    Ui::TemplateWindow* confirmBox() const { return m_confirm; }

  private:
    // The chosen point, -1 when none (or a group row) is chosen.
    std::int64_t selectedPoint() const;
    // The up and down buttons, and the buttons of the chosen point.
    void updateButtons();

    fdWPManager* m_waypoints;
    const Ui::ButtonBindings* m_bindings;
    const Core::MessageTable* m_messages;
    std::unique_ptr<WayPointsCategoriesMultiSelectList> m_model;
    std::uint16_t m_type = 0;
    ListTap m_tap;
    // "button_del" asks first: the question box (design template
    // "mb_delete_point", command "confirm_delete") and the point it names.
    Ui::TemplateWindow* m_confirm = nullptr;
    std::int64_t m_pendingPoint = -1;
    void deletePoint(std::int64_t point);
    void closeConfirm();
};

} // namespace Screens
