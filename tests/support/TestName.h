#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace TestSupport {

// The name of a table row's test, from the row's own words: its letters and
// digits, each run of anything else one underscore ("hairpin, GGA only, 10
// Hz" is "hairpin_GGA_only_10_Hz"), as a test name may hold nothing else.
inline std::string testName(std::string_view words) {
    std::string name;
    bool gap = false;
    for (const char c : words) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            gap = !name.empty();
            continue;
        }
        if (gap) name += '_';
        gap = false;
        name += c;
    }
    return name;
}

} // namespace TestSupport
