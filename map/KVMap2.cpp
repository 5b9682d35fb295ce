#include "map/KVMap2.h"

#include "core/Log.h"
#include "core/WinFile.h"
#include "map/file/FormatError.h"
#include "map/file/detail/Bytes.h"

#include <cstring>
#include <new>

namespace Map {

KVMap2::KVMap2(const std::u16string& path, Core::ResourcesPool& pool, Core::Allocator& heap)
    : m_path(path), m_file(std::make_unique<File::MapFile>(pool, path)) {
    File::GeometrySectionReader& geometry = m_file->geometry();
    const std::uint8_t count = geometry.levelCount();
    // The geometry reader refuses these already; the checks stay here because
    // the level frame maths (shifts by 32 - bits, the area of level 0) is
    // undefined for them.
    if (count == 0) throw File::FormatError("Map has no levels");
    for (std::uint8_t i = 0; i < count; ++i) {
        const std::uint8_t bits = geometry.levelDescriptor(i).coordinateBits;
        if (bits < 1 || bits > 32) throw File::FormatError("Invalid level coordinate bits");
    }
    m_levels.reserve(count);
    for (std::uint8_t i = 0; i < count; ++i)
        m_levels.push_back(std::make_unique<Level>(geometry, i, heap, path));
}

KVMap2::~KVMap2() {
    m_captions.reset();
    m_roadMap.reset();
    m_levels.clear();
    m_file.reset();
}

bool KVMap2::open(const std::u16string& path, const std::u16string& sourceName, std::uint32_t time) {
    m_path = path;
    m_sourceName = sourceName;
    m_time = time;

    FileSystem::WinFileForRead file(path);
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open map file '%s' (err %d)", path, file.lastError());
        return false;
    }
    std::uint8_t bytes[48];
    if (file.read(bytes, sizeof bytes, 1) != 1) return false;
    for (int i = 0; i < 12; ++i)
        m_header[i] = File::detail::u32At(bytes + 4 * i);
    const bool extraIds = std::memcmp(bytes, "MLVB", 4) == 0;
    if (!extraIds && std::memcmp(bytes, "MLVA", 4) != 0) return false;
    if (File::detail::u16At(bytes + 8) != 0x0200) return false;
    if (extraIds) Log::log(Log::Normal, u"Map '%s' has extra ids", path);
    m_captionCount = m_file->strings().count();
    if (m_captionCount == 0) {
        Log::log(Log::Critical, u"Can't load captions from map file");
        return false;
    }
    m_mapType = bytes[44];
    return true;
}

bool KVMap2::loadCaptions() {
    if (m_captions) return true;
    const std::uint64_t bytes = std::uint64_t{m_captionCount} * sizeof(Caption);
    m_captions.reset(new (std::nothrow) Caption[m_captionCount]);
    if (!m_captions) {
        Log::log(Log::Critical, u"Not enough memory : failed to allocate %d bytes",
                 static_cast<std::int64_t>(bytes));
        return false;
    }
    File::StringsSectionReader& strings = m_file->strings();
    for (std::uint32_t i = 0; i < m_captionCount; ++i) {
        const File::StringsSectionReader::Entry entry = strings.entry(i);
        m_captions[i] = {0, entry.offset, entry.length};
    }
    return true;
}

void KVMap2::resetAreas() {
    for (auto& level : m_levels)
        level->resetAreas();
    m_area = Level::Area{};
}

} // namespace Map
