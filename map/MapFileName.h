#pragma once
// The name a map file gives itself (the text of its copyright section), and
// the names of the maps of an atlas folder: what the atlases page lists for
// an atlas and the information page credits it with.

#include <string>
#include <vector>

namespace Map {

// Opens the map file on a private pool, reads its copyright text (trailing
// zero units dropped) and closes it again. A file that does not open or has
// no copyright section gives an empty name; an exception while opening or
// reading is logged at Critical ("Error reading map '%s' copyright (%s) -
// skip") and gives an empty name too.
std::u16string readMapFileName(const std::u16string& path);

// The non-empty names of the folder's "*.kvm" files, ordered (wide-string
// comparison), each name once.
std::vector<std::u16string> atlasMapNames(const std::u16string& folder);

} // namespace Map
