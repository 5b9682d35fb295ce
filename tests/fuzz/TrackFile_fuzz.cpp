// A track file (*.kvt) as the track list opens it: loaded within its
// bounds, its points walked, its shown flag rewritten in place, and the
// folder scanned by the track manager.
#include "core/Config.h"
#include "tests/fuzz/FuzzInput.h"
#include "userdata/TrackFile.h"
#include "userdata/fdTrackManager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    const std::u16string path = FuzzInput::scratchFile("track.kvt", data, size);
    TrackFile track;
    track.load(path);
    // A record is 44 bytes after the 16 of the header: no more points.
    if (track.pointCount() > (size > 16 ? (size - 16) / 44 : 0))
        __builtin_trap();
    std::uint32_t walked = 0;
    track.forEachPoint([&walked](const xe::Point&) { ++walked; });
    if (walked != track.pointCount())
        __builtin_trap();
    fdTrackManager::Track::storeShowFlag(path, true, 0x12345678);
    static Core::Config config;
    fdTrackManager manager(FuzzInput::scratchFolder(), config.root());
    return 0;
}
