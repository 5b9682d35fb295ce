#pragma once
// The online friends service. Once started it logs the user in to the
// service host, then on its daemon thread ("Online service") periodically
// sends the car's recent positions and receives the friends' tracks and
// waypoints, refreshes the list of friends, and sends single waypoints to
// chosen friends. Pages and the map page observe it through
// MonitoringListener.
//
// The engine creates one when the network binding exists and the
// configuration key `online_url` (the service address, e.g.
// "http://host/POST.php") is not empty; empty means no online service.
//
// Threads: the daemon thread runs idle and every exchange; the interface
// thread calls the rest; the GPS thread feeds the own collector. Lock order:
// the main mutex, then the listeners mutex; collector mutexes inside the
// main mutex.

#include "core/Daemon.h"
#include "core/SdlMutex.h"
#include "userdata/OnlineClock.h"
#include "userdata/PointsCollector.h"
#include "userdata/TrackCollector.h"
#include "userdata/WayPoint.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Network::WinInet {
class Impl;
}
namespace Positioning {
class System;
}

namespace Monitoring {

// Observers of the service. Called on the thread that caused the event
// (mostly the daemon thread) with the listeners mutex held: a callback must
// not add or remove listeners, and one that touches widgets only sets a flag
// that the interface thread's tick acts on.
class MonitoringListener {
  public:
    virtual ~MonitoringListener() = default;
    virtual void onConnected() = 0;
    // The service was stopped while not connected.
    virtual void onStateChanged() = 0;
    // Stopped while connected, or the login changed while connected.
    virtual void onDisconnected() = 0;
    virtual void onFriendsChanged() = 0;
    virtual void onTracksReceived() = 0;
    virtual void onPointsReceived() = 0;
    // Received points were marked deleted.
    virtual void onPointsSeenChanged() = 0;
};

// A friend as the service lists it. Copies share the two collectors.
struct Friend {
    static constexpr std::uint32_t NoId = 0xFFFFFFFF;

    std::u16string name;
    std::uint8_t showTrack = 1; // its track is asked for in every exchange
    std::uint32_t color = 0xFF0000FF;
    std::uint32_t carIndex = 0; // the map draws "car<carIndex % 10>"
    std::shared_ptr<TrackCollector> track = std::make_shared<TrackCollector>();
    std::uint32_t lastTrackId = NoId;
    std::uint8_t sendPoints = 1; // waypoints are exchanged with this friend
    std::shared_ptr<PointsCollector> points = std::make_shared<PointsCollector>();
    std::uint32_t lastPointId = NoId;
};

class System : public Threading::Daemon {
  public:
    // The shortest exchange period the configuration can ask for, and the
    // shortest friend-info period.
    static constexpr std::uint32_t MinTrackPeriod = 10;
    static constexpr std::uint32_t MinFriendInfoPeriod = 120;

    // `gps` may be null (no receiver: the own collector gets no fixes);
    // otherwise the own collector is its tracking listener until the
    // service is destroyed. `trackPeriodSeconds` is the larger of
    // `online_refresh_period` and MinTrackPeriod. Throws std::runtime_error
    // "Can't create monitoring system main mutex" or "Can't create
    // monitoring system listeners mutex".
    System(Positioning::System* gps, std::shared_ptr<Network::WinInet::Impl> network, std::u16string url,
           bool autoConnect, std::uint32_t trackPeriodSeconds, Clock& clock = systemClock());
    // Stops the daemon without telling the listeners.
    ~System() override;

    // Starts the daemon (nothing when it runs); connects at once when a
    // user name is set.
    void start() override;
    // Cancels the exchange under way, drops queued exchanges, ends the
    // daemon within a second and tells the listeners (onDisconnected when it
    // was connected, else onStateChanged).
    void stop() override;
    void idle(const Platform::Event& stop) override;

