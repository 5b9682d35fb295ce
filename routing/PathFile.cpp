#include "routing/PathFile.h"

#include "platform/Error.h"

#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/WinFile.h"
#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "platform/AtomicFile.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

constexpr std::size_t kNameField = 202;
constexpr std::size_t kPointRecord = 31;
// Part head and body head plus one polyline of two points.
constexpr std::size_t kSmallestPart = 8 + 22 + 12 + 16;
constexpr std::uint32_t kLastManoeuvre = 33;

class Writer {
  public:
    std::vector<std::uint8_t> bytes;
    void u8(std::uint32_t v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
};

// Reads never pass the end; a failed read leaves the reader failed.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : m_p(data), m_left(size) {}
    std::size_t left() const { return m_left; }
    bool ok() const { return m_ok; }
    bool take(void* out, std::size_t n) {
        if (!m_ok || n > m_left) return m_ok = false;
        if (n != 0) std::memcpy(out, m_p, n);
        m_p += n;
        m_left -= n;
        return true;
    }
    std::uint8_t u8() {
        std::uint8_t b[1] = {0};
        take(b, 1);
        return b[0];
    }
    std::uint16_t u16() {
        std::uint8_t b[2] = {0, 0};
        take(b, 2);
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | (static_cast<std::uint32_t>(u16()) << 16);
    }
    // A finite float, else the reader fails.
    float f32() {
        const float v = std::bit_cast<float>(u32());
        if (!std::isfinite(v)) m_ok = false;
        return v;
    }
    void fail() { m_ok = false; }

  private:
    const std::uint8_t* m_p;
    std::size_t m_left;
    bool m_ok = true;
};

std::optional<std::uint8_t> levelIndexOf(const Map::KVMap2* map, const Map::Level* level) {
    if (map == nullptr || level == nullptr) return std::nullopt;
    for (std::size_t i = 0; i < map->levelCount() && i < 256; ++i)
        if (&map->level(i) == level) return static_cast<std::uint8_t>(i);
    return std::nullopt;
}

bool writePoint(Writer& w, const PathPoint& point) {
    // The level the point is bound in is stored, so a point of another
    // level than the first is read back in its own frame.
    std::uint8_t level = 0;
    Map::LocalPoint picked{point.pickedPoint.x, point.pickedPoint.y};
    if (point.isSet()) {
        const auto index = levelIndexOf(point.map, point.roadPoint.level);
        if (!index) return false;
        level = *index;
        if (point.pickedPoint.level != nullptr && point.pickedPoint.level != point.roadPoint.level)
            picked = MapLevelInfo::convertPoint(*point.pickedPoint.level, *point.roadPoint.level, picked);
    }
    w.u32(point.map != nullptr ? point.map->id() : 0);
    w.u8(level);
    w.u8(point.allowForward);
    w.u8(point.allowBackward);
    w.u32(point.segmentId);
    w.u32(point.nameIndex);
    w.f32(point.roadPoint.x);
    w.f32(point.roadPoint.y);
    w.f32(picked.x);
    w.f32(picked.y);
    return true;
}

bool writePart(Writer& w, const PathPart& part) {
    const auto level = levelIndexOf(part.map, part.level);
    if (!level || part.polylines.size() > 0xFFFF) return false;
    w.u8(part.forward);
    w.u16(part.manoeuvreAux);
    w.u32(part.manoeuvre);
    w.u8(part.turnCode);
    w.u32(part.nameIndex);
    w.u16(part.lengthMetres);
    w.f32(part.metresPerUnit);
    w.u8(part.roadClass);
    w.u32(part.segmentId);
    w.u32(part.map->id());
    w.u8(*level);
    w.u16(static_cast<std::uint32_t>(part.polylines.size()));
    for (const PathPolyline& line : part.polylines) {
        if (line.points.size() > 0xFFFFFFFFu) return false;
        w.u32(static_cast<std::uint32_t>(line.points.size()));
        w.u32(static_cast<std::uint32_t>(line.cellX));
        w.u32(static_cast<std::uint32_t>(line.cellY));
        for (const Map::LocalPoint& p : line.points) {
            w.f32(p.x);
            w.f32(p.y);
        }
    }
    return true;
}

