#pragma once
// The favourites ("pageFavorites"): six destination buttons (home, job and
// four places), each bound to a stored waypoint, kept in "favorites.kvf";
// and the action page of a bound one ("pageFvDlg"): drive there, rebind or
// clear.

#include "ui/fdPage.h"
#include "userdata/Favourites.h"

#include <memory>
#include <string>

namespace Screens {

class fdPageFavorites : public Ui::fdPage {
  public:
    // Reads the file (its full path) once, here.
    fdPageFavorites(Ui::fdInterface* ui, std::u16string file);

    bool press(int x, int y) override;
    bool release(int x, int y) override;
    bool mouseMove(int x, int y) override;
    void childClicked(const std::string& name) override;

    // The slot of a button name, -1 for any other name.
    static int slotOf(const std::string& button);
    // The type chooser with the types in use, then the waypoint chooser,
    // bind the current slot.
    static void chooseWaypoint(Ui::fdInterface& ui);

    Favourites& favourites() { return m_favourites; }
    const std::u16string& file() const { return m_file; }

  private:
    std::u16string m_file;
    Favourites m_favourites;
    bool m_pressed = false;
};

class fdPageFvDlg : public Ui::fdPage {
  public:
    fdPageFvDlg(Ui::fdInterface* ui, fdPageFavorites* favourites);

    // A slot rebound through "btnEdit" shows its new place on return.
    void onShow() override;
    void childClicked(const std::string& name) override;
    // The bound slot's value and point.
    void setPlace(std::uint32_t value, Map::Point point) {
        m_value = value;
        m_point = point;
    }
    Map::Point point() const { return m_point; }

  private:
    fdPageFavorites* m_favourites;
    std::uint32_t m_value = 0;
    Map::Point m_point;
};

} // namespace Screens
