#pragma once
// One map of the atlas: its map file with the section readers, one Level per
// geometry level (their indexes and areas live in the atlas's main heap),
// the header copy with the map's id and type, the caption table, and the
// routing code's per-map data.
//
// The atlas constructs a KVMap2 (which opens the map file and may throw the
// container's messages) and then calls open(), which checks the header
// again through an ordinary read and reads the map's attributes.

#include "core/Allocator.h"
#include "core/ResourcesPool.h"
#include "map/KvMap.h"
#include "map/Level.h"
#include "map/RoadMapSlot.h"
#include "map/file/MapFile.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Map {

// Map types of header byte 44.
enum MapType : std::uint32_t {
    CityMap = 0,
    RegionMap = 1,
    CountryMap = 2,
    WorldMap = 3,
    PoisMap = 4,
    PolylinesMap = 5,
    InvisibleMap = 6,
};
constexpr std::uint32_t MapTypeCount = 7;

class KVMap2 : public KvMap {
  public:
    struct Caption {
        std::uint32_t cached = 0; // filled by the caption users
        std::uint32_t offset = 0; // section offset of the string
        std::uint32_t length = 0; // bytes
    };

    // Opens the map file in pool and creates one Level per geometry level
    // over heap. Throws the map file's FormatError messages; "Map has no
    // levels" and "Invalid level coordinate bits" for a geometry that has
    // no level or a level whose coordinate bits lie outside 1..32 (the
    // level frame arithmetic is undefined there); "Level index init failed"
    // from a level without cells.
    KVMap2(const std::u16string& path, Core::ResourcesPool& pool, Core::Allocator& heap);
    ~KVMap2() override;

    // Stores the names, reads the 48-byte header through a plain file read
    // and checks it. False (logged where said) when the file cannot be
    // opened ("Can't open map file '%s' (err %d)"), is short, is not of the
    // older layout with format 0x0200, or has no captions ("Can't load
    // captions from map file").
    bool open(const std::u16string& path, const std::u16string& sourceName, std::uint32_t time);

    // Builds the caption table once; false (logged) when memory runs out.
    bool loadCaptions();
    // Forgets every level's index and area and the map's own area without
    // freeing them: the atlas has reset the heap that held them.
    void resetAreas();

    const std::u16string& filePath() const override { return m_path; }
    const std::u16string& sourceName() const override { return m_sourceName; }
    File::StringsSectionReader& stringsReader() override { return m_file->strings(); }
    File::GeometrySectionReader& geometryReader() override { return m_file->geometry(); }
    File::AddressSectionReader& addressReader() override { return m_file->address(); }
    File::RoutingSectionReader& routingReader() override { return m_file->routing(); }
    File::TextSearchSectionReader& textSearchReader() override { return m_file->textSearch(); }
    File::SpatialSearchSectionReader& spatialSearchReader() override { return m_file->spatialSearch(); }

    File::MapFile& mapFile() { return *m_file; }
    std::uint32_t time() const { return m_time; }
    const std::array<std::uint32_t, 12>& header() const { return m_header; }
    // Header word 3.
    std::uint32_t id() const { return m_header[3]; }
    std::uint32_t mapType() const { return m_mapType; }
    std::size_t levelCount() const { return m_levels.size(); }
    Level& level(std::size_t index) { return *m_levels.at(index); }
    const Level& level(std::size_t index) const { return *m_levels.at(index); }
    Level::Area& area() { return m_area; }

    std::uint32_t captionCount() const { return m_captionCount; }
    // Null until loadCaptions succeeded.
    Caption* captions() { return m_captions.get(); }

    // Routing's per-map data; the map owns it from here on.
    void setRoadMap(std::unique_ptr<RoadMapSlot> roadMap) { m_roadMap = std::move(roadMap); }
    RoadMapSlot* roadMap() { return m_roadMap.get(); }

  private:
    std::u16string m_path;
    std::u16string m_sourceName;
    std::uint32_t m_time = 0;
    std::array<std::uint32_t, 12> m_header{};
    std::uint32_t m_mapType = 0;
    std::unique_ptr<File::MapFile> m_file;
    std::vector<std::unique_ptr<Level>> m_levels;
    std::unique_ptr<RoadMapSlot> m_roadMap;
    Level::Area m_area;
    std::unique_ptr<Caption[]> m_captions;
    std::uint32_t m_captionCount = 0;
};

} // namespace Map
