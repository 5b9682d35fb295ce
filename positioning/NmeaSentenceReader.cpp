#include "positioning/NmeaSentenceReader.h"

#include <algorithm>
#include <cstring>

namespace Positioning {

namespace {

// Every control character ends a line, and so does every byte from 0x80 up
// (the byte read as a signed 8-bit number is below 32): receivers never send
// them inside a sentence, and noise on the line often looks like them.
bool isLineEnd(char c) {
    return static_cast<std::int8_t>(c) < 32;
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

} // namespace

bool nmeaChecksumMatches(const char* line, std::uint32_t length) {
    static constexpr char hex[] = "0123456789ABCDEF";
    if (length == 0 || line[0] != '$') return false;
    std::uint8_t sum = 0;
    std::uint32_t i = 0;
    for (; i < length && line[i] != '*'; ++i)
        if (line[i] != '$') sum ^= static_cast<std::uint8_t>(line[i]);
    if (i >= length || length - i - 1 < 2) return false;
    return upper(line[i + 1]) == hex[sum >> 4] && upper(line[i + 2]) == hex[sum & 0x0F];
}

std::uint32_t NmeaSentenceReader::scan(std::uint32_t added) {
    added = std::min(added, m_free);
    m_count += added;
    m_free -= added;
    std::uint32_t handed = 0;
    while (m_count >= MinimumScan) {
        std::uint32_t end = m_scanPos;
        while (end < m_count && !isLineEnd(m_buffer[end]))
            ++end;
        if (end == m_count) {
            if (m_count == BufferSize) {
                // A whole buffer without a line end: nothing in it can become
                // a sentence, start afresh.
                reset();
            } else {
                m_scanPos = m_count - 1;
            }
            return handed;
        }
        m_buffer[end] = '\0';
        if (end > 0 && nmeaChecksumMatches(m_buffer, end)) {
            onSentence(m_buffer, end);
            ++handed;
        }
        std::uint32_t next = end + 1;
        while (next < m_count && isLineEnd(m_buffer[next]))
            ++next;
        std::memmove(m_buffer, m_buffer + next, m_count - next);
        m_count -= next;
        m_free += next;
        m_scanPos = 0;
    }
    return handed;
}

std::uint32_t NmeaSentenceReader::feed(std::string_view bytes) {
    std::uint32_t handed = 0;
    while (!bytes.empty()) {
        const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size(), m_free));
        if (n == 0) // cannot happen: a full buffer is always scanned down
            break;
        std::memcpy(writePosition(), bytes.data(), n);
        bytes.remove_prefix(n);
        handed += scan(n);
    }
    return handed;
}

void NmeaSentenceReader::reset() {
    m_count = 0;
    m_free = BufferSize;
    m_scanPos = 0;
}

} // namespace Positioning
