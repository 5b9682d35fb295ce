// A path file (*.kvp) decoded against the maps of a small town: refused
// with the target left empty, or read whole; a route that was read can be
// walked from end to end and written again.
#include "routing/PathFile.h"
#include "routing/PathPosition.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/routing/RouteFixture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    static const RouteTest::RouteAtlas* town = new RouteTest::RouteAtlas();
    Path target;
    if (!PathFile::decode(data, size, [](std::uint32_t id) { return town->atlas->findMapById(id); }, target)) {
        if (!target.points.empty() || !target.parts.empty())
            __builtin_trap();
        return 0;
    }
    PathPosition end(target, true);
    end.advance(1e9f);
    PathPosition::distanceTo(PathPosition(target, true), end);
    std::vector<std::uint8_t> again;
    PathFile::encode(u"again", target, again);
    return 0;
}
