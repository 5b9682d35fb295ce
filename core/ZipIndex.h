#pragma once
// The index of a ZIP archive whose entries are stored uncompressed, read
// from the archive's bytes: entry names and where each entry's data lies.
//
// Only what a data package needs is accepted: the end record must be the
// last 22 bytes (no archive comment), every entry stored (method 0), not
// encrypted, with a name below 256 bytes, and its data inside the archive.
// Everything read from the bytes is bounded before use, so a damaged or
// hostile archive yields an error, never a read outside the bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace FileSystem {

struct ZipEntry {
    std::string name; // byte for byte, "/" between folders
    std::uint64_t offset = 0; // of the entry's data from the archive's start
    std::uint32_t size = 0;
};

struct ZipIndex {
    // Sorted by name (byte order); entries of size 0 are left out.
    std::vector<ZipEntry> entries;
    // Empty on success, else what was wrong where.
    std::string error;

    bool ok() const { return error.empty(); }
};

ZipIndex readZipIndex(const std::uint8_t* bytes, std::uint64_t size);

} // namespace FileSystem