using FindMap = std::function<Map::KVMap2*(std::uint32_t)>;

// Map and level of a stored reference; null level when either is unknown.
const Map::Level* levelOf(const FindMap& findMap, std::uint32_t mapId, std::uint8_t index, Map::KVMap2*& map) {
    map = findMap(mapId);
    if (map == nullptr || index >= map->levelCount()) return nullptr;
    return &map->level(index);
}

bool readPoint(Reader& r, const FindMap& findMap, PathPoint& point) {
    const std::uint32_t mapId = r.u32();
    const std::uint8_t level = r.u8();
    point.allowForward = r.u8();
    point.allowBackward = r.u8();
    point.segmentId = r.u32();
    point.nameIndex = r.u32();
    point.roadPoint.x = r.f32();
    point.roadPoint.y = r.f32();
    point.pickedPoint.x = r.f32();
    point.pickedPoint.y = r.f32();
    if (!r.ok()) return false;
    point.roadPoint.level = levelOf(findMap, mapId, level, point.map);
    point.pickedPoint.level = point.roadPoint.level;
    return point.roadPoint.level != nullptr;
}

bool readPart(Reader& r, const FindMap& findMap, PathPart& part) {
    part.forward = r.u8();
    part.manoeuvreAux = r.u16();
    part.manoeuvre = r.u32();
    part.turnCode = r.u8();
    part.nameIndex = r.u32();
    part.lengthMetres = r.u16();
    part.metresPerUnit = r.f32();
    part.roadClass = r.u8();
    part.segmentId = r.u32();
    const std::uint32_t mapId = r.u32();
    const std::uint8_t level = r.u8();
    const std::uint16_t polylines = r.u16();
    // Every metre figure divides by metresPerUnit; a polyline needs its
    // 12-byte head and two points.
    if (!r.ok() || !(part.metresPerUnit > 0.0f) || part.manoeuvre > kLastManoeuvre || polylines == 0 ||
        polylines > r.left() / 28)
        return false;
    part.level = levelOf(findMap, mapId, level, part.map);
    if (part.level == nullptr) return false;
    part.polylines.resize(polylines);
    for (PathPolyline& line : part.polylines) {
        const std::uint32_t n = r.u32();
        line.cellX = static_cast<std::int32_t>(r.u32());
        line.cellY = static_cast<std::int32_t>(r.u32());
        if (!r.ok() || n < 2 || n > r.left() / 8) return false;
        line.points.resize(n);
        for (Map::LocalPoint& p : line.points) {
            p.x = r.f32();
            p.y = r.f32();
        }
        if (!r.ok()) return false;
    }
    return true;
}

} // namespace

bool PathFile::encode(const std::u16string& name, const Path& path, std::vector<std::uint8_t>& out) {
    if (name.size() > MaxNameLength || path.points.size() > 0x10000) return false;
    Writer w;
    w.bytes.reserve(512);
    for (const char c : {'K', 'V', 'P'})
        w.u8(static_cast<std::uint8_t>(c));
    w.u16(Version);
    // The name, its terminator and zeros up to the field's end.
    for (std::size_t i = 0; i < kNameField / 2; ++i)
        w.u16(i < name.size() ? name[i] : 0);
    if (path.points.empty()) {
        w.u16(0xFFFF);
        out = std::move(w.bytes);
        return true;
    }
    const auto legs = static_cast<std::uint16_t>(path.points.size() - 1);
    w.u16(legs);
    if (!writePoint(w, path.points[0])) return false;
    Path leg;
    for (std::uint16_t i = 0; i < legs; ++i) {
        path.partsOfLeg(i, leg);
        // The reader takes no leg without parts: such a route is not stored.
        if (leg.parts.empty() || leg.parts.size() > 0xFFFF) return false;
        w.u16(static_cast<std::uint32_t>(leg.parts.size()));
        for (const PathPart& part : leg.parts)
            if (!writePart(w, part)) return false;
        if (!writePoint(w, path.points[i + 1u])) return false;
    }
    out = std::move(w.bytes);
    return true;
}

