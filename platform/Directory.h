#pragma once
// Listing and renaming the entries of a folder.

#include "platform/Time.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

struct DirectoryEntry {
    std::string name; // the bytes of the name as the file system holds them
    bool directory = false;
    std::uint64_t size = 0;
    CalendarTime modified; // last write, UTC
};

// Every entry of the folder (a native path), "." and ".." included, in the
// order the file system gives them. Entries whose details cannot be read
// (a link to nowhere) are listed as plain files of size 0 and time 1970.
// False, with the last error set (3 for a missing folder), when the folder
// cannot be opened.
bool listDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries);

// Renames a file or folder in one step, replacing an existing file of the
// new name (program paths, converted here). False with the last error set.
bool renameEntry(std::u16string_view from, std::u16string_view to);

} // namespace Platform
