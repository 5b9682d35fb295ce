#include "app/PageCreators.h"

#include "app/fdEngine.h"

#include "guidance/KVMapEventsHandler.h"
#include "screens/fdPagePathListX.h"
#include "screens/fdPageSensors.h"
#include "screens/fdPageSettingsOtherX.h"
#include "screens/fdPageSetupRoutingX.h"
#include "ui/fdInterface.h"
#include "map/KVAtlas.h"
#include "render/fdMapRenderer.h"
#include "screens/PoisSettingsPage.h"
#include "screens/PolylinesSettingsPage.h"
#include "screens/fdPageButtonSettingsX.h"
#include "screens/fdPageSettingsX.h"
#include "ui/ButtonBindings.h"
#include "ui/Messages.h"

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
        new Screens::fdPageSettingsOtherX(ui, engine.configRoot(), engine.sound(), *engine.messages());
        return true;
    }
    if (designName == "sensors") {
        if (!engine.sensors()) return false;
        new Screens::fdPageSensors(ui, engine.configRoot(), *engine.sensors(), engine.bindings());
        return true;
    }
    // Render, POI type, polyline and button-binding settings.
    {
        fdEngine* e = &engine;
        const auto renderer = [e] { return e->mapRenderer(); };
        if (designName == "pageRenderSettings") {
            Screens::fdPageSettingsX::Services services;
            services.root = engine.configRoot();
            services.messages = engine.messages();
            services.atlas = engine.atlas();
            services.renderer = renderer;
            services.camera = &engine.camera();
            services.dayNight = engine.bindings() ? &engine.bindings()->dayNight() : nullptr;
            services.viewNotStored = [e](int error) { e->viewNotStored(error); };
            new Screens::fdPageSettingsX(ui, std::move(services));
            return true;
        }
        if (designName == "pois_settings") {
            new Screens::PoisSettingsPage(
                ui, engine.configRoot(),
                [e]() -> Render::RenderStyles* { return e->mapRenderer() ? &e->mapRenderer()->styles() : nullptr; },
                engine.bindings());
            return true;
        }
        if (designName == "polylines_settings") {
            new Screens::PolylinesSettingsPage(ui, engine.configRoot(), renderer, engine.atlas(), engine.bindings(),
                                               engine.dataPath(u"polylines.xml"));
            return true;
        }
        if (designName == "pageButtonSettings") {
            Ui::ButtonBindings* bindings = engine.bindings();
            new Screens::fdPageButtonSettingsX(ui, bindings, bindings ? engine.dataPath(bindings->buttonsFile) : u"",
                                               engine.messages());
            return true;
        }
    }
    return false;
}

} // namespace engine
