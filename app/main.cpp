#include <cstdio>

int main() {
    std::fputs("Mirel: the navigator engine is not built yet. This build has the core services only;\n"
               "it cannot open a window, read maps, use a GPS receiver or compute routes so far.\n",
               stderr);
    return 0;
}
