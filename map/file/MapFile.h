#pragma once
// One map file (*.kvm) opened as a releasable mapping, with one reader per
// section. Two layouts exist, told apart by the first four bytes: the older
// one ("MLVA"/"MLVB") locates strings, geometry and routing through a 48-byte
// header and everything else through an optional section directory; the
// newer one ("KVM" 0x02) has only the directory, which has no entry for
// routing data, so such a file is recognised but refused ("Routing section
// not found"). See docs/map-format.md.
//
// Opening throws FormatError with a fixed message and leaves nothing open.
// Each reader keeps its own view of its section's bytes; the views live in
// the mapping's own pool and are mapped again on their next access after
// the pool released them.

#include "core/ReleasableFileMapping.h"
#include "map/file/AddressSectionReader.h"
#include "map/file/GeometrySectionReader.h"
#include "map/file/MappedSection.h"
#include "map/file/RoutingSectionReader.h"
#include "map/file/SpatialSearchSectionReader.h"
#include "map/file/StringsSectionReader.h"
#include "map/file/TextSearchSectionReader.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace Map::File {

// Section types of the directory.
enum SectionType : std::uint16_t {
    StringsSection = 1,
    CopyrightSection = 2,
    GeometrySection = 3,
    AddressSection = 4,
    TextSearchSection = 17,
    SpatialSearchSection = 18,
};

class MapFile : public FileSystem::ReleasableFileMapping {
  public:
    // Registers in pool and opens the file. Throws FormatError: "Can't map
    // file into memory", "Can't create file mapping view", "File is too
    // small", "Invalid file signature", "Invalid strings sections sequence",
    // "Invalid geometry sections sequence", "<Name> section not found", or a
    // section reader's own message.
    MapFile(Core::ResourcesPool& pool, std::u16string path);
    // Destroys the readers (spatial search first, strings last), then the
    // mapping.
    ~MapFile() override;

    StringsSectionReader& strings() { return *m_strings; }
    // Null when the file has no copyright section.
    CopyrightSectionReader* copyright() { return m_copyright.get(); }
    GeometrySectionReader& geometry() { return *m_geometry; }
    AddressSectionReader& address() { return *m_address; }
    RoutingSectionReader& routing() { return *m_routing; }
    TextSearchSectionReader& textSearch() { return *m_textSearch; }
    SpatialSearchSectionReader& spatialSearch() { return *m_spatialSearch; }

    // True for the older layout.
    bool olderLayout() const { return m_olderLayout; }
    // The four header words of the newer layout (zero for the older one).
    const std::array<std::uint32_t, 4>& newerHeader() const { return m_newerHeader; }

  private:
    struct DirectoryEntry {
        std::uint16_t type;
        std::uint16_t version;
        std::uint32_t offset;
        std::uint32_t size;
    };

    const std::uint8_t* wholeFile();
    std::vector<DirectoryEntry> readDirectory(std::uint32_t directoryOffset);
    void directoryPass(const std::vector<DirectoryEntry>& entries);
    void openNewer();
    void openOlder();

    MappedFileViews m_views;
    std::shared_ptr<View> m_whole;
    bool m_olderLayout = false;
    std::array<std::uint32_t, 4> m_newerHeader{};

    // Declared in the order strings .. spatial search, so they are destroyed
    // in the reverse order.
    std::unique_ptr<StringsSectionReader> m_strings;
    std::unique_ptr<CopyrightSectionReader> m_copyright;
    std::unique_ptr<GeometrySectionReader> m_geometry;
    std::unique_ptr<AddressSectionReader> m_address;
    std::unique_ptr<RoutingSectionReader> m_routing;
    std::unique_ptr<TextSearchSectionReader> m_textSearch;
    std::unique_ptr<SpatialSearchSectionReader> m_spatialSearch;
};

} // namespace Map::File
