// Build step: draws the demo data's pictures into the data folder given as
// the only argument.
#include "tools/DemoImages.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
        return 2;
    }
    const auto written = DemoData::writeImages(argv[1]);
    if (written.empty()) {
        std::fprintf(stderr, "%s: cannot write the demo pictures into %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
