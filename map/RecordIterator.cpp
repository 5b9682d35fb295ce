#include "map/RecordIterator.h"

#include "core/Log.h"

namespace Map {

RecordIterator::RecordIterator(const std::uint8_t* begin, const std::uint8_t* end)
    : m_begin(begin), m_current(begin < end ? begin : nullptr), m_end(end) {}

RecordIterator::RecordIterator(const Level::CellItems& items) : RecordIterator(items.current, items.end) {
    m_begin = items.begin;
}

std::uint32_t RecordIterator::checkedSize() {
    const std::uint64_t left = static_cast<std::uint64_t>(m_end - m_current);
    std::uint32_t size = 0;
    if (left >= 4)
        size = static_cast<std::uint32_t>(m_current[1]) << 16 | static_cast<std::uint32_t>(m_current[2]) |
               static_cast<std::uint32_t>(m_current[3]) << 8;
    if (left < 4 || size < 4 || size > left) {
        Log::log(Log::Critical, u"Damaged cell record at offset %d: size %d, %d bytes left",
                 m_current - m_begin, size, left);
        m_current = nullptr;
        return 0;
    }
    return size;
}

bool RecordIterator::next(Record& out) {
    if (m_current == nullptr) return false;
    const std::uint32_t size = checkedSize();
    if (size == 0) return false;
    out.type = m_current[0];
    out.start = m_current;
    out.size = size;
    out.end = m_current + size;
    out.payload = m_current + 4;
    m_current += size;
    if (m_current >= m_end) m_current = nullptr;
    return true;
}

bool RecordIterator::nextOfType(std::uint8_t type, Record& out) {
    while (m_current != nullptr && m_current[0] != type) {
        const std::uint32_t size = checkedSize();
        if (size == 0) return false;
        m_current += size;
        if (m_current >= m_end) m_current = nullptr;
    }
    return next(out);
}

} // namespace Map
