#include "userdata/MonitoringSystem.h"

#include "core/Log.h"
#include "core/LoggedText.h"
#include "core/SendInetMessage.h"
#include "core/Text.h"
#include "core/WinInet.h"
#include "map/Projection.h"
#include "platform/Event.h"
#include "positioning/System.h"
#include "userdata/Gpx.h"
#include "userdata/OnlineMessages.h"
#include "userdata/PackedTrack.h"

#include <algorithm>
#include <limits>

namespace Monitoring {
namespace {

// Ids and tokens are printed with %d and read back signed by the service:
// they stay below 2^31, and an id leaves room for the next one.
constexpr std::int64_t MaxToken = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t MaxId = MaxToken - 1;
// What the log shows of a reply (the length is logged whole), and how many
// replies a minute it shows.
constexpr std::size_t MaxLoggedReply = 256;
constexpr std::uint32_t MaxLoggedRepliesPerMinute = 12;

bool inRange(const Messages::Number& n, std::int64_t low, std::int64_t high) {
    return n && *n >= low && *n <= high;
}

std::uint32_t friendInfoPeriodOf(std::uint32_t trackPeriod) {
    return std::max(2 * trackPeriod, System::MinFriendInfoPeriod);
}

} // namespace

// Every operation drops out unrun once the daemon is stopping or was
// stopped after it was queued.
class System::ConnectOp final : public Threading::Daemon::Operation {
  public:
    ConnectOp(System& s, std::uint32_t attempt, std::u16string user, std::u16string password)
        : m_system(s), m_generation(s.m_generation), m_attempt(attempt), m_user(std::move(user)),
          m_password(std::move(password)) {}
    void execute(const Platform::Event& stop) override {
        if (m_generation == m_system.m_generation) m_system.connect(stop, m_attempt, m_user, m_password);
    }

  private:
    System& m_system;
    const std::uint32_t m_generation;
    const std::uint32_t m_attempt;
    const std::u16string m_user;
    const std::u16string m_password;
};

class System::RequestFriendInfoOp final : public Threading::Daemon::Operation {
  public:
    RequestFriendInfoOp(System& s, std::uint32_t attempt)
        : m_system(s), m_generation(s.m_generation), m_attempt(attempt) {}
    void execute(const Platform::Event& stop) override {
        if (m_generation == m_system.m_generation && !stop.isSet())
            m_system.requestFriendInfo(stop, m_attempt);
    }

  private:
    System& m_system;
    const std::uint32_t m_generation;
    const std::uint32_t m_attempt;
};

class System::SendTrackOp final : public Threading::Daemon::Operation {
  public:
    explicit SendTrackOp(System& s) : m_system(s), m_generation(s.m_generation) {}
    void execute(const Platform::Event& stop) override {
        if (m_generation == m_system.m_generation && !stop.isSet()) m_system.exchangeTracks(stop);
    }

  private:
    System& m_system;
    const std::uint32_t m_generation;
};

class System::SendPointOp final : public Threading::Daemon::Operation {
  public:
    SendPointOp(System& s, const WayPoint& point, const std::vector<std::uint32_t>& receivers)
        : m_system(s), m_generation(s.m_generation), m_point(point), m_receivers(receivers) {}
    void execute(const Platform::Event& stop) override {
        if (m_generation == m_system.m_generation && !stop.isSet())
            m_system.sendPointNow(stop, m_point, m_receivers);
    }

