// Writes the demo atlas into the folder given as the only argument.

#include "tools/demo-atlas/DemoAtlas.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <atlas folder>\n", argv[0]);
        return 2;
    }
    try {
        DemoAtlas::write(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "demo atlas: %s\n", error.what());
        return 1;
    }
    return 0;
}
