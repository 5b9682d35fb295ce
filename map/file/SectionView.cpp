#include "map/file/SectionView.h"

#include <cassert>

namespace Map::File {

MemoryView::MemoryView(std::shared_ptr<const std::vector<std::uint8_t>> bytes, std::uint64_t offset,
                       std::uint64_t size)
    : m_bytes(std::move(bytes)), m_offset(offset), m_size(size) {
    assert(m_offset <= m_bytes->size() && m_size <= m_bytes->size() - m_offset);
}

MemoryView::MemoryView(std::vector<std::uint8_t> bytes)
    : m_bytes(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes))), m_offset(0),
      m_size(m_bytes->size()) {}

const std::uint8_t* MemoryView::acquire() {
    if (!m_available)
        return nullptr;
    // A view of zero bytes still answers with a valid (never read) pointer.
    static const std::uint8_t empty = 0;
    return m_bytes->empty() ? &empty : m_bytes->data() + m_offset;
}

MemoryFile::MemoryFile(std::vector<std::uint8_t> bytes)
    : m_bytes(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes))) {}

std::shared_ptr<SectionView> MemoryFile::view(std::uint64_t offset, std::uint64_t size) {
    const std::uint64_t fileSize = m_bytes->size();
    if (offset > fileSize || size > fileSize - offset)
        return nullptr;
    return std::make_shared<MemoryView>(m_bytes, offset, size);
}

} // namespace Map::File
