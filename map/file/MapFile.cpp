#include "map/file/MapFile.h"

#include "map/file/FormatError.h"
#include "map/file/detail/Bytes.h"

#include <cstring>
#include <utility>

namespace Map::File {

namespace {

constexpr std::uint64_t OlderHeaderSize = 48;
constexpr std::uint64_t NewerHeaderSize = 26;

[[noreturn]] void fail(const char* message) {
    throw FormatError(message);
}

} // namespace

MapFile::MapFile(Core::ResourcesPool& pool, std::u16string path)
    : FileSystem::ReleasableFileMapping(pool, std::move(path)), m_views(*this) {
    if (!isHeld()) fail("Can't map file into memory");
    m_whole = createView(0, 0);
    if (!m_whole) fail("Can't create file mapping view");
    if (fileSize() < 4) fail("File is too small");
    const std::uint8_t* bytes = wholeFile();
    if (std::memcmp(bytes, "MLVA", 4) == 0 || std::memcmp(bytes, "MLVB", 4) == 0)
        openOlder();
    else
        openNewer();
    m_whole.reset();
}

MapFile::~MapFile() {
    m_spatialSearch.reset();
    m_textSearch.reset();
    m_routing.reset();
    m_address.reset();
    m_geometry.reset();
    m_copyright.reset();
    m_strings.reset();
    m_whole.reset();
}

const std::uint8_t* MapFile::wholeFile() {
    if (!m_whole) m_whole = createView(0, 0);
    if (!m_whole || !m_whole->ensureMapped()) fail("Can't create file mapping view");
    return m_whole->data();
}

std::vector<MapFile::DirectoryEntry> MapFile::readDirectory(std::uint32_t directoryOffset) {
    const std::uint64_t size = fileSize();
    const std::uint64_t d = directoryOffset;
    if (size < d + 4) fail("File is too small");
    const std::uint8_t* bytes = wholeFile();
    const std::uint64_t n = detail::u32At(bytes + d);
    // 64-bit: however large N and D are, the sum cannot wrap.
    if (size < d + 4 + 12 * n) fail("File is too small");
    std::vector<DirectoryEntry> entries;
    entries.reserve(static_cast<std::size_t>(n));
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint8_t* e = bytes + d + 4 + 12 * i;
        entries.push_back(
            {detail::u16At(e), detail::u16At(e + 2), detail::u32At(e + 4), detail::u32At(e + 8)});
    }
    return entries;
}

void MapFile::directoryPass(const std::vector<DirectoryEntry>& entries) {
    for (const DirectoryEntry& entry : entries) {
        std::shared_ptr<SectionView> view = m_views.view(entry.offset, entry.size);
        if (!view) fail("Can't create file mapping view");
        switch (entry.type) {
        case StringsSection:
            m_strings = std::make_unique<StringsSectionReader>(entry.version, std::move(view));
            break;
        case CopyrightSection:
            m_copyright = std::make_unique<CopyrightSectionReader>(entry.version, std::move(view));
            break;
        case GeometrySection:
            m_geometry = std::make_unique<GeometrySectionReader>(entry.version, std::move(view));
            break;
        case AddressSection:
            m_address = std::make_unique<AddressSectionReader>(entry.version, std::move(view), entry.offset);
            break;
        case TextSearchSection:
            m_textSearch = std::make_unique<TextSearchSectionReader>(entry.version, std::move(view));
            break;
        case SpatialSearchSection:
            m_spatialSearch = std::make_unique<SpatialSearchSectionReader>(entry.version, std::move(view));
            break;
        default:
            break; // other types belong to no reader
        }
    }
}

void MapFile::openNewer() {
    if (fileSize() < NewerHeaderSize) fail("File is too small");
    const std::uint8_t* bytes = wholeFile();
    for (int i = 0; i < 4; ++i)
        m_newerHeader[i] = detail::u32At(bytes + 4 + 4 * i);
    if (!(bytes[0] == 'K' && bytes[1] == 'V' && bytes[2] == 'M' && bytes[3] == 0x02))
        fail("Invalid file signature");
    const std::vector<DirectoryEntry> entries = readDirectory(detail::u32At(bytes + 20));
    m_whole.reset();
    directoryPass(entries);
    if (!m_strings) fail("Strings section not found");
    if (!m_geometry) fail("Geometry section not found");
    if (!m_address) fail("Address section not found");
    // No directory type carries routing data, and the layout has no header
    // words that locate it.
    if (!m_routing) fail("Routing section not found");
    if (!m_textSearch) fail("Text search section not found");
    if (!m_spatialSearch) fail("Spatial search section not found");
}

void MapFile::openOlder() {
    m_olderLayout = true;
    if (fileSize() < OlderHeaderSize) fail("File is too small");
    std::uint32_t words[12];
    {
        const std::uint8_t* bytes = wholeFile();
        for (int i = 0; i < 12; ++i)
            words[i] = detail::u32At(bytes + 4 * i);
    }
    if (words[9] != 0) directoryPass(readDirectory(words[9]));

    const std::uint64_t s = words[1];
    if (fileSize() < s + 8) fail("File is too small");
    const std::uint8_t* bytes = wholeFile();
    const std::uint64_t dataLength = detail::u32At(bytes + s);
    const std::uint64_t count = detail::u32At(bytes + s + 4);
    if (s + 8 + dataLength > words[10]) fail("Invalid strings sections sequence");
    // The header, the string data and the table of count - 1 entries that
    // begins at word 10. A count of 0 makes the range shorter than the
    // header; the strings reader refuses it.
    const std::int64_t stringsSize = static_cast<std::int64_t>(words[10]) - static_cast<std::int64_t>(s) +
                                     4 * static_cast<std::int64_t>(count) - 4;
    std::shared_ptr<SectionView> stringsView =
        stringsSize < 0 ? nullptr : m_views.view(s, static_cast<std::uint64_t>(stringsSize));
    if (!stringsView) fail("Can't create file mapping view");
    m_strings = std::make_unique<StringsSectionReader>(0, std::move(stringsView));

    if (words[6] > words[7]) fail("Invalid geometry sections sequence");
    std::shared_ptr<SectionView> geometryView = m_views.view(words[6], words[7] - words[6]);
    if (!geometryView) fail("Can't create file mapping view");
    m_geometry = std::make_unique<GeometrySectionReader>(0, std::move(geometryView));

    if (!m_routing)
        m_routing = std::make_unique<RoutingSectionReader>(
            m_views, RoutingLocation{words[4], words[5], words[7], words[8]});
    m_whole.reset();

    if (!m_address) fail("Address section not found");
    if (!m_textSearch) fail("Text search section not found");
    if (!m_spatialSearch) fail("Spatial search section not found");
}

} // namespace Map::File
