#pragma once
// One pass over the entries of a folder that match a pattern, in the order
// of their names compared without case (Cyrillic included), so that map
// order and indexes come out the same on every machine.
//
// Paths are wide texts in the program's own form: the folder, "\" and the
// entry's name. Entries are reported as the folder holds them, directories
// and "." and ".." included; callers filter by attributes().

#include "core/DateTime.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace FileSystem {

class FileFinder {
public:
    static constexpr std::uint32_t kAttributeDirectory = 0x10;
    static constexpr std::uint32_t kAttributeNormal = 0x80;

    // Starts the search and logs "Iterating '<pattern>' in '<folder>':
    // <handle>" at Normal level, the handle being ffffffff when nothing
    // matched (or the folder cannot be read). A folder ending in "\" or "/"
    // gets no second separator.
    static std::unique_ptr<FileFinder> create(std::u16string_view folder, std::u16string_view pattern);

    // Moves to the next entry; false (and at end) when there is none.
    bool next();
    bool atEnd() const;

    // The current entry (meaningless at end).
    const std::u16string& path() const { return m_path; }
    std::u16string name() const { return m_path.substr(m_folderLength); }
    std::uint32_t attributes() const;
    bool isDirectory() const;
    std::uint64_t size() const;
    // The last-write time in UTC, to the millisecond.
    Positioning::DateTime modificationTime() const;

    // Pattern matching as the search does it: "*" any run of characters,
    // "?" any one character, letters compared without case; "*.*" matches
    // every name.
    static bool matches(std::u16string_view name, std::u16string_view pattern);

    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

private:
    struct Entry {
        std::u16string name;
        bool directory = false;
        std::uint64_t size = 0;
        Positioning::DateTime modified;
    };

    FileFinder() = default;
    void setCurrent();

    std::vector<Entry> m_entries;
    std::size_t m_current = 0;
    std::uint32_t m_handle = 0xFFFFFFFF;
    std::u16string m_path;
    std::size_t m_folderLength = 0;
    bool m_atEnd = false;
};

} // namespace FileSystem
