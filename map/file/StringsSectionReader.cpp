#include "map/file/StringsSectionReader.h"

#include "map/file/FormatError.h"
#include "map/file/detail/Bytes.h"

#include <bit>
#include <cstring>

namespace Map::File {

using detail::fits;
using detail::u16At;
using detail::u32At;

namespace {

// Units from `from` up to the first zero unit or `end` (an odd last byte is
// not a unit).
void scanString(const std::uint8_t* bytes, std::uint64_t from, std::uint64_t end, std::u16string& out) {
    // The length first, so that the string is sized once.
    std::uint64_t at = from;
    while (at + 2 <= end && u16At(bytes + at) != 0)
        at += 2;
    const std::size_t units = static_cast<std::size_t>((at - from) / 2);
    out.resize(units);
    // The units are little-endian, as is the host most often: one copy.
    if constexpr (std::endian::native == std::endian::little) {
        if (units != 0) std::memcpy(out.data(), bytes + from, 2 * units);
    } else {
        for (std::size_t i = 0; i < units; ++i)
            out[i] = static_cast<char16_t>(u16At(bytes + from + 2 * i));
    }
}

class StringsImplV0 : public StringsSectionReader::ImplBase {
public:
    explicit StringsImplV0(std::shared_ptr<SectionView> view) : m_view(std::move(view)) {
        const std::uint64_t size = m_view->size();
        const std::uint8_t* bytes = m_view->acquire();
        if (size < 8 || bytes == nullptr)
            throw FormatError("Section is too small");
        m_dataLength = u32At(bytes);
        m_count = u32At(bytes + 4);
        // A count of 0 stores no string and has no table: every id but 0
        // fails, and the map that owns the section refuses it for want of
        // captions.
        if (m_count == 0) {
            m_table = size;
            return;
        }
        // The table of B-1 offsets ends the section and must leave room for
        // the header and the A bytes of string data in front of it.
        const std::uint64_t tableBytes = 4 * (static_cast<std::uint64_t>(m_count) - 1);
        if (tableBytes > size || size - tableBytes < 8 + static_cast<std::uint64_t>(m_dataLength))
            throw FormatError("Section is too small");
        m_table = size - tableBytes;
    }

    std::uint32_t count() const override { return m_count; }

    StringsSectionReader::Entry entry(std::uint32_t id) override {
        if (id == 0 || id >= m_count)
            return {};
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return {};
        const std::uint32_t begin = u32At(bytes + m_table + 4 * (id - 1));
        const std::uint32_t end = id + 1 < m_count ? u32At(bytes + m_table + 4 * id) : m_dataLength;
        if (begin > end || end > m_dataLength)
            return {};
        return {begin + 8, end - begin};
    }

    bool string(std::uint32_t id, std::u16string& out) override {
        if (id == 0) {
            out.clear();
            return true;
        }
        if (id >= m_count)
            return false;
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        const std::uint32_t offset = u32At(bytes + m_table + 4 * (id - 1));
        if (offset >= m_dataLength)
            return false;
        scanString(bytes, 8 + static_cast<std::uint64_t>(offset), m_view->size(), out);
        return true;
    }

    bool stringAt(std::uint32_t offset, std::u16string& out) override {
        if (offset == 0) {
            out.clear();
            return true;
        }
        if (offset >= m_view->size())
            return false;
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        scanString(bytes, offset, m_view->size(), out);
        return true;
    }

private:
    std::shared_ptr<SectionView> m_view;
    std::uint32_t m_dataLength = 0;
    std::uint32_t m_count = 0;
    std::uint64_t m_table = 0;
};

class CopyrightImplV1 : public CopyrightSectionReader::ImplBase {
public:
    explicit CopyrightImplV1(std::shared_ptr<SectionView> view) : m_view(std::move(view)) {
        const std::uint8_t* bytes = m_view->acquire();
        if (m_view->size() < 20 || bytes == nullptr)
            throw FormatError("Section is too small");
        for (int i = 0; i < 5; ++i)
            m_header[i] = u32At(bytes + 4 * i);
    }

    bool header(std::uint32_t (&out)[5]) override {
        for (int i = 0; i < 5; ++i)
            out[i] = m_header[i];
        return true;
    }

    bool text(std::u16string& out) override {
        const std::uint8_t* bytes = m_view->acquire();
        if (bytes == nullptr)
            return false;
        const std::uint64_t units = (m_view->size() - 20) / 2;
        out.resize(units);
        for (std::uint64_t i = 0; i < units; ++i)
            out[i] = u16At(bytes + 20 + 2 * i);
        return true;
    }

private:
    std::shared_ptr<SectionView> m_view;
    std::uint32_t m_header[5] = {};
};

} // namespace

StringsSectionReader::StringsSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view) {
    if (version != 0)
        throw FormatError("Unknown strings section version");
    m_impl = std::make_unique<StringsImplV0>(std::move(view));
}

StringsSectionReader::~StringsSectionReader() = default;

CopyrightSectionReader::CopyrightSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view) {
    if (version != 1)
        throw FormatError("Unknown copyright section version");
    m_impl = std::make_unique<CopyrightImplV1>(std::move(view));
}

CopyrightSectionReader::~CopyrightSectionReader() = default;

} // namespace Map::File
