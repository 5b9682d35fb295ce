#include "screens/fdPageWPListX.h"

#include "screens/EditWayPointPage.h"
#include "screens/WaypointFilters.h"
#include "screens/fdPageSelectPoiType.h"

#include "ui/ListPage.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "userdata/fdWPManager.h"

#include <SDL/SDL_keysym.h>

namespace Screens {

void fdPageWPListX::ShowTypedWayPointsCallback::result(std::uint16_t type) {
    m_page.showType(type);
    m_ui.goToPage(&m_page);
}

fdPageWPListX::fdPageWPListX(Ui::fdInterface* ui, fdWPManager* waypoints, const Ui::ButtonBindings* bindings)
    : fdPage(ui, "pageWaypointsList", nullptr), m_waypoints(waypoints), m_bindings(bindings) {}

void fdPageWPListX::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (list != nullptr && m_waypoints != nullptr) {
        m_model = std::make_unique<WayPointsCategoriesMultiSelectList>(*list, *m_waypoints);
        m_model->rebuild(FilterWaypointsByType(m_type));
    }
}

void fdPageWPListX::showType(std::uint16_t type) {
    m_type = type;
    if (m_model != nullptr)
        m_model->rebuild(FilterWaypointsByType(type));
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
}

void fdPageWPListX::selectPoint(std::uint32_t point) {
    if (m_model != nullptr)
        m_model->selectById(point);
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
}

std::int64_t fdPageWPListX::selectedPoint() const {
    return m_model == nullptr ? -1 : m_model->selectedLivePoint(m_waypoints);
}

bool fdPageWPListX::keyDown(int key) {
    // The list takes every key; Escape still leads out as "back" does.
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return Ui::ListPage::pagingKey(*this, m_model.get(), m_bindings, key);
}

void fdPageWPListX::childClicked(const std::string& name) {
    if (listCommand(*this, m_model.get(), m_tap, name))
        return;
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
        if (point < 0)
            return;
        m_waypoints->deletePoint(static_cast<std::size_t>(point));
        m_model->removePoint(static_cast<std::uint32_t>(point));
        m_model->refresh();
        Ui::ListPage::updateUpDownButtons(*this, m_model.get());
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
