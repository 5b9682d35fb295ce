// Fill and band throughput on an 800x480 surface, in pixels per second,
// each beside Cairo drawing the same shape without antialiasing into an
// image surface of the same depth (BM_Cairo*, same arguments), so that
// bench/ratios.py can pair them.

#include "render/Bands.h"
#include "render/Fill.h"
#include "render/Pixels.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

SDL_Surface* makeScreen(int bitsPerPixel) {
    if (bitsPerPixel == 16)
        return SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 16, 0xF800, 0x07E0, 0x001F, 0);
    return SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
}

std::int64_t countPixels(SDL_Surface* s, std::uint32_t pixel) {
    std::int64_t n = 0;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            const auto* row = static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch;
            const std::uint32_t v = s->format->BytesPerPixel == 2
                                        ? reinterpret_cast<const std::uint16_t*>(row)[x]
                                        : reinterpret_cast<const std::uint32_t*>(row)[x];
            n += v == pixel;
        }
    return n;
}

// An aliased Cairo context on an 800x480 image surface of 16 or 32 bits.
struct CairoScreen {
    explicit CairoScreen(int bitsPerPixel, int width = 800, int height = 480)
        : surface(cairo_image_surface_create(bitsPerPixel == 16 ? CAIRO_FORMAT_RGB16_565 : CAIRO_FORMAT_RGB24, width,
                                             height)),
          cr(cairo_create(surface)) {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_set_source_rgb(cr, 0.2, 0.4, 0.6);
    }
    ~CairoScreen() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    CairoScreen(const CairoScreen&) = delete;
    CairoScreen& operator=(const CairoScreen&) = delete;
    void path(const std::vector<xe::Point>& points) const {
        cairo_new_path(cr);
        for (const xe::Point& p : points)
            cairo_line_to(cr, p.x + 0.5, p.y + 0.5);
    }
    cairo_surface_t* surface;
    cairo_t* cr;
};

std::vector<xe::Point> starPolygon() {
    std::vector<xe::Point> star;
    for (int i = 0; i < 40; ++i) {
        const int r = i % 2 == 0 ? 470 : 150;
        const double a = i * 3.14159265358979 / 20;
        star.push_back({400 + static_cast<int>(r * std::cos(a)), 240 + static_cast<int>(r * std::sin(a))});
    }
    return star;
}

