#include "app/PageCreators.h"

#include "app/fdEngine.h"

#include "guidance/KVMapEventsHandler.h"
#include "screens/fdPagePathListX.h"
#include "screens/fdPageSensors.h"
#include "screens/fdPageSettingsOtherX.h"
#include "screens/fdPageSetupRoutingX.h"
#include "ui/fdInterface.h"

namespace engine {

// The render, POI type, polyline, button, route file, routing, other settings and sensors pages.
bool createSettingsPage(fdEngine& engine, const std::string& designName) {
    Ui::fdInterface* ui = engine.ui();
    if (designName == "pagePathList") {
        if (!engine.atlas() || !engine.route()) return false;
        new Screens::fdPagePathListX(ui, *engine.messages(), *engine.atlas(), *engine.route(),
                                     engine.bindings());
        return true;
    }
    if (designName == "pageSetupRouting") {
        // The map events handler (car tracker and guidance) is made after
        // the pages.
        fdEngine* e = &engine;
        new Screens::fdPageSetupRoutingX(
            ui, engine.configRoot(), *engine.messages(),
            [e]() -> Positioning::CarTracker* {
                return e->mapEvents() ? &e->mapEvents()->tracker() : nullptr;
            },
            [e]() -> Guidance::fdMapNavi* { return e->mapEvents() ? &e->mapEvents()->navi() : nullptr; });
        return true;
    }
    if (designName == "pageSettingsOther") {
        new Screens::fdPageSettingsOtherX(ui, engine.configRoot(), engine.sound());
        return true;
    }
    if (designName == "sensors") {
        if (!engine.sensors()) return false;
        new Screens::fdPageSensors(ui, engine.configRoot(), *engine.sensors(), engine.bindings());
        return true;
    }
    return false;
}

} // namespace engine
