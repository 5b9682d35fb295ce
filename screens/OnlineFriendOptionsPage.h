#pragma once
// One friend of the online service ("monitoring_friend_edit"): whether the
// friend's track is shown, whether waypoints are exchanged with the friend,
// and the track colour; the distance to the friend, a jump to the friend's
// last position on the map and the friend's received waypoints. The friends
// page opens it for a friend's token.
//
// Threads: the service's callbacks arrive on its daemon thread and only
// raise a flag; the tick reopens the page (or leaves it when the friend is
// gone) on the interface thread.

#include "map/Point.h"
#include "screens/FriendsChangedListener.h"
#include "ui/fdPage.h"
#include "userdata/MonitoringSystem.h"

#include <cstdint>
#include <optional>

namespace Core {
class MessageTable;
}
namespace Positioning {
class System;
}

namespace Screens {

class OnlineFriendOptionsPage final : public Ui::fdPage, public FriendsChangedListener {
  public:
    // Both may be null: without a service no friend opens; without
    // positioning the distance shows "-".
    OnlineFriendOptionsPage(Ui::fdInterface* ui, const Core::MessageTable& messages, Monitoring::System* service,
                            Positioning::System* positioning = nullptr);
    ~OnlineFriendOptionsPage() override;

    // Fills the page from the friend of that token; false (page untouched)
    // when the service has no such friend.
    bool open(std::uint32_t token);

    Ui::TimerPeriod timerPeriod() const override { return Ui::TimerPeriod::every(100); }
    void tick(std::uint32_t now) override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    std::uint32_t token() const { return m_token; }
    std::uint32_t colourIndex() const { return m_colourIndex; }

  private:
    void showColour();
    void setText(const char* widget, const std::u16string& text);
    std::optional<Map::Point> carPosition() const;

    const Core::MessageTable& m_messages;
    Monitoring::System* m_service;
    Positioning::System* m_positioning;
    std::uint32_t m_token = 0;
    std::uint32_t m_colourIndex = 0;
};

} // namespace Screens
