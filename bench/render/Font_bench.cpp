// Caption drawing over 1,000 frames of a map panning across a town whose
// streets have Latin and Cyrillic names, to show that the glyph cache (which
// has no size limit) stops growing once the alphabet has been seen: the
// counters give its size after the first, tenth, hundredth and last frame and
// the number of distinct characters the names use.

#include "render/TtfFont.h"

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::u16string> townNames() {
    const std::vector<std::u16string> latin = {u"Ma",    u"ple",  u"Ro",    u"se",    u"Cedar",
                                               u"Hill",  u"Wood", u"Brook", u"Kings", u"Mill",
                                               u"Stone", u"Ash",  u"ley",   u"ton",   u"field"};
    const std::vector<std::u16string> cyrillic = {
        u"\u041B\u0435",       u"\u043D\u0438", u"\u043D\u0430",       u"\u0421\u0430",      u"\u0434\u043E",
        u"\u0432\u0430\u044F", u"\u041F\u0443", u"\u0448\u043A\u0438", u"\u043D\u0430\u044F"};
    const std::vector<std::u16string> kinds = {u" Street",        u" Road",   u" Lane",
                                               u" \u0443\u043B.", u" Avenue", u" \u043F\u0440."};
    std::mt19937 random(20261206u);
    std::vector<std::u16string> names;
    for (int i = 0; i < 400; ++i) {
        const auto& parts = (i % 3 == 0) ? cyrillic : latin;
        std::u16string name = parts[random() % parts.size()] + parts[random() % parts.size()];
        name += kinds[random() % kinds.size()];
        if (i % 7 == 0) name.append({u' ', static_cast<char16_t>(u'0' + i % 10)});
        names.push_back(name);
    }
    return names;
}

void BM_PanningCaptions(benchmark::State& state) {
    auto font = Render::TtfFont::open(u"" MIREL_TEST_FONT, 14);
    if (!font) {
        state.SkipWithError("no font");
        return;
    }
    auto& face = static_cast<Render::TtfFont&>(*font).face();
    SDL_Surface* screen =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    const auto names = townNames();
    std::set<char16_t> alphabet;
    for (const auto& n : names)
        alphabet.insert(n.begin(), n.end());

    std::size_t after1 = 0, after10 = 0, after100 = 0, after1000 = 0;
    for (auto _ : state) {
        font->setStyle(0); // starts every run with an empty cache
        for (int frame = 0; frame < 1000; ++frame) {
            SDL_FillRect(screen, nullptr, 0xF0F0E0);
            // The view moves two names on per frame and shows 40 of them.
            for (int i = 0; i < 40; ++i) {
                const auto& name = names[(frame * 2 + i) % names.size()];
                font->drawTextSolid(screen, (i * 97 + frame * 3) % 700, (i * 53) % 460, Render::Font::Halo,
                                    0xFF000000, 0xFFFFFFFF, name);
            }
            const std::size_t glyphs = face.cachedGlyphCount();
            if (frame == 0)
                after1 = glyphs;
            else if (frame == 9)
                after10 = glyphs;
            else if (frame == 99)
                after100 = glyphs;
            else if (frame == 999)
                after1000 = glyphs;
        }
    }
    state.counters["glyphs_frame1"] = static_cast<double>(after1);
    state.counters["glyphs_frame10"] = static_cast<double>(after10);
    state.counters["glyphs_frame100"] = static_cast<double>(after100);
    state.counters["glyphs_frame1000"] = static_cast<double>(after1000);
    state.counters["distinct_chars"] = static_cast<double>(alphabet.size());
    state.counters["frames"] =
        benchmark::Counter(1000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    SDL_FreeSurface(screen);
}
BENCHMARK(BM_PanningCaptions)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
