#include "map/Level.h"

#include "core/Log.h"
#include "map/file/detail/Bytes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace Map {

using File::detail::u16At;

Level::Level(File::GeometrySectionReader& reader, std::uint8_t level, Core::Allocator& heap,
             std::u16string mapPath)
    : m_reader(reader), m_heap(heap), m_level(level), m_mapPath(std::move(mapPath)) {
    const File::LevelDescriptor d = reader.levelDescriptor(level);
    m_coordinateBits = d.coordinateBits;
    m_cellShift = d.cellShift;
    m_originX = d.originX;
    m_originY = d.originY;
    m_width = d.width;
    m_height = d.height;
    m_indexSize = d.indexSize;
    if (m_width == 0 || m_height == 0 || m_indexSize == 0)
        throw std::runtime_error("Level index init failed");
}

Level::~Level() {
    clearArea(m_area);
    if (m_index != nullptr)
        m_heap.free(m_index);
}

bool Level::loadIndex() {
    if (m_index != nullptr)
        return true;
    if (m_indexDamaged) return false;
    const std::uint64_t rowBytes = 4 * (static_cast<std::uint64_t>(m_height) + 1);
    const std::uint64_t bytes = static_cast<std::uint64_t>(m_indexSize) + rowBytes;
    void* block = bytes <= UINT32_MAX ? m_heap.allocate(static_cast<std::uint32_t>(bytes)) : nullptr;
    if (block == nullptr) {
        Log::log(Log::Critical, u"Can't load index from file - not enough memory (%d required)", bytes);
        return false;
    }
    auto* rows = static_cast<std::uint32_t*>(block);
    std::uint32_t* rowStarts = rows + (m_height + static_cast<std::uint64_t>(1));
    auto* cells = reinterpret_cast<std::uint8_t*>(rowStarts + (m_height + static_cast<std::uint64_t>(1)));
    if (!m_reader.loadIndex(m_level, rows, rowStarts, cells)) {
        m_heap.free(block);
        Log::log(Log::Critical, u"Can't load index from file - invalid map file");
        // Every frame would read and log it again.
        m_indexDamaged = true;
        Log::log(Log::Critical, u"Map file '%s': the cell index of level %d is damaged - level skipped",
                 m_mapPath, static_cast<int>(m_level));
        return false;
    }
    m_index = block;
    m_rows = rows;
    m_rowStarts = rowStarts;
    m_cells = cells;
    return true;
}

Level::Lookup Level::lookup(std::uint32_t x, std::uint32_t y) const {
    if (m_index == nullptr || x >= m_width || y >= m_height)
        return {};
    // Walk the row's entries up to the cell; the walk never leaves the row's
    // own entries, whatever the runs say.
    std::uint32_t e = m_rows[y];
    const std::uint32_t end = m_rows[y + 1];
    std::uint64_t column = 0;
    std::uint64_t offset = m_rowStarts[y];
    while (column < x) {
        if (e >= end)
            return {};
        const std::uint8_t* entry = m_cells + 4 * static_cast<std::uint64_t>(e);
        if (entry[0] == 0) {
            column += u16At(entry + 2);
            if (column > x)
                return {};
        } else {
            column += 1;
            offset += (static_cast<std::uint32_t>(entry[1]) << 16) | u16At(entry + 2);
        }
        ++e;
    }
    if (e >= end)
        return {};
    const std::uint8_t* entry = m_cells + 4 * static_cast<std::uint64_t>(e);
    if (entry[0] == 0)
        return {};
    return {entry, static_cast<std::uint32_t>(offset)};
}

std::uint8_t Level::cellValue(std::uint32_t x, std::uint32_t y) const {
    const Lookup found = lookup(x, y);
    return found.entry == nullptr ? 0 : found.entry[0];
}

std::uint32_t Level::cellSize(std::uint32_t x, std::uint32_t y) const {
    return cellRange(x, y).size;
}

Level::CellRange Level::cellRange(std::uint32_t x, std::uint32_t y) const {
    const Lookup found = lookup(x, y);
    if (found.entry == nullptr)
        return {};
    return {found.offset, (static_cast<std::uint32_t>(found.entry[1]) << 16) | u16At(found.entry + 2)};
}

void Level::clearArea(Area& area) {
    if (area.cells != nullptr) {
        const std::uint64_t count = static_cast<std::uint64_t>(area.width) * static_cast<std::uint64_t>(area.height);
        for (std::uint64_t i = 0; i < count; ++i)
            if (area.cells[i] != nullptr)
                m_heap.free(const_cast<std::uint8_t*>(area.cells[i]));
        m_heap.free(static_cast<void*>(area.cells));
    }
    area = Area{};
}

void Level::freeBlocksOutside(Area& area, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    if (area.cells == nullptr)
        return;
    for (std::int64_t row = 0; row < area.height; ++row)
        for (std::int64_t column = 0; column < area.width; ++column) {
            const std::int64_t x = area.x0 + column;
            const std::int64_t y = area.y0 + row;
            const std::uint8_t*& cell = area.cells[row * area.width + column];
            if (cell != nullptr && (x < x0 || x > x1 || y < y0 || y > y1)) {
                m_heap.free(const_cast<std::uint8_t*>(cell));
                cell = nullptr;
            }
        }
}

