#include "search/SearchHistory.h"

#include "core/AnsiFile.h"
#include "core/AtomicFileForWrite.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "map/AtlasServices.h"
#include "platform/Directory.h"
#include "platform/Error.h"
#include "search/IndexManager.h"

#include <algorithm>

namespace TextSearch {

using Map::MapAndOffset;

namespace {

bool shareReference(const std::vector<MapAndOffset>& a, const std::vector<MapAndOffset>& b) {
    for (const MapAndOffset& x : a)
        if (std::find(b.begin(), b.end(), x) != b.end()) return true;
    return false;
}

std::vector<MapAndOffset> sortedByMap(std::vector<MapAndOffset> refs) {
    std::stable_sort(refs.begin(), refs.end(),
                     [](const MapAndOffset& a, const MapAndOffset& b) { return a.map < b.map; });
    return refs;
}

// Adds the references of maps the entry has none of, in map order.
void mergeByMap(std::vector<MapAndOffset>& refs, const std::vector<MapAndOffset>& added) {
    for (const MapAndOffset& ref : added) {
        const auto place = std::lower_bound(refs.begin(), refs.end(), ref,
                                            [](const MapAndOffset& a, const MapAndOffset& b) { return a.map < b.map; });
        if (place == refs.end() || place->map != ref.map) refs.insert(place, ref);
    }
}

// A "clear" (level 0, nothing chosen) is one entry however often it is
// made: otherwise every clear would push a real filter out of the ring.
bool sameFilter(const SearchHistory::FilterEntry& entry, std::uint32_t level,
                const std::vector<MapAndOffset>& refs) {
    if (entry.level != level) return false;
    if (entry.refs.empty() && refs.empty()) return true;
    return shareReference(entry.refs, refs);
}

bool sameFound(const SearchHistory::FoundEntry& entry, int kind, const ResultItem& item) {
    const ResultItem& a = entry.item;
    if ((kind >= 0 && entry.kind != kind) || a.text != item.text || a.point.x != item.point.x ||
        a.point.y != item.point.y || a.objects.index() != item.objects.index())
        return false;
    if (const auto* refs = std::get_if<0>(&a.objects)) return shareReference(*refs, std::get<0>(item.objects));
    return std::get<1>(a.objects).type == std::get<1>(item.objects).type;
}

// Little-endian fields of the file.
// The fixed 22 bytes before an object entry's name.
struct ObjectHeader {
    std::uint8_t kind;
    std::uint8_t reserved;
    std::uint32_t x;
    std::uint32_t y;
    std::uint64_t time;
    std::uint16_t useCount;
    std::uint16_t n;
};

struct Reader {
    FileSystem::FileRW& file;
    bool bytes(void* out, std::size_t n) { return file.read(out, 1, n) == n; }
    bool u8(std::uint8_t& v) { return bytes(&v, 1); }
    bool u16(std::uint16_t& v) {
        std::uint8_t b[2];
        if (!bytes(b, 2)) return false;
        v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool u32(std::uint32_t& v) {
        std::uint8_t b[4];
        if (!bytes(b, 4)) return false;
        v = b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t(b[3]) << 24);
        return true;
    }
    bool u64(std::uint64_t& v) {
        std::uint32_t low = 0, high = 0;
        if (!u32(low) || !u32(high)) return false;
        v = low | (std::uint64_t(high) << 32);
        return true;
    }
};

struct Writer {
    std::vector<std::uint8_t> out;
    void u8(std::uint8_t v) { out.push_back(v); }
    void u16(std::uint16_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void u64(std::uint64_t v) {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
    void refs(const std::vector<MapAndOffset>& refs) {
        for (const MapAndOffset& r : refs) {
            u32(r.map);
            u32(r.offset);
        }
    }
};

Positioning::DateTime timeOf(std::uint64_t stored) {
    return Positioning::fromUnixTime(static_cast<std::int32_t>(static_cast<std::uint32_t>(stored)));
}

// Reads n references and maps them through the table: references into
// maps that are gone are dropped. False for a short read; bad is raised by
// a map index that is no stored source.
bool readRefs(Reader& in, std::uint16_t n, const std::vector<std::uint32_t>& table,
              std::vector<MapAndOffset>& out, bool& bad) {
    out.clear();
    for (std::uint16_t i = 0; i < n; ++i) {
        MapAndOffset ref;
        if (!in.u32(ref.map) || !in.u32(ref.offset)) return false;
        if (ref.map >= table.size()) {
            bad = true;
            continue;
        }
        const std::uint32_t to = table.at(ref.map);
        if (to == Map::IndexSourceList::Gone) continue;
        if (to != Map::IndexSourceList::Unchanged) ref.map = to;
        out.push_back(ref);
    }
    return true;
}

} // namespace

SearchHistory::SearchHistory(const Map::MapSet& maps, Clock clock)
    : m_maps(maps), m_clock(clock ? std::move(clock) : Clock(&Positioning::localDateTime)) {}

void SearchHistory::clearRings() {
    m_filters.clear();
    m_objects.clear();
}

void SearchHistory::unbind() {
    clearRings();
    m_path.clear();
}

bool SearchHistory::load(const std::u16string& folder) {
    m_sources = IndexManager::currentSources(folder, m_maps);
    if (m_sources.records.size() != m_maps.size()) {
        // The previous atlas's entries must not stay bound to these maps,
        // nor its file be rewritten with this atlas's sources.
        unbind();
        return false;
    }
    m_path = Map::joinPath(folder, u"TextSearch.tsh");
    clearRings();
    if (!read()) {
        // Nothing the driver chose is lost when this empty file cannot be
        // written: there is nothing to tell.
        clearRings();
        write();
    }
    return true;
}

bool SearchHistory::read() {
    if (m_path.empty()) return false;
    {
        FileSystem::AnsiFile file(m_path, u"rb");
        if (!file.isOpen()) return false;
        if (readFrom(file)) return true;
    }
    Log::log(Log::System, u"Invalid search history '%s': it starts empty", m_path);
    // The damaged file goes aside before the empty history replaces it: what
    // a person may still recover from it is not overwritten.
    const std::u16string backup = m_path + u".bak";
    if (Platform::renameEntry(m_path, backup))
        Log::log(Log::System, u"Invalid search history kept as '%s'", backup);
    else
        Log::log(Log::Critical, u"Can't keep invalid search history '%s' as '%s' (err %d)", m_path, backup,
                 Platform::lastError());
    return false;
}

bool SearchHistory::readFrom(FileSystem::FileRW& file) {
    Reader in{file};
    std::uint32_t signature = 0;
    if (!in.u32(signature) || signature != Signature) return false;
    Map::IndexSourceList stored;
    if (!Map::IndexSourceList::read(file, stored)) return false;
    std::vector<std::uint32_t> table;
    if (Map::IndexSourceList::equals(stored, m_sources))
        table.assign(stored.records.size(), Map::IndexSourceList::Unchanged);
    else
        Map::IndexSourceList::remap(stored, m_sources, table);

    std::uint32_t filterCount = 0, objectCount = 0, longestName = 0;
    if (!in.u32(filterCount) || !in.u32(objectCount) || !in.u32(longestName)) return false;
    if (longestName > MaxNameUnits) return false;

    for (std::uint32_t i = 0; i < filterCount; ++i) {
        std::uint8_t level = 0, reserved = 0;
        std::uint16_t n = 0, useCount = 0;
        std::uint64_t time = 0;
        if (!in.u8(level) || !in.u8(reserved) || !in.u16(n) || !in.u64(time) || !in.u16(useCount)) return false;
        FilterEntry entry;
        entry.level = level;
        entry.time = timeOf(time);
        entry.useCount = useCount;
        if (n != 0) {
            bool bad = false;
            if (!readRefs(in, n, table, entry.refs, bad)) return false;
            // A reference to no stored map loses its entry, not the file.
            if (bad || entry.refs.empty()) continue;
        }
        m_filters.push_back(std::move(entry));
    }

    std::u16string name;
    name.reserve(longestName + 1);
    for (std::uint32_t i = 0; i < objectCount; ++i) {
        // Each field is read before it is used: a short read ends the read.
        ObjectHeader h{};
        if (!in.u8(h.kind) || !in.u8(h.reserved) || !in.u32(h.x) || !in.u32(h.y) || !in.u64(h.time) ||
            !in.u16(h.useCount) || !in.u16(h.n))
            return false;
        const std::uint16_t n = h.n;
        name.clear();
        for (;;) {
            std::uint16_t unit = 0;
            if (!in.u16(unit)) return false;
            if (unit == 0) break;
            if (name.size() >= longestName) return false;
            name.push_back(static_cast<char16_t>(unit));
        }
        FoundEntry entry;
        entry.kind = h.kind;
        entry.time = timeOf(h.time);
        entry.useCount = h.useCount;
        entry.item.text = name;
        entry.item.point = {static_cast<std::int32_t>(h.x), static_cast<std::int32_t>(h.y)};
        if (n > 0) {
            std::vector<MapAndOffset> refs;
            bool bad = false;
            if (!readRefs(in, n, table, refs, bad)) return false;
            if (bad || refs.empty()) continue;
            entry.item.objects = std::move(refs);
        } else {
            Map::WayPoint point;
            if (!in.u16(point.type)) return false;
            point.name = name;
            point.point = entry.item.point;
            entry.item.objects = std::move(point);
        }
        m_objects.push_back(std::move(entry));
    }
    return true;
}

bool SearchHistory::write() {
    if (m_path.empty()) return false;
    Writer body;
    std::uint32_t objectCount = 0, longestName = 0;
    for (const FoundEntry& e : m_objects) {
        const auto* refs = std::get_if<0>(&e.item.objects);
        if (refs && refs->empty()) continue;
        ++objectCount;
        longestName = std::max(longestName, static_cast<std::uint32_t>(e.item.text.size()));
    }
    if (longestName > MaxNameUnits) return false;
    body.u32(static_cast<std::uint32_t>(m_filters.size()));
    body.u32(objectCount);
    body.u32(longestName);
    for (const FilterEntry& e : m_filters) {
        body.u8(static_cast<std::uint8_t>(e.level));
        body.u8(0);
        body.u16(static_cast<std::uint16_t>(e.refs.size()));
        body.u64(Positioning::toUnixTime(e.time));
        body.u16(static_cast<std::uint16_t>(e.useCount));
        body.refs(e.refs);
    }
    for (const FoundEntry& e : m_objects) {
        const auto* refs = std::get_if<0>(&e.item.objects);
        if (refs && refs->empty()) continue;
        body.u8(static_cast<std::uint8_t>(e.kind));
        body.u8(0);
        body.u32(static_cast<std::uint32_t>(e.item.point.x));
        body.u32(static_cast<std::uint32_t>(e.item.point.y));
        body.u64(Positioning::toUnixTime(e.time));
        body.u16(static_cast<std::uint16_t>(e.useCount));
        body.u16(static_cast<std::uint16_t>(refs ? refs->size() : 0));
        for (char16_t c : e.item.text)
            body.u16(c);
        body.u16(0);
        if (refs)
            body.refs(*refs);
        else
            body.u16(std::get<1>(e.item.objects).type);
    }
    // The signature goes in last: a write that stops early leaves none.
    FileSystem::AtomicFileForWrite file(m_path);
    bool written = file.isOpen() && FileSystem::writeU32(file, 0) && Map::IndexSourceList::write(file, m_sources) &&
                   file.write(body.out.data(), 1, body.out.size()) == body.out.size() && file.seek(0) &&
                   FileSystem::writeU32(file, Signature);
    written = written && file.commit();
    m_writeError = 0;
    if (!written) {
        m_writeError = file.lastError() != 0 ? file.lastError() : Platform::ErrorInvalidFunction;
        Log::log(Log::System, u"Can't write the search history '%s' (err %d)", m_path, m_writeError);
        file.discard();
    }
    return written;
}

bool SearchHistory::save() {
    // The file is replaced only once the new one is whole, so a failed
    // write leaves the history stored before: nothing to delete.
    if (write()) return true;
    m_unsavedError = m_writeError;
    return false;
}

bool SearchHistory::addFilter(std::uint32_t level, const std::vector<MapAndOffset>& refs) {
    const auto found = std::find_if(m_filters.begin(), m_filters.end(),
                                     [&](const FilterEntry& e) { return sameFilter(e, level, refs); });
    if (found != m_filters.end()) {
        FilterEntry entry = std::move(*found);
        m_filters.erase(found);
        mergeByMap(entry.refs, refs);
        entry.time = m_clock();
        ++entry.useCount;
        m_filters.push_back(std::move(entry));
    } else {
        m_filters.push_back(FilterEntry{level, sortedByMap(refs), m_clock(), 1});
    }
    return save();
}

bool SearchHistory::removeFilter(std::uint32_t level, const std::vector<MapAndOffset>& refs) {
    const auto found = std::find_if(m_filters.begin(), m_filters.end(),
                                    [&](const FilterEntry& e) { return sameFilter(e, level, refs); });
    if (found == m_filters.end()) return false;
    m_filters.erase(found);
    return save();
}

bool SearchHistory::addFoundObject(int kind, const ResultItem& item) {
    const auto found = std::find_if(m_objects.begin(), m_objects.end(),
                                    [&](const FoundEntry& e) { return sameFound(e, kind, item); });
    if (found != m_objects.end()) {
        FoundEntry entry = std::move(*found);
        m_objects.erase(found);
        if (auto* refs = std::get_if<0>(&entry.item.objects)) mergeByMap(*refs, std::get<0>(item.objects));
        entry.time = m_clock();
        ++entry.useCount;
        m_objects.push_back(std::move(entry));
    } else {
        FoundEntry entry{kind, item, m_clock(), 1};
        if (auto* refs = std::get_if<0>(&entry.item.objects)) *refs = sortedByMap(std::move(*refs));
        m_objects.push_back(std::move(entry));
    }
    return save();
}

bool SearchHistory::removeFoundObject(const ResultItem& item) {
    const auto found = std::find_if(m_objects.begin(), m_objects.end(),
                                    [&](const FoundEntry& e) { return sameFound(e, -1, item); });
    if (found == m_objects.end()) return false;
    m_objects.erase(found);
    return save();
}

bool SearchHistory::lastFilter(std::uint32_t& level, std::vector<MapAndOffset>& refs) const {
    if (m_filters.empty()) return false;
    level = m_filters.back().level;
    refs = m_filters.back().refs;
    return true;
}

void SearchHistory::filters(std::vector<Filter>& out) const {
    out.clear();
    for (auto it = m_filters.rbegin(); it != m_filters.rend(); ++it)
        if (it->level != 0) out.emplace_back(it->level, it->refs);
}

void SearchHistory::foundObjects(std::vector<ResultItem>& out, std::vector<int>* kinds) const {
    out.clear();
    if (kinds) kinds->clear();
    for (auto it = m_objects.rbegin(); it != m_objects.rend(); ++it) {
        out.push_back(it->item);
        if (kinds) kinds->push_back(it->kind);
    }
}

} // namespace TextSearch
