#include "screens/fdPageWPListX.h"

#include "screens/EditWayPointPage.h"
#include "screens/WaypointFilters.h"
#include "screens/fdPageSelectPoiType.h"

#include "core/MessageTable.h"
#include "ui/Keyboard.h"
#include "ui/ListPage.h"
#include "ui/MessageBoxText.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "userdata/fdWPManager.h"

#include <SDL/SDL_keysym.h>

namespace Screens {

void fdPageWPListX::ShowTypedWayPointsCallback::result(std::uint16_t type) {
    m_page.showType(type);
    m_ui.goToPage(&m_page);
}

fdPageWPListX::fdPageWPListX(Ui::fdInterface* ui, fdWPManager* waypoints, const Ui::ButtonBindings* bindings,
                             const Core::MessageTable* messages)
    : fdPage(ui, "pageWaypointsList", nullptr), m_waypoints(waypoints), m_bindings(bindings), m_messages(messages) {}

void fdPageWPListX::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (list != nullptr && m_waypoints != nullptr) {
        m_model = std::make_unique<WayPointsCategoriesMultiSelectList>(*list, *m_waypoints);
        if (m_messages != nullptr)
            m_model->setDefaultCategoryText(m_messages->text("waypoints_default_category"));
        m_model->rebuild(FilterWaypointsByType(m_type));
    }
}

void fdPageWPListX::showType(std::uint16_t type) {
    m_type = type;
    if (m_model != nullptr)
        m_model->rebuild(FilterWaypointsByType(type));
    updateButtons();
}

void fdPageWPListX::selectPoint(std::uint32_t point) {
    if (m_model != nullptr)
        m_model->selectById(point);
    updateButtons();
}

void fdPageWPListX::updateButtons() {
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
    // "Go there", "Edit" and "Delete" act on the chosen point: without one
    // they look dead.
    Ui::ListPage::enableButtons(*this, {"button_go", "button_map", "button_del"}, selectedPoint() >= 0);
}

std::int64_t fdPageWPListX::selectedPoint() const {
    return m_model == nullptr ? -1 : m_model->selectedLivePoint(m_waypoints);
}

void fdPageWPListX::deletePoint(std::int64_t point) {
    if (point < 0 || static_cast<std::size_t>(point) >= m_waypoints->pointCount()) return;
    m_waypoints->deletePoint(static_cast<std::size_t>(point));
    m_model->removePoint(static_cast<std::uint32_t>(point));
    m_model->refresh();
    updateButtons();
    invalidate(1);
}

void fdPageWPListX::closeConfirm() {
    setCapture(nullptr);
    Ui::removeTemplateWindow(*this, m_confirm);
    m_pendingPoint = -1;
    invalidate(1);
}

bool fdPageWPListX::keyDown(int key) {
    // The list takes every key; Escape still leads out as "back" does.
    if (key == SDLK_ESCAPE) {
        // With the question open, Escape keeps the point.
        if (m_confirm != nullptr)
            closeConfirm();
        else
            childClicked("back");
        return true;
    }
    const bool handled = Ui::ListPage::pagingKey(*this, m_model.get(), m_bindings, key);
    updateButtons();
    return handled;
}

void fdPageWPListX::childClicked(const std::string& name) {
    if (listCommand(*this, m_model.get(), m_tap, name)) {
        updateButtons();
        return;
    }
    if (name == "back") {
        if (auto* chooser = dynamic_cast<fdPageSelectPoiType*>(ui()->findPage("select_poi_type")))
            chooser->setCallback(std::make_shared<ShowTypedWayPointsCallback>(*this, *ui()));
        ui()->goBack();
    } else if (name == "button_go") {
        goToWayPoint(*ui(), *m_waypoints, selectedPoint());
    } else if (name == "button_map") {
        const std::int64_t point = selectedPoint();
        auto* editor = dynamic_cast<EditWayPointPage*>(ui()->findPage("pageWPEdit"));
        if (point < 0 || editor == nullptr)
            return;
        editor->editPoint(static_cast<std::int32_t>(point));
        ui()->goToPage(editor);
    } else if (name == "button_del") {
        const std::int64_t point = selectedPoint();
        if (point < 0 || m_confirm != nullptr) return;
        // A deleted point cannot be brought back: the page asks first, in
        // the design's question box; a design without one deletes at once.
        m_confirm = Ui::createTemplateWindow(*this, "mb_delete_point", "confirm_delete");
        if (m_confirm == nullptr) {
            deletePoint(point);
            return;
        }
        m_pendingPoint = point;
        Ui::setMessageText(*m_confirm, m_waypoints->point(static_cast<std::size_t>(point)).name);
        setCapture(m_confirm);
        invalidate(1);
    } else if (name == "confirm_delete" && m_confirm != nullptr) {
        const bool yes = m_confirm->lastChild() == "yes";
        const std::int64_t point = m_pendingPoint;
        closeConfirm();
        if (yes) deletePoint(point);
    } else if (name == "mb") {
        // A message box closes like any other: it leaves the page and the
        // history alone.
        if (Ui::fdWindowBase* box = findChild("mb"); box != nullptr && box != this) {
            setCapture(nullptr);
            box->setVisible(false);
        }
        invalidate(1);
    } else {
        handleCommonCommand(name);
    }
}

} // namespace Screens
