#pragma once
// Chooses the friends who receive one waypoint through the online service
// ("select_friends"). The waypoint pages hand it a copy of the point;
// "button_ok" queues the sending to the chosen friends, says in a message
// box what goes to whom, and leaves when the box is closed. "Send" looks
// dead while nobody is chosen, and "All friends" is checked exactly when
// every friend it would choose is chosen.
//
// Threads: the service's callbacks arrive on its daemon thread and only
// raise a flag; the tick refreshes the list on the interface thread.

#include "ui/ListModels.h"
#include "screens/FriendsChangedListener.h"
#include "ui/fdPage.h"
#include "userdata/MonitoringSystem.h"
#include "userdata/WayPoint.h"

#include <memory>
#include <utility>
#include <vector>

namespace Core {
class MessageTable;
}
namespace Ui {
class ButtonBindings;
class TemplateWindow;
class fdList;
} // namespace Ui

namespace Screens {

class PointReceiversListPage final : public Ui::fdPage, public FriendsChangedListener {
  public:
    class FriendsList;

    // The service may be null (no online service configured): nothing is
    // listed nor sent.
    // The message "point_sent_to" of the messages (none: the box shows the
    // point and the names alone) says what was sent.
    PointReceiversListPage(Ui::fdInterface* ui, Monitoring::System* service,
                           const Core::MessageTable* messages = nullptr, WayPoint point = {},
                           const Ui::ButtonBindings* bindings = nullptr);
    ~PointReceiversListPage() override;

    // The waypoint the next "button_ok" sends.
    void setPoint(const WayPoint& point) { m_point = point; }
    const WayPoint& point() const { return m_point; }

    void afterBuild() override;
    void onShow() override;
    Ui::TimerPeriod timerPeriod() const override { return Ui::TimerPeriod::every(100); }
    void tick(std::uint32_t now) override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    FriendsList* model() const { return m_model.get(); }
    // The box that says what was sent, while it is open.
    Ui::TemplateWindow* messageBox() const { return m_box; }

  private:
    void refresh();
    // "button_ok" and "select_all_check" after the selection changed.
    void showSelection();
    void send();

    Monitoring::System* m_service;
    const Core::MessageTable* m_messages;
    WayPoint m_point;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<FriendsList> m_model;
    Ui::TemplateWindow* m_box = nullptr;
};

class PointReceiversListPage::FriendsList final : public Ui::List {
  public:
    FriendsList(Ui::fdList& list, Monitoring::System* service) : List(list), m_service(service) {}

    std::int32_t count() const override { return static_cast<std::int32_t>(m_friends.size()); }
    void fillEmptyRow(Ui::TemplateWindow& row) override;
    void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
    // Copies the friends again (name order); the selection stays.
    void reload();
    void itemClicked(std::int32_t index) override;

    // Checked: every friend whose waypoints are exchanged; unchecked: none.
    void selectAll(bool checked);
    // Whether selectAll(true) would choose nothing more: there is such a
    // friend and every one is chosen.
    bool allSelected() const;
    bool isSelected(std::uint32_t token) const;
    void select(std::uint32_t token, bool selected);
    const std::vector<std::uint32_t>& selection() const { return m_selected; }
    const std::vector<std::pair<std::uint32_t, Monitoring::Friend>>& friends() const { return m_friends; }

  private:
    Monitoring::System* m_service;
    std::vector<std::pair<std::uint32_t, Monitoring::Friend>> m_friends;
    std::vector<std::uint32_t> m_selected; // ascending, each token once
};

} // namespace Screens
