#include "screens/SelectWayPointPage.h"

#include "screens/WaypointFilters.h"
#include "screens/fdPageFavorites.h"
#include "screens/fdPageSelectPoiType.h"

#include "core/MessageTable.h"
#include "ui/ListPage.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "userdata/fdWPManager.h"

namespace Screens {

void SelectWayPointPage::SelectTypeForWayPointCallback::result(std::uint16_t type) {
    m_page.showType(type);
    m_ui.goToPage(&m_page);
}

SelectWayPointPage::SelectWayPointPage(Ui::fdInterface* ui, fdWPManager* waypoints, fdPageFavorites* favourites,
                                       const Core::MessageTable* messages, const Ui::ButtonBindings* bindings)
    : fdPage(ui, "select_waypoint", nullptr), m_waypoints(waypoints), m_favourites(favourites),
      m_messages(messages), m_bindings(bindings) {}

void SelectWayPointPage::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (list != nullptr && m_waypoints != nullptr)
        m_model = std::make_unique<WayPointsCategoriesSingleSelectList>(*list, *m_waypoints);
    if (m_model != nullptr && m_messages != nullptr)
        m_model->setDefaultCategoryText(m_messages->text("waypoints_default_category"));
}

void SelectWayPointPage::showType(std::uint16_t type) {
    m_type = type;
    if (m_model != nullptr)
        m_model->rebuild(FilterWaypointsByType(type));
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
    // Category headers without a point of the type say nothing: the notice
    // does.
    bool empty = true;
    for (std::int32_t g = 0; m_model != nullptr && g < m_model->groupCount() && empty; ++g)
        empty = m_model->itemCount(g) == 0;
    Ui::ListPage::updateEmptyNotice(*this, empty,
                                    m_messages != nullptr ? m_messages->text("waypoints_of_type_none") : u"");
}

std::int64_t SelectWayPointPage::selectedPoint() const {
    return m_model == nullptr ? -1 : m_model->selectedLivePoint(m_waypoints);
}

bool SelectWayPointPage::keyDown(int key) {
    return moveHighlightByKey(*this, m_model.get(), m_bindings, key);
}

void SelectWayPointPage::childClicked(const std::string& name) {
    if (name == "button_ok") {
        const std::int64_t point = selectedPoint();
        if (point < 0 || m_favourites == nullptr)
            return;
        Favourites& favourites = m_favourites->favourites();
        if (favourites.current < 0 || favourites.current >= int(Favourites::SlotCount))
            return;
        favourites.bind(m_favourites->file(), static_cast<Favourites::Slot>(favourites.current),
                        m_waypoints->point(static_cast<std::size_t>(point)).position,
                        static_cast<std::uint32_t>(point));
        // Back to the page that asked (the favourites or the action page),
        // past the type chooser when it is still in the history: the
        // chooser goes back itself before it reports, so it mostly is not.
        ui()->goBack();
        if (ui()->activePage() == ui()->findPage("select_poi_type"))
            ui()->goBack();
    } else if (name == "button_go") {
        goToWayPoint(*ui(), *m_waypoints, selectedPoint());
    } else if (name == "back") {
        if (auto* chooser = dynamic_cast<fdPageSelectPoiType*>(ui()->findPage("select_poi_type")))
            chooser->setCallback(std::make_shared<SelectTypeForWayPointCallback>(*this, *ui()));
        ui()->goBack();
    } else if (!listCommand(*this, m_model.get(), m_tap, name)) {
        handleCommonCommand(name);
    }
}

} // namespace Screens