    // A changed login disconnects; the next idle step connects with it.
    void setLogin(const std::u16string& user, const std::u16string& password);
    void setAutoConnect(bool autoConnect) { m_autoConnect = autoConnect; }
    // Sets the track period (at least MinTrackPeriod, so that no setting
    // makes the service hammer its server) and the friend-info period with
    // it (the larger of twice the track period and MinFriendInfoPeriod).
    void setTrackPeriod(std::uint32_t seconds);
    std::uint32_t trackPeriod() const { return m_trackPeriod; }
    std::uint32_t friendInfoPeriod() const { return m_friendInfoPeriod; }

    // Ids of received waypoints the user deleted: never shown nor accepted
    // again. Stored by the engine in `online_deleted_waypoints`.
    void setSeenPointIds(std::vector<std::uint32_t> ids);
    void addSeenPointId(std::uint32_t id);
    std::vector<std::uint32_t> seenPointIds() const;

    bool isConnected() const;
    void getFriends(std::vector<std::pair<std::uint32_t, Friend>>& out) const;
    bool getFriend(std::uint32_t token, Friend& out) const;
    void setFriendShowTrack(std::uint32_t token, std::uint8_t show);
    void setFriendColor(std::uint32_t token, std::uint32_t color);
    void setFriendSendPoints(std::uint32_t token, std::uint8_t send);

    // Queues the sending of the point to the friends; nothing without
    // receivers.
    void sendPoint(const WayPoint& point, const std::vector<std::uint32_t>& receivers);

    void addListener(MonitoringListener* listener);
    void removeListener(MonitoringListener* listener);

    // The car's own recent positions, sent at every track exchange.
    TrackCollector& ownTrack() { return m_ownTrack; }

  private:
    class ConnectOp;
    class RequestFriendInfoOp;
    class SendTrackOp;
    class SendPointOp;

    std::int64_t now();
    // A server's reply in the log: a bounded, escaped excerpt without
    // secrets, and no more than a few replies a minute (the rest counted
    // and the count logged with the next one). Daemon thread only.
    void logReply(int level, const char16_t* format, const std::string& reply);
    // False when the stop event ended the wait.
    bool backOff(const Platform::Event& stop, std::uint32_t attempt, const char16_t* what);
    bool post(const std::string& request, std::string& reply, const Platform::Event& stop);
    void connect(const Platform::Event& stop, std::uint32_t attempt, const std::u16string& user,
                 const std::u16string& password);
    void requestFriendInfo(const Platform::Event& stop, std::uint32_t attempt);
    void exchangeTracks(const Platform::Event& stop);
    void sendPointNow(const Platform::Event& stop, const WayPoint& point,
                      const std::vector<std::uint32_t>& receivers);
    struct Accepted {
        int tracks = 0;
        int points = 0;
    };
    // Applies a tracks reply under the main mutex; nothing when invalid.
    std::optional<Accepted> applyTracks(const std::string& reply);
    bool markSeen();
    void notify(void (MonitoringListener::*event)());

    Positioning::System* m_gps;
    std::shared_ptr<Network::WinInet::Impl> m_network;
    const std::u16string m_url;
    Clock& m_clock;
    std::atomic<bool> m_autoConnect;
    std::atomic<std::uint32_t> m_trackPeriod{MinTrackPeriod};
    std::atomic<std::uint32_t> m_friendInfoPeriod{MinFriendInfoPeriod};
    // Bumped by every stop: exchanges queued before it are dropped unrun.
    std::atomic<std::uint32_t> m_generation{0};

    mutable Threading::SdlMutex m_mutex; // everything below up to the listeners
    std::u16string m_user;
    std::u16string m_password;
    std::string m_token; // empty: not connected
    std::int64_t m_replyLogMinute = 0;
    std::uint32_t m_repliesLogged = 0;
    std::uint32_t m_repliesNotLogged = 0;
    std::uint32_t m_connectAttempts = 0;
    std::uint32_t m_friendInfoAttempts = 0;
    std::int64_t m_lastTrackTime = 0; // local time, seconds since 1970
    std::int64_t m_lastFriendInfoTime = 0;
    std::map<std::uint32_t, Friend> m_friends;
    std::vector<std::uint32_t> m_seenIds; // ascending

    TrackCollector m_ownTrack;

    Threading::SdlMutex m_listenersMutex;
    std::vector<MonitoringListener*> m_listeners;
};

} // namespace Monitoring
