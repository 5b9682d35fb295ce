#pragma once
// polylines.xml: the line types the polyline settings page lists, each with
// the text shown for it.
//   <polylines><group><polyline><type id="1A" name="Ferries"/>...
// "id" is hexadecimal (an optional 0x prefix, leading blanks skipped); an id
// that does not parse or is 256 or more skips its element; a missing or
// empty name shows the id as written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Screens {

struct PolylineEntry {
    std::int32_t type = 0;
    std::u16string name;
    bool operator==(const PolylineEntry&) const = default;
};

// The type number of an id attribute, none when it is not one.
std::optional<std::int32_t> parsePolylineId(std::string_view text);

// Appends the file text's entries in document order, then sorts all entries
// by type. A parse error is logged at Critical ("Error: %s on parsing
// polylines designs file") and keeps what was read before it; a text without
// the root element adds nothing.
void readPolylinesText(std::string text, std::vector<PolylineEntry>& entries);

// The same for the file; a file that cannot be opened is logged at Critical
// ("Can't open polylines designs file '%s' (err %d)").
void readPolylinesFile(const std::u16string& path, std::vector<PolylineEntry>& entries);

} // namespace Screens
