#include "render/CaptionPlacer.h"

#include "core/TempSurface.h"
#include "render/AtlasDrawBuffers.h"
#include "render/CaptionGeometry.h"
#include "render/CaptionTexts.h"
#include "render/Font.h"
#include "render/Lines.h"
#include "render/Numeric.h"
#include "render/SurfaceTransform.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Render {

namespace {

using SurfacePtr = CaptionCache::Picture;

std::int32_t roundToInt(float v) {
    return xe::floorToInt(v + 0.5f);
}

std::int64_t squaredDistance(std::int32_t x, std::int32_t y, const xe::Point& p) {
    const std::int64_t dx = std::int64_t{x} - p.x, dy = std::int64_t{y} - p.y;
    return dx * dx + dy * dy;
}

} // namespace

CaptionPlacer::CaptionPlacer(SDL_Surface* target, Font& font, CaptionTexts& texts,
                             TempSurface& captionSurface, Caption3dTable& table,
                             std::vector<DrawRecord*>& placed)
    : rotate(rotateSurface), m_target(target), m_font(font), m_texts(texts), m_captionSurface(captionSurface),
      m_table(table), m_placed(placed) {}

bool CaptionPlacer::decode(std::uint32_t offset, std::uint32_t length) {
    return m_texts.text(offset, length, m_text);
}

bool CaptionPlacer::coversIcon(const OrientedBox& box, const std::uint32_t* ownCaption) const {
    if (icons == nullptr) return false;
    return std::any_of(icons->begin(), icons->end(), [&](const IconBox& icon) {
        return (ownCaption == nullptr || icon.caption != ownCaption) && box.overlaps(icon.box);
    });
}

void CaptionPlacer::place(DrawRecord** begin, DrawRecord** end) {
    m_placed.clear();
    for (DrawRecord** it = end; it != begin;) {
        DrawRecord* record = *--it;
        if (record->textLength == 0) continue;
        if (placeCaption(*record)) {
            record->flags |= DrawRecord::Placed;
            m_placed.push_back(record);
            if (drawnBoxes != nullptr) drawnBoxes->push_back(record->box);
        }
    }
    if (!view3d) return;
    hideCrossings();
    keepNearest();
    for (int i = 0; i < m_table.count; ++i)
        if (drawBoxedCaption(i)) {
            ++labelsDrawn;
            if (drawnBoxes != nullptr) {
                const Caption3dEntry& e = m_table.entries[i];
                const float halfWidth = static_cast<float>(e.boxWidth) / 2.0f;
                const float halfHeight = static_cast<float>(e.boxHeight) / 2.0f;
                drawnBoxes->push_back(OrientedBox{static_cast<float>(e.boxX) + halfWidth,
                                                  static_cast<float>(e.boxY) + halfHeight, 1.0f, 0.0f,
                                                  halfWidth, halfHeight});
            }
        }
}

// Labels of two roads whose pieces cross would point at the same place: the
// later entry gives way. Only a crossing inside both segments counts, and a
// later pair never shows an entry again that an earlier crossing hid.
// Pieces of one caption are left to keepNearest.
void CaptionPlacer::hideCrossings() {
    for (int i = 0; i < m_table.count; ++i) {
        Caption3dEntry& a = m_table.entries[i];
        for (int j = 0; j < i && !a.hidden; ++j) {
            const Caption3dEntry& b = m_table.entries[j];
            if (b.hidden || b.record == a.record) continue;
            float t, u;
            const float bx = static_cast<float>(b.x2 - b.x1), by = static_cast<float>(b.y2 - b.y1);
            const float ax = static_cast<float>(a.x2 - a.x1), ay = static_cast<float>(a.y2 - a.y1);
            if (!solve2x2(bx, by, -ax, -ay, static_cast<float>(a.x1 - b.x1), static_cast<float>(a.y1 - b.y1),
                          t, u))
                continue;
            if (t >= 0.0f && t <= 1.0f && u >= 0.0f && u <= 1.0f) a.hidden = 1;
        }
    }
}

// Of the pieces of one caption only the one nearest the car keeps its label.
void CaptionPlacer::keepNearest() {
    for (int i = 0; i < m_table.count; ++i) {
        Caption3dEntry& a = m_table.entries[i];
        if (a.hidden) continue;
        const std::int64_t da = squaredDistance(a.midX, a.midY, focus);
        for (int j = 0; j < i; ++j) {
            Caption3dEntry& b = m_table.entries[j];
            if (b.hidden || b.record != a.record) continue;
            if (da > squaredDistance(b.midX, b.midY, focus)) {
                a.hidden = 1;
                break;
            }
            b.hidden = 1;
        }
    }
}

