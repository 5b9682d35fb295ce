#include "platform/Clipboard.h"

#include "platform/Error.h"

namespace Platform {

Clipboard& Clipboard::instance() {
    static Clipboard c;
    return c;
}

bool Clipboard::open(const void* owner) {
    std::lock_guard lock(m_mutex);
    if (m_open) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    m_open = true;
    m_owner = owner;
    return true;
}

void Clipboard::close() {
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_owner = nullptr;
}

bool Clipboard::isFormatAvailable(unsigned format) const {
    std::lock_guard lock(m_mutex);
    for (const auto& b : m_blocks)
        if (b.format == format)
            return true;
    return false;
}

std::optional<std::vector<std::uint8_t>> Clipboard::data(unsigned format) const {
    std::lock_guard lock(m_mutex);
    for (const auto& b : m_blocks)
        if (b.format == format)
            return b.bytes;
    setLastError(ErrorInvalidParameter);
    return std::nullopt;
}

bool Clipboard::setData(unsigned format, std::vector<std::uint8_t> block) {
    std::lock_guard lock(m_mutex);
    for (auto& b : m_blocks) {
        if (b.format == format) {
            b.bytes = std::move(block);
            return true;
        }
    }
    m_blocks.push_back({format, std::move(block)});
    return true;
}

void Clipboard::empty() {
    std::lock_guard lock(m_mutex);
    m_blocks.clear();
}

} // namespace Platform
