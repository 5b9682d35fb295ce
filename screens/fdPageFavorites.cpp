#include "screens/fdPageFavorites.h"

#include "screens/SelectWayPointPage.h"
#include "screens/fdPageMap.h"
#include "screens/fdPageSelectPoiType.h"

#include "ui/fdInterface.h"

namespace Screens {

fdPageFavorites::fdPageFavorites(Ui::fdInterface* ui, std::u16string file)
    : fdPage(ui, "pageFavorites", nullptr), m_file(std::move(file)) {
    m_favourites.load(m_file);
}

int fdPageFavorites::slotOf(const std::string& button) {
    const std::pair<const char*, int> buttons[] = {{"btnHome", Favourites::Home},   {"btnOne", Favourites::One},
                                                   {"btnTwo", Favourites::Two},     {"btnThree", Favourites::Three},
                                                   {"btnFour", Favourites::Four},   {"btnJob", Favourites::Job}};
    for (const auto& [name, slot] : buttons)
        if (button == name)
            return slot;
    return -1;
}

void fdPageFavorites::chooseWaypoint(Ui::fdInterface& ui) {
    auto* chooser = dynamic_cast<fdPageSelectPoiType*>(ui.findPage("select_poi_type"));
    auto* waypoints = dynamic_cast<SelectWayPointPage*>(ui.findPage("select_waypoint"));
    if (chooser == nullptr || waypoints == nullptr)
        return;
    chooser->showUsedTypes();
    chooser->setCallback(std::make_shared<SelectWayPointPage::SelectTypeForWayPointCallback>(*waypoints, ui));
    ui.goToPage(chooser);
}

bool fdPageFavorites::press(int x, int y) {
    m_pressed = true;
    invalidate(1);
    return fdPage::press(x, y);
}

bool fdPageFavorites::release(int x, int y) {
    m_pressed = false;
    invalidate(1);
    return fdPage::release(x, y);
}

bool fdPageFavorites::mouseMove(int x, int y) {
    if (m_pressed)
        invalidate(1);
    return fdPage::mouseMove(x, y);
}

void fdPageFavorites::childClicked(const std::string& name) {
    if (const int slot = slotOf(name); slot >= 0) {
        m_favourites.current = slot;
        const Favourites::Entry& entry = m_favourites.entry(static_cast<Favourites::Slot>(slot));
        if (entry.set) {
            auto* dialog = dynamic_cast<fdPageFvDlg*>(ui()->findPage("pageFvDlg"));
            if (dialog == nullptr)
                return;
            dialog->setPlace(entry.value, entry.point);
            ui()->goToPage(dialog);
        } else {
            chooseWaypoint(*ui());
        }
    } else if (name == "menu") {
        if (Ui::fdPage* menu = ui()->findPage("menuMain"))
            ui()->activatePage(menu);
    } else {
        handleCommonCommand(name);
    }
}

fdPageFvDlg::fdPageFvDlg(Ui::fdInterface* ui, fdPageFavorites* favourites)
    : fdPage(ui, "pageFvDlg", nullptr), m_favourites(favourites) {}

void fdPageFvDlg::onShow() {
    if (m_favourites == nullptr)
        return;
    const int slot = m_favourites->favourites().current;
    if (slot < 0 || slot >= int(Favourites::SlotCount))
        return;
    const Favourites::Entry& entry = m_favourites->favourites().entry(static_cast<Favourites::Slot>(slot));
    if (entry.set)
        setPlace(entry.value, entry.point);
}

void fdPageFvDlg::childClicked(const std::string& name) {
    if (name == "btnGo") {
        auto* map = dynamic_cast<fdPageMap*>(ui()->findPage("pageMap"));
        if (map == nullptr)
            return;
        map->showPoint(m_point, true);
        ui()->activatePage(map);
    } else if (name == "btnEdit") {
        fdPageFavorites::chooseWaypoint(*ui());
    } else if (name == "btnClear") {
        if (m_favourites != nullptr) {
            const int slot = m_favourites->favourites().current;
            if (slot >= 0 && slot < int(Favourites::SlotCount))
                m_favourites->favourites().clear(m_favourites->file(), static_cast<Favourites::Slot>(slot));
            // Back when the favourites opened this page, so that "back" there
            // does not return to the page of a slot just cleared.
            const auto& history = ui()->history();
            if (!history.empty() && history.back() == m_favourites)
                ui()->goBack();
            else
                ui()->goToPage(m_favourites);
        }
    } else {
        handleCommonCommand(name);
    }
}

} // namespace Screens
