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
#include <optional>

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
    // Every name where it belongs first; then the road names that found
    // their place taken move along their roads, into room no name needs at
    // its own place.
    m_waiting.clear();
    const auto placed = [this](DrawRecord* record) {
        record->flags |= DrawRecord::Placed;
        m_placed.push_back(record);
        if (drawnBoxes != nullptr) drawnBoxes->push_back(record->box);
    };
    for (DrawRecord** it = end; it != begin;) {
        DrawRecord* record = *--it;
        if (record->textLength == 0) continue;
        std::optional<TextSize> size;
        const Placing result = tryCaption(*record, false, size);
        if (result == Placing::Placed)
            placed(record);
        else if (result == Placing::Taken && !record->isPoi())
            m_waiting.push_back(Waiting{record, *size});
    }
    for (const Waiting& waiting : m_waiting) {
        std::optional<TextSize> size = waiting.size;
        if (tryCaption(*waiting.record, true, size) == Placing::Placed) placed(waiting.record);
    }
    if (!view3d) return;
    hideCrossings();
    keepNearest();
    m_labels.clear();
    // Each label over its caption's nearest piece first; then those that
    // found their place taken move (sideways, up, along the piece), and
    // failing that the caption's farther pieces are tried, nearest first.
    for (int i = 0; i < m_table.count; ++i)
        if (drawBoxedCaption(i, false)) noteLabel();
    for (int i = 0; i < m_table.count; ++i) {
        const Caption3dEntry& entry = m_table.entries[i];
        if (entry.hidden || !entry.record || entry.record->isPlaced()) continue;
        if (drawBoxedCaption(i, true)) {
            noteLabel();
            continue;
        }
        m_pieces.clear();
        for (int j = 0; j < m_table.count; ++j)
            if (m_table.entries[j].spare && m_table.entries[j].record == entry.record) m_pieces.push_back(j);
        std::stable_sort(m_pieces.begin(), m_pieces.end(), [this](int a, int b) {
            const Caption3dEntry &ea = m_table.entries[a], &eb = m_table.entries[b];
            return squaredDistance(ea.midX, ea.midY, focus) < squaredDistance(eb.midX, eb.midY, focus);
        });
        for (const int j : m_pieces)
            if (drawBoxedCaption(j, true)) {
                noteLabel();
                break;
            }
    }
}

void CaptionPlacer::noteLabel() {
    ++labelsDrawn;
    if (drawnBoxes != nullptr) drawnBoxes->push_back(m_labels.back().box());
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

// Of the pieces of one caption the one nearest the car has the label; the
// others are hidden as spares, labelled only when it has no room.
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
                a.spare = 1;
                break;
            }
            b.hidden = 1;
            b.spare = 1;
        }
    }
}

bool CaptionPlacer::placeCaption(DrawRecord& record, bool moving) {
    std::optional<TextSize> size;
    return tryCaption(record, moving, size) == Placing::Placed;
}

