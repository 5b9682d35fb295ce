#include "screens/ListPageSupport.h"

#include "ui/ButtonBindings.h"
#include "ui/ListModels.h"
#include "ui/ListPage.h"
#include "ui/fdButtonX.h"
#include "ui/fdPage.h"
#include "ui/fdStatic.h"
#include "ui/fdList.h"

#include <SDL.h>

namespace Screens {

namespace {

bool moveHighlight(Ui::List& list, const Ui::ButtonBindings* bindings, int key) {
    if (bindings == nullptr)
        return false;
    const SDL_keysym keysym = Ui::keysymOf(key);
    if (bindings->isUpKey(keysym)) {
        const std::int32_t row = list.list().selectedRow();
        if (row > 0)
            list.list().select(row - 1);
        else if (row < 0 && list.list().usedRows > 0)
            list.list().select(0);
        else
            list.pageUp();
        list.list().invalidate(1);
        return true;
    }
    if (bindings->isDownKey(keysym)) {
        list.pageDown();
        return true;
    }
    return false;
}

} // namespace

bool moveHighlightByKey(Ui::fdWindowBase& page, Ui::List* list, const Ui::ButtonBindings* bindings, int key) {
    if (list == nullptr || !moveHighlight(*list, bindings, key))
        return false;
    Ui::ListPage::updateUpDownButtons(page, list);
    return true;
}

bool ListTap::accept(const Ui::fdList& list) { return !list.releaseClick || !list.rowRelease; }

bool listCommand(Ui::fdWindowBase& page, Ui::List* list, ListTap& tap, const std::string& name) {
    if (Ui::ListPage::pageCommand(page, list, name))
        return true;
    if (name != "list")
        return false;
    if (list == nullptr)
        return true;
    if (!tap.accept(list->list())) {
        // The release lit the row under the finger, which the press may
        // have scrolled: the chosen row keeps the light.
        list->markSelection();
        return true;
    }
    list->activateSelected();
    Ui::ListPage::updateUpDownButtons(page, list);
    return true;
}

void hideCheckRow(Ui::TemplateWindow& row) {
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(row.findChild("check_show"))) {
        check->setChecked(false);
        check->setVisible(false);
    }
    if (auto* text = dynamic_cast<Ui::fdStatic*>(row.findChild("text"))) {
        text->setText(u"");
        text->setVisible(false);
    }
}

} // namespace Screens
