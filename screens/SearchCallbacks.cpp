#include "screens/SearchCallbacks.h"

#include "core/MessageTable.h"
#include "map/MapSet.h"
#include "screens/FoundObject.h"
#include "screens/fdPageFindX.h"
#include "screens/fdPageMap.h"
#include "search/Engine.h"
#include "ui/fdInterface.h"

namespace Screens {

namespace {

fdPageFindX* findPage(Ui::fdInterface* ui) { return dynamic_cast<fdPageFindX*>(ui->findPage("pageFind")); }

} // namespace

bool showOnMapPage(Ui::fdInterface* ui, Map::Point point, bool runAction, const std::u16string& title) {
    Ui::fdPage* page = ui->findPage("pageMap");
    if (!page) return false;
    if (auto* map = dynamic_cast<fdPageMap*>(page)) map->showPoint(point, runAction, title);
    ui->activatePage(page);
    return true;
}

bool showFoundOnMapPage(Ui::fdInterface* ui, TextSearch::Engine* engine, int kind, const TextSearch::ResultItem& item) {
    Ui::fdPage* page = ui->findPage("pageMap");
    if (!page) return false;
    if (auto* map = dynamic_cast<fdPageMap*>(page)) {
        static const Map::MapSet none;
        map->showFound(
            describeFound(kind, item, engine ? engine->maps() : none, map->messages(), map->poiStyles()));
    }
    ui->activatePage(page);
    return true;
}

void FindObjectOnMapCallbalck::showOnMap(const TextSearch::ResultItem& item) {
    if (m_engine) m_engine->history().addFoundObject(m_kind, item);
    showFoundOnMapPage(m_ui, m_engine, m_kind, item);
}

FindStreetForAddressCallbalck::FindStreetForAddressCallbalck(TextSearch::Engine* engine, Ui::fdInterface* ui)
    : FindObjectOnMapCallbalck(engine, ui, TextSearch::StreetsKind) {}

void FindStreetForAddressCallbalck::onResult(const TextSearch::ResultItem& item) {
    const auto* streets = std::get_if<0>(&item.objects);
    if (!m_engine || !streets || streets->empty()) {
        showOnMap(item);
        return;
    }
    if (!m_engine->hasHouses(*streets)) {
        // No house step to offer: the street itself is the address, and
        // the driver is told why no house number was asked for.
        showOnMap(item);
        if (auto* map = dynamic_cast<fdPageMap*>(m_ui->findPage("pageMap")); map && map->messages())
            map->notice(map->messages()->text("find_street_no_houses"));
        return;
    }
    m_engine->searchHouses(*streets);
    fdPageFindX* find = findPage(m_ui);
    if (!find) return;
    find->searchStarted("find_address");
    find->setCallback(std::make_shared<FindHouseForAddressCallbalck>(m_engine, m_ui, shared_from_this()));
}

FindHouseForAddressCallbalck::FindHouseForAddressCallbalck(TextSearch::Engine* engine, Ui::fdInterface* ui,
                                                           std::shared_ptr<FindStreetForAddressCallbalck> street)
    : FindObjectOnMapCallbalck(engine, ui, TextSearch::HousesKind), m_street(std::move(street)) {}

void FindHouseForAddressCallbalck::onBack() {
    fdPageFindX* find = findPage(m_ui);
    if (!find) return;
    find->prepareStreetSearch();
    find->setCallback(m_street);
    find->keepCallbackOnce();
    m_ui->goToPage(find);
}

FindPoiCallbalck::FindPoiCallbalck(TextSearch::Engine* engine, Ui::fdInterface* ui,
                                   std::shared_ptr<SelectPoiTypesForPoiSearchCallback> types)
    : FindObjectOnMapCallbalck(engine, ui, TextSearch::PoisKind), m_types(std::move(types)) {}

void FindPoiCallbalck::onBack() {
    Ui::fdPage* page = m_ui->findPage("select_poi_types");
    auto* chooser = dynamic_cast<PoiTypesChooser*>(page);
    if (!chooser) return;
    chooser->setCallback(m_types);
    m_ui->goToPage(page);
}

void SelectPoiTypesForPoiSearchCallback::result(const std::vector<std::uint16_t>& types) {
    if (types.empty()) return;
    fdPageFindX* find = findPage(m_ui);
    if (!find) return;
    find->preparePoiSearch(types);
    find->setCallback(std::make_shared<FindPoiCallbalck>(m_engine, m_ui, shared_from_this()));
    m_ui->goToPage(find);
}

} // namespace Screens
