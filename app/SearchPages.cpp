#include "app/PageCreators.h"

#include "app/fdEngine.h"
#include "core/Config.h"
#include "guidance/KVMapEventsHandler.h"
#include "map/KVAtlas.h"
#include "render/fdMapRenderer.h"
#include "screens/SearchHistoryPage.h"
#include "screens/fdPageCoordsX.h"
#include "screens/fdPageFindFilterX.h"
#include "screens/fdPageFindResults.h"
#include "screens/fdPageFindX.h"
#include "screens/fdPagePOIInfoX.h"
#include "screens/fdPageStreetListX.h"
#include "screens/fdSearchMenuPage.h"
#include "search/Engine.h"
#include "ui/Messages.h"
#include "userdata/fdWPManager.h"

namespace engine {

namespace {

TextSearch::Engine* textSearch(fdEngine& engine) {
    Map::KVAtlas* atlas = engine.atlas();
    return atlas ? dynamic_cast<TextSearch::Engine*>(atlas->services().searchEngine.get()) : nullptr;
}

Screens::SearchServices searchServices(fdEngine& engine) {
    Screens::SearchServices services;
    services.engine = textSearch(engine);
    services.atlas = engine.atlas();
    services.messages = engine.messages();
    services.config = engine.config() ? engine.config()->root() : nullptr;
    services.layouts = engine.keyboardLayouts();
    services.bindings = engine.bindings();
    services.waypoints = engine.waypoints();
    services.styles = engine.mapRenderer() ? &engine.mapRenderer()->styles() : nullptr;
    services.online = engine.monitoring() != nullptr;
    // The car as the map shows it, while the tracker knows where it is.
    services.carPosition = [&engine]() -> std::optional<Map::Point> {
        Guidance::KVMapEventsHandler* events = engine.mapEvents();
        if (!events || !events->shownCarState().valid) return std::nullopt;
        return events->shownCarState().position.toGlobal();
    };
    return services;
}

} // namespace

// The search, the find and results pages, the history, filter, street list, coordinate and POI information pages.
bool createSearchPage(fdEngine& engine, const std::string& designName) {
    Ui::fdInterface* ui = engine.ui();
    const Core::MessageTable* messages = engine.messages();
    if (designName == "menuFind" || designName == "pageLists") {
        new Screens::fdSearchMenuPage(ui, designName, searchServices(engine));
    } else if (designName == "pageFind") {
        Screens::SearchServices services = searchServices(engine);
        // Nearest POIs without typed letters start from the car.
        if (services.engine) services.engine->setCarPosition(services.carPosition);
        new Screens::fdPageFindX(ui, std::move(services));
    } else if (designName == "pageResults") {
        new Screens::fdPageFindResults(ui, messages, engine.bindings());
    } else if (designName == "pageFilterHistory") {
        // Made before the map renderer, whose styles name the unnamed POIs.
        new Screens::SearchHistoryPage(ui, textSearch(engine), messages, engine.bindings(),
                                       [&engine]() -> Render::RenderStyles* {
                                           return engine.mapRenderer() ? &engine.mapRenderer()->styles() : nullptr;
                                       });
    } else if (designName == "menuFilter") {
        new Screens::fdPageFindFilterX(ui, textSearch(engine), engine.atlas(), messages);
    } else if (designName == "pageStreetList") {
        new Screens::fdPageStreetListX(ui, messages, engine.bindings());
    } else if (designName == "pageSearchCoords") {
        new Screens::fdPageCoordsX(ui, messages);
    } else if (designName == "pageSearchCoordsAlt") {
        new Screens::fdPageCoordsAltX(ui, messages);
    } else if (designName == "pagePOIInfo") {
        new Screens::fdPagePOIInfoX(ui, messages, engine.mapRenderer() ? &engine.mapRenderer()->styles() : nullptr);
    } else {
        return false;
    }
    return true;
}

} // namespace engine