bool CaptionPlacer::placeCaption(DrawRecord& record) {
    const std::int32_t width = m_target->w, height = m_target->h;
    const std::int32_t x1 = record.x1, y1 = record.y1, x2 = record.x2, y2 = record.y2;
    if (!((x1 >= 0 || x2 >= 0) && (x1 < width || x2 < width) && (y1 >= 0 || y2 >= 0) &&
          (y1 < height || y2 < height)))
        return false;
    if (std::abs(x2 - x1) > width || std::abs(y2 - y1) > height) return false;
    const std::int32_t mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
    const std::int32_t dx = x2 - x1, dy = y2 - y1;
    float centreX = static_cast<float>(mx), centreY = static_cast<float>(my);
    if (!record.isPoi()) {
        if (view3d) return false;
        // The point of the road's line nearest the car, kept on the segment
        // (10 pixels of slack both ways).
        float t, s;
        if (!solve2x2(static_cast<float>(dy), static_cast<float>(-dx), static_cast<float>(dx),
                      static_cast<float>(dy), static_cast<float>(focus.x - mx),
                      static_cast<float>(focus.y - my), t, s))
            return false;
        const float px = static_cast<float>(mx) + static_cast<float>(dx) * s;
        const float py = static_cast<float>(my) + static_cast<float>(dy) * s;
        if (px < static_cast<float>(std::min(x1, x2) - 10) || px > static_cast<float>(std::max(x1, x2) + 10))
            return false;
        if (py < static_cast<float>(std::min(y1, y2) - 10) || py > static_cast<float>(std::max(y1, y2) + 10))
            return false;
        centreX = static_cast<float>(roundToInt(px));
        centreY = static_cast<float>(roundToInt(py));
    }
    if (!decode(record.textOffset, record.textLength)) return false;
    TextSize size;
    if (!m_font.textSize(size, m_text) || size.width <= 0) return false;

    const std::int32_t hw = size.width / 2, hh = size.height / 2;
    float cosine = 1.0f, sine = 0.0f;
    std::int32_t halfWidth = hw, halfHeight = hh;
    const bool turned = dy != 0;
    if (turned) {
        const float length = std::sqrt(static_cast<float>(dx) * static_cast<float>(dx) +
                                       static_cast<float>(dy) * static_cast<float>(dy));
        cosine = static_cast<float>(std::abs(dx)) / length;
        // Text always reads from left to right, whichever way the road runs.
        sine = static_cast<float>(dx < 0 ? dy : -dy) / length;
        halfWidth = xe::floorToInt(std::fabs(static_cast<float>(hw) * cosine) +
                                   std::fabs(static_cast<float>(hh) * sine) + 0.5f);
        halfHeight = xe::floorToInt(std::fabs(static_cast<float>(hw) * sine) +
                                    std::fabs(static_cast<float>(hh) * cosine) + 0.5f);
    }
    // The reading direction on the screen (rows grow downwards).
    record.box = OrientedBox{centreX, centreY, cosine, -sine, static_cast<float>(hw), static_cast<float>(hh)};
    for (const DrawRecord* other : m_placed)
        if (other->isPlaced() && record.box.overlaps(other->box)) return false;
    if (coversIcon(record.box, record.isPoi() ? record.owner : nullptr)) return false;

    SDL_Rect at{static_cast<Sint16>(roundToInt(centreX) - halfWidth),
                static_cast<Sint16>(roundToInt(centreY) - halfHeight), 0, 0};
    if (cache != nullptr) {
        m_key.text = m_text;
        m_key.font = &m_font;
        m_key.fontStyle = m_font.style();
        m_key.width = size.width;
        m_key.height = size.height;
        m_key.textColour = record.textColour;
        m_key.haloColour = record.haloColour;
        m_key.sine = sine;
        m_key.cosine = cosine;
        const CaptionCache::Strips* strips = nullptr;
        if (SDL_Surface* kept = cache->find(m_key, &strips)) {
            blitStrips(kept, *strips, m_target, at);
            return true;
        }
    }
    SurfacePtr text(SDL_CreateRGBSurface(SDL_SWSURFACE, size.width + 2, size.height + 2, 32, 0x00FF0000,
                                         0x0000FF00, 0x000000FF, 0xFF000000));
    if (!text) return false;
    m_font.drawTextSolid(text.get(), 0, 0, Font::Halo, record.textColour, record.haloColour, m_text);
    if (turned) {
        if (!rotate) return false;
        SurfacePtr turnedText(rotate(text.get(), sine, cosine));
        if (!turnedText) return false;
        text = std::move(turnedText);
    }
    SDL_Surface* picture = text.get();
    if (cache != nullptr)
        if (SDL_Surface* kept = cache->keep(m_key, text)) picture = kept;
    SDL_UpperBlit(picture, nullptr, m_target, &at);
    return true;
}