CaptionPlacer::Placing CaptionPlacer::tryCaption(DrawRecord& record, bool moving,
                                                 std::optional<TextSize>& size) {
    if (!record.isPoi() && view3d) return Placing::Dropped;
    const std::uint32_t* ownIcon = record.isPoi() ? record.owner : nullptr;
    bool decoded = false, tried = false, near = false;
    // A POI's name has one place, over its icon; a road's name is tried on
    // its segments, longest first.
    const int segments = record.isPoi() || !moving ? 1 : record.segmentCount();
    for (int i = 0; i < segments; ++i) {
        const CaptionSegment segment = record.segment(i);
        float centreX = 0.0f, centreY = 0.0f;
        const Spot kind = record.isPoi() ? Spot::PoiBox : i == 0 ? Spot::ChosenSegment : Spot::SpareSegment;
        if (!firstSpot(segment, kind, centreX, centreY)) {
            // The chosen segment decides whether a road is named near the car at all.
            if (kind == Spot::ChosenSegment) return Placing::Dropped;
            continue;
        }
        if (!size) {
            TextSize measured;
            if (!decode(record.textOffset, record.textLength)) return Placing::Dropped;
            if (!m_font.textSize(measured, m_text) || measured.width <= 0) return Placing::Dropped;
            decoded = true;
            size = measured;
        }
        tried = true;
        const std::int32_t dx = segment.x2 - segment.x1, dy = segment.y2 - segment.y1;
        const std::int32_t hw = size->width / 2, hh = size->height / 2;
        Turn turn;
        if (dy != 0) {
            const float length = std::sqrt(static_cast<float>(dx) * static_cast<float>(dx) +
                                           static_cast<float>(dy) * static_cast<float>(dy));
            turn.cosine = static_cast<float>(std::abs(dx)) / length;
            // Text always reads from left to right, whichever way the road runs.
            turn.sine = static_cast<float>(dx < 0 ? dy : -dy) / length;
            turn.halfWidth = xe::floorToInt(std::fabs(static_cast<float>(hw) * turn.cosine) +
                                            std::fabs(static_cast<float>(hh) * turn.sine) + 0.5f);
            turn.halfHeight = xe::floorToInt(std::fabs(static_cast<float>(hw) * turn.sine) +
                                             std::fabs(static_cast<float>(hh) * turn.cosine) + 0.5f);
        } else {
            turn.halfWidth = hw;
            turn.halfHeight = hh;
        }
        // The reading direction on the screen (rows grow downwards).
        record.box = OrientedBox{
            centreX, centreY, turn.cosine, -turn.sine, static_cast<float>(hw), static_cast<float>(hh)};
        const bool moves = moving && !record.isPoi();
        if (moves && !near) {
            // What is in the way anywhere the name may go on its segments.
            CaptionRoom::Area area{segment.x1, segment.y1, segment.x1, segment.y1};
            for (int j = 0; j < segments; ++j) {
                const CaptionSegment other = record.segment(j);
                area.add(other.x1, other.y1);
                area.add(other.x2, other.y2);
            }
            gatherRoom(area.grown(size->width + size->height + 12), false);
            near = true;
        }
        if (!(moves ? m_room.clear(record.box) : clear(record.box, ownIcon)) &&
            !(moves && slide(record.box, segment)))
            continue;
        if (!decoded && !decode(record.textOffset, record.textLength)) return Placing::Dropped;
        return drawCaption(record, *size, turn, dy != 0) ? Placing::Placed : Placing::Dropped;
    }
    return tried ? Placing::Taken : Placing::Dropped;
}

bool CaptionPlacer::firstSpot(const CaptionSegment& segment, Spot kind, float& centreX,
                              float& centreY) const {
    const std::int32_t width = m_target->w, height = m_target->h;
    const std::int32_t x1 = segment.x1, y1 = segment.y1, x2 = segment.x2, y2 = segment.y2;
    if (!((x1 >= 0 || x2 >= 0) && (x1 < width || x2 < width) && (y1 >= 0 || y2 >= 0) &&
          (y1 < height || y2 < height)))
        return false;
    if (std::abs(x2 - x1) > width || std::abs(y2 - y1) > height) return false;
    const std::int32_t mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
    const std::int32_t dx = x2 - x1, dy = y2 - y1;
    centreX = static_cast<float>(mx);
    centreY = static_cast<float>(my);
    if (kind == Spot::PoiBox) return true;
    // The point of the road's line nearest the car: on the chosen segment
    // it must lie within the segment (10 pixels of slack both ways); on a
    // spare it is moved onto the segment.
    float t, s;
    if (!solve2x2(static_cast<float>(dy), static_cast<float>(-dx), static_cast<float>(dx),
                  static_cast<float>(dy), static_cast<float>(focus.x - mx), static_cast<float>(focus.y - my),
                  t, s))
        return false;
    float px = static_cast<float>(mx) + static_cast<float>(dx) * s;
    float py = static_cast<float>(my) + static_cast<float>(dy) * s;
    if (kind == Spot::ChosenSegment) {
        if (px < static_cast<float>(std::min(x1, x2) - 10) || px > static_cast<float>(std::max(x1, x2) + 10))
            return false;
        if (py < static_cast<float>(std::min(y1, y2) - 10) || py > static_cast<float>(std::max(y1, y2) + 10))
            return false;
    } else {
        const float length2 =
            static_cast<float>(dx) * static_cast<float>(dx) + static_cast<float>(dy) * static_cast<float>(dy);
        const float along = std::clamp(((px - static_cast<float>(x1)) * static_cast<float>(dx) +
                                        (py - static_cast<float>(y1)) * static_cast<float>(dy)) /
                                           length2,
                                       0.0f, 1.0f);
        px = static_cast<float>(x1) + static_cast<float>(dx) * along;
        py = static_cast<float>(y1) + static_cast<float>(dy) * along;
    }
    centreX = static_cast<float>(roundToInt(px));
    centreY = static_cast<float>(roundToInt(py));
    return true;
}

bool CaptionPlacer::clear(const OrientedBox& box, const std::uint32_t* ownIcon) const {
    for (const DrawRecord* other : m_placed)
        if (other->isPlaced() && box.overlaps(other->box)) return false;
    return !coversIcon(box, ownIcon);
}

