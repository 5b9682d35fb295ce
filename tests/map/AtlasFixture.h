#pragma once
// Helpers of the atlas tests: complete map files (every section the map
// file container requires), the newer layout assembled from an older
// file's sections, byte patches, and an atlas set up in a temporary
// program folder.

#include "core/Config.h"
#include "core/FileRW.h"
#include "map/KVAtlas.h"
#include "tools/mapwriter/MapWriter.h"
#include "tests/support/TempDir.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace AtlasTest {

// The map tests' searchable sample map under another id and type; and an
// empty text-search and spatial-search section.
MapWriting::MapDescription completeMap(std::uint32_t id = 77, std::uint8_t type = 1);
MapWriting::ExtraSection textSearchSection();
MapWriting::ExtraSection spatialSearchSection();

// A newer-layout file ("KVM" 0x02) whose directory lists the sections of an
// older-layout file of the given types (1 strings, 2 copyright, 3 geometry,
// 4 address, 17, 18).
std::vector<std::uint8_t> newerLayout(const MapWriting::WrittenMap& older,
                                      const std::set<std::uint16_t>& types);

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
void putU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);
std::uint32_t u32At(const std::vector<std::uint8_t>& bytes, std::size_t at);
std::u16string wide(const std::filesystem::path& path);
// The directory entry of a type in a written map.
const MapWriting::DirectoryEntry& entryOf(const MapWriting::WrittenMap& map, std::uint16_t type);

// A FileRW over bytes in memory; writes fail once `writeLimit` bytes
// would be passed.
class BufferFile : public FileSystem::FileRW {
  public:
    explicit BufferFile(std::vector<std::uint8_t> data = {}) : bytes(std::move(data)) {}
    bool isOpen() const override { return true; }
    int lastError() const override { return 0; }
    std::size_t read(void* buffer, std::size_t size, std::size_t count) override;
    std::size_t write(const void* buffer, std::size_t size, std::size_t count) override;
    std::uint32_t tell() override { return static_cast<std::uint32_t>(position); }
    bool seek(std::int32_t p) override;
    bool seekRelative(std::int32_t d) override { return seek(static_cast<std::int32_t>(position) + d); }
    bool seekToEnd() override { return seek(static_cast<std::int32_t>(bytes.size())); }
    void flush() override {}

    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
    std::size_t writeLimit = SIZE_MAX;
    int reads = 0;
};

// A program folder with a "data" folder, a configuration with small heaps,
// and an atlas over both.
struct AtlasSetup {
    explicit AtlasSetup(bool createDataFolder = true);
    std::filesystem::path program() const { return dir.path(); }
    std::filesystem::path data() const { return dir.path() / "data"; }
    std::filesystem::path atlasXml() const { return data() / "atlas.xml"; }
    // A folder for maps, created.
    std::filesystem::path folder(const std::string& name) const;
    // A copy of an atlas folder (the build's demo or Monaco atlas) in this
    // program folder, without a driver's view, routes or search history:
    // loading an atlas writes its camera and route into the folder, and the
    // build's own folders are shared by every test.
    std::filesystem::path copyOf(const std::filesystem::path& atlas) const;
    std::unique_ptr<Map::KVAtlas> makeAtlas(Map::AtlasServices services = {});

    TestSupport::TempDir dir;
    Core::Config config;
    Core::ResourcesPool pool{10};
};

} // namespace AtlasTest
