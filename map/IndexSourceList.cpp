#include "map/IndexSourceList.h"

#include "core/DateTime.h"
#include "core/FileFinder.h"
#include "core/FileRW.h"
#include "core/NameOrder.h"

#include <algorithm>

namespace Map {

namespace {

bool sameRecord(const IndexSourceList::Record& a, const IndexSourceList::Record& b) {
    return !Core::iless(a.name, b.name) && !Core::iless(b.name, a.name) && a.time == b.time;
}

template <class T> bool readValue(FileSystem::FileRW& file, T& value) {
    std::uint8_t bytes[sizeof(T)];
    if (file.read(bytes, sizeof bytes, 1) != 1) return false;
    value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(static_cast<T>(bytes[i]) << (8 * i));
    return true;
}

template <class T> void putValue(std::vector<std::uint8_t>& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool writeBytes(FileSystem::FileRW& file, const std::vector<std::uint8_t>& bytes) {
    return bytes.empty() || file.write(bytes.data(), bytes.size(), 1) == 1;
}

} // namespace

IndexSourceList IndexSourceList::collect(const std::u16string& folder, const std::u16string& mask,
                                         const Filter& filter) {
    IndexSourceList list;
    std::unique_ptr<FileSystem::FileFinder> finder = FileSystem::FileFinder::create(folder, mask);
    for (bool more = !finder->atEnd(); more; more = finder->next()) {
        if (finder->isDirectory()) continue;
        if (filter && !filter(finder->path())) continue;
        list.records.push_back({finder->name(), Positioning::toUnixTime(finder->modificationTime())});
    }
    std::sort(list.records.begin(), list.records.end(),
              [](const Record& a, const Record& b) { return Core::iless(a.name, b.name); });
    return list;
}

void IndexSourceList::sort(IndexSourceList& list, const Key& key) {
    std::vector<std::pair<std::uint32_t, Record>> keyed;
    keyed.reserve(list.records.size());
    for (Record& record : list.records)
        keyed.emplace_back(key(record.name), std::move(record));
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    list.records.clear();
    for (auto& entry : keyed)
        list.records.push_back(std::move(entry.second));
}

bool IndexSourceList::equals(const IndexSourceList& a, const IndexSourceList& b) {
    if (&a == &b) return true;
    if (a.records.size() != b.records.size()) return false;
    for (std::size_t i = 0; i < a.records.size(); ++i) {
        if (!sameRecord(a.records[i], b.records[i])) return false;
    }
    return true;
}

bool IndexSourceList::read(FileSystem::FileRW& file, IndexSourceList& list) {
    std::uint32_t count = 0;
    std::uint32_t longest = 0;
    if (!readValue(file, count) || !readValue(file, longest)) return false;
    // The buffer holds longest + 1 units; computed after the cap, so a stored
    // 0xFFFFFFFF can neither wrap to 0 nor ask for gigabytes.
    if (longest > MaxNameUnits) return false;
    const std::size_t capacity = std::size_t{longest} + 1;
    std::u16string name;
    name.reserve(capacity);
    for (std::uint32_t r = 0; r < count; ++r) {
        name.clear();
        bool terminated = false;
        while (name.size() < capacity) {
            std::uint16_t unit = 0;
            if (!readValue(file, unit)) return false;
            if (unit == 0) {
                terminated = true;
                break;
            }
            name.push_back(static_cast<char16_t>(unit));
        }
        if (!terminated) return false;
        std::uint64_t time = 0;
        if (!readValue(file, time)) return false;
        list.records.push_back({name, time});
    }
    return true;
}

bool IndexSourceList::write(FileSystem::FileRW& file, const IndexSourceList& list) {
    std::size_t longest = 0;
    for (const Record& record : list.records)
        longest = std::max(longest, record.name.size());
    if (longest > MaxNameUnits || list.records.size() > UINT32_MAX) return false;
    std::vector<std::uint8_t> bytes;
    putValue(bytes, static_cast<std::uint32_t>(list.records.size()));
    putValue(bytes, static_cast<std::uint32_t>(longest));
    if (!writeBytes(file, bytes)) return false;
    for (const Record& record : list.records) {
        bytes.clear();
        for (char16_t unit : record.name)
            putValue(bytes, static_cast<std::uint16_t>(unit));
        putValue(bytes, std::uint16_t{0});
        putValue(bytes, record.time);
        if (!writeBytes(file, bytes)) return false;
    }
    return true;
}

void IndexSourceList::remap(const IndexSourceList& oldList, const IndexSourceList& newList,
                            std::vector<std::uint32_t>& out) {
    out.assign(oldList.records.size(), Unchanged);
    for (std::size_t i = 0; i < oldList.records.size(); ++i) {
        const Record& old = oldList.records[i];
        if (i < newList.records.size() && sameRecord(newList.records[i], old)) continue;
        out[i] = Gone;
        for (std::size_t j = 0; j < newList.records.size(); ++j) {
            if (sameRecord(newList.records[j], old)) {
                out[i] = static_cast<std::uint32_t>(j);
                break;
            }
        }
    }
}

} // namespace Map
