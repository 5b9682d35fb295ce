#include "map/file/AddressSectionReader.h"

#include "map/file/FormatError.h"
#include "map/file/detail/Bytes.h"

namespace Map::File {

using detail::fits;
using detail::i32At;
using detail::u16At;
using detail::u32At;

namespace {

class AddressImplV1 : public AddressSectionReader::ImplBase {
public:
    explicit AddressImplV1(std::shared_ptr<SectionView> view) : m_view(std::move(view)) {
        const std::uint64_t size = m_view->size();
        const std::uint8_t* bytes = m_view->acquire();
        if (size < 28 || bytes == nullptr)
            throw FormatError("Section is too small");
        for (int t = 0; t < 6; ++t) {
            m_header.tables[t] = u32At(bytes + 4 * t);
            if (!fits(m_header.tables[t], 4, size))
                throw FormatError("Section is too small");
            m_counts[t] = u32At(bytes + m_header.tables[t]);
            // Table 5's records are at least 27 bytes each.
            const std::uint64_t least =
                static_cast<std::uint64_t>(m_counts[t]) * AddressSectionReader::RecordSizes[t];
            if (!fits(static_cast<std::uint64_t>(m_header.tables[t]) + 4, least, size))
                throw FormatError("Section is too small");
        }
        m_header.listPool = u32At(bytes + 24);
        if (m_header.listPool > size)
            throw FormatError("Section is too small");
    }

    bool header(AddressHeader& out) override {
        if (m_view->acquire() == nullptr)
            return false;
        out = m_header;
        return true;
    }

    std::uint32_t count(int table) const override { return table >= 0 && table < 6 ? m_counts[table] : 0; }

    bool readCountry(std::uint32_t offset, CountryRecord& out) override {
        const std::uint8_t* r = record(0, offset, 4);
        if (r == nullptr)
            return false;
        out.name = u32At(r);
        return true;
    }

    bool readRegion(std::uint32_t offset, RegionRecord& out) override {
        const std::uint8_t* r = record(1, offset, 8);
        if (r == nullptr)
            return false;
        out = {u32At(r), u32At(r + 4)};
        return true;
    }

    bool readDistrict(std::uint32_t offset, DistrictRecord& out) override {
        const std::uint8_t* r = record(2, offset, 12);
        if (r == nullptr)
            return false;
        out = {u32At(r), u32At(r + 4), u32At(r + 8)};
        return true;
    }

    bool readCity(std::uint32_t offset, CityRecord& out) override {
        const std::uint8_t* r = record(3, offset, 28);
        if (r == nullptr)
            return false;
        out = {u32At(r), u32At(r + 4), u32At(r + 8), u32At(r + 12), u32At(r + 16), i32At(r + 20), i32At(r + 24)};
        return true;
    }

    bool readStreet(std::uint32_t offset, StreetRecord& out) override {
        const std::uint8_t* r = record(4, offset, 39);
        if (r == nullptr)
            return false;
        out = {u32At(r),       u32At(r + 4),  u32At(r + 8),  u32At(r + 12), u32At(r + 16), u32At(r + 20),
               i32At(r + 24), i32At(r + 28), u32At(r + 32), u16At(r + 36), r[38]};
        return true;
    }

    bool readObject(std::uint32_t offset, ObjectRecord& out) override {
        const std::uint8_t* r = record(5, offset, 27);
        if (r == nullptr)
            return false;
        out = {u32At(r), u32At(r + 4), u32At(r + 8), u16At(r + 12), u32At(r + 14), i32At(r + 18), i32At(r + 22), r[26]};
        return true;
    }

    bool readObjectWithExtras(std::uint32_t offset, ObjectRecord& out, ObjectExtras& extras) override {
        ObjectRecord fixed;
        if (!readObject(offset, fixed))
            return false;
        int present = 0;
        for (int bit = 7; bit >= 2; --bit)
            present += (fixed.flags >> bit) & 1;
        const std::uint8_t* r = record(5, offset, 27 + 4 * static_cast<std::uint64_t>(present));
        if (r == nullptr)
            return false;
        const std::uint8_t* word = r + 27;
        for (int bit = 7, slot = 0; bit >= 2; --bit, ++slot) {
            if ((fixed.flags >> bit) & 1) {
                extras.words[slot] = u32At(word);
                word += 4;
            } else {
                extras.words[slot] = 0;
            }
        }
        out = fixed;
        return true;
    }

    bool readList(std::uint32_t offset, std::uint32_t n, std::vector<std::uint32_t>& out) override {
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        const std::uint64_t from = static_cast<std::uint64_t>(m_header.listPool) + offset;
        if (!fits(from, 4 * static_cast<std::uint64_t>(n), m_view->size()))
            return false;
        out.resize(n);
        for (std::uint32_t i = 0; i < n; ++i)
            out[i] = u32At(bytes + from + 4 * static_cast<std::uint64_t>(i));
        return true;
    }

private:
    // The bytes of a record of `length` bytes at a table offset, or null when
    // the offset names no record (0..3 are the count, and a fixed-size table
    // ends after its counted records) or the record passes the section end.
    const std::uint8_t* record(int table, std::uint32_t offset, std::uint64_t length) {
        if (offset < 4)
            return nullptr;
        if (table < 5 && static_cast<std::uint64_t>(offset) + length >
                             4 + static_cast<std::uint64_t>(m_counts[table]) * AddressSectionReader::RecordSizes[table])
            return nullptr;
        const std::uint64_t from = static_cast<std::uint64_t>(m_header.tables[table]) + offset;
        if (!fits(from, length, m_view->size()))
            return nullptr;
        const std::uint8_t* bytes = m_view->acquire();
        return bytes == nullptr ? nullptr : bytes + from;
    }

    std::shared_ptr<SectionView> m_view;
    AddressHeader m_header;
    std::uint32_t m_counts[6] = {};
};

} // namespace

AddressSectionReader::AddressSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view,
                                           std::uint32_t fileOffset)
    : m_fileOffset(fileOffset) {
    if (version != 1)
        throw FormatError("Unknown address section version");
    m_impl = std::make_unique<AddressImplV1>(std::move(view));
}

AddressSectionReader::~AddressSectionReader() = default;

} // namespace Map::File