// A star polygon of 40 points covering most of the screen (even-odd holes).
void BM_FillPolygon(benchmark::State& state) {
    SDL_Surface* s = makeScreen(static_cast<int>(state.range(0)));
    const xe::Canvas canvas = xe::Canvas::of(s);
    const std::vector<xe::Point> star = starPolygon();
    xe::fillPolygonScan(canvas, star.data(), 40, 1);
    const std::int64_t pixels = countPixels(s, 1);
    for (auto _ : state) {
        xe::fillPolygonScan(canvas, star.data(), 40, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
    SDL_FreeSurface(s);
}
BENCHMARK(BM_FillPolygon)->Arg(16)->Arg(32);

void BM_CairoFillPolygon(benchmark::State& state) {
    const CairoScreen screen(static_cast<int>(state.range(0)));
    const std::vector<xe::Point> star = starPolygon();
    cairo_set_fill_rule(screen.cr, CAIRO_FILL_RULE_EVEN_ODD);
    for (auto _ : state) {
        screen.path(star);
        cairo_close_path(screen.cr);
        cairo_fill(screen.cr);
        cairo_surface_flush(screen.surface);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CairoFillPolygon)->Arg(16)->Arg(32);

// Many small triangles, as bands and caps produce them.
void BM_FillTriangles(benchmark::State& state) {
    SDL_Surface* s = makeScreen(static_cast<int>(state.range(0)));
    const xe::Canvas canvas = xe::Canvas::of(s);
    std::int64_t pixels = 0;
    for (auto _ : state) {
        for (int y = 0; y < 480; y += 20)
            for (int x = 0; x < 800; x += 20)
                xe::fillTriangle(canvas, x, y, x + 19, y + 3, x + 7, y + 19, 2);
        benchmark::ClobberMemory();
    }
    SDL_FillRect(s, nullptr, 0);
    for (int y = 0; y < 480; y += 20)
        for (int x = 0; x < 800; x += 20)
            xe::fillTriangle(canvas, x, y, x + 19, y + 3, x + 7, y + 19, 2);
    pixels = countPixels(s, 2);
    state.SetItemsProcessed(state.iterations() * pixels);
    SDL_FreeSurface(s);
}
BENCHMARK(BM_FillTriangles)->Arg(16)->Arg(32);

void BM_CairoFillTriangles(benchmark::State& state) {
    const CairoScreen screen(static_cast<int>(state.range(0)));
    cairo_t* cr = screen.cr;
    for (auto _ : state) {
        for (int y = 0; y < 480; y += 20)
            for (int x = 0; x < 800; x += 20) {
                cairo_move_to(cr, x + 0.5, y + 0.5);
                cairo_line_to(cr, x + 19.5, y + 3.5);
                cairo_line_to(cr, x + 7.5, y + 19.5);
                cairo_close_path(cr);
                cairo_fill(cr);
            }
        cairo_surface_flush(screen.surface);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CairoFillTriangles)->Arg(16)->Arg(32);

// A zig-zag road band 12 pixels wide with joints and caps: 17 points and
// the 16 half-width offsets of its segments.
void zigZagBand(std::vector<xe::Point>& points, std::vector<xe::Point>& offsets) {
    for (int i = 0; i <= 16; ++i)
        points.push_back({i * 50, i % 2 == 0 ? 60 : 420});
    for (int i = 0; i < 16; ++i) {
        const double dx = points[i + 1].x - points[i].x;
        const double dy = points[i + 1].y - points[i].y;
        const double len = std::sqrt(dx * dx + dy * dy);
        offsets.push_back({static_cast<int>(6 * dy / len), static_cast<int>(-6 * dx / len)});
    }
}

// A zig-zag road band 12 pixels wide with joints and caps.
void BM_WideBand(benchmark::State& state) {
    SDL_Surface* s = makeScreen(static_cast<int>(state.range(0)));
    const xe::Canvas canvas = xe::Canvas::of(s);
    std::vector<xe::Point> points;
    std::vector<xe::Point> offsets;
    zigZagBand(points, offsets);
    xe::drawWideBand(canvas, points.data(), offsets.data(), 17, 3);
    const std::int64_t pixels = countPixels(s, 3);
    for (auto _ : state) {
        xe::drawWideBand(canvas, points.data(), offsets.data(), 17, 3);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
    SDL_FreeSurface(s);
}
BENCHMARK(BM_WideBand)->Arg(16)->Arg(32);

// The same zig-zag stroked 12 pixels wide with round caps and bevel joints.
void BM_CairoWideBand(benchmark::State& state) {
    const CairoScreen screen(static_cast<int>(state.range(0)));
    std::vector<xe::Point> points;
    std::vector<xe::Point> offsets;
    zigZagBand(points, offsets);
    cairo_set_line_width(screen.cr, 12.0);
    cairo_set_line_cap(screen.cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(screen.cr, CAIRO_LINE_JOIN_BEVEL);
    for (auto _ : state) {
        screen.path(points);
        cairo_stroke(screen.cr);
        cairo_surface_flush(screen.surface);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CairoWideBand)->Arg(16)->Arg(32);

// The border lines of the same band.
void BM_WideBandBorder(benchmark::State& state) {
    SDL_Surface* s = makeScreen(static_cast<int>(state.range(0)));
    const xe::Canvas canvas = xe::Canvas::of(s);
    std::vector<xe::Point> points;
    std::vector<xe::Point> offsets;
    zigZagBand(points, offsets);
    xe::drawWideBandBorder(canvas, points.data(), offsets.data(), 17, 4);
    const std::int64_t pixels = countPixels(s, 4);
    for (auto _ : state) {
        xe::drawWideBandBorder(canvas, points.data(), offsets.data(), 17, 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
    SDL_FreeSurface(s);
}
BENCHMARK(BM_WideBandBorder)->Arg(16)->Arg(32);

// Clearing a 1280x720 frame and copying it to the screen, as the map frame
// does: SDL's own (range(0) 0) beside the rasteriser's (1).
void BM_ClearAndBlitFrame(benchmark::State& state) {
    SDL_Surface* map = SDL_CreateRGBSurface(SDL_SWSURFACE, 1280, 720, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    SDL_Surface* screen = SDL_CreateRGBSurface(SDL_SWSURFACE, 1280, 720, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    const bool ours = state.range(0) != 0;
    const std::uint32_t pixel = SDL_MapRGB(map->format, 0xF0, 0xEC, 0xE4);
    for (auto _ : state) {
        if (ours) {
            xe::fillClipRect(map, pixel);
            xe::blitWhole(map, screen, 0, 0);
        } else {
            SDL_FillRect(map, nullptr, pixel);
            SDL_Rect at{0, 0, 0, 0};
            SDL_BlitSurface(map, nullptr, screen, &at);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * 1280 * 720 * 4);
    SDL_FreeSurface(map);
    SDL_FreeSurface(screen);
}
BENCHMARK(BM_ClearAndBlitFrame)->ArgName("ours")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same with Cairo: the frame painted with one colour, then painted onto
// the screen surface (a plain copy: CAIRO_OPERATOR_SOURCE).
void BM_CairoClearAndBlitFrame(benchmark::State& state) {
    const CairoScreen map(32, 1280, 720);
    const CairoScreen screen(32, 1280, 720);
    cairo_set_source_rgb(map.cr, 0xF0 / 255.0, 0xEC / 255.0, 0xE4 / 255.0);
    cairo_set_operator(screen.cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(screen.cr, map.surface, 0, 0);
    for (auto _ : state) {
        cairo_paint(map.cr);
        cairo_surface_flush(map.surface);
        cairo_paint(screen.cr);
        cairo_surface_flush(screen.surface);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * 1280 * 720 * 4);
}
BENCHMARK(BM_CairoClearAndBlitFrame)->Unit(benchmark::kMicrosecond);

// Clearing a 1280x720 frame alone: SDL_FillRect (by 0), the rasteriser's
// wide stores (1) and cairo_paint (2).
void BM_ClearFrame(benchmark::State& state) {
    SDL_Surface* map = SDL_CreateRGBSurface(SDL_SWSURFACE, 1280, 720, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    const CairoScreen cairo(32, 1280, 720);
    cairo_set_source_rgb(cairo.cr, 0xF0 / 255.0, 0xEC / 255.0, 0xE4 / 255.0);
    const std::uint32_t pixel = SDL_MapRGB(map->format, 0xF0, 0xEC, 0xE4);
    for (auto _ : state) {
        if (state.range(0) == 0) {
            SDL_FillRect(map, nullptr, pixel);
        } else if (state.range(0) == 1) {
            xe::fillClipRect(map, pixel);
        } else {
            cairo_paint(cairo.cr);
            cairo_surface_flush(cairo.surface);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 1280 * 720 * 4);
    SDL_FreeSurface(map);
}
BENCHMARK(BM_ClearFrame)->ArgName("by")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
