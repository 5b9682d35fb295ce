#pragma once
// A listener of the online service for tests: it records each callback by a
// short name ("connected", "state", "disconnected", "friends", "tracks",
// "points", "seen") and lets the test wait, bounded, for them.

#include "userdata/MonitoringSystem.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace UserDataTest {

struct MonitoringEvents final : Monitoring::MonitoringListener {
    void onConnected() override { add("connected"); }
    void onStateChanged() override { add("state"); }
    void onDisconnected() override { add("disconnected"); }
    void onFriendsChanged() override { add("friends"); }
    void onTracksReceived() override { add("tracks"); }
    void onPointsReceived() override { add("points"); }
    void onPointsSeenChanged() override { add("seen"); }
    void add(const std::string& event) {
        std::lock_guard lock(mutex);
        events.push_back(event);
        changed.notify_all();
    }
    // Bounded: a broken exchange fails the test instead of hanging it.
    bool waitFor(const std::string& event, long times = 1) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10),
                                [&] { return std::count(events.begin(), events.end(), event) >= times; });
    }
    long count(const std::string& event) {
        std::lock_guard lock(mutex);
        return std::count(events.begin(), events.end(), event);
    }
    std::vector<std::string> all() {
        std::lock_guard lock(mutex);
        return events;
    }
    // Bounded; the condition is checked outside the lock (it may ask the
    // service, whose callbacks take the lock).
    template <class Condition> bool waitUntil(Condition condition) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition()) {
            std::unique_lock lock(mutex);
            if (changed.wait_until(lock, end) == std::cv_status::timeout)
                return condition();
        }
        return true;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
};

} // namespace UserDataTest
