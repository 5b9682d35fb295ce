#pragma once
// The map page's pop-up menu: a list of toggle items (2D/3D view, hide to
// the tray, route demo, sensors panel, main menu). While it is open the map
// indicators are hidden and taps on the map are ignored; it closes after an
// item is chosen, on a second "submenu" click, or at its auto-hide time.

#include "screens/fdPageMap.h"
#include "ui/ListModels.h"

#include <functional>
#include <string>
#include <vector>

namespace Screens {

class fdPageMap::Menu : public Ui::List {
public:
    using Action = std::function<void(std::size_t index)>;

    Menu(Ui::fdList& list, fdPageMap& page) : List(list), m_page(page) {}

    // Captions are message keys, one per state.
    std::size_t addItem(std::vector<std::string> captions, std::uint32_t state, Action action);
    void setState(std::size_t index, std::uint32_t state);
    std::uint32_t state(std::size_t index) const { return m_items.at(index).state; }

    // now: the page's clock; ms 0 never hides by itself.
    void showMenu(bool show, std::uint32_t now, std::uint32_t autoHideMs);
    bool isOpen() const { return m_open; }
    // True when the auto-hide time has come (the menu is then closed).
    bool autoHide(std::uint32_t now);

    std::int32_t count() const override { return static_cast<std::int32_t>(m_items.size()); }
    void fillEmptyRow(Ui::TemplateWindow& row) override;
    void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
    // Runs the item's action, then closes the menu.
    void itemClicked(std::int32_t index) override;

private:
    struct Item {
        std::vector<std::u16string> captions;
        std::uint32_t state = 0;
        Action action;
    };
    fdPageMap& m_page;
    std::vector<Item> m_items;
    bool m_open = false;
    bool m_autoHide = false;
    std::uint32_t m_hideAt = 0;
};

} // namespace Screens
