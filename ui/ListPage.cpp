#include "ui/ListPage.h"

#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/EngineServices.h"
#include "ui/ListModels.h"
#include "ui/MessageBoxText.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"
#include "ui/fdStatic.h"

namespace Ui {

namespace {

// A template window whose buttons speak for themselves: a click of "up"
// reaches the page as "up", not as the window's name.
class ForwardingWindow : public TemplateWindow {
  public:
    using TemplateWindow::TemplateWindow;
    void childClicked(const std::string& name) override {
        if (m_parent)
            m_parent->childClicked(name);
    }
};

const TemplateDescription* findTemplate(fdInterface& ui, const std::string& name) {
    const EngineServices* engine = ui.engine();
    const DesignDescription* design = engine ? engine->design() : nullptr;
    if (!design)
        return nullptr;
    const auto found = design->templates.find(name);
    return found == design->templates.end() ? nullptr : found->second.get();
}

void enable(fdWindowBase& page, const char* name, bool enabled) {
    if (fdWindowBase* button = page.findChild(name)) {
        if (button->enabled() != enabled) {
            button->setEnabled(enabled);
            button->invalidate(0);
        }
    }
}

bool moveCommand(fdWindowBase& page, List* list, const std::string& name, void (List::*up)(),
                 void (List::*down)()) {
    if (name != "up" && name != "down")
        return false;
    if (list != nullptr)
        (list->*(name == "up" ? up : down))();
    ListPage::updateUpDownButtons(page, list);
    return true;
}

} // namespace

void ListPage::updateUpDownButtons(fdWindowBase& page, const List* list) {
    enable(page, "up", list != nullptr && list->canScrollUp());
    enable(page, "down", list != nullptr && list->canScrollDown());
}

void ListPage::enableButtons(fdWindowBase& page, std::initializer_list<const char*> names, bool enabled) {
    for (const char* name : names)
        enable(page, name, enabled);
}

void ListPage::updateEmptyNotice(fdWindowBase& page, bool empty, std::u16string_view text) {
    auto* notice = dynamic_cast<fdStatic*>(page.findChild("empty_notice"));
    if (notice == nullptr)
        return;
    notice->setText(wrapText(*notice, text, notice->rect().w));
    notice->setVisible(empty);
    if (fdWindowBase* list = page.findChild("list"))
        list->setVisible(!empty);
    page.invalidate(0);
}

void ListPage::updateEmptyNotice(fdWindowBase& page, const List* list, std::u16string_view text) {
    updateEmptyNotice(page, list == nullptr || list->count() == 0, text);
}

void ListPage::updateScrollButtons(fdWindowBase& page, const List* list) { updateUpDownButtons(page, list); }

fdWindowBase* ListPage::addUpDownButtons(fdPage& page) {
    if (page.findChild("up") || page.findChild("down"))
        return nullptr;
    fdInterface* ui = page.ui();
    const TemplateDescription* description = findTemplate(*ui, "list_updown");
    if (!description) {
        ui->logMissingOnce("No template list_updown");
        return nullptr;
    }
    auto* window = new ForwardingWindow(*description, &page, "list_updown", ui, nullptr);
    // The template's own anchors keep the buttons beside the list on a
    // screen larger than the design.
    window->setAnchors(description->ltHorz, description->ltVert, description->rbHorz, description->rbVert);
    window->relayout();
    return window;
}

bool ListPage::pageCommand(fdWindowBase& page, List* list, const std::string& name) {
    return moveCommand(page, list, name, &List::pageUp, &List::pageDown);
}

bool ListPage::rowCommand(fdWindowBase& page, List* list, const std::string& name) {
    return moveCommand(page, list, name, &List::scrollUp, &List::scrollDown);
}

bool ListPage::pagingKey(fdWindowBase& page, List* list, const ButtonBindings* bindings, int key, bool sideways) {
    if (!list || !bindings)
        return true;
    SDL_keysym keysym{};
    keysym.sym = static_cast<SDLKey>(key);
    const bool left = bindings->rotated() ? key == bindings->up || key == bindings->kp8
                                          : key == bindings->left || key == bindings->kp4;
    if (bindings->isUpKey(keysym) || (sideways && left))
        list->pageUp();
    else if (bindings->isDownKey(keysym) || (sideways && bindings->isRightKey(keysym)))
        list->pageDown();
    else
        return true;
    updateUpDownButtons(page, list);
    return true;
}

} // namespace Ui
