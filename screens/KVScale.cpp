#include "screens/KVScale.h"

#include "core/Format.h"
#include "core/FloatToInt.h"
#include "core/MessageTable.h"
#include "core/Text.h"
#include "map/Projection.h"
#include "render/Fill.h"
#include "render/Lines.h"
#include "render/MapCamera.h"
#include "ui/fdStatic.h"

#include <array>
#include <cmath>

namespace Screens {

namespace {

constexpr std::array<int, 31> RulerValues = {0,      1,      10,     30,     50,      70,      100,    150,
                                             200,    300,    500,    700,    1000,    1500,    2000,   3000,
                                             5000,   7000,   10000,  15000,  20000,   30000,   50000,  70000,
                                             100000, 150000, 200000, 300000, 500000,  700000,  1000000};

void fillBar(SDL_Surface* surface, int x, int y, int w, int h, Uint8 r, Uint8 g, Uint8 b) {
    if (w <= 0 || h <= 0)
        return;
    SDL_Rect rect{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w), static_cast<Uint16>(h)};
    SDL_FillRect(surface, &rect, SDL_MapRGB(surface->format, r, g, b));
}

} // namespace

KVScale::KVScale(Ui::fdWindowBase* parent, Ui::fdInterface* ui, MapCamera* camera,
                 const Core::MessageTable* messages)
    : fdWindowBase(parent, "scale_ruler", true, ui), m_camera(camera), m_messages(messages) {}

int KVScale::niceValue(float metres) {
    int best = 0;
    for (int value : RulerValues)
        if (static_cast<float>(value) <= metres)
            best = value;
    return best;
}

std::u16string KVScale::labelText(int metres, const Core::MessageTable* messages) {
    const auto unit = [messages](const char* key, std::u16string_view fallback) {
        const std::u16string& word = messages != nullptr ? messages->text(key) : std::u16string();
        return word.empty() ? std::u16string(fallback) : word;
    };
    // The decimal point of the English texts (a comma, "1,5km", read wrong
    // beside every other distance on screen).
    std::u16string text;
    if (metres < 1000) {
        text = Core::format(u"%d %s", metres, unit("meter", u"m"));
    } else {
        const int k = metres / 1000, h = (metres % 1000) / 100;
        text = h != 0 ? Core::format(u"%d.%d %s", k, h, unit("kilo_meter", u"km"))
                      : Core::format(u"%d %s", k, unit("kilo_meter", u"km"));
    }
    if (text.size() > 100)
        text.resize(100);
    return text;
}

float KVScale::rulerMetres(int widthPixels, float scale, float latitudeDegrees) {
    if (widthPixels <= 0 || !(scale > 0.0f))
        return 0.0f;
    return static_cast<float>(widthPixels) / scale * std::cos(latitudeDegrees * 0.017453292f) * 0.009320285f;
}

void KVScale::tick(std::uint32_t now) {
    fdWindowBase::tick(now);
    if (m_camera == nullptr)
        return;
    const Map::GeoPoint centre = Map::Projection::toGeo(m_camera->centre());
    // A ruler that stays as it is costs the map page no frame.
    const float metres = rulerMetres(m_rect.w, m_camera->scale(), centre.latitude);
    if (metres != m_metres) {
        m_metres = metres;
        invalidate(0);
    }
    if (m_parent == nullptr)
        return;
    if (auto* label = dynamic_cast<Ui::fdStatic*>(m_parent->findChild("scale_label"))) {
        const std::u16string text = labelText(niceValue(m_metres), m_messages);
        if (label->text() != text)
            label->setText(text);
    }
}

void KVScale::draw(SDL_Surface* surface, TempSurface&, bool) {
    m_dirty = false;
    if (!m_visible || surface == nullptr)
        return;
    const int x = m_rect.x, y = m_rect.y, w = m_rect.w, h = m_rect.h;
    fillBar(surface, x - 1, y + 2, w + 2, h + 1, 255, 255, 255);
    const xe::Canvas canvas = xe::Canvas::of(surface);
    const std::uint32_t black = SDL_MapRGB(surface->format, 0, 0, 0);
    xe::drawLine(canvas, true, x, y, true, x, y + h - 1, black);
    xe::drawLine(canvas, true, x + w - 1, y, true, x + w - 1, y + h - 1, black);
    // A zero ruler length (no width or no scale yet) has nothing to divide.
    if (!(m_metres > 0.0f) || w <= 0)
        return;
    const int length = xe::floorToInt(static_cast<float>(w) / m_metres * static_cast<float>(niceValue(m_metres)) + 0.5f);
    if (length != 0) {
        int s = length, k = 1;
        if (length >= 20) {
            int t = 20;
            do {
                t += 10;
                ++k;
                s /= k;
            } while (s > 0 && k * s >= t);
        }
        if (s <= 0)
            s = 1;
        int start = x;
        bool flag = true;
        while (start + s <= x + length) {
            flag = !flag;
            if (flag)
                xe::drawLine(canvas, true, start + s, y, true, start + s, y + h - 1, black);
            else
                fillBar(surface, start, y + h - 3, s, 5, 0, 0, 0);
            start += s;
        }
        if (start < x + length && flag)
            fillBar(surface, start, y + h - 3, x + length - start, 5, 0, 0, 0);
    }
    if (length < w)
        fillBar(surface, x + length, y + h - 2, w - length - 1, 3, 0x60, 0x60, 0x60);
    // The mark of the nice length stands above the ruler.
    xe::drawLine(canvas, true, x + length, y - 10, true, x + length, y, SDL_MapRGB(surface->format, 0x80, 0xFF, 0x80));
}

} // namespace Screens
