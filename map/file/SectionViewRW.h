#pragma once
// A read-only FileRW over a section view, starting at position 0, so that
// code written for files (the box trees are also stored in index files) runs
// over a map section. Every read acquires the view first: a view the pool
// released and cannot map again makes the read fail.

#include "core/FileRW.h"
#include "map/file/SectionView.h"

#include <memory>

namespace Map::File {

class SectionViewRW : public FileSystem::FileRW {
public:
    explicit SectionViewRW(std::shared_ptr<SectionView> view) : m_view(std::move(view)) {}

    bool isOpen() const override { return m_view != nullptr; }
    int lastError() const override { return m_lastError; }
    std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    // Always fails: the view is read-only.
    std::size_t write(const void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    std::uint32_t tell() override { return m_position; }
    // Positions beyond the view's size fail with error 87.
    bool seek(std::int32_t position) override;
    bool seekRelative(std::int32_t offset) override;
    bool seekToEnd() override;
    void flush() override {}

private:
    std::shared_ptr<SectionView> m_view;
    std::uint32_t m_position = 0;
    int m_lastError = 0;
};

} // namespace Map::File
