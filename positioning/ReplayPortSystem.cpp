#include "positioning/ReplayPortSystem.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace Positioning {

using detail::Lock;

ReplayPortSystem::ReplayPortSystem() : m_listenersMutex("Can't create GPS listeners mutex") {}

ReplayPortSystem::~ReplayPortSystem() = default;

std::uint32_t ReplayPortSystem::feed(std::string_view bytes, std::size_t chunk) {
    std::uint32_t handed = 0;
    while (!bytes.empty() && m_open) {
        std::size_t n = std::min<std::size_t>(bytes.size(), freeBytes());
        if (chunk > 0) n = std::min(n, chunk);
        std::memcpy(writePosition(), bytes.data(), n);
        bytes.remove_prefix(n);
        handed += scan(static_cast<std::uint32_t>(n));
    }
    return handed;
}

void ReplayPortSystem::setOpen(bool open) {
    if (open == m_open) return;
    m_open = open;
    reset();
    Lock lock(m_listenersMutex);
    for (DataListener* listener : m_listeners)
        listener->portStateChanged(open);
}

void ReplayPortSystem::losePort() {
    setOpen(false);
}

bool ReplayPortSystem::setEnabled(bool on, Threading::ResultCallback* done) {
    std::unique_ptr<Threading::ResultCallback> callback(done);
    if (on == m_enabled) {
        if (callback) callback->result(true);
        return true;
    }
    m_enabled = on;
    {
        Lock lock(m_listenersMutex);
        for (DataListener* listener : m_listeners)
            listener->enabledChanged(on);
    }
    setOpen(on);
    if (callback) callback->result(on == m_open);
    return true;
}

bool ReplayPortSystem::setPort(std::uint32_t portNumber, std::uint32_t speed) {
    m_portNumber = portNumber;
    m_speed = speed;
    return true;
}

bool ReplayPortSystem::findPort(Threading::ProgressCallback* callback) {
    std::unique_ptr<Threading::ProgressCallback> owned(callback);
    if (owned) owned->result(false);
    return true;
}

void ReplayPortSystem::addDataListener(DataListener* listener) {
    Lock lock(m_listenersMutex);
    m_listeners.push_back(listener);
}

bool ReplayPortSystem::removeDataListener(DataListener* listener) {
    Lock lock(m_listenersMutex);
    auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it != m_listeners.end()) m_listeners.erase(it);
    return false; // listeners are never owned here
}

void ReplayPortSystem::onSentence(const char* text, std::uint32_t length) {
    Lock lock(m_listenersMutex);
    for (DataListener* listener : m_listeners)
        listener->onData(text, length);
}

} // namespace Positioning
