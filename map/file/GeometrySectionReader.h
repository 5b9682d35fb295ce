#pragma once
// Reader of the geometry section: the level records, each level's run-length
// coded cell table (its index) and the cell blocks. Everything a level record
// says is checked when the section is opened, so the level index and block
// reads below never leave the section.

#include "map/file/SectionView.h"

#include <cstdint>
#include <memory>

namespace Map::File {

struct LevelDescriptor {
    std::uint8_t coordinateBits = 0;
    std::uint8_t cellShift = 0;
    std::uint32_t originX = 0;
    std::uint32_t originY = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t indexOffset = 0;  // section offset of the row table
    std::uint32_t indexSize = 0;    // 4 * height + 4 + cellTableSize
    std::uint32_t blocksOffset = 0; // section offset of the level's cell blocks
    std::uint32_t cellTableSize = 0;
};

class GeometrySectionReader {
public:
    static constexpr std::uint8_t MaxLevels = 10;

    class ImplBase {
    public:
        virtual ~ImplBase() = default;
        virtual std::uint8_t levelCount() const = 0;
        virtual LevelDescriptor levelDescriptor(std::uint8_t level) const = 0;
        virtual std::uint32_t indexSize(std::uint8_t level) const = 0;
        virtual bool loadIndex(std::uint8_t level, std::uint32_t* rows, std::uint32_t* rowStarts,
                               std::uint8_t* cells) = 0;
        virtual bool readBlock(std::uint8_t level, std::uint32_t offset, void* dest, std::uint32_t size) = 0;
        virtual std::uint32_t readRaw(std::uint32_t offset, void* dest, std::uint32_t size) = 0;
    };

    // Throws FormatError: "Unknown geometry section version" (not 0), "Section
    // is too small" (a level part or a block offset beyond the section), "Too
    // big amount of levels" (more than 10), "Invalid geometry section" (no
    // level, coordinate bits outside 1..32, cell shift above 30, a cell table
    // size that is not a multiple of 4, or level parts that do not end where
    // level 0's blocks begin).
    GeometrySectionReader(std::uint16_t version, std::shared_ptr<SectionView> view);
    ~GeometrySectionReader();

    std::uint8_t levelCount() const { return m_impl->levelCount(); }
    // A zeroed descriptor for a level at or beyond the count.
    LevelDescriptor levelDescriptor(std::uint8_t level) const { return m_impl->levelDescriptor(level); }
    std::uint32_t indexSize(std::uint8_t level) const { return m_impl->indexSize(level); }
    // Copies the row table (height + 1 entries) and the cell table and
    // computes the row starts (height + 1 entries, the last the level's block
    // total). False when the view is lost or the index is inconsistent: row
    // entries that decrease or pass the cell table, or blocks that pass the
    // section end.
    bool loadIndex(std::uint8_t level, std::uint32_t* rows, std::uint32_t* rowStarts, std::uint8_t* cells) {
        return m_impl->loadIndex(level, rows, rowStarts, cells);
    }
    // Copies `size` bytes from the level's block offset + offset; false when
    // that range passes the section end or the view is lost.
    bool readBlock(std::uint8_t level, std::uint32_t offset, void* dest, std::uint32_t size) {
        return m_impl->readBlock(level, offset, dest, size);
    }
    // Copies min(size, section size - offset) bytes from a section offset and
    // returns that count (0 beyond the section or when the view is lost).
    std::uint32_t readRaw(std::uint32_t offset, void* dest, std::uint32_t size) {
        return m_impl->readRaw(offset, dest, size);
    }

private:
    std::unique_ptr<ImplBase> m_impl;
};

} // namespace Map::File
