#include "map/file/GeometrySectionReader.h"

#include "map/file/FormatError.h"
#include "map/file/detail/Bytes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Map::File {

using detail::fits;
using detail::u16At;
using detail::u32At;

namespace {

constexpr std::uint64_t LevelRecordSize = 37;
constexpr std::uint8_t MaxCellShift = 30;

class GeometryImplV0 : public GeometrySectionReader::ImplBase {
public:
    explicit GeometryImplV0(std::shared_ptr<SectionView> view) : m_view(std::move(view)) {
        const std::uint64_t size = m_view->size();
        const std::uint8_t* bytes = m_view->acquire();
        if (size == 0 || bytes == nullptr)
            throw FormatError("Section is too small");
        const std::uint8_t count = bytes[0];
        if (count > GeometrySectionReader::MaxLevels)
            throw FormatError("Too big amount of levels");
        // Without a level there is nothing to draw and no level 0 to end
        // the level parts at.
        if (count == 0)
            throw FormatError("Invalid geometry section");
        std::uint64_t cursor = 1;
        for (std::uint8_t i = 0; i < count; ++i) {
            if (!fits(cursor, LevelRecordSize, size))
                throw FormatError("Section is too small");
            const std::uint8_t* record = bytes + cursor;
            LevelDescriptor& d = m_levels[i];
            d.coordinateBits = record[0];
            d.originX = u32At(record + 1);
            d.originY = u32At(record + 5);
            d.width = u32At(record + 9);
            d.height = u32At(record + 13);
            d.cellShift = record[17];
            d.cellTableSize = u32At(record + 29);
            d.blocksOffset = u32At(record + 33);
            if (d.coordinateBits < 1 || d.coordinateBits > 32 || d.cellShift > MaxCellShift ||
                d.cellTableSize % 4 != 0)
                throw FormatError("Invalid geometry section");
            const std::uint64_t indexSize = 4 * static_cast<std::uint64_t>(d.height) + 4 + d.cellTableSize;
            if (!fits(cursor + LevelRecordSize, indexSize, size) || cursor + LevelRecordSize + indexSize > UINT32_MAX)
                throw FormatError("Section is too small");
            d.indexOffset = static_cast<std::uint32_t>(cursor + LevelRecordSize);
            d.indexSize = static_cast<std::uint32_t>(indexSize);
            cursor += LevelRecordSize + indexSize;
            if (d.blocksOffset > size)
                throw FormatError("Section is too small");
        }
        if (cursor != m_levels[0].blocksOffset)
            throw FormatError("Invalid geometry section");
        m_count = count;
    }

    std::uint8_t levelCount() const override { return m_count; }

    LevelDescriptor levelDescriptor(std::uint8_t level) const override {
        return level < m_count ? m_levels[level] : LevelDescriptor{};
    }

    std::uint32_t indexSize(std::uint8_t level) const override {
        return level < m_count ? m_levels[level].indexSize : 0;
    }

    bool loadIndex(std::uint8_t level, std::uint32_t* rows, std::uint32_t* rowStarts,
                   std::uint8_t* cells) override {
        if (level >= m_count)
            return false;
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        const LevelDescriptor& d = m_levels[level];
        const std::uint8_t* index = bytes + d.indexOffset;
        const std::uint64_t rowCount = static_cast<std::uint64_t>(d.height) + 1;
        const std::uint32_t entries = d.cellTableSize / 4;
        for (std::uint64_t r = 0; r < rowCount; ++r) {
            rows[r] = u32At(index + 4 * r);
            if (rows[r] > entries || (r > 0 && rows[r] < rows[r - 1]))
                return false;
        }
        std::memcpy(cells, index + 4 * rowCount, d.cellTableSize);
        // Block sizes are summed in 64 bits and must stay inside the section.
        const std::uint64_t blockRoom = m_view->size() - d.blocksOffset;
        std::uint64_t total = 0;
        for (std::uint32_t r = 0; r < d.height; ++r) {
            rowStarts[r] = static_cast<std::uint32_t>(total);
            std::uint64_t column = 0;
            for (std::uint32_t e = rows[r]; e < rows[r + 1] && column < d.width; ++e) {
                const std::uint8_t* entry = cells + 4 * static_cast<std::uint64_t>(e);
                if (entry[0] == 0) {
                    column += u16At(entry + 2);
                } else {
                    total += (static_cast<std::uint32_t>(entry[1]) << 16) | u16At(entry + 2);
                    column += 1;
                    if (total > blockRoom)
                        return false;
                }
            }
        }
        rowStarts[d.height] = static_cast<std::uint32_t>(total);
        return true;
    }

    bool readBlock(std::uint8_t level, std::uint32_t offset, void* dest, std::uint32_t size) override {
        if (level >= m_count)
            return false;
        const std::uint64_t from = static_cast<std::uint64_t>(m_levels[level].blocksOffset) + offset;
        if (!fits(from, size, m_view->size()))
            return false;
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        std::memcpy(dest, bytes + from, size);
        return true;
    }

    std::uint32_t readRaw(std::uint32_t offset, void* dest, std::uint32_t size) override {
        const std::uint64_t sectionSize = m_view->size();
        if (offset >= sectionSize)
            return 0;
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return 0;
        const std::uint32_t count = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, sectionSize - offset));
        std::memcpy(dest, bytes + offset, count);
        return count;
    }

private:
    std::shared_ptr<SectionView> m_view;
    LevelDescriptor m_levels[GeometrySectionReader::MaxLevels];
    std::uint8_t m_count = 0;
};

} // namespace

GeometrySectionReader::GeometrySectionReader(std::uint16_t version, std::shared_ptr<SectionView> view) {
    if (version != 0)
        throw FormatError("Unknown geometry section version");
    m_impl = std::make_unique<GeometryImplV0>(std::move(view));
}

GeometrySectionReader::~GeometrySectionReader() = default;

} // namespace Map::File
