#include "tools/SkinImages.h"

#include "tests/support/BmpWriter.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <string>
#include <utility>

namespace DemoData {

namespace {

using Shape = std::function<bool(double, double)>;
using Point = std::pair<double, double>;

// The palette: dark blue-grey surfaces, one light-blue accent.
constexpr std::uint32_t White = 0xFFFFFFFF;
constexpr std::uint32_t Background = 0xFF1B2328;
constexpr std::uint32_t Surface = 0xFF2C3A42;
constexpr std::uint32_t Raised = 0xFF455A64;
constexpr std::uint32_t Accent = 0xFF29B6F6;
constexpr std::uint32_t AccentDark = 0xFF0288D1;
constexpr std::uint32_t Muted = 0xFF263238;

Shape box(double x0, double y0, double x1, double y1, double r) {
    return [=](double x, double y) {
        const double cx = std::clamp(x, x0 + r, x1 - r), cy = std::clamp(y, y0 + r, y1 - r);
        return x >= x0 && x <= x1 && y >= y0 && y <= y1 && (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
    };
}

Shape disc(double cx, double cy, double r) {
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

Shape ring(double cx, double cy, double r0, double r1) {
    return [=](double x, double y) {
        const double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        return d >= r0 * r0 && d <= r1 * r1;
    };
}

// A thick line with round ends.
Shape capsule(double ax, double ay, double bx, double by, double r) {
    return [=](double x, double y) {
        const double vx = bx - ax, vy = by - ay, len2 = vx * vx + vy * vy;
        const double t = len2 > 0 ? std::clamp(((x - ax) * vx + (y - ay) * vy) / len2, 0.0, 1.0) : 0.0;
        const double dx = x - ax - t * vx, dy = y - ay - t * vy;
        return dx * dx + dy * dy <= r * r;
    };
}

// A polyline of capsules; closed when asked.
Shape path(std::vector<Point> points, double r, bool closed) {
    std::vector<Shape> parts;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        parts.push_back(capsule(points[i].first, points[i].second, points[i + 1].first, points[i + 1].second, r));
    if (closed && points.size() > 2)
        parts.push_back(capsule(points.back().first, points.back().second, points[0].first, points[0].second, r));
    return [parts](double x, double y) {
        return std::any_of(parts.begin(), parts.end(), [&](const Shape& s) { return s(x, y); });
    };
}

Shape polygon(std::vector<Point> points) {
    return [points](double x, double y) {
        bool inside = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const auto [xi, yi] = points[i];
            const auto [xj, yj] = points[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
                inside = !inside;
        }
        return inside;
    };
}

Shape both(Shape a, Shape b) {
    return [a, b](double x, double y) { return a(x, y) || b(x, y); };
}

Picture solid(int w, int h, std::uint32_t argb) {
    Picture p(w, h);
    p.fill([](double, double) { return true; }, argb);
    return p;
}

Picture panel(int side, double radius, std::uint32_t argb) {
    Picture p(side, side);
    p.fill(box(0, 0, side, side, radius), argb);
    return p;
}

Picture icon(int side, const Shape& shape, std::uint32_t argb = White) {
    Picture p(side, side);
    p.fill(shape, argb);
    return p;
}

Shape gear() {
    Shape s = ring(24, 24, 7, 15);
    for (int k = 0; k < 8; ++k) {
        const double a = k * std::numbers::pi / 4;
        s = both(s, capsule(24 + 14 * std::cos(a), 24 + 14 * std::sin(a), 24 + 19 * std::cos(a),
                            24 + 19 * std::sin(a), 3.5));
    }
    return s;
}

Shape power() {
    // An open ring, the gap at the top, and the stroke through the gap.
    const Shape arc = [](double x, double y) {
        const double dx = x - 24, dy = y - 26;
        const double d = dx * dx + dy * dy;
        return d >= 13 * 13 && d <= 17 * 17 && !(dy < 0 && std::abs(dx) < -dy * 0.7);
    };
    return both(arc, capsule(24, 6, 24, 22, 2.5));
}

// A pennant on a pole; the pole's foot is the cursor's hot spot.
Picture flag(std::uint32_t colour) {
    Picture p(24, 32);
    p.fill(capsule(5, 4, 5, 31, 1.5), White);
    p.fill(polygon({{6, 3}, {23, 9}, {6, 16}}), colour);
    return p;
}

Picture splashLogo() {
    Picture p(128, 128);
    p.fill(disc(64, 64, 62), Accent);
    p.fill(polygon({{64, 22}, {98, 102}, {64, 84}, {30, 102}}), White);
    return p;
}

// Three dots, the lit one brighter: a simple "working" animation.
Picture dots(int lit) {
    Picture p(96, 24);
    for (int i = 0; i < 3; ++i)
        p.fill(disc(24 + 24 * i, 12, i == lit ? 8 : 6), i == lit ? Accent : Raised);
    return p;
}

// A panorama band: sky shading to the horizon over a row of soft hills.
Picture sky(std::uint32_t top, std::uint32_t bottom, std::uint32_t hills, bool stars) {
    Picture p(256, 96);
    for (int y = 0; y < 96; ++y) {
        const double t = y / 95.0;
        std::uint32_t c = 0xFF000000;
        for (int shift = 0; shift <= 16; shift += 8) {
            const double a = double((top >> shift) & 0xFF), b = double((bottom >> shift) & 0xFF);
            c |= std::uint32_t(std::lround(a + (b - a) * t)) << shift;
        }
        p.fill(box(0, y, 256, y + 1, 0), c);
    }
    if (stars)
        for (int i = 0; i < 24; ++i)
            p.fill(disc((i * 73) % 256 + 0.5, (i * 37) % 50 + 4.5, 0.8), 0xFFFFFFFF);
    // Periodic in x, so the repeated band has no seam.
    p.fill([](double x, double y) { return y > 78 - 8 * std::sin(x / 256 * 6 * std::numbers::pi) - 4 * std::sin(x / 256 * 2 * std::numbers::pi); },
           hills);
    return p;
}

// A friend's car: an arrow in one of ten colours.
Picture carCursor(int index) {
    static constexpr std::uint32_t colours[10] = {0xFFEF5350, 0xFF42A5F5, 0xFF66BB6A, 0xFFFFCA28, 0xFFAB47BC,
                                                  0xFF26C6DA, 0xFFFF7043, 0xFF8D6E63, 0xFFEC407A, 0xFF9CCC65};
    Picture p(24, 24);
    p.fill(disc(12, 12, 11), 0xFFFFFFFF);
    p.fill(polygon({{12, 3}, {19, 19}, {12, 15}, {5, 19}}), colours[index % 10]);
    return p;
}

// Seven-segment digits, for the numbers on pictures: a digit in the box
// (x, y, w, h) with strokes of half-width r.
Shape digit(int d, double x, double y, double w, double h, double r) {
    // Segments a (top), b, c (right), d (bottom), e, f (left), g (middle).
    static constexpr const char* lit[10] = {"abcdef", "bc", "abdeg", "abcdg", "bcfg", "acdfg", "acdefg", "abc", "abcdefg", "abcdfg"};
    const double l = x + r, rt = x + w - r, t = y + r, m = y + h / 2, b = y + h - r;
    std::vector<Shape> parts;
    for (const char* c = lit[d % 10]; *c != 0; ++c) {
        switch (*c) {
        case 'a': parts.push_back(capsule(l, t, rt, t, r)); break;
        case 'b': parts.push_back(capsule(rt, t, rt, m, r)); break;
        case 'c': parts.push_back(capsule(rt, m, rt, b, r)); break;
        case 'd': parts.push_back(capsule(l, b, rt, b, r)); break;
        case 'e': parts.push_back(capsule(l, m, l, b, r)); break;
        case 'f': parts.push_back(capsule(l, t, l, m, r)); break;
        default: parts.push_back(capsule(l, m, rt, m, r)); break;
        }
    }
    return [parts](double px, double py) {
        return std::any_of(parts.begin(), parts.end(), [&](const Shape& s) { return s(px, py); });
    };
}

// A number centred at (cx, cy) in digits of w x h.
Shape number(int n, double cx, double cy, double w, double h, double r) {
    const std::string text = std::to_string(n);
    const double gap = w * 0.3, total = double(text.size()) * w + double(text.size() - 1) * gap;
    Shape all = [](double, double) { return false; };
    for (std::size_t i = 0; i < text.size(); ++i)
        all = both(all, digit(text[i] - '0', cx - total / 2 + double(i) * (w + gap), cy - h / 2, w, h, r));
    return all;
}

// The manoeuvre pictures of the map page, 80 x 80, white on a round dark
// plate so that they read over any map: a stem from the bottom and the way
// to take. angle: 0 straight on, negative to the left, in degrees.
Picture plate() {
    Picture p(80, 80);
    p.fill(disc(40, 40, 39), 0xE0263238);
    return p;
}

Shape turn(double angle) {
    const double a = angle * std::numbers::pi / 180, c = 40, stem = 46;
    const double ex = c + 24 * std::sin(a), ey = stem - 24 * std::cos(a);
    const double hx = std::sin(a), hy = -std::cos(a); // head direction
    const double nx = -hy, ny = hx;
    const Shape head = polygon({{ex + hx * 12, ey + hy * 12}, {ex + nx * 11, ey + ny * 11}, {ex - nx * 11, ey - ny * 11}});
    return both(path({{c, 72}, {c, stem}, {ex, ey}}, 5, false), head);
}

Picture maneuver(const Shape& shape, std::uint32_t colour = White) {
    Picture p = plate();
    p.fill(shape, colour);
    return p;
}

Shape uTurn() {
    return both(path({{50, 72}, {50, 34}, {46, 24}, {38, 22}, {30, 26}, {28, 36}, {28, 44}}, 5, false),
                polygon({{28, 60}, {17, 44}, {39, 44}}));
}

Shape roundabout() {
    return both(ring(40, 38, 10, 18), both(capsule(40, 72, 40, 56, 5), both(capsule(40, 20, 40, 12, 5), polygon({{40, 2}, {30, 14}, {50, 14}}))));
}

Shape merge(bool fromLeft) {
    const double side = fromLeft ? 18 : 62;
    return both(both(capsule(40, 72, 40, 22, 5), polygon({{40, 6}, {29, 22}, {51, 22}})), capsule(side, 72, 40, 44, 4));
}

Picture finish() {
    Picture p = plate();
    p.fill(capsule(24, 68, 24, 14, 3), White);
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            p.fill(box(27 + col * 8, 14 + row * 7, 35 + col * 8, 21 + row * 7, 0), (row + col) % 2 == 0 ? White : 0xFF111111);
    return p;
}

Picture viaPoint() {
    Picture p = plate();
    p.fill(disc(40, 34, 16), 0xFFFFCA28);
    p.fill(disc(40, 34, 6), 0xFF263238);
    p.fill(polygon({{28, 44}, {52, 44}, {40, 70}}), 0xFFFFCA28);
    return p;
}

Picture offRoute() {
    Picture p = plate();
    p.fill(path({{40, 72}, {40, 52}, {40, 30}}, 5, false), 0x90FFFFFF);
    p.fill(ring(40, 30, 13, 19), 0xFFFF7043);
    p.fill(capsule(31, 21, 49, 39, 3.5), 0xFFFF7043);
    return p;
}

// Speed-limit signs, 40 x 40: a red ring around the limit in km/h; the last
// picture is a plain warning triangle for a point without a limit.
Picture speedSign(int kmh) {
    Picture p(40, 40);
    if (kmh <= 0) {
        p.fill(polygon({{20, 2}, {38, 36}, {2, 36}}), 0xFFEF5350);
        p.fill(polygon({{20, 10}, {31, 31}, {9, 31}}), White);
        p.fill(both(capsule(20, 16, 20, 24, 2), disc(20, 28, 1.8)), 0xFF111111);
        return p;
    }
    p.fill(disc(20, 20, 19.5), 0xFFEF5350);
    p.fill(disc(20, 20, 14.5), White);
    const double w = kmh >= 100 ? 6 : 8;
    p.fill(number(kmh, 20, 20, w, 13, 1.4), 0xFF111111);
    return p;
}

bool save(const std::filesystem::path& file, const Picture& picture) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    const std::string bytes = TestSupport::bmpBytes(picture.width(), picture.height(), 32, picture.pixels());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace

void Picture::fill(const std::function<bool(double, double)>& inside, std::uint32_t argb) {
    const double sourceAlpha = double(argb >> 24) / 255.0;
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
            if (hits == 0)
                continue;
            std::uint32_t& d = m_pixels[std::size_t(y * m_width + x)];
            const double a = sourceAlpha * hits / 16.0;
            const double da = double(d >> 24) / 255.0;
            const double outA = a + da * (1 - a);
            std::uint32_t out = std::uint32_t(std::lround(outA * 255)) << 24;
            for (int shift = 0; shift <= 16; shift += 8) {
                const double s = double((argb >> shift) & 0xFF), t = double((d >> shift) & 0xFF);
                const double c = outA > 0 ? (s * a + t * da * (1 - a)) / outA : 0;
                out |= std::uint32_t(std::lround(std::clamp(c, 0.0, 255.0))) << shift;
            }
            d = out;
        }
}

std::vector<std::string> writeSkinImages(const std::filesystem::path& dataFolder) {
    const std::pair<const char*, Picture> pictures[] = {
        // Materials: the design cuts these into nine pieces.
        {"skin/bg.bmp", solid(8, 8, Background)},
        {"skin/bar.bmp",
         [] {
             Picture p = solid(8, 8, Muted);
             p.fill(box(0, 6, 8, 8, 0), Accent);
             return p;
         }()},
        {"skin/btn.bmp", panel(24, 8, Raised)},
        {"skin/btn_pressed.bmp", panel(24, 8, AccentDark)},
        // Opaque, as the disabled keys are: the stretched middle of a
        // material keeps no transparency, and a translucent "btn" drew
        // as "btn" itself.
        {"skin/btn_disabled.bmp", panel(24, 8, Muted)},
        {"skin/tile.bmp", panel(32, 12, Surface)},
        {"skin/tile_pressed.bmp", panel(32, 12, AccentDark)},
        {"skin/key.bmp", panel(16, 5, Raised)},
        {"skin/key_pressed.bmp", panel(16, 5, AccentDark)},
        {"skin/key_disabled.bmp", panel(16, 5, Muted)},
        {"skin/progress_bg.bmp", panel(16, 6, Raised)},
        {"skin/progress_fg.bmp", panel(16, 6, Accent)},
        {"skin/row_sel.bmp", panel(16, 4, 0xC00277BD)},
        // Laid over the page behind a message box.
        {"skin/dim.bmp", solid(32, 32, 0x99000000)},
        // Icons, drawn in place of button captions.
        {"skin/ic_map.bmp",
         icon(48, both(path({{6, 12}, {18, 7}, {30, 12}, {42, 7}, {42, 37}, {30, 42}, {18, 37}, {6, 42}}, 2, true),
                       both(capsule(18, 7, 18, 37, 2), capsule(30, 12, 30, 42, 2))))},
        {"skin/ic_find.bmp", icon(48, both(ring(20, 20, 11, 15), capsule(30, 30, 42, 42, 3.5)))},
        {"skin/ic_settings.bmp", icon(48, gear())},
        {"skin/ic_gps.bmp",
         icon(48, both(ring(24, 24, 12, 15.5),
                       both(disc(24, 24, 5), path({{24, 3}, {24, 10}}, 2.5, false)))) },
        {"skin/ic_info.bmp",
         icon(48, both(ring(24, 24, 18, 21.5), both(disc(24, 14, 3), capsule(24, 21, 24, 34, 2.5))))},
        {"skin/ic_exit.bmp", icon(48, power())},
        {"skin/ic_back.bmp", icon(48, path({{22, 10}, {9, 24}, {22, 38}}, 3, false))},
        {"skin/ic_back2.bmp", icon(48, both(path({{22, 10}, {9, 24}, {22, 38}}, 3, false), capsule(9, 24, 39, 24, 3)))},
        {"skin/ic_hide.bmp", icon(48, path({{12, 18}, {24, 30}, {36, 18}}, 3, false))},
        {"skin/kb_bsp.bmp",
         icon(32, both(path({{3, 16}, {11, 7}, {29, 7}, {29, 25}, {11, 25}}, 1.5, true),
                       both(capsule(15, 11, 23, 21, 1.5), capsule(23, 11, 15, 21, 1.5))))},
        {"skin/kb_spc.bmp", icon(32, path({{4, 14}, {4, 21}, {28, 21}, {28, 14}}, 1.5, false))},
        // Cursors of the map.
        {"skin/poi.bmp",
         [] {
             Picture p(24, 24);
             p.fill(disc(12, 12, 11), 0xFFFF7043);
             p.fill(ring(12, 12, 4, 7), White);
             return p;
         }()},
        {"skin/flag.bmp", flag(0xFF66BB6A)},
        {"skin/flag_finish.bmp", flag(0xFFEF5350)},
        {"skin/flag_via.bmp", flag(0xFFFFCA28)},
        {"skin/point.bmp",
         [] {
             Picture p(32, 32);
             p.fill(ring(16, 16, 9, 13), 0xFFEF5350);
             p.fill(disc(16, 16, 4), 0xFFEF5350);
             return p;
         }()},
        {"skin/car0.bmp", carCursor(0)}, {"skin/car1.bmp", carCursor(1)}, {"skin/car2.bmp", carCursor(2)},
        {"skin/car3.bmp", carCursor(3)}, {"skin/car4.bmp", carCursor(4)}, {"skin/car5.bmp", carCursor(5)},
        {"skin/car6.bmp", carCursor(6)}, {"skin/car7.bmp", carCursor(7)}, {"skin/car8.bmp", carCursor(8)},
        {"skin/car9.bmp", carCursor(9)},
        // The map page.
        {"skin/panel.bmp", panel(24, 8, 0xFF263238)},
        {"skin/sky_day.bmp", sky(0xFF4FA3E0, 0xFFCFE8F7, 0xFF7FA36B, false)},
        {"skin/sky_night.bmp", sky(0xFF050A1A, 0xFF1E2A48, 0xFF1B2A22, true)},
        {"skin/compass.bmp",
         [] {
             Picture p(56, 56);
             p.fill(disc(28, 28, 27), 0xD0263238);
             p.fill(polygon({{28, 5}, {35, 28}, {21, 28}}), 0xFFEF5350);
             p.fill(polygon({{28, 51}, {35, 28}, {21, 28}}), White);
             return p;
         }()},
        {"skin/ic_menu.bmp",
         icon(48, both(capsule(12, 14, 36, 14, 2.5), both(capsule(12, 24, 36, 24, 2.5), capsule(12, 34, 36, 34, 2.5))))},
        {"skin/ic_plus.bmp", icon(48, both(capsule(12, 24, 36, 24, 3), capsule(24, 12, 24, 36, 3)))},
        {"skin/ic_minus.bmp", icon(48, capsule(12, 24, 36, 24, 3))},
        {"skin/ic_rot_left.bmp",
         icon(48, both(path({{34, 14}, {16, 14}, {12, 18}, {12, 34}}, 2.5, false), polygon({{4, 28}, {20, 28}, {12, 40}})))},
        {"skin/ic_rot_right.bmp",
         icon(48, both(path({{14, 14}, {32, 14}, {36, 18}, {36, 34}}, 2.5, false), polygon({{28, 28}, {44, 28}, {36, 40}})))},
        // The manoeuvre pictures in the order of the manoeuvre warning:
        // left, right, slight left, slight right, off the route, roundabout,
        // entering a major road, U-turn, route point, finish, two unused,
        // then the turns coded in the road data (left, right, straight).
        {"skin/mv_0.bmp", maneuver(turn(-90))},
        {"skin/mv_1.bmp", maneuver(turn(90))},
        {"skin/mv_2.bmp", maneuver(turn(-45))},
        {"skin/mv_3.bmp", maneuver(turn(45))},
        {"skin/mv_4.bmp", offRoute()},
        {"skin/mv_5.bmp", maneuver(roundabout())},
        {"skin/mv_6.bmp", maneuver(merge(true))},
        {"skin/mv_7.bmp", maneuver(uTurn())},
        {"skin/mv_8.bmp", viaPoint()},
        {"skin/mv_9.bmp", finish()},
        {"skin/mv_10.bmp", plate()},
        {"skin/mv_11.bmp", plate()},
        {"skin/mv_12.bmp", maneuver(turn(-135))},
        {"skin/mv_13.bmp", maneuver(turn(135))},
        {"skin/mv_14.bmp", maneuver(turn(0))},
        {"skin/mv_15.bmp", maneuver(turn(-90))},
        {"skin/mv_16.bmp", maneuver(turn(90))},
        {"skin/mv_17.bmp", maneuver(turn(0))},
        {"skin/mv_18.bmp", maneuver(turn(-30))},
        {"skin/mv_19.bmp", maneuver(turn(30))},
        {"skin/mv_20.bmp", maneuver(turn(0))},
        {"skin/mv_21.bmp", maneuver(turn(-60))},
        {"skin/mv_22.bmp", maneuver(turn(60))},
        {"skin/mv_23.bmp", maneuver(turn(0))},
        // Speed limits of the danger points: 0 to 110 km/h, then none.
        {"skin/speed_0.bmp", speedSign(0)},
        {"skin/speed_1.bmp", speedSign(10)},
        {"skin/speed_2.bmp", speedSign(20)},
        {"skin/speed_3.bmp", speedSign(30)},
        {"skin/speed_4.bmp", speedSign(40)},
        {"skin/speed_5.bmp", speedSign(50)},
        {"skin/speed_6.bmp", speedSign(60)},
        {"skin/speed_7.bmp", speedSign(70)},
        {"skin/speed_8.bmp", speedSign(80)},
        {"skin/speed_9.bmp", speedSign(90)},
        {"skin/speed_10.bmp", speedSign(100)},
        {"skin/speed_11.bmp", speedSign(110)},
        {"skin/speed_12.bmp", speedSign(0)},
        // The splash.
        {"skin/logo.bmp", splashLogo()},
        {"skin/anim0.bmp", dots(0)},
        {"skin/anim1.bmp", dots(1)},
        {"skin/anim2.bmp", dots(2)},
        // Search pages.
        {"skin/ic_up.bmp", icon(48, path({{10, 30}, {24, 16}, {38, 30}}, 3, false))},
        {"skin/ic_down.bmp", icon(48, path({{10, 18}, {24, 32}, {38, 18}}, 3, false))},

        // Track, waypoint, chooser and favourite pages.
        {"icons/waypoint.bmp", flag(0xFFD81B60)},

        // Online pages.

        // Menus, information, keyboard and atlases pages.
        {"skin/slider_track.bmp",
         [] {
             // Opaque: the slider's track is stretched, which keeps no
             // transparency.
             Picture p = solid(16, 24, Background);
             p.fill(box(5, 0, 11, 24, 3), Raised);
             return p;
         }()},

        // Settings pages.
        // Transparent around the box, which stands on pages, panels and
        // highlighted rows alike; the design draws check boxes at the
        // pictures' size, since a stretched picture keeps no transparency.
        {"skin/check_off.bmp",
         [] {
             // An outline: what lies under the box shows inside it too.
             Picture p(48, 48);
             const Shape outer = box(4, 4, 44, 44, 8), inner = box(8, 8, 40, 40, 5);
             p.fill([&](double x, double y) { return outer(x, y) && !inner(x, y); }, Raised);
             return p;
         }()},
        {"skin/check_on.bmp",
         [] {
             Picture p(48, 48);
             p.fill(box(4, 4, 44, 44, 8), Accent);
             p.fill(path({{13, 25}, {21, 33}, {35, 16}}, 3, false), White);
             return p;
         }()},
        {"skin/ic_next.bmp", icon(48, path({{26, 10}, {39, 24}, {26, 38}}, 3, false))},
        {"skin/slider_thumb.bmp",
         [] {
             Picture p = solid(24, 40, White);
             p.fill(box(3, 3, 21, 37, 2), Accent);
             return p;
         }()},

        // GPS pages.
        {"skin/skyplot.bmp",
         [] {
             // Rings at the horizon and at 30 and 60 degrees of elevation
             // (radius cos(elevation)), a cross for the four directions and
             // a mark for north. Opaque corners in the page's colour: a
             // picture scaled for a big screen loses its transparency.
             Picture p = solid(300, 300, Background);
             p.fill(disc(150, 150, 149), Surface);
             p.fill(ring(150, 150, 147, 150), Raised);
             p.fill(ring(150, 150, 128.5, 130.5), Raised);
             p.fill(ring(150, 150, 74, 76), Raised);
             p.fill(both(capsule(150, 4, 150, 296, 0.8), capsule(4, 150, 296, 150, 0.8)), Raised);
             p.fill(polygon({{150, 2}, {158, 16}, {142, 16}}), 0xFFEF5350);
             return p;
         }()},
        {"skin/led_off.bmp",
         [] {
             Picture p = solid(32, 32, Background);
             p.fill(disc(16, 16, 14), Raised);
             p.fill(disc(16, 16, 10), Muted);
             return p;
         }()},
        {"skin/led_on.bmp",
         [] {
             Picture p = solid(32, 32, Background);
             p.fill(disc(16, 16, 14), 0xFF2E7D32);
             p.fill(disc(16, 16, 10), 0xFF66BB6A);
             return p;
         }()},

    };
    std::vector<std::string> written;
    for (const auto& [name, picture] : pictures) {
        if (!save(dataFolder / name, picture))
            return {};
        written.push_back(name);
    }
    return written;
}

} // namespace DemoData
