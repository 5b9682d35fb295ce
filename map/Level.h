#pragma once
// One detail level of a map: its frame (coordinate bits, cell shift, origin,
// size in cells), its cell index loaded into the atlas's main heap on first
// use, and areas, windows of loaded cell blocks that the drawing walks cell
// by cell.

#include "core/Allocator.h"
#include "map/file/GeometrySectionReader.h"

#include <cstdint>
#include <string>

namespace Map {

class Level {
public:
    // A window of loaded cells: x0, y0, width, height in cells and a
    // row-major array of width * height block pointers (null: not loaded or
    // empty), the array and the blocks taken from the main heap.
    struct Area {
        std::int32_t x0 = 0;
        std::int32_t y0 = 0;
        std::int32_t width = 0;
        std::int32_t height = 0;
        const std::uint8_t** cells = nullptr;
    };

    // The records of one loaded cell block.
    struct CellItems {
        const std::uint8_t* begin = nullptr;
        const std::uint8_t* current = nullptr;
        const std::uint8_t* end = nullptr;
        std::uint32_t size = 0;
        std::int32_t x = 0;
        std::int32_t y = 0;
    };

    struct CellRange {
        std::uint32_t offset = 0; // within the level's blocks
        std::uint32_t size = 0;
        bool operator==(const CellRange&) const = default;
    };

    // Copies the level's descriptor; throws std::runtime_error "Level index
    // init failed" when its width, height or index size is 0. The map file's
    // path names the file when its index turns out damaged.
    Level(File::GeometrySectionReader& reader, std::uint8_t level, Core::Allocator& heap,
          std::u16string mapPath = {});
    // Frees the index and the default area's blocks.
    ~Level();
    Level(const Level&) = delete;
    Level& operator=(const Level&) = delete;

    std::uint8_t number() const { return m_level; }
    std::uint8_t coordinateBits() const { return m_coordinateBits; }
    std::uint8_t cellShift() const { return m_cellShift; }
    std::uint32_t originX() const { return m_originX; }
    std::uint32_t originY() const { return m_originY; }
    std::uint32_t width() const { return m_width; }
    std::uint32_t height() const { return m_height; }

    // Loads the index once; logs at Critical and returns false when the heap
    // is full or the index is invalid. An invalid index is read and logged
    // once: the level is then left out of drawing and search without
    // another read (the file does not change while its map is open).
    bool loadIndex();
    bool indexDamaged() const { return m_indexDamaged; }
    bool indexLoaded() const { return m_index != nullptr; }

    // Loads the blocks of the cells x0..x1, y0..y1 (inclusive) into an area,
    // loading the index first when needed. The rectangle is clamped to the
    // grid; an empty rectangle empties the area and succeeds; a rectangle
    // inside the area's current one keeps the larger area. False (logged at
    // Critical) when the heap runs out or a block cannot be read; the area
    // keeps the cells it had.
    bool prepareArea(Area& area, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);
    // Frees every block of an area and its array.
    void clearArea(Area& area);
    // The loaded block of a cell of an area; false when the area has no
    // array, the cell lies outside it or has no block.
    bool cellItems(const Area& area, std::int32_t x, std::int32_t y, CellItems& out) const;

    // Byte 0 of the cell's index entry; 0 when empty, outside the grid or the
    // index is not loaded.
    std::uint8_t cellValue(std::uint32_t x, std::uint32_t y) const;
    std::uint32_t cellSize(std::uint32_t x, std::uint32_t y) const;
    CellRange cellRange(std::uint32_t x, std::uint32_t y) const;

    Area& defaultArea() { return m_area; }

    // Forgets the index and the default area without freeing them: the owner
    // has reset the whole heap.
    void resetAreas();

private:
    struct Lookup {
        const std::uint8_t* entry = nullptr; // null: empty
        std::uint32_t offset = 0;
    };
    Lookup lookup(std::uint32_t x, std::uint32_t y) const;
    void freeBlocksOutside(Area& area, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1);

    File::GeometrySectionReader& m_reader;
    Core::Allocator& m_heap;
    std::uint8_t m_level;
    std::uint8_t m_coordinateBits;
    std::uint8_t m_cellShift;
    std::uint32_t m_originX;
    std::uint32_t m_originY;
    std::uint32_t m_width;
    std::uint32_t m_height;
    std::uint32_t m_indexSize;
    std::u16string m_mapPath;
    bool m_indexDamaged = false;
    void* m_index = nullptr;
    const std::uint32_t* m_rows = nullptr;
    const std::uint32_t* m_rowStarts = nullptr;
    const std::uint8_t* m_cells = nullptr;
    Area m_area;
};

} // namespace Map