bool Level::prepareArea(Area& area, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    if (!loadIndex())
        return false;
    // Clamped to the grid on every side: a rectangle reaching far to the
    // left would otherwise ask for an array of billions of cells.
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = static_cast<std::int32_t>(std::min<std::int64_t>(x1, static_cast<std::int64_t>(m_width) - 1));
    y1 = static_cast<std::int32_t>(std::min<std::int64_t>(y1, static_cast<std::int64_t>(m_height) - 1));
    if (x1 < x0 || y1 < y0) {
        clearArea(area);
        return true;
    }
    const bool inside = area.cells != nullptr && x0 >= area.x0 && y0 >= area.y0 &&
                        static_cast<std::int64_t>(x1) < static_cast<std::int64_t>(area.x0) + area.width &&
                        static_cast<std::int64_t>(y1) < static_cast<std::int64_t>(area.y0) + area.height;
    if (!inside) {
        freeBlocksOutside(area, x0, y0, x1, y1);
        const std::uint64_t width = static_cast<std::uint64_t>(static_cast<std::int64_t>(x1) - x0 + 1);
        const std::uint64_t height = static_cast<std::uint64_t>(static_cast<std::int64_t>(y1) - y0 + 1);
        const std::uint64_t count = width * height; // each at most 2^31
        // Sized for the real pointer width; the heap serves 32-bit sizes.
        const bool representable = width <= INT32_MAX && height <= INT32_MAX &&
                                   count <= UINT32_MAX / sizeof(const std::uint8_t*);
        const std::uint64_t bytes = count * sizeof(const std::uint8_t*);
        void* array = representable ? m_heap.allocate(static_cast<std::uint32_t>(bytes)) : nullptr;
        if (array == nullptr) {
            clearArea(area);
            array = representable ? m_heap.allocate(static_cast<std::uint32_t>(bytes)) : nullptr;
            if (array == nullptr) {
                Log::log(Log::Critical, u"Can't setup area - not enough memory (%d required)", bytes);
                return false;
            }
        }
        auto** cells = static_cast<const std::uint8_t**>(array);
        std::fill(cells, cells + count, nullptr);
        if (area.cells != nullptr) {
            for (std::int64_t row = 0; row < area.height; ++row)
                for (std::int64_t column = 0; column < area.width; ++column) {
                    const std::uint8_t* cell = area.cells[row * area.width + column];
                    if (cell == nullptr)
                        continue;
                    // Blocks outside the new rectangle were freed above.
                    const std::int64_t x = area.x0 + column - x0;
                    const std::int64_t y = area.y0 + row - y0;
                    cells[y * static_cast<std::int64_t>(width) + x] = cell;
                }
            m_heap.free(static_cast<void*>(area.cells));
        }
        area.x0 = x0;
        area.y0 = y0;
        area.width = static_cast<std::int32_t>(width);
        area.height = static_cast<std::int32_t>(height);
        area.cells = cells;
    }
    for (std::int32_t y = y0; y <= y1; ++y)
        for (std::int32_t x = x0; x <= x1; ++x) {
            const std::uint8_t*& cell =
                area.cells[static_cast<std::int64_t>(y - area.y0) * area.width + (x - area.x0)];
            if (cell != nullptr)
                continue;
            const CellRange range = cellRange(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
            if (range.size == 0)
                continue;
            void* block = m_heap.allocate(range.size);
            if (block == nullptr) {
                Log::log(Log::Critical, u"Can't load area from file - not enough memory (%d required)", range.size);
                return false;
            }
            if (!m_reader.readBlock(m_level, range.offset, block, range.size)) {
                m_heap.free(block);
                Log::log(Log::Critical, u"Can't load area from file - invalid map file");
                return false;
            }
            cell = static_cast<const std::uint8_t*>(block);
        }
    return true;
}

bool Level::cellItems(const Area& area, std::int32_t x, std::int32_t y, CellItems& out) const {
    if (area.cells == nullptr || x < area.x0 || y < area.y0 ||
        static_cast<std::int64_t>(x) >= static_cast<std::int64_t>(area.x0) + area.width ||
        static_cast<std::int64_t>(y) >= static_cast<std::int64_t>(area.y0) + area.height)
        return false;
    const std::uint8_t* block = area.cells[static_cast<std::int64_t>(y - area.y0) * area.width + (x - area.x0)];
    if (block == nullptr)
        return false;
    const std::uint32_t size = cellSize(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
    out = {block, block, block + size, size, x, y};
    return true;
}

void Level::resetAreas() {
    m_area = Area{};
    m_index = nullptr;
    m_rows = nullptr;
    m_rowStarts = nullptr;
    m_cells = nullptr;
}

} // namespace Map
