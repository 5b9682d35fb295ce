#include "tests/map/AtlasFixture.h"

#include "core/Text.h"
#include "tests/map/MapFixture.h"
#include "tests/support/FirstRunData.h"
#include "tools/mapwriter/SpatialSearchWriter.h"
#include "tools/mapwriter/TextSearchWriter.h"

#include <fstream>
#include <stdexcept>

namespace AtlasTest {

using namespace MapWriting;

ExtraSection textSearchSection() {
    return {17, 1, encodeTextSearch({}).bytes};
}
ExtraSection spatialSearchSection() {
    return {18, 1, encodeSpatialSearch({1, 0, {}, {}})};
}

MapDescription completeMap(std::uint32_t id, std::uint8_t type) {
    MapDescription map = MapTest::searchableMap();
    map.mapId = id;
    map.mapType = type;
    return map;
}

const DirectoryEntry& entryOf(const WrittenMap& map, std::uint16_t type) {
    for (const DirectoryEntry& entry : map.directory)
        if (entry.type == type) return entry;
    throw std::logic_error("no such section");
}

std::vector<std::uint8_t> newerLayout(const WrittenMap& older, const std::set<std::uint16_t>& types) {
    struct Part {
        std::uint16_t type, version;
        std::uint32_t offset, size;
    };
    std::vector<Part> parts;
    const auto& h = older.header;
    if (types.count(1)) parts.push_back({1, 0, h[1], older.stringsSize});
    if (types.count(3)) parts.push_back({3, 0, h[6], h[7] - h[6]});
    for (const DirectoryEntry& entry : older.directory)
        if (types.count(entry.type)) parts.push_back({entry.type, entry.version, entry.offset, entry.size});

    std::vector<std::uint8_t> bytes = {'K', 'V', 'M', 0x02};
    for (std::uint32_t word : {11u, 22u, 33u, 44u})
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
    bytes.resize(24, 0); // word at 20: directory offset, set below
    std::vector<std::uint8_t> directory(4 + 12 * parts.size());
    putU32(directory, 0, static_cast<std::uint32_t>(parts.size()));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part& p = parts[i];
        const auto offset = static_cast<std::uint32_t>(bytes.size());
        bytes.insert(bytes.end(), older.bytes.begin() + p.offset, older.bytes.begin() + p.offset + p.size);
        std::uint8_t* e = directory.data() + 4 + 12 * i;
        e[0] = static_cast<std::uint8_t>(p.type);
        e[1] = static_cast<std::uint8_t>(p.type >> 8);
        e[2] = static_cast<std::uint8_t>(p.version);
        e[3] = static_cast<std::uint8_t>(p.version >> 8);
        putU32(directory, 4 + 12 * i + 4, offset);
        putU32(directory, 4 + 12 * i + 8, p.size);
    }
    putU32(bytes, 20, static_cast<std::uint32_t>(bytes.size()));
    bytes.insert(bytes.end(), directory.begin(), directory.end());
    return bytes;
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file");
}

void putU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t u32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes.at(at)) | (static_cast<std::uint32_t>(bytes.at(at + 1)) << 8) |
           (static_cast<std::uint32_t>(bytes.at(at + 2)) << 16) |
           (static_cast<std::uint32_t>(bytes.at(at + 3)) << 24);
}

std::u16string wide(const std::filesystem::path& path) {
    return Core::utf8ToWide(path.string());
}

std::size_t BufferFile::read(void* buffer, std::size_t size, std::size_t count) {
    ++reads;
    std::size_t n = 0;
    while (n < count && size != 0 && position + size <= bytes.size()) {
        std::memcpy(static_cast<std::uint8_t*>(buffer) + n * size, bytes.data() + position, size);
        position += size;
        ++n;
    }
    return n;
}

std::size_t BufferFile::write(const void* buffer, std::size_t size, std::size_t count) {
    if (position + size * count > writeLimit) return 0;
    const auto* from = static_cast<const std::uint8_t*>(buffer);
    if (bytes.size() < position + size * count) bytes.resize(position + size * count);
    std::memcpy(bytes.data() + position, from, size * count);
    position += size * count;
    return count;
}

bool BufferFile::seek(std::int32_t p) {
    if (p < 0 || static_cast<std::size_t>(p) > bytes.size()) return false;
    position = static_cast<std::size_t>(p);
    return true;
}

AtlasSetup::AtlasSetup(bool createDataFolder) {
    if (createDataFolder) std::filesystem::create_directories(data());
    auto root = config.root();
    root->set("win_main_heap", 1024);
    root->set("win_route_heap", 64);
}

std::filesystem::path AtlasSetup::folder(const std::string& name) const {
    const std::filesystem::path path = dir.path() / "maps" / name;
    std::filesystem::create_directories(path);
    return path;
}

std::filesystem::path AtlasSetup::copyOf(const std::filesystem::path& atlas) const {
    const std::filesystem::path copy = dir.path() / "maps" / atlas.filename();
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy(atlas, copy, std::filesystem::copy_options::recursive);
    TestSupport::forgetDriverFiles(copy);
    return copy;
}

std::unique_ptr<Map::KVAtlas> AtlasSetup::makeAtlas(Map::AtlasServices services) {
    services.paths = std::make_shared<Map::FolderPaths>(wide(program()) + u"/");
    return std::make_unique<Map::KVAtlas>(config.root(), pool, std::move(services));
}

} // namespace AtlasTest
