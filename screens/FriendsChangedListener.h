#pragma once
// A listener of the online service for a page that follows only the friends
// list: the service's daemon thread raises a flag, the page's tick takes it
// on the interface thread.

#include "userdata/MonitoringSystem.h"

#include <atomic>

namespace Screens {

class FriendsChangedListener : public Monitoring::MonitoringListener {
  public:
    // --- Monitoring::MonitoringListener (daemon thread) ---------------------
    void onConnected() override {}
    void onStateChanged() override {}
    void onDisconnected() override {}
    void onFriendsChanged() override { m_friendsChanged = true; }
    void onTracksReceived() override {}
    void onPointsReceived() override {}
    void onPointsSeenChanged() override {}

  protected:
    // True once after the friends changed.
    bool takeFriendsChanged() { return m_friendsChanged.exchange(false); }
    void forgetFriendsChanged() { m_friendsChanged = false; }

  private:
    std::atomic<bool> m_friendsChanged{false};
};

} // namespace Screens
