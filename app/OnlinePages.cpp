#include "app/PageCreators.h"

#include "app/fdEngine.h"

#include "screens/OnlineFriendOptionsPage.h"
#include "screens/OnlineFriendsListPage.h"
#include "screens/PointReceiversListPage.h"
#include "screens/ServicesPropPage.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"

namespace engine {

// The online friends, account, friend options and point receivers pages.
// Each is made also without an online service (no `online_url`): the
// account page still stores the login, the others show the service as off.
bool createOnlinePage(fdEngine& engine, const std::string& designName) {
    Ui::fdInterface* ui = engine.ui();
    Monitoring::System* service = engine.monitoring();
    if (designName == "services_prop") {
        new Screens::ServicesPropPage(ui, engine.configRoot(), *engine.messages(), service, engine.keyboardLayouts(),
                                      [&engine](bool on) { engine.setOnlineAutoDisable(on); });
    } else if (designName == "monitoring_prop") {
        new Screens::OnlineFriendsListPage(ui, *engine.messages(), service, engine.bindings());
    } else if (designName == "monitoring_friend_edit") {
        new Screens::OnlineFriendOptionsPage(ui, *engine.messages(), service, engine.positioning());
    } else if (designName == "select_friends") {
        new Screens::PointReceiversListPage(ui, service, engine.messages(), WayPoint{}, engine.bindings());
    } else {
        return false;
    }
    return true;
}

} // namespace engine
