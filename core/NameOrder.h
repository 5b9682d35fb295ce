#pragma once
// The case-insensitive order of wide names (file names, map names) used
// wherever two names that differ only in letter case are one name.

#include <string_view>

namespace Core {

// Compares toUpper of each unit as unsigned 16-bit values; when one name is
// a prefix of the other, the shorter is less.
bool iless(std::u16string_view a, std::u16string_view b);

// A comparator for ordered containers keyed by names.
struct ILess {
    bool operator()(std::u16string_view a, std::u16string_view b) const { return iless(a, b); }
};

} // namespace Core
