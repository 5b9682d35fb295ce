#include "map/AtlasViewState.h"

#include <algorithm>

namespace Map {

void AtlasViewState::setRedrawRequest(std::uint32_t request) {
    Threading::SdlLock lock(m_mutex);
    m_redrawRequest = request;
}

std::uint32_t AtlasViewState::redrawRequest() const {
    Threading::SdlLock lock(m_mutex);
    return m_redrawRequest;
}

std::uint32_t AtlasViewState::takeRedrawRequest() {
    Threading::SdlLock lock(m_mutex);
    const std::uint32_t request = m_redrawRequest;
    m_redrawRequest = NoRedraw;
    return request;
}

void AtlasViewState::setFrameState(std::uint32_t state) {
    Threading::SdlLock lock(m_mutex);
    m_frameState = state;
}

std::uint32_t AtlasViewState::frameState() const {
    Threading::SdlLock lock(m_mutex);
    return m_frameState;
}

void AtlasViewState::setSlow(bool slow) {
    Threading::SdlLock lock(m_mutex);
    m_slow = slow ? 1 : 0;
}

bool AtlasViewState::slow() const {
    Threading::SdlLock lock(m_mutex);
    return m_slow != 0;
}

void AtlasViewState::sortRecords() {
    std::sort(records.begin(), records.end(), StateRecord::drawsBefore);
}

} // namespace Map