void CaptionPlacer::gatherRoom(const CaptionRoom::Area& area, bool amongLabels) {
    m_room.begin(area);
    if (amongLabels) {
        for (const LabelBox& other : m_labels) {
            m_room.add(other.box());
            m_room.add(other.leader());
        }
    }
    // The names placed before the labels (the POIs' in 3D) are in the way
    // of both.
    for (const DrawRecord* other : m_placed)
        if (other->isPlaced()) m_room.add(other->box);
    if (icons != nullptr)
        for (const IconBox& icon : *icons)
            m_room.add(icon.box);
}

bool CaptionPlacer::slide(OrientedBox& box, const CaptionSegment& segment) {
    const float dx = static_cast<float>(segment.x2 - segment.x1),
                dy = static_cast<float>(segment.y2 - segment.y1);
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length == 0.0f) return false;
    const float ux = dx / length, uy = dy / length;
    // The name's centre stays on the segment, or the name covers all of
    // it (10 pixels of slack both ways), in pixels from its first end; and
    // it stays on the target.
    const float lowest = std::min(0.0f, length - box.halfWidth) - 10.0f;
    const float highest = std::max(length, box.halfWidth) + 10.0f;
    const OrientedBox start = box;
    const float first = (start.centreX - static_cast<float>(segment.x1)) * ux +
                        (start.centreY - static_cast<float>(segment.y1)) * uy;
    // A moved name lies wholly on the target: moved to its edge, it would
    // be cut there.
    const float reachX = std::fabs(box.axisX) * box.halfWidth + std::fabs(box.axisY) * box.halfHeight;
    const float reachY = std::fabs(box.axisY) * box.halfWidth + std::fabs(box.axisX) * box.halfHeight;
    const auto fits = [&](float shift) {
        const float x = static_cast<float>(roundToInt(start.centreX + shift * ux));
        const float y = static_cast<float>(roundToInt(start.centreY + shift * uy));
        const float along =
            (x - static_cast<float>(segment.x1)) * ux + (y - static_cast<float>(segment.y1)) * uy;
        if (along < lowest || along > highest || x - reachX < 0.0f || y - reachY < 0.0f ||
            x + reachX > static_cast<float>(m_target->w) || y + reachY > static_cast<float>(m_target->h))
            return false;
        box.centreX = x;
        box.centreY = y;
        return m_room.clear(box);
    };
    // The name keeps two pixels from what it passes: its picture (the halo,
    // the turn) reaches a pixel or two beyond its box.
    return m_room.slide(
        {start}, CaptionRoom::Slide{ux, uy, lowest - first - 1.0f, highest - first + 1.0f, 2.0f}, fits);
}