bool PathFile::decode(const std::uint8_t* data, std::size_t size, const FindMap& findMap, Path& target) {
    Reader r(data, size);
    std::uint8_t header[5];
    if (!r.take(header, 5) || std::memcmp(header, "KVP", 3) != 0 || header[3] != Version || header[4] != 0)
        return false;
    std::uint8_t name[kNameField];
    if (!r.take(name, kNameField)) return false;
    const std::uint16_t legs = r.u16();
    if (!r.ok()) return false;
    if (legs == 0xFFFF) return true;
    // Each leg brings at least its count, one part and the next point.
    if (legs > r.left() / (2 + kSmallestPart + kPointRecord)) return false;
    PathPoint previous;
    if (!readPoint(r, findMap, previous)) return false;
    Path route(previous);
    for (std::uint16_t i = 0; i < legs; ++i) {
        const std::uint16_t count = r.u16();
        if (!r.ok() || count == 0 || count > r.left() / kSmallestPart) return false;
        Path scratch;
        scratch.parts.resize(count);
        for (PathPart& part : scratch.parts)
            if (!readPart(r, findMap, part)) return false;
        PathPoint next;
        if (!readPoint(r, findMap, next)) return false;
        route.appendPath(Path(previous, next, scratch));
        previous = next;
    }
    target.parts = std::move(route.parts);
    target.points = std::move(route.points);
    target.legCount = route.legCount;
    target.markChanged();
    for (PathPointWatcher* watcher : target.watchers)
        watcher->changed = 1;
    return true;
}

bool PathFile::write(const std::u16string& name, const std::u16string& file, const Path& path, int* error) {
    if (error) *error = 0;
    std::vector<std::uint8_t> bytes;
    if (!encode(name, path, bytes)) return false;
    Platform::AtomicFile out(file);
    const bool created = out.isOpen();
    // Nothing replaces the old file unless every byte reached the disk and
    // the file closed cleanly.
    if (created && out.write(bytes.data(), bytes.size()) && out.commit()) return true;
    Log::log(Log::Critical, created ? u"Can't write path file '%s' (err %d)" : u"Can't create path file '%s' (err %d)",
             file, out.error());
    if (error) *error = out.error();
    return false;
}

bool PathFile::read(const std::u16string& file, Map::KVAtlas& atlas, Path& target) {
    FileSystem::WinFileForRead in(file);
    if (!in.isOpen()) {
        // No route was saved yet: nothing to alarm anyone about.
        const int error = in.lastError();
        Log::log(error == Platform::ErrorFileNotFound ? Log::Normal : Log::Critical,
                 u"Can't open path file '%s' (err %d)", file, error);
        return false;
    }
    if (!in.seekToEnd() || in.tell() > MaxFileBytes || !in.seek(0)) return false;
    std::uint32_t size = 0;
    const std::unique_ptr<char[]> bytes = FileSystem::readFile(in, &size, file);
    if (!bytes) return false;
    return decode(reinterpret_cast<const std::uint8_t*>(bytes.get()), size,
                  [&atlas](std::uint32_t id) { return atlas.findMapById(id); }, target);
}

bool PathFile::checkHeader(FileSystem::FileRW& file) {
    std::uint8_t header[5];
    return file.read(header, 5, 1) == 1 && std::memcmp(header, "KVP", 3) == 0 && header[3] == Version &&
           header[4] == 0;
}

bool PathsList::readName(const std::u16string& file, std::u16string& name) {
    FileSystem::WinFileForRead in(file);
    std::uint8_t field[kNameField];
    if (!in.isOpen() || !PathFile::checkHeader(in) || in.read(field, kNameField, 1) != 1) return false;
    name.clear();
    for (std::size_t i = 0; i < PathFile::MaxNameLength; ++i) {
        const auto c = static_cast<char16_t>(field[2 * i] | (field[2 * i + 1] << 8));
        if (c == 0) break;
        name.push_back(c);
    }
    return true;
}
