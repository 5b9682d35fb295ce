#pragma once
// The online service's main page ("monitoring_prop"): a check box switches
// the service on and off, an animation shows that it is connecting, and
// while it is connected a list shows the friends in their colours with the
// number of points received from each. A tap on a friend's check box
// shows or hides the friend (track and waypoints together); a tap elsewhere
// on the row opens the friend's options page.
//
// Threads: the service's callbacks arrive on its daemon thread and only
// raise flags; the tick applies them to the widgets.

#include "ui/ListModels.h"
#include "ui/fdPage.h"
#include "userdata/MonitoringSystem.h"

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace Core {
class MessageTable;
}
namespace Ui {
class ButtonBindings;
class fdCheckedButton;
class fdList;
} // namespace Ui

namespace Screens {

class OnlineFriendOptionsPage;

class OnlineFriendsListPage final : public Ui::fdPage, public Monitoring::MonitoringListener {
  public:
    class FriendsList;

    // The service may be null (no online service configured): the page
    // then shows the service as off and does nothing.
    OnlineFriendsListPage(Ui::fdInterface* ui, const Core::MessageTable& messages, Monitoring::System* service,
                          const Ui::ButtonBindings* bindings = nullptr);
    ~OnlineFriendsListPage() override;

    void afterBuild() override;
    void onShow() override;
    Ui::TimerPeriod timerPeriod() const override { return Ui::TimerPeriod::every(100); }
    void tick(std::uint32_t now) override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // --- Monitoring::MonitoringListener (daemon thread) ---------------------
    void onConnected() override;
    void onStateChanged() override;
    void onDisconnected() override;
    void onFriendsChanged() override;
    void onTracksReceived() override;
    void onPointsReceived() override;
    void onPointsSeenChanged() override;

    FriendsList* model() const { return m_model.get(); }
    int listMode() const { return m_listMode; }

  private:
    // Mode and rows as the service stands; on show also the check box and
    // the animation.
    void update(bool showing);
    void setListMode(int mode);
    void enableCommand();

    const Core::MessageTable& m_messages;
    Monitoring::System* m_service;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<FriendsList> m_model;
    int m_listMode = -1; // 0 not connected, 1 connected; -1 before the first
    // Raised by the callbacks, taken by the tick.
    std::atomic<bool> m_refresh{false};
    std::atomic<bool> m_hideAnimation{false};
    std::atomic<bool> m_stateChanged{false};
    std::atomic<bool> m_listShown{false};
};

class OnlineFriendsListPage::FriendsList final : public Ui::List {
  public:
    FriendsList(Ui::fdList& list, Monitoring::System* service, const Core::MessageTable& messages);

    std::int32_t count() const override { return static_cast<std::int32_t>(m_friends.size()); }
    void fillEmptyRow(Ui::TemplateWindow& row) override;
    void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
    // Copies the friends again (name order).
    void reload();
    void itemClicked(std::int32_t index) override;

    const std::vector<std::pair<std::uint32_t, Monitoring::Friend>>& friends() const { return m_friends; }

  private:
    Monitoring::System* m_service;
    const Core::MessageTable& m_messages;
    std::vector<std::pair<std::uint32_t, Monitoring::Friend>> m_friends;
};

} // namespace Screens
