#include "map/file/SectionViewRW.h"

#include <algorithm>
#include <cstring>

namespace Map::File {

namespace {
constexpr int InvalidParameter = 87;
constexpr int NotEnoughMemory = 8;
constexpr int WriteProtect = 19;
} // namespace

std::size_t SectionViewRW::read(void* buffer, std::size_t itemSize, std::size_t itemCount) {
    if (itemSize == 0 || itemCount == 0)
        return 0;
    const std::uint8_t* bytes = m_view->acquire();
    if (bytes == nullptr) {
        m_lastError = NotEnoughMemory;
        return 0;
    }
    const std::uint64_t size = m_view->size();
    const std::uint64_t left = m_position < size ? size - m_position : 0;
    const std::uint64_t items = std::min<std::uint64_t>(itemCount, left / itemSize);
    std::memcpy(buffer, bytes + m_position, items * itemSize);
    m_position += static_cast<std::uint32_t>(items * itemSize);
    return static_cast<std::size_t>(items);
}

std::size_t SectionViewRW::write(const void*, std::size_t, std::size_t) {
    m_lastError = WriteProtect;
    return 0;
}

bool SectionViewRW::seek(std::int32_t position) {
    if (position < 0 || static_cast<std::uint64_t>(position) > m_view->size()) {
        m_lastError = InvalidParameter;
        return false;
    }
    m_position = static_cast<std::uint32_t>(position);
    return true;
}

bool SectionViewRW::seekRelative(std::int32_t offset) {
    const std::int64_t target = static_cast<std::int64_t>(m_position) + offset;
    if (target < 0 || static_cast<std::uint64_t>(target) > m_view->size()) {
        m_lastError = InvalidParameter;
        return false;
    }
    m_position = static_cast<std::uint32_t>(target);
    return true;
}

bool SectionViewRW::seekToEnd() {
    if (m_view->size() > 0xFFFFFFFEu) {
        m_lastError = InvalidParameter;
        return false;
    }
    m_position = static_cast<std::uint32_t>(m_view->size());
    return true;
}

} // namespace Map::File
