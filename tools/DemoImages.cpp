#include "tools/DemoImages.h"
#include "tools/SkinImages.h"

#include "tests/support/BmpWriter.h"

#include <array>
#include <cstdint>
#include <fstream>

namespace DemoData {

namespace {

constexpr int iconSize = 20;

// 5 x 7 glyphs, one string per row, '#' set.
struct Glyph {
    char symbol;
    std::array<const char*, 7> rows;
};

constexpr Glyph glyphs[] = {
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {'*', {".....", "#.#.#", ".###.", "#####", ".###.", "#.#.#", "....."}},
};

const Glyph& glyph(char symbol) {
    for (const Glyph& g : glyphs)
        if (g.symbol == symbol)
            return g;
    return glyphs[0];
}

// A round badge: a disc of the fill colour with a darker rim and the glyph
// in white, fully transparent outside the disc and half transparent at its
// edge.
std::vector<std::uint32_t> icon(std::uint32_t rgb, char symbol) {
    std::vector<std::uint32_t> pixels(iconSize * iconSize, 0);
    const double centre = (iconSize - 1) / 2.0, radius = iconSize / 2.0;
    const std::uint32_t rim = (rgb >> 1) & 0x7F7F7F;
    for (int y = 0; y < iconSize; ++y)
        for (int x = 0; x < iconSize; ++x) {
            const double dx = x - centre, dy = y - centre;
            const double d2 = dx * dx + dy * dy;
            std::uint32_t& p = pixels[std::size_t(y * iconSize + x)];
            if (d2 > radius * radius)
                continue;
            if (d2 > (radius - 1) * (radius - 1))
                p = 0x80000000u | rim;
            else if (d2 > (radius - 2) * (radius - 2))
                p = 0xFF000000u | rim;
            else
                p = 0xFF000000u | rgb;
        }
    const Glyph& g = glyph(symbol);
    const int left = (iconSize - 10) / 2, top = (iconSize - 14) / 2;
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
            if (g.rows[std::size_t(row)][col] == '#')
                for (int k = 0; k < 4; ++k)
                    pixels[std::size_t((top + 2 * row + k / 2) * iconSize + left + 2 * col + k % 2)] = 0xFFFFFFFF;
    return pixels;
}

// A square tile of side 2^n: a background with a small motif repeated.
std::vector<std::uint32_t> pattern(int side, std::uint32_t background, std::uint32_t motif, char kind) {
    std::vector<std::uint32_t> pixels(std::size_t(side * side), 0xFF000000u | background);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            bool on = false;
            switch (kind) {
            case 't': // trees: small dots on a diagonal grid
                on = (x % 8 == 2 && y % 8 == 2) || (x % 8 == 6 && y % 8 == 6) || (x % 8 == 3 && y % 8 == 2) ||
                     (x % 8 == 7 && y % 8 == 6);
                break;
            case 'c': // crosses
                on = (x % 8 == 3 && y % 8 >= 1 && y % 8 <= 5) || (y % 8 == 2 && x % 8 >= 2 && x % 8 <= 4);
                break;
            case 'w': // waves
                on = (y % 8 == 3 && (x % 8 < 4)) || (y % 8 == 4 && (x % 8 >= 4));
                break;
            default:
                break;
            }
            if (on)
                pixels[std::size_t(y * side + x)] = 0xFF000000u | motif;
        }
    return pixels;
}

bool save(const std::filesystem::path& file, const std::string& bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace

std::vector<std::string> writeImages(const std::filesystem::path& dataFolder) {
    struct Icon {
        const char* name;
        std::uint32_t rgb;
        char symbol;
    };
    const Icon icons[] = {
        {"icons/poi.bmp", 0x707070, '*'},        {"icons/restaurant.bmp", 0xC05020, 'R'},
        {"icons/fuel.bmp", 0x2080C0, 'F'},       {"icons/fuel_night.bmp", 0x104060, 'F'},
        {"icons/hotel.bmp", 0x6040A0, 'H'},      {"icons/parking.bmp", 0x2050D0, 'P'},
        {"icons/hospital.bmp", 0xD02020, '+'},   {"icons/shop.bmp", 0x20A050, 'S'},
        {"icons/camera.bmp", 0xE0A000, '!'},
    };
    struct Pattern {
        const char* name;
        std::uint32_t background, motif;
        char kind;
    };
    const Pattern patterns[] = {
        {"patterns/forest.bmp", 0xB8D8A0, 0x508040, 't'},
        {"patterns/forest_night.bmp", 0x203020, 0x385838, 't'},
        {"patterns/cemetery.bmp", 0xC8D8C0, 0x607060, 'c'},
        {"patterns/cemetery_night.bmp", 0x283028, 0x485848, 'c'},
        {"patterns/water.bmp", 0xA0C8F0, 0x7098D0, 'w'},
    };
    std::vector<std::string> written;
    for (const Icon& i : icons) {
        if (!save(dataFolder / i.name, TestSupport::bmpBytes(iconSize, iconSize, 32, icon(i.rgb, i.symbol))))
            return {};
        written.push_back(i.name);
    }
    for (const Pattern& p : patterns) {
        if (!save(dataFolder / p.name, TestSupport::bmpBytes(16, 16, 32, pattern(16, p.background, p.motif, p.kind))))
            return {};
        written.push_back(p.name);
    }
    const std::vector<std::string> skin = writeSkinImages(dataFolder);
    if (skin.empty())
        return {};
    written.insert(written.end(), skin.begin(), skin.end());
    return written;
}

} // namespace DemoData
