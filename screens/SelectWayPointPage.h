#pragma once
// The waypoint chooser ("select_waypoint"): the stored waypoints of one POI
// type grouped by category; "ok" binds the favourites page's current slot
// to the chosen point.

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

class fdPageFavorites;

class SelectWayPointPage : public Ui::fdPage {
  public:
    // Filters the chooser to the chosen type and opens it with history.
    class SelectTypeForWayPointCallback : public SelectPoiTypeResultCallback {
      public:
        SelectTypeForWayPointCallback(SelectWayPointPage& page, Ui::fdInterface& ui) : m_page(page), m_ui(ui) {}
        bool allowsNone() const override { return false; }
        void result(std::uint16_t type) override;

      private:
        SelectWayPointPage& m_page;
        Ui::fdInterface& m_ui;
    };

    SelectWayPointPage(Ui::fdInterface* ui, fdWPManager* waypoints, fdPageFavorites* favourites,
                       const Core::MessageTable* messages, const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    void showType(std::uint16_t type);
    WayPointsCategoriesSingleSelectList* model() const { return m_model.get(); }

  private:
    std::int64_t selectedPoint() const;

    fdWPManager* m_waypoints;
    fdPageFavorites* m_favourites;
    const Core::MessageTable* m_messages;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<WayPointsCategoriesSingleSelectList> m_model;
    std::uint16_t m_type = 0;
    ListTap m_tap;
};

} // namespace Screens
