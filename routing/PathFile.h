#pragma once
// Path files (*.kvp): a route stored with its name, its route points and
// the parts of every leg, so that it is shown and followed again without a
// search. Maps are named by their id, so a file reads back only with an
// atlas that holds the same maps. Layout: docs/map-format.md, "Path files".

#include "routing/Path.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace FileSystem {
class FileRW;
}

namespace PathFile {

inline constexpr std::uint16_t Version = 4;
inline constexpr std::size_t HeaderBytes = 207;
inline constexpr std::size_t MaxNameLength = 100;
// Larger files are refused before they are read into memory.
inline constexpr std::size_t MaxFileBytes = 64u << 20;

// The bytes of a path file; false (out untouched) when the name is longer
// than 100 characters, a point or part lies in no map level, or a count
// does not fit its field.
bool encode(const std::u16string& name, const Path& path, std::vector<std::uint8_t>& out);
// Replaces target's parts, points and leg count with the stored route,
// raising its change flags and telling its watchers; false, target
// untouched, on any damage (short records, counts beyond the bytes left,
// polylines of fewer than two points, legs without parts, values that are
// not finite, manoeuvre types beyond 33, unknown maps or levels).
bool decode(const std::uint8_t* data, std::size_t size, const std::function<Map::KVMap2*(std::uint32_t)>& findMap,
            Path& target);

// Writes the path through a temporary file renamed over `file`; a failure
// (logged) leaves the old file as it was and puts the Win32 number of why in
// `error` when given (0 for a path that cannot be encoded).
bool write(const std::u16string& name, const std::u16string& file, const Path& path, int* error = nullptr);
bool read(const std::u16string& file, Map::KVAtlas& atlas, Path& target);
// Reads 5 bytes and accepts exactly "KVP" followed by version 4.
bool checkHeader(FileSystem::FileRW& file);

} // namespace PathFile

namespace PathsList {
// The stored name of a path file: the text before the terminator of the
// name field, at most 100 characters.
bool readName(const std::u16string& file, std::u16string& name);
} // namespace PathsList
