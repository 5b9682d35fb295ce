#include "map/file/MappedSection.h"

#include <cstdint>

namespace Map::File {

MappedSectionView::MappedSectionView(std::shared_ptr<FileSystem::ReleasableFileMapping::View> view)
    : m_view(std::move(view)) {}

const std::uint8_t* MappedSectionView::acquire() {
    if (!m_view || !m_view->ensureMapped())
        return nullptr;
    // An empty window maps nothing; readers never read from it.
    static const std::uint8_t empty = 0;
    const std::uint8_t* data = m_view->data();
    return data != nullptr ? data : (m_view->size() == 0 ? &empty : nullptr);
}

std::uint64_t MappedSectionView::size() const { return m_view ? m_view->size() : 0; }

std::shared_ptr<SectionView> MappedFileViews::view(std::uint64_t offset, std::uint64_t size) {
    if (offset > UINT32_MAX || size > UINT32_MAX)
        return nullptr;
    if (size == 0) {
        // createView reads size 0 as "the whole file"; an empty range is a
        // range all the same.
        if (m_mapping.fileSize() == FileSystem::ReleasableFileMapping::UnknownSize || offset > m_mapping.fileSize())
            return nullptr;
        return std::make_shared<MemoryView>(std::vector<std::uint8_t>{});
    }
    auto view = m_mapping.createView(static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(size));
    if (!view)
        return nullptr;
    return std::make_shared<MappedSectionView>(std::move(view));
}

} // namespace Map::File