bool CaptionPlacer::drawCaption(const DrawRecord& record, const TextSize& size, const Turn& turn,
                                bool turned) {
    const float sine = turn.sine, cosine = turn.cosine;
    SDL_Rect at{static_cast<Sint16>(roundToInt(record.box.centreX) - turn.halfWidth),
                static_cast<Sint16>(roundToInt(record.box.centreY) - turn.halfHeight), 0, 0};
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

bool CaptionPlacer::drawBoxedCaption(int index, bool moving) {
    m_table.current = index;
    Caption3dEntry& entry = m_table.entries[index];
    if (!decode(entry.textOffset, entry.textLength)) return false;
    TextSize size;
    if (!m_font.textSize(size, m_text)) return false;
    const std::int32_t w = size.width + 4, h = size.height;
    entry.boxWidth = w;
    entry.boxHeight = h;
    if ((entry.hidden && !(moving && entry.spare)) || !entry.record || entry.record->isPlaced()) return false;
    LabelBox placed{entry.midX - w / 2, entry.midY - h - label.raise, w, h, entry.midX, entry.midY};
    entry.boxX = placed.x;
    entry.boxY = placed.y;
    if (placed.x < 0 || placed.x > m_target->w - 1 || placed.y >= m_target->h) return false;
    if (!labelClear(placed) && !(moving && slideLabel(placed, entry))) return false;
    entry.boxX = placed.x;
    entry.boxY = placed.y;
    const std::int32_t x = placed.x, y = placed.y, anchorX = placed.anchorX, anchorY = placed.anchorY;
    SDL_Surface* label = m_captionSurface.get(w, h);
    if (!label) return false;

    const xe::Canvas canvas = xe::Canvas::of(m_target);
    const std::uint32_t black = SDL_MapRGB(m_target->format, 0, 0, 0);
    xe::drawLine(canvas, true, anchorX, anchorY, true, anchorX, y + h, black);
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
    m_labels.push_back(placed);
    return true;
}

OrientedBox CaptionPlacer::LabelBox::box() const {
    const float halfWidth = static_cast<float>(width) / 2.0f, halfHeight = static_cast<float>(height) / 2.0f;
    return OrientedBox{static_cast<float>(x) + halfWidth,
                       static_cast<float>(y) + halfHeight,
                       1.0f,
                       0.0f,
                       halfWidth,
                       halfHeight};
}

OrientedBox CaptionPlacer::LabelBox::leader() const {
    const float top = static_cast<float>(y + height), bottom = static_cast<float>(anchorY);
    return OrientedBox{static_cast<float>(anchorX),   (top + bottom) / 2.0f, 1.0f, 0.0f, 0.0f,
                       std::fabs(bottom - top) / 2.0f};
}

bool CaptionPlacer::LabelBox::meets(const LabelBox& other) const {
    const bool apart = x > other.x + other.width || other.x > x + width || y > other.y + other.height ||
                       other.y > y + height;
    return !apart || leader().overlaps(other.box()) || box().overlaps(other.leader());
}

bool CaptionPlacer::labelClear(const LabelBox& label) const {
    // The label is opaque: it would hide an icon or a POI's name whole, and
    // its leader would cross it.
    const OrientedBox box = label.box(), leader = label.leader();
    return std::none_of(m_labels.begin(), m_labels.end(),
                        [&](const LabelBox& other) { return label.meets(other); }) &&
           std::none_of(m_placed.begin(), m_placed.end(),
                        [&](const DrawRecord* name) {
                            return name->isPlaced() &&
                                   (box.overlaps(name->box) || leader.overlaps(name->box));
                        }) &&
           !coversIcon(box, nullptr) && !coversIcon(leader, nullptr);
}

bool CaptionPlacer::slideLabel(LabelBox& moved, const Caption3dEntry& entry) {
    const LabelBox start = moved;
    const OrientedBox box = start.box();
    // Where the label may go: over its piece, raised or beside its anchor.
    CaptionRoom::Area area{start.x, start.y, start.x + start.width, start.y + start.height};
    area.add(entry.x1, entry.y1);
    area.add(entry.x2, entry.y2);
    gatherRoom(area.grown(start.width + 4 * start.height), true);
    const auto fits = [&] {
        return moved.x >= 0 && moved.x <= m_target->w - 1 && moved.y < m_target->h && labelClear(moved);
    };

    // Sideways over its anchor, the leader still meeting the label's bottom
    // edge a pixel or more within its ends.
    const auto sideways = [&](float shift) {
        moved.x = roundToInt(static_cast<float>(start.x) + shift);
        return moved.x <= start.anchorX - 1 && moved.x + moved.width - 1 >= start.anchorX + 1 && fits();
    };
    const float leftmost = static_cast<float>(start.anchorX + 1 - start.width - start.x);
    if (m_room.slide({box}, {1.0f, 0.0f, leftmost, static_cast<float>(start.anchorX - start.x), 1.0f},
                     sideways))
        return true;
    moved = start;

    // Raised, by up to three label heights.
    const float raise = 3.0f * static_cast<float>(start.height);
    const auto raised = [&](float shift) {
        if (shift < 0.0f || shift > raise) return false;
        moved.y = start.y - roundToInt(shift);
        return fits();
    };
    if (m_room.slide({box}, {0.0f, -1.0f, 0.0f, raise, 1.0f}, raised)) return true;
    moved = start;

    // Along its piece, over another point of it, the leader with it.
    const float dx = static_cast<float>(entry.x2 - entry.x1), dy = static_cast<float>(entry.y2 - entry.y1);
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length == 0.0f) return false;
    const float ux = dx / length, uy = dy / length;
    const float middle =
        static_cast<float>(start.anchorX - entry.x1) * ux + static_cast<float>(start.anchorY - entry.y1) * uy;
    const auto along = [&](float shift) {
        const std::int32_t x = roundToInt(static_cast<float>(start.anchorX) + shift * ux);
        const std::int32_t y = roundToInt(static_cast<float>(start.anchorY) + shift * uy);
        const float onPiece = static_cast<float>(x - entry.x1) * ux + static_cast<float>(y - entry.y1) * uy;
        if (onPiece < 0.0f || onPiece > length) return false;
        moved.x = start.x + x - start.anchorX;
        moved.y = start.y + y - start.anchorY;
        moved.anchorX = x;
        moved.anchorY = y;
        return fits();
    };
    return m_room.slide({box, start.leader()}, {ux, uy, -middle - 1.0f, length - middle + 1.0f, 1.0f}, along);
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