  private:
    System& m_system;
    const std::uint32_t m_generation;
    const WayPoint m_point;
    const std::vector<std::uint32_t> m_receivers;
};

System::System(Positioning::System* gps, std::shared_ptr<Network::WinInet::Impl> network, std::u16string url,
               bool autoConnect, std::uint32_t trackPeriodSeconds, Clock& clock)
    : Daemon(u"Online service"), m_gps(gps), m_network(std::move(network)), m_url(std::move(url)),
      m_clock(clock), m_autoConnect(autoConnect), m_mutex("Can't create monitoring system main mutex"),
      m_listenersMutex("Can't create monitoring system listeners mutex") {
    setTrackPeriod(trackPeriodSeconds);
    if (m_gps) m_gps->addListener(&m_ownTrack);
}

System::~System() {
    // The daemon's operations and idle step use this object's members.
    Daemon::stop();
    if (m_gps) m_gps->removeListener(&m_ownTrack);
}

void System::setTrackPeriod(std::uint32_t seconds) {
    m_trackPeriod = std::max(seconds, MinTrackPeriod);
    m_friendInfoPeriod = friendInfoPeriodOf(m_trackPeriod);
}

void System::logReply(int level, const char16_t* format, const std::string& reply) {
    if (level > Log::currentSeverity())
        return;
    const std::int64_t minute = now() / 60;
    if (minute != m_replyLogMinute) {
        m_replyLogMinute = minute;
        m_repliesLogged = 0;
    }
    if (m_repliesLogged >= MaxLoggedRepliesPerMinute) {
        ++m_repliesNotLogged;
        return;
    }
    ++m_repliesLogged;
    if (m_repliesNotLogged != 0) {
        Log::log(level, u"%u server replies not logged", m_repliesNotLogged);
        m_repliesNotLogged = 0;
    }
    Log::log(level, format, static_cast<int>(reply.size()), Log::excerpt(reply, MaxLoggedReply));
}

std::int64_t System::now() {
    return static_cast<std::int64_t>(Positioning::toUnixTime(m_clock.localTime()));
}

void System::start() {
    if (isRunning()) return;
    std::unique_ptr<Operation> connect;
    {
        Threading::SdlLock lock(m_mutex);
        m_lastTrackTime = m_lastFriendInfoTime = now();
        if (!m_user.empty()) connect = std::make_unique<ConnectOp>(*this, 1, m_user, m_password);
    }
    addOperation(std::move(connect));
    Daemon::start();
}

void System::stop() {
    // The stop event cancels a send under way and ends every wait. The
    // session is looked at afterwards: a connect reply may land meanwhile.
    Daemon::stop();
    ++m_generation;
    bool wasConnected = false;
    {
        Threading::SdlLock lock(m_mutex);
        wasConnected = !m_token.empty();
        m_token.clear();
    }
    notify(wasConnected ? &MonitoringListener::onDisconnected : &MonitoringListener::onStateChanged);
}

void System::idle(const Platform::Event& stop) {
    std::unique_ptr<Operation> friendInfo;
    std::unique_ptr<Operation> exchange; // a connect or a track exchange
    {
        Threading::SdlLock lock(m_mutex);
        if (m_token.empty()) {
            if (!m_user.empty())
                exchange = std::make_unique<ConnectOp>(*this, m_connectAttempts++, m_user, m_password);
        } else {
            // A clock set back makes every period due rather than none.
            const std::int64_t t = now();
            const std::int64_t sinceFriendInfo = t - m_lastFriendInfoTime;
            if (sinceFriendInfo >= m_friendInfoPeriod || sinceFriendInfo < 0) {
                friendInfo = std::make_unique<RequestFriendInfoOp>(*this, m_friendInfoAttempts++);
                m_lastFriendInfoTime = t;
            }
            const std::int64_t sinceTrack = t - m_lastTrackTime;
            if (sinceTrack >= m_trackPeriod || sinceTrack < 0) {
                exchange = std::make_unique<SendTrackOp>(*this);
                m_lastTrackTime = t;
            }
        }
    }
    if (!friendInfo && !exchange) {
        constexpr std::uint32_t IdleWaitMs = 500;
        Platform::Event::waitAny({&stop, &queuedEvent()}, IdleWaitMs);
        return;
    }
    addOperation(std::move(friendInfo));
    addOperation(std::move(exchange));
}

bool System::backOff(const Platform::Event& stop, std::uint32_t attempt, const char16_t* what) {
    if (attempt == 0) return true;
    const int ms = 1000 << std::min<std::uint32_t>(attempt - 1, 5);
    Log::log(Log::Normal, u"Online service %s wait %d ms", what, ms);
    if (!m_clock.waitForStop(stop, static_cast<std::uint32_t>(ms))) return true;
    Log::log(Log::Normal, u"Online service %s wait terminated", what);
    return false;
}

bool System::post(const std::string& request, std::string& reply, const Platform::Event& stop) {
    Network::SendControl control;
    control.stop = &stop;
    return Network::SendInetMessage(u"", m_network, u"Mirel online", u"POST", m_url, request, reply,
                                    m_autoConnect, control);
}

void System::connect(const Platform::Event& stop, std::uint32_t attempt, const std::u16string& user,
                     const std::u16string& password) {
    Log::log(Log::Normal, u"Online service connecting ...");
    if (!backOff(stop, attempt, u"connecting")) return;
    if (stop.isSet()) {
        Log::log(Log::Normal, u"Online service connecting terminated");
        return;
    }
    std::string reply;
    if (!post(Messages::connectRequest(user, password), reply, stop)) return;
    const std::optional<std::string> token = Messages::connectReply(reply);
    if (!token) {
        logReply(Log::Critical, u"Invalid MCT response (%d bytes): %s", reply);
        return;
    }
    logReply(Log::Info, u"MCT response (%d bytes): %s", reply);
    {
        Threading::SdlLock lock(m_mutex);
        // A login changed while the request was out: this session belongs
        // to the old one, the next idle step connects with the new.
        if (user != m_user || password != m_password) return;
        // The session id is a secret: whoever reads the log must not take
        // over the session.
        Log::log(Log::Normal, u"Online service connected (session id: %hs)", std::string(Log::SecretMask));
        m_connectAttempts = m_friendInfoAttempts = 0;
        m_token = *token;
        const std::int64_t t = now();
        m_lastFriendInfoTime = t - m_friendInfoPeriod;
        m_lastTrackTime = t - m_trackPeriod;
        m_friends.clear();
    }
    notify(&MonitoringListener::onConnected);
}

void System::requestFriendInfo(const Platform::Event& stop, std::uint32_t attempt) {
    Log::log(Log::Normal, u"Online service requesting friend info ...");
    if (!backOff(stop, attempt, u"requesting friend info")) return;
    std::string token;
    {
        Threading::SdlLock lock(m_mutex);
        token = m_token;
    }
    if (token.empty()) return;
    std::string reply;
    if (!post(Messages::friendInfoRequest(token), reply, stop)) return;
    const auto entries = Messages::friendsReply(reply);
    if (!entries) {
        logReply(Log::Critical, u"Invalid MFI response (%d bytes): %s", reply);
        return;
    }
    logReply(Log::Info, u"MFI response (%d bytes): %s", reply);
    {
        Threading::SdlLock lock(m_mutex);
        for (auto& [token, f] : m_friends)
            f.name.clear();
        // A friend's token is masked in the log as the session's is (and as
        // the echoed replies mask it): the name says who it is.
        for (const Messages::FriendEntry& e : *entries) {
            if (!inRange(e.token, 0, MaxToken) || !e.name) continue;
            const auto t = static_cast<std::uint32_t>(*e.token);
            const auto it = m_friends.find(t);
            if (it != m_friends.end()) {
                it->second.name = *e.name;
                Log::log(Log::Normal, u"Friend refreshed (token: %hs name: '%s')", Log::SecretMask, *e.name);
            } else {
                m_friends[t].name = *e.name;
                Log::log(Log::Normal, u"Friend added (token: %hs name: '%s')", Log::SecretMask, *e.name);
            }
        }
        for (auto it = m_friends.begin(); it != m_friends.end();) {
            if (!it->second.name.empty()) {
                ++it;
                continue;
            }
            Log::log(Log::Normal, u"Friend removed (token: %hs)", Log::SecretMask);
            it = m_friends.erase(it);
        }
        m_friendInfoAttempts = 0;
    }
    notify(&MonitoringListener::onFriendsChanged);
}

void System::exchangeTracks(const Platform::Event& stop) {
    Messages::TrackRequest request;
    {
        Threading::SdlLock lock(m_mutex);
        request.token = m_token;
        std::int64_t maxTrack = -1;
        std::int64_t maxPoint = -1;
        for (const auto& [token, f] : m_friends) {
            if (f.showTrack) {
                request.friends.push_back(token);
                if (f.lastTrackId != Friend::NoId) maxTrack = std::max<std::int64_t>(maxTrack, f.lastTrackId);
            }
            if (f.sendPoints && f.lastPointId != Friend::NoId)
                maxPoint = std::max<std::int64_t>(maxPoint, f.lastPointId);
        }
        if (maxTrack >= 0) request.minTrackId = static_cast<std::int32_t>(maxTrack + 1);
        if (maxPoint >= 0) request.minPointId = static_cast<std::int32_t>(maxPoint + 1);
    }
    // Disconnected since the exchange was queued: the points wait for the
    // next session.
    if (request.token.empty()) return;
    // Reset whatever the exchange's outcome: a failed one loses these points
    // rather than send them twice.
    std::vector<std::uint8_t> packed;
    m_ownTrack.packAndReset(packed, request.lastPosition);
    if (!packed.empty()) {
        request.packedSize = static_cast<std::uint32_t>(packed.size());
        request.packedBase64 = PackedTrack::compress(packed);
    }
    std::string reply;
    if (!post(Messages::trackRequest(request), reply, stop)) return;
    const std::optional<Accepted> accepted = applyTracks(reply);
    if (!accepted) {
        logReply(Log::Critical, u"Invalid MTR response (%d bytes): %s", reply);
        return;
    }
    logReply(Log::Info, u"MTR response (%d bytes): %s", reply);
    {
        Threading::SdlLock lock(m_listenersMutex);
        for (MonitoringListener* l : m_listeners) {
            if (accepted->tracks > 0) l->onTracksReceived();
            if (accepted->points > 0) l->onPointsReceived();
        }
    }
}

std::optional<System::Accepted> System::applyTracks(const std::string& reply) {
    const auto entries = Messages::tracksReply(reply);
    if (!entries) return std::nullopt;
    Accepted accepted;
    Threading::SdlLock lock(m_mutex);
    for (const auto& entry : *entries) {
        if (const auto* t = std::get_if<Messages::TrackEntry>(&entry)) {
            if (!inRange(t->id, 0, MaxId) || !inRange(t->token, 0, MaxToken) || !t->size || *t->size < 1 ||
                !t->value)
                continue;
            const int token = static_cast<int>(*t->token);
            const int id = static_cast<int>(*t->id);
            const std::int64_t size = *t->size;
            const auto bytes = size <= PackedTrack::MaxBytes
                                   ? PackedTrack::inflate(*t->value, static_cast<std::uint32_t>(size))
                                   : std::nullopt;
            if (!bytes) {
                Log::log(Log::Normal, u"Friend track does not inflate to its size (token: %hs, size: %I64d)",
                         Log::SecretMask, size);
                continue;
            }
            const auto it = m_friends.find(static_cast<std::uint32_t>(token));
            if (it == m_friends.end()) {
                Log::log(Log::Normal, u"Unknown friend track (token: %hs, size: %d)", Log::SecretMask,
                         static_cast<int>(size));
                continue;
            }
            Friend& f = it->second;
            if (f.lastTrackId != Friend::NoId && static_cast<std::uint32_t>(id) <= f.lastTrackId) {
                Log::log(Log::Normal, u"Friend tracks come in wrong order (token: %hs, id: %d, size: %d)",
                         Log::SecretMask, id, static_cast<int>(size));
                continue;
            }
            f.lastTrackId = static_cast<std::uint32_t>(id);
            f.track->appendPacked(*bytes);
            ++accepted.tracks;
        } else {
            const auto& p = std::get<Messages::PointEntry>(entry);
            if (!inRange(p.id, 0, MaxId)) continue;
            const auto id = static_cast<std::uint32_t>(*p.id);
            if (std::binary_search(m_seenIds.begin(), m_seenIds.end(), id)) {
                Log::log(Log::Normal, u"Deleted waypoint %d received", id);
                continue;
            }
            if (!inRange(p.token, 0, MaxToken) || !inRange(p.type, 0, 0xFFFF) || !p.latitude || !p.longitude)
                continue;
            const auto token = static_cast<std::uint32_t>(*p.token);
            if (!Gpx::isOnGlobe(*p.latitude, *p.longitude)) {
                Log::log(Log::Normal, u"Friend waypoint off the globe (token: %hs, id: %d)", Log::SecretMask, id);
                continue;
            }
            const auto it = m_friends.find(token);
            if (it == m_friends.end()) {
                Log::log(Log::Normal, u"Unknown friend waypoint (token: %hs)", Log::SecretMask);
                continue;
            }
            Friend& f = it->second;
            if (f.lastPointId != Friend::NoId && id <= f.lastPointId) {
                Log::log(Log::Normal, u"Friend waypoints come in wrong order (token: %hs, id: %d)", Log::SecretMask, id);
                continue;
            }
            WayPoint w;
            w.name = p.name;
            w.comment = p.comment;
            w.type = static_cast<std::uint16_t>(*p.type);
            w.position = Map::Projection::fromGeo(*p.latitude, *p.longitude);
            w.id = id;
            f.lastPointId = id;
            f.points->add(w);
            ++accepted.points;
        }
    }
    return accepted;
}

void System::sendPointNow(const Platform::Event& stop, const WayPoint& point,
                          const std::vector<std::uint32_t>& receivers) {
    std::string token;
    {
        Threading::SdlLock lock(m_mutex);
        token = m_token;
    }
    if (token.empty()) return;
    std::string reply;
    if (!post(Messages::pointRequest(token, receivers, point), reply, stop)) return;
    if (Messages::pointReply(reply))
        logReply(Log::Info, u"MPT response (%d bytes): %s", reply);
    else
        logReply(Log::Critical, u"Invalid MPT response (%d bytes): %s", reply);
}

void System::setLogin(const std::u16string& user, const std::u16string& password) {
    bool wasConnected = false;
    {
        Threading::SdlLock lock(m_mutex);
        if (user == m_user && password == m_password) return;
        m_user = user;
        m_password = password;
        wasConnected = !m_token.empty();
        m_token.clear();
        Log::log(Log::Normal, u"Online service login set to '%s'", user);
    }
    if (wasConnected) notify(&MonitoringListener::onDisconnected);
}

bool System::markSeen() {
    bool changed = false;
    for (auto& [token, f] : m_friends)
        changed = f.points->markDeleted(m_seenIds) || changed;
    return changed;
}

void System::setSeenPointIds(std::vector<std::uint32_t> ids) {
    Threading::SdlLock lock(m_mutex);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    m_seenIds = std::move(ids);
    if (markSeen()) notify(&MonitoringListener::onPointsSeenChanged);
}

void System::addSeenPointId(std::uint32_t id) {
    Threading::SdlLock lock(m_mutex);
    const auto at = std::lower_bound(m_seenIds.begin(), m_seenIds.end(), id);
    if (at == m_seenIds.end() || *at != id) m_seenIds.insert(at, id);
    if (markSeen()) notify(&MonitoringListener::onPointsSeenChanged);
}

std::vector<std::uint32_t> System::seenPointIds() const {
    Threading::SdlLock lock(m_mutex);
    return m_seenIds;
}

bool System::isConnected() const {
    Threading::SdlLock lock(m_mutex);
    return !m_token.empty();
}

void System::getFriends(std::vector<std::pair<std::uint32_t, Friend>>& out) const {
    Threading::SdlLock lock(m_mutex);
    out.assign(m_friends.begin(), m_friends.end());
}

bool System::getFriend(std::uint32_t token, Friend& out) const {
    Threading::SdlLock lock(m_mutex);
    const auto it = m_friends.find(token);
    if (it == m_friends.end()) return false;
    out = it->second;
    return true;
}

void System::setFriendShowTrack(std::uint32_t token, std::uint8_t show) {
    Threading::SdlLock lock(m_mutex);
    if (const auto it = m_friends.find(token); it != m_friends.end()) it->second.showTrack = show;
}

void System::setFriendColor(std::uint32_t token, std::uint32_t color) {
    Threading::SdlLock lock(m_mutex);
    if (const auto it = m_friends.find(token); it != m_friends.end()) it->second.color = color;
}

void System::setFriendSendPoints(std::uint32_t token, std::uint8_t send) {
    Threading::SdlLock lock(m_mutex);
    if (const auto it = m_friends.find(token); it != m_friends.end()) it->second.sendPoints = send;
}

void System::sendPoint(const WayPoint& point, const std::vector<std::uint32_t>& receivers) {
    if (!receivers.empty()) addOperation(std::make_unique<SendPointOp>(*this, point, receivers));
}

void System::addListener(MonitoringListener* listener) {
    Threading::SdlLock lock(m_listenersMutex);
    m_listeners.push_back(listener);
}

void System::removeListener(MonitoringListener* listener) {
    Threading::SdlLock lock(m_listenersMutex);
    std::erase(m_listeners, listener);
}

void System::notify(void (MonitoringListener::*event)()) {
    Threading::SdlLock lock(m_listenersMutex);
    for (MonitoringListener* l : m_listeners)
        (l->*event)();
}

} // namespace Monitoring
