#pragma once
// The comma-separated danger-warn point files ("*.txt" in the "waypoints"
// data folder). The first line may be a header naming one of three column
// layouts; without one, the first line is already data in the plain layout.
//
// Row decisions beyond the layouts themselves: a UTF-8 byte-order mark before
// the first line is skipped; a row whose X or Y holds no number, and a row
// whose latitude lies beyond what the map projection can represent
// (+-85.0511856 degrees), is skipped and logged rather than becoming a point
// at a wrong place; an empty file adds nothing and is no failure.

#include "map/proximity/MemoryIndex.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Map::Proximity {

enum class TextForm { None, Plain, Indexed, WithRadius };

// The form named by the first line (trailing white space already removed or
// not: the headers are compared as prefixes).
TextForm detectTextForm(std::string_view firstLine);

struct TextRow {
    enum Status {
        Accepted,
        NoCoordinates,   // X or Y holds no number
        OutOfRange,      // outside [-180, 180] x [-90, 90]: skipped silently
        BeyondProjection // |latitude| above the projection's limit
    };
    Status status = Accepted;
    Point point;
    float longitude = 0.0f;
    float latitude = 0.0f;
};

// One data line (no line end) of a file of the given form.
TextRow parseTextRow(std::string_view line, TextForm form);

// Reads one file into the index. False when the file cannot be opened or a
// non-empty file cannot be mapped; bad rows are skipped.
bool readDangerWarnPointFile(const std::u16string& path, MemoryIndex& index);

} // namespace Map::Proximity
