// Danger-warn text files: single rows in every form, and the whole file
// read into an index that is then queried.
#include "map/proximity/MemoryIndex.h"
#include "map/proximity/TextFile.h"
#include "tests/fuzz/FuzzInput.h"

#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace Map::Proximity;
    FuzzInput::quietLog();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (TextForm form : {TextForm::None, TextForm::Plain, TextForm::Indexed, TextForm::WithRadius}) {
        const TextRow row = parseTextRow(text.substr(0, text.find('\n')), form);
        if (row.status == TextRow::Accepted && (row.point.kind() > 11 || row.point.direction() > 359))
            __builtin_trap();
    }
    MemoryIndex index;
    if (!readDangerWarnPointFile(FuzzInput::scratchFile("points.txt", data, size), index))
        return 0;
    constexpr std::int32_t Low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t High = std::numeric_limits<std::int32_t>::max();
    std::uint32_t seen = 0;
    index.queryIntersecting(Box{Low, Low, High, High}, [&](const Point&) { ++seen; });
    if (seen != index.pointCount())
        __builtin_trap();
    return 0;
}
