#include "positioning/ReplayPortSystem.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace Positioning {

ReplayPortSystem::ReplayPortSystem() = default;

ReplayPortSystem::~ReplayPortSystem() = default;

std::uint32_t ReplayPortSystem::feed(std::string_view bytes, std::size_t chunk) {
    std::uint32_t handed = 0;
    while (!bytes.empty() && m_open) {
        std::size_t n = std::min<std::size_t>(bytes.size(), freeBytes());
        if (chunk > 0) n = std::min(n, chunk);
        std::memcpy(writePosition(), bytes.data(), n);
        bytes.remove_prefix(n);
        handed += handOver(static_cast<std::uint32_t>(n)).sentences;
    }
    return handed;
}

void ReplayPortSystem::setOpen(bool open) {
    if (open == m_open) return;
    m_open = open;
    reset();
    tellPortState(open);
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
    tellEnabled(on);
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
    addListener(listener);
}

bool ReplayPortSystem::removeDataListener(DataListener* listener) {
    removeListener(listener);
    return false; // listeners are never owned here
}

} // namespace Positioning
