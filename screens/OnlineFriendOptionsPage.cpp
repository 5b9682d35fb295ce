#include "screens/OnlineFriendOptionsPage.h"

#include "core/ValueFormat.h"
#include "positioning/System.h"
#include "screens/ReceivedWayPointsListPage.h"
#include "screens/fdPageMap.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"
#include "userdata/TrackFile.h"
#include "userdata/fdTrackManager.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace Screens {

OnlineFriendOptionsPage::OnlineFriendOptionsPage(Ui::fdInterface* ui, const Core::MessageTable& messages,
                                                 Monitoring::System* service, Positioning::System* positioning)
    : fdPage(ui, "monitoring_friend_edit", nullptr), m_messages(messages), m_service(service),
      m_positioning(positioning) {
    if (m_service != nullptr)
        m_service->addListener(this);
}

OnlineFriendOptionsPage::~OnlineFriendOptionsPage() {
    if (m_service != nullptr)
        m_service->removeListener(this);
}

void OnlineFriendOptionsPage::setText(const char* widget, const std::u16string& text) {
    if (auto* label = dynamic_cast<Ui::fdStatic*>(findChild(widget)))
        label->setText(text);
}

std::optional<Map::Point> OnlineFriendOptionsPage::carPosition() const {
    Positioning::Fix fix;
    if (m_positioning == nullptr || !m_positioning->getFix(fix))
        return std::nullopt;
    return Map::Point{fix.x, fix.y};
}

bool OnlineFriendOptionsPage::open(std::uint32_t token) {
    Monitoring::Friend f;
    if (m_service == nullptr || !m_service->getFriend(token, f))
        return false;
    m_token = token;
    setText("name_label", f.name);
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("show_check")))
        check->setChecked(f.showTrack != 0);
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("send_check")))
        check->setChecked(f.sendPoints != 0);
    // The service may hold any colour; only the palette's are offered.
    const auto at = std::find(trackPalette.begin(), trackPalette.end(), f.color | 0xFF000000u);
    m_colourIndex = at == trackPalette.end() ? 0 : static_cast<std::uint32_t>(at - trackPalette.begin());
    showColour();

    Map::Point last;
    const bool hasLast = f.track && f.track->getLastPoint(last);
    const std::optional<Map::Point> car = carPosition();
    if (hasLast && car) {
        const float metres = fdTrackManager::distanceMetres(*car, last);
        setText("dist_label", Core::formatDistance(m_messages, static_cast<std::int32_t>(std::lround(metres)), false));
    } else {
        setText("dist_label", u"-");
    }
    if (Ui::fdWindowBase* go = findChild("button_go"))
        go->setEnabled(hasLast);
    const std::size_t points = f.points ? f.points->count() : 0;
    setText("points_label", points > 0 ? Core::formatCount(static_cast<std::uint32_t>(points), m_messages, "points_1",
                                                           "points_2", "points_5")
                                       : u"-");
    if (Ui::fdWindowBase* show = findChild("show_points"))
        show->setEnabled(points > 0);
    invalidate(1);
    return true;
}

void OnlineFriendOptionsPage::showColour() {
    if (auto* swatch = dynamic_cast<Ui::fdStatic*>(findChild("track_color"))) {
        swatch->setColor(trackPalette[m_colourIndex]);
        swatch->invalidate(0);
    }
}

void OnlineFriendOptionsPage::tick(std::uint32_t now) {
    if (takeFriendsChanged() && !open(m_token) && ui()->activePage() == this)
        ui()->goBack();
    fdPage::tick(now);
}

bool OnlineFriendOptionsPage::keyDown(int key) {
    if (key != SDLK_ESCAPE)
        return false;
    childClicked("back");
    return true;
}

void OnlineFriendOptionsPage::childClicked(const std::string& name) {
    if (name == "ok") {
        if (m_service != nullptr) {
            const auto* show = dynamic_cast<Ui::fdCheckedButton*>(findChild("show_check"));
            const auto* send = dynamic_cast<Ui::fdCheckedButton*>(findChild("send_check"));
            m_service->setFriendColor(m_token, trackPalette[m_colourIndex]);
            if (show != nullptr)
                m_service->setFriendShowTrack(m_token, show->checked() ? 1 : 0);
            if (send != nullptr)
                m_service->setFriendSendPoints(m_token, send->checked() ? 1 : 0);
        }
        ui()->goBack();
    } else if (name == "track_color") {
        m_colourIndex = (m_colourIndex + 1) % trackPalette.size();
        showColour();
    } else if (name == "button_go") {
        Monitoring::Friend f;
        Map::Point last;
        fdPageMap* map = fdPageMap::instance();
        if (m_service == nullptr || map == nullptr || !m_service->getFriend(m_token, f) || !f.track ||
            !f.track->getLastPoint(last))
            return;
        ui()->activatePage(map);
        map->showPoint(last, false);
    } else if (name == "show_points") {
        Monitoring::Friend f;
        auto* received = dynamic_cast<ReceivedWayPointsListPage*>(ui()->findPage("received_waypoints_list"));
        if (m_service != nullptr && received != nullptr && m_service->getFriend(m_token, f)) {
            // The list opens on this friend's group rather than the newest points.
            received->showSender(m_token);
            ui()->goToPage(received);
        }
    } else {
        handleCommonCommand(name);
        return;
    }
    invalidate(1);
}

} // namespace Screens
