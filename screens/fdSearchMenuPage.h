#pragma once
// The search menu: one class for the search tab ("menuFind") and the lists
// tab ("pageLists"). It starts every kind of search, handing the find page
// the callback that decides what the chosen object leads to, and opens the
// lists of stored things.

#include "screens/SearchServices.h"
#include "ui/fdPage.h"

#include <string>

namespace Screens {

class fdSearchMenuPage final : public Ui::fdPage {
  public:
    fdSearchMenuPage(Ui::fdInterface* ui, std::string designName, SearchServices services);

    // Without an online service (no `online_url`) the tiles that lead to
    // it ("monitoring", "received_points") are hidden, as the map page
    // hides its online buttons, and the title has the bar's middle.
    void afterBuild() override;
    void childClicked(const std::string& name) override;
    // Escape leaves the page as "back" does.
    bool keyDown(int key) override;

    // Every POI type but houses: what the type chooser offers checked.
    static std::vector<std::uint16_t> allPoiTypes();

  private:
    // Pushes this page on the history and shows the named page; nothing
    // when no such page exists.
    void goTo(const std::string& page);
    // address: a street that has houses asks for the house next.
    void startNameSearch(int kind, const char* title, bool address);
    void startPoiSearch();
    void showWayPointTypes();
    void centreTitle();

    SearchServices m_services;
};

} // namespace Screens
