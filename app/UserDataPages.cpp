#include "app/PageCreators.h"

#include "app/fdEngine.h"

#include "render/fdMapRenderer.h"
#include "screens/EditWayPointPage.h"
#include "screens/PointReceiversListPage.h"
#include "screens/ReceivedWayPointsListPage.h"
#include "screens/SelectPoiTypesPage.h"
#include "screens/SelectWayPointPage.h"
#include "screens/fdPageFavorites.h"
#include "screens/fdPageImagesX.h"
#include "screens/fdPageSelectPoiType.h"
#include "screens/fdPageTrackEditX.h"
#include "screens/fdPageTrackListX.h"
#include "screens/fdPageTrackingSettingsX.h"
#include "screens/fdPageWPListX.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "userdata/WaypointStyles.h"

namespace engine {

// The track, waypoint, chooser, favourite and received-waypoint pages.
bool createUserDataPage(fdEngine& engine, const std::string& designName) {
    using namespace Screens;
    Ui::fdInterface* ui = engine.ui();
    Render::RenderStyles* styles = engine.mapRenderer() != nullptr ? &engine.mapRenderer()->styles() : nullptr;
    const std::string& name = designName;
    if (name == "pageTrackList") {
        new fdPageTrackListX(ui, engine.tracks(), engine.messages(), engine.bindings());
    } else if (name == "pageTrackEdit") {
        new fdPageTrackEditX(ui, engine.tracks());
    } else if (name == "pageTrackingSettings") {
        new fdPageTrackingSettingsX(ui, engine.tracks(), engine.messages());
    } else if (name == "select_poi_type") {
        new fdPageSelectPoiType(ui, styles, engine.waypoints(), engine.bindings(), engine.messages());
    } else if (name == "select_poi_types") {
        new SelectPoiTypesPage(ui, styles, engine.bindings());
    } else if (name == "pageImages") {
        new fdPageImagesX(ui, engine.waypoints(), engine.bindings());
    } else if (name == "pageWaypointsList") {
        new fdPageWPListX(ui, engine.waypoints(), engine.bindings(), engine.messages());
    } else if (name == "pageWPEdit") {
        auto* editor = new EditWayPointPage(ui, engine.waypoints(), engine.monitoring(), engine.waypointStyles(),
                                            engine.configRoot(), engine.keyboardLayouts());
        // Without the online service there is nobody to send to: "send" stays hidden.
        if (engine.monitoring() != nullptr)
            editor->setSendHandler([ui](const WayPoint& point) {
                auto* receivers = dynamic_cast<PointReceiversListPage*>(ui->findPage("select_friends"));
                if (receivers == nullptr)
                    return;
                receivers->setPoint(point);
                ui->goToPage(receivers);
            });
    } else if (name == "pageFavorites") {
        new fdPageFavorites(ui, engine.dataPath(u"favorites.kvf"));
    } else if (name == "pageFvDlg") {
        new fdPageFvDlg(ui, dynamic_cast<fdPageFavorites*>(ui->findPage("pageFavorites")));
    } else if (name == "select_waypoint") {
        new SelectWayPointPage(ui, engine.waypoints(), dynamic_cast<fdPageFavorites*>(ui->findPage("pageFavorites")),
                               engine.messages(), engine.bindings());
    } else if (name == "received_waypoints_list") {
        std::unique_ptr<ReceivedPointsSource> source;
        if (engine.monitoring() != nullptr)
            source = std::make_unique<MonitoringPointsSource>(*engine.monitoring());
        new ReceivedWayPointsListPage(ui, std::move(source), engine.waypoints(), engine.waypointStyles(),
                                      engine.configRoot(), engine.messages(), engine.bindings());
    } else {
        return false;
    }
    return true;
}

} // namespace engine