bool CaptionPlacer::drawBoxedCaption(int index) {
    m_table.current = index;
    Caption3dEntry& entry = m_table.entries[index];
    if (!decode(entry.textOffset, entry.textLength)) return false;
    TextSize size;
    if (!m_font.textSize(size, m_text)) return false;
    const std::int32_t w = size.width + 4, h = size.height;
    entry.boxWidth = w;
    entry.boxHeight = h;
    if (entry.hidden || !entry.record || entry.record->isPlaced()) return false;
    const std::int32_t x = entry.midX - w / 2;
    const std::int32_t y = entry.midY - h - label.raise;
    entry.boxX = x;
    entry.boxY = y;
    if (x < 0 || x > m_target->w - 1 || y >= m_target->h) return false;
    for (int j = 0; j < index; ++j) {
        const Caption3dEntry& other = m_table.entries[j];
        if (other.hidden || !other.record || !other.record->isPlaced()) continue;
        const bool apart = x > other.boxX + other.boxWidth || other.boxX > x + w ||
                           y > other.boxY + other.boxHeight || other.boxY > y + h;
        if (!apart) return false;
    }
    // The label is opaque: it would hide an icon whole.
    const float halfWidth = static_cast<float>(w) / 2.0f, halfHeight = static_cast<float>(h) / 2.0f;
    if (coversIcon(OrientedBox{static_cast<float>(x) + halfWidth, static_cast<float>(y) + halfHeight, 1.0f, 0.0f,
                               halfWidth, halfHeight},
                   nullptr))
        return false;
    SDL_Surface* label = m_captionSurface.get(w, h);
    if (!label) return false;

    const xe::Canvas canvas = xe::Canvas::of(m_target);
    const std::uint32_t black = SDL_MapRGB(m_target->format, 0, 0, 0);
    xe::drawLine(canvas, true, x + w / 2, entry.midY, true, x + w / 2, y + h, black);
    xe::drawLine(canvas, true, entry.x1, entry.y1, true, entry.x2, entry.y2, black);

    // The label surface has its own pixel format: its colours are mapped
    // with it, not with the target's.
    const std::uint32_t fill = this->label.fill;
    SDL_Rect box{0, 0, static_cast<Uint16>(w), static_cast<Uint16>(h)};
    SDL_FillRect(label, &box,
                 SDL_MapRGB(label->format, static_cast<Uint8>(fill & 0xFF),
                            static_cast<Uint8>((fill >> 8) & 0xFF), static_cast<Uint8>((fill >> 16) & 0xFF)));
    const SDL_Rect outline{0, 0, static_cast<Uint16>(w - 1), static_cast<Uint16>(h - 1)};
    xe::drawRect(xe::Canvas::of(label), outline, SDL_MapRGB(label->format, 0, 0, 0));
    SDL_Rect at{static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
    SDL_UpperBlit(label, &box, m_target, &at);
    m_font.drawTextSolid(m_target, x + 1, y, Font::Halo, entry.record->textColour, entry.record->haloColour,
                         m_text);
    entry.record->flags |= DrawRecord::Placed;
    return true;
}

void finishCaptions(AtlasDrawBuffers& buffers, CaptionPlacer& placer, Caption3dTable& table) {
    placer.place(buffers.candidatesBegin(), buffers.candidatesEnd());
    for (int i = 0; i < table.count; ++i)
        if (table.entries[i].record)
            table.entries[i].record->flags &= static_cast<std::uint8_t>(~DrawRecord::Placed);
    buffers.texts = nullptr;
    buffers.resetAll();
}

} // namespace Render
