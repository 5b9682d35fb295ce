#pragma once
// The list of source files a derived index was built from (the text-search
// index and history from the atlas's maps, the danger-warn index from its
// text files): each file's name and last-write time in whole seconds since
// 1970 (UTC). The list is stored at the head of the derived file; a stored
// list that differs from the current one makes the file stale.
//
// Stored form, little-endian: u32 count, u32 longest (the greatest name
// length in UTF-16 units), then per record the name's units, a u16 0 and a
// u64 time.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace FileSystem {
class FileRW;
}

namespace Map {

class IndexSourceList {
  public:
    struct Record {
        std::u16string name; // without the folder
        std::uint64_t time = 0;
    };

    // Stored names longer than this are refused by read and write: no file
    // system gives such names, and a hostile `longest` must not size a buffer.
    static constexpr std::uint32_t MaxNameUnits = 4096;

    using Filter = std::function<bool(const std::u16string& fullPath)>;
    using Key = std::function<std::uint32_t(const std::u16string& name)>;

    // Every file (not folder) of folder matching mask that the filter
    // accepts, in name order ignoring case. Empty when the folder does not
    // exist or nothing matches.
    static IndexSourceList collect(const std::u16string& folder, const std::u16string& mask,
                                   const Filter& filter);
    // Reorders ascending by key(name) as unsigned values.
    static void sort(IndexSourceList& list, const Key& key);
    // Same count and, in order, names equal ignoring case and equal times.
    static bool equals(const IndexSourceList& a, const IndexSourceList& b);
    // Appends the records of a stored list read from the file's position;
    // false at the first short read, a name without its 0 within `longest`
    // units, or a `longest` above MaxNameUnits. Records read before a failure
    // stay in the list.
    static bool read(FileSystem::FileRW& file, IndexSourceList& list);
    // False at the first incomplete write, or for a name above MaxNameUnits.
    static bool write(FileSystem::FileRW& file, const IndexSourceList& list);
    // One element per old record: Unchanged when the new list has an equal
    // record at the same place, else the index of the first equal new
    // record, or Gone.
    static void remap(const IndexSourceList& oldList, const IndexSourceList& newList,
                      std::vector<std::uint32_t>& out);

    static constexpr std::uint32_t Unchanged = 0xFFFFFFFF;
    static constexpr std::uint32_t Gone = 0xFFFFFFFE;

    std::vector<Record> records;
};

} // namespace Map
