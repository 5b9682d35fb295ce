// The navigator's start-up as a fresh process, for bench_app_startup: the
// engine on the program folder given as the only argument, under SDL's dummy
// video driver, up to its first drawn frame. It then writes one line to the
// standard output, "drawn PAGE MAPS PEAK_KIB" (the active page, the atlas's
// map count, its own peak resident memory from /proc/self/status: a spawned
// process's rusage keeps its parent's peak), and ends at once (the shutdown
// is not part of the start-up).

#include "app/fdEngine.h"

#include "core/Text.h"
#include "map/KVAtlas.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmHWM:") {
            status >> value;
            return value;
        }
        status.ignore(256, '\n');
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: bench_startup_child PROGRAM_FOLDER\n", stderr);
        return 2;
    }
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto* e = new engine::fdEngine(Core::utf8ToWide(std::string(argv[1]) + "/"));
    if (e->init() != 0)
        return 1;
    e->redraw();
    const Ui::fdPage* page = e->ui() ? e->ui()->activePage() : nullptr;
    const std::size_t maps = e->atlas() ? e->atlas()->maps().size() : 0;
    std::printf("drawn %s %zu %ld\n", page ? page->name().c_str() : "-", maps, peakKiB());
    std::fflush(stdout);
    std::_Exit(0);
}
