#pragma once
// The section readers' byte windows over a releasable file mapping: each
// view re-maps itself (ensureMapped) before every access, as the resource
// pool may have released it since the last one.

#include "core/ReleasableFileMapping.h"
#include "map/file/SectionView.h"

#include <memory>

namespace Map::File {

class MappedSectionView : public SectionView {
public:
    explicit MappedSectionView(std::shared_ptr<FileSystem::ReleasableFileMapping::View> view);
    const std::uint8_t* acquire() override;
    std::uint64_t size() const override;

private:
    std::shared_ptr<FileSystem::ReleasableFileMapping::View> m_view;
};

// Views of byte ranges of one mapped file; a range outside the file, or one
// beyond 32-bit offsets and sizes, gives no view.
class MappedFileViews : public ViewFactory {
public:
    explicit MappedFileViews(FileSystem::ReleasableFileMapping& mapping) : m_mapping(mapping) {}
    std::shared_ptr<SectionView> view(std::uint64_t offset, std::uint64_t size) override;

private:
    FileSystem::ReleasableFileMapping& m_mapping;
};

} // namespace Map::File
