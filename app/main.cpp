#include <cstdio>

// The engine and the user interface are not built yet: until they are, the
// program says plainly what it cannot do and where its working parts can be
// tried.
int main() {
    std::fputs("Mirel: the navigator's engine and user interface are not built yet, so this program\n"
               "opens no window, reads no GPS receiver, guides no route and finds no address.\n"
               "What works so far can be tried with the tools built beside it:\n"
               "  build/tools/render-atlas build/app/data/maps/monaco frame.bmp --centre 43.7384,7.4246 --scale 200\n"
               "      draws one map frame of the Monaco atlas (2D or --3d, --night) into a BMP picture;\n"
               "  build/tools/nmea-replay FILE.nmea\n"
               "      plays a recorded NMEA stream through the positioning system.\n",
               stderr);
    return 0;
}
