#include "screens/fdSearchMenuPage.h"

#include "screens/SearchCallbacks.h"
#include "screens/SearchHistoryPage.h"
#include "screens/fdPageCoordsX.h"
#include "screens/fdPageFindX.h"
#include "screens/fdPageSelectPoiType.h"
#include "screens/fdPageWPListX.h"
#include "search/Engine.h"
#include "ui/fdInterface.h"

#include <SDL/SDL_keysym.h>

namespace Screens {

fdSearchMenuPage::fdSearchMenuPage(Ui::fdInterface* ui, std::string designName, SearchServices services)
    : fdPage(ui, std::move(designName), nullptr), m_services(std::move(services)) {}

void fdSearchMenuPage::afterBuild() {
    for (const char* name : {"monitoring", "received_points"})
        if (Ui::fdWindowBase* tile = findChild(name)) tile->setVisible(m_services.online);
    if (!m_services.online) centreTitle();
}

void fdSearchMenuPage::centreTitle() {
    Ui::fdWindowBase* title = findChild("title");
    const Ui::fdWindowBase* monitoring = findChild("monitoring");
    const Ui::fdWindowBase* settings = findChild("settings");
    if (!title || !monitoring || !settings) return;
    // The room "Online" leaves: the title centred on the bar, as wide as the
    // settings icon lets it be, and centred there at any window width.
    const Ui::WindowRect& page = designRect();
    const Ui::WindowRect& t = title->designRect();
    const int centre = page.x + page.w / 2;
    const int half = settings->designRect().x - (monitoring->designRect().x - (t.x + t.w)) - centre;
    if (half <= 0) return;
    title->setDesignRect(
        {static_cast<std::int16_t>(centre - half), t.y, static_cast<std::uint16_t>(2 * half), t.h});
    title->setAnchors(1, 0, 1, 0);
    title->relayout();
}

std::vector<std::uint16_t> fdSearchMenuPage::allPoiTypes() {
    std::vector<std::uint16_t> types;
    types.reserve(0xFFFF);
    for (std::uint32_t type = 0; type < 0xFFFF; ++type)
        types.push_back(static_cast<std::uint16_t>(type));
    return types;
}

void fdSearchMenuPage::goTo(const std::string& name) {
    if (Ui::fdPage* page = ui()->findPage(name)) ui()->goToPage(page);
}

void fdSearchMenuPage::startNameSearch(int kind, const char* title, bool address) {
    TextSearch::Engine* engine = m_services.engine;
    auto* find = dynamic_cast<fdPageFindX*>(ui()->findPage("pageFind"));
    if (!engine || !find) return;
    std::uint32_t level = 0;
    std::vector<Map::MapAndOffset> refs;
    if (!engine->history().lastFilter(level, refs)) level = 0;
    engine->search(kind, level, refs);
    find->searchStarted(title);
    if (address)
        find->setCallback(std::make_shared<FindStreetForAddressCallbalck>(engine, ui()));
    else
        find->setCallback(std::make_shared<FindObjectOnMapCallbalck>(engine, ui(), kind));
    ui()->goToPage(find);
}

void fdSearchMenuPage::startPoiSearch() {
    auto callback = std::make_shared<SelectPoiTypesForPoiSearchCallback>(m_services.engine, ui());
    Ui::fdPage* page = ui()->findPage("select_poi_types");
    if (auto* chooser = dynamic_cast<PoiTypesChooser*>(page)) {
        chooser->prepare(true);
        chooser->setCallback(callback);
        ui()->goToPage(page);
        return;
    }
    // Without the type chooser the search covers every type.
    callback->result(allPoiTypes());
}

void fdSearchMenuPage::showWayPointTypes() {
    // The waypoint list starts from a choice among the types its points use.
    auto* chooser = dynamic_cast<fdPageSelectPoiType*>(ui()->findPage("select_poi_type"));
    auto* list = dynamic_cast<fdPageWPListX*>(ui()->findPage("pageWaypointsList"));
    if (!chooser || !list) return;
    chooser->showUsedTypes();
    chooser->setCallback(std::make_shared<fdPageWPListX::ShowTypedWayPointsCallback>(*list, *ui()));
    ui()->goToPage(chooser);
}

void fdSearchMenuPage::childClicked(const std::string& name) {
    if (handleCommonCommand(name))
        return;
    if (name == "tab_main") {
        ui()->activatePage(ui()->findPage("menuFind"));
    } else if (name == "tab_lists") {
        ui()->activatePage(ui()->findPage("pageLists"));
    } else if (name == "menu") {
        ui()->activatePage(ui()->findPage("menuMain"));
    } else if (name == "settings") {
        goTo("pageSettingsMain");
    } else if (name == "monitoring") {
        if (m_services.online) goTo("monitoring_prop");
    } else if (name == "received_points") {
        if (m_services.online) goTo("received_waypoints_list");
    } else if (name == "history") {
        if (auto* history = dynamic_cast<SearchHistoryPage*>(ui()->findPage("pageFilterHistory"))) {
            history->showFoundObjects();
            ui()->goToPage(history);
        }
    } else if (name == "options") {
        goTo("menuFilter");
    } else if (name == "poi") {
        startPoiSearch();
    } else if (name == "cities") {
        startNameSearch(TextSearch::CitiesKind, "find_city", false);
    } else if (name == "addr") {
        startNameSearch(TextSearch::StreetsKind, "find_address_street", true);
    } else if (name == "favorites") {
        goTo("pageFavorites");
    } else if (name == "waypoints") {
        showWayPointTypes();
    } else if (name == "tracks") {
        goTo("pageTrackList");
    } else if (name == "coords") {
        goTo(chosenCoordsPage(*ui()));
    } else if (name == "pathes") {
        goTo("pagePathList");
    } else if (name == "streets") {
        startNameSearch(TextSearch::StreetsKind, "find_street", false);
    }
}

bool fdSearchMenuPage::keyDown(int key) {
    if (key != SDLK_ESCAPE) return false;
    childClicked("back");
    return true;
}

} // namespace Screens
