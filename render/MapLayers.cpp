#include "render/MapLayers.h"

#include "core/FloatToInt.h"
#include "map/KVMap2.h"
#include "map/Level.h"
#include "render/CellItems.h"
#include "render/Bands.h"
#include "render/Fill.h"
#include "render/FixedTransform.h"
#include "render/Image.h"
#include "render/MapCamera.h"
#include "render/MapPageServices.h"
#include "render/Pixels.h"
#include "render/Renderer3d.h"
#include "render/fdMapRenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace MapDrawing {

namespace {

constexpr std::uint32_t ColourMask = 0x00FFFFFFu;

xe::Renderer& rendererFor(const MapCamera& camera) { return camera.is3d() ? xe::renderer3d() : xe::renderer2d(); }

// The non-empty visible cells of a record, each with a walker over its
// items of one kind; the camera is left alone.
template <class Visit>
void forEachCell(const Map::StateRecord& view, std::uint8_t kind, Visit&& visit) {
    Map::Level* level = view.level;
    if (level == nullptr)
        return;
    const unsigned fieldBits = view.frame.cellShift + 1u;
    if (view.cellX0 >= view.cellX1 || view.cellY0 >= view.cellY1)
        return;
    // An item reaches up to one cell right of and above the cell that holds
    // it, so the cells left of and below the view are walked too.
    for (std::int32_t x = std::max(view.cellX0 - 1, 0); x < view.cellX1; ++x) {
        for (std::int32_t y = std::max(view.cellY0 - 1, 0); y < view.cellY1; ++y) {
            Map::Level::CellItems cell;
            if (!level->cellItems(level->defaultArea(), x, y, cell) || cell.size == 0)
                continue;
            CellItemWalker walker(cell, kind, fieldBits);
            visit(x, y, walker);
        }
    }
}

// The visible cells of a record, each with its loaded block; the camera's
// origin is set to the cell before f sees its items. select sees each item
// undecoded (no points) and returns what draw needs, or null to skip it;
// draw gets the decoded item and that value. Items a pass skips are thus
// never decoded.
template <class Select, class Draw>
void forEachItem(MapCamera& camera, const Map::StateRecord& view, std::uint8_t kind, Select&& select, Draw&& draw) {
    forEachCell(view, kind, [&](std::int32_t x, std::int32_t y, CellItemWalker& walker) {
        camera.setOrigin(x, y);
        CellItem item;
        while (walker.nextHeader(item)) {
            const auto chosen = select(item);
            if (!chosen)
                continue;
            walker.decode(item);
            draw(item, chosen);
        }
    });
}

// A line that one of the polyline layer's passes draws, decoded: its cell,
// style, points (and normals) in the layer's scratch arrays from `at`, and
// the passes that draw it.
struct PickedLine {
    std::int32_t cellX;
    std::int32_t cellY;
    const Render::PolylineStyle* style;
    std::uint32_t at;
    int count;
    bool border;
    bool body;
    bool dashes;
};

// The polyline layer's scratch, kept between frames (main thread only).
std::vector<PickedLine> g_pickedLines;
std::vector<xe::Point> g_linePoints;
std::vector<xe::Point> g_lineNormals;
// In 2D their screen points and band offsets, at the same places.
std::vector<xe::Point> g_screenPoints;
std::vector<xe::Point> g_screenOffsets;

bool hasBody(Render::FillKind fill) {
    switch (fill) {
    case Render::FillKind::Thin:
    case Render::FillKind::Solid:
    case Render::FillKind::DashTwoColour:
    case Render::FillKind::DotTwoColour: return true;
    default: return false;
    }
}

bool hasDashes(Render::FillKind fill) {
    switch (fill) {
    case Render::FillKind::Dash:
    case Render::FillKind::DashTwoColour:
    case Render::FillKind::Dot:
    case Render::FillKind::DotTwoColour: return true;
    default: return false;
    }
}

std::int32_t roundedScale(float scale) { return xe::floorToInt(scale + 0.5f); }

// The side of one cell in level units: the layers' "level unit".
std::int32_t cellUnit(const Map::StateRecord& view) {
    return static_cast<std::int32_t>(view.frame.cellSize());
}

bool emptyPolygonStyle(const Render::PolygonStyle& s) {
    return s.color == 0 && s.pattern == nullptr && s.shadowColor == 0 && s.borderColor == 0;
}

// Width factor of the polyline layers: level units per pixel, widened
// below 40 m per 40 pixels so that streets grow as the map zooms in.
float widthFactor(float scale, const Map::StateRecord& view) {
    const float zoom = scale < 40.0f ? 40.0f / scale : 1.0f;
    return view.levelScale > 0.0f ? zoom / view.levelScale : 0.0f;
}

} // namespace

bool MapCanvas::projectMapPoint(const MapCamera& camera, xe::Point point, xe::Point& out) {
    const float x = static_cast<float>(static_cast<std::uint32_t>(point.x));
    const float y = static_cast<float>(static_cast<std::uint32_t>(point.y));
    return camera.projectAnchor(Map::LocalPoint{x, y}, out);
}

void MapLayers::drawPolygons(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                             const Map::StateRecord& view, float scale, bool fast) {
    const Render::StyleSet* set = renderer.styles().activeSet();
    std::int32_t visited = 0;
    if (set == nullptr) {
        renderer.workingCounters().polygons = 0;
        return;
    }
    xe::Renderer& target = rendererFor(camera);
    const std::int32_t s = roundedScale(scale);
    const std::int32_t unit = cellUnit(view);
    const bool flat = !camera.is3d();

    auto drawable = [&](const CellItem& item) -> const Render::PolygonStyle* {
        const Render::PolygonStyle& style = set->polygons[item.type];
        if (item.count == 0 || emptyPolygonStyle(style) || !Render::withinScales(style.minScale, style.maxScale, s))
            return nullptr;
        return &style;
    };
    auto fill = [&](const CellItem& item, const Render::PolygonStyle& style) {
        if (flat && style.pattern != nullptr && xe::isUsablePattern(style.pattern, canvas.surface))
            target.fillPatternPolygon(canvas, camera.viewMatrices(), item.points, item.count, style.pattern);
        else
            target.fillPolygon(canvas, item.points, item.count, style.color & ColourMask);
    };

    // Pass A: every polygon counted, plain ones filled.
    using PolygonPick = const Render::PolygonStyle*;
    forEachItem(
        camera, view, PolygonItems,
        [&](const CellItem& item) -> PolygonPick {
            ++visited;
            const Render::PolygonStyle* style = drawable(item);
            return style != nullptr && style->shadowColor == 0 ? style : nullptr;
        },
        [&](const CellItem& item, PolygonPick style) { fill(item, *style); });
    auto shadowed = [&](const CellItem& item) -> PolygonPick {
        const Render::PolygonStyle* style = drawable(item);
        return style != nullptr && style->shadowColor != 0 ? style : nullptr;
    };
    if (!flat && !fast) {
        // The shadow of a raised area, under the ground lifted by 5 pixels.
        MapCamera::Matrix saved;
        camera.setupScreenScale(5.0f, saved);
        forEachItem(camera, view, PolygonItems, shadowed, [&](const CellItem& item, PolygonPick style) {
            target.fillPolygon(canvas, item.points, item.count, style->shadowColor & ColourMask);
        });
        camera.restoreScreenScale(saved);
    }
    // Pass B: the shadowed ones on top.
    forEachItem(camera, view, PolygonItems, shadowed,
                [&](const CellItem& item, PolygonPick style) { fill(item, *style); });
    // Pass C: borders.
    if (!fast) {
        forEachItem(
            camera, view, PolygonItems,
            [&](const CellItem& item) -> PolygonPick {
                const Render::PolygonStyle* style = drawable(item);
                return style != nullptr && style->borderColor != 0 ? style : nullptr;
            },
            [&](const CellItem& item, PolygonPick style) {
                target.drawPolygonOutline(canvas, unit, item.points, item.count, style->borderColor & ColourMask);
            });
    }
    renderer.workingCounters().polygons = visited;
}

void MapLayers::drawPolylines(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                              const Map::StateRecord& view, float scale, bool fast) {
    const Render::StyleSet* set = renderer.styles().activeSet();
    std::int32_t visited = 0;
    if (set == nullptr) {
        renderer.workingCounters().polylines = 0;
        return;
    }
    xe::Renderer& target = rendererFor(camera);
    const std::int32_t s = roundedScale(scale);
    const std::int32_t unit = cellUnit(view);
    const float f = widthFactor(scale, view);
    const std::int32_t normalLength = unit / 2 * 10;
    const auto& lineFlags = renderer.showPolylineLine();

    auto styleOf = [&](const CellItem& item) -> const Render::PolylineStyle* {
        const Render::PolylineStyle& style = set->polylines[item.type];
        if (item.count < 2 || lineFlags[item.type] == 0 || !Render::withinScales(style.minScale, style.maxScale, s))
            return nullptr;
        return &style;
    };
    auto bandWidth = [&](const Render::PolylineStyle& style) {
        return xe::floorToInt(static_cast<float>(style.width) * f * 10.0f + 0.5f);
    };

    // Each line some pass draws is decoded once, in the first walk, and
    // every pass then goes through those (the border pass alone would
    // decode most lines a second time). The passes set the camera's origin
    // to a line's cell as the walk does.
    std::vector<PickedLine>& picked = g_pickedLines;
    picked.clear();
    g_linePoints.clear();
    g_lineNormals.clear();
    std::int32_t lastX = -1;
    std::int32_t lastY = -1;
    forEachCell(view, PolylineItems, [&](std::int32_t x, std::int32_t y, CellItemWalker& walker) {
        lastX = x;
        lastY = y;
        CellItem item;
        while (walker.nextHeader(item)) {
            ++visited;
            const Render::PolylineStyle* style = styleOf(item);
            if (style == nullptr)
                continue;
            const bool border = !fast && style->borderWidth != 0;
            const bool body = hasBody(style->fill);
            const bool dashes = !fast && hasDashes(style->fill);
            if (!border && !body && !dashes)
                continue;
            walker.decode(item);
            const auto at = static_cast<std::uint32_t>(g_linePoints.size());
            g_linePoints.insert(g_linePoints.end(), item.points, item.points + item.count);
            g_lineNormals.insert(g_lineNormals.end(), item.normals, item.normals + (item.count - 1));
            g_lineNormals.emplace_back(); // keeps both arrays in step
            picked.push_back(PickedLine{x, y, style, at, item.count, border, body, dashes});
        }
    });
    // Every pass sets the origin only for cells with something to draw;
    // the walk's last cell is set again at the end, as a walk leaves it.
    std::int32_t originX = INT32_MIN;
    std::int32_t originY = INT32_MIN;
    auto eachLine = [&](bool PickedLine::*pass, auto&& draw) {
        for (const PickedLine& line : picked) {
            if (!(line.*pass))
                continue;
            if (line.cellX != originX || line.cellY != originY) {
                originX = line.cellX;
                originY = line.cellY;
                camera.setOrigin(originX, originY);
            }
            draw(line, g_linePoints.data() + line.at, g_lineNormals.data() + line.at);
        }
    };
    // In 2D a band's border and body lie on the same screen points and
    // offsets (the same width, the same cell origin): worked out once, by
    // the 2D renderer's transforms, for the first of the two passes that
    // draws the line, and kept for the other.
    const bool flat = !camera.is3d() && normalLength != 0;
    if (flat) {
        g_screenPoints.resize(g_linePoints.size());
        g_screenOffsets.resize(g_lineNormals.size());
    }
    auto screenForm = [&](const PickedLine& line, const xe::Point* points, const xe::Point* normals, bool kept) {
        xe::Point* screen = g_screenPoints.data() + line.at;
        xe::Point* offsets = g_screenOffsets.data() + line.at;
        if (!kept) {
            xe::transformPoints(line.count, points, screen);
            xe::transformOffsets(line.count - 1, bandWidth(*line.style), normals, normalLength, offsets);
        }
        return std::pair<const xe::Point*, const xe::Point*>{screen, offsets};
    };
    eachLine(&PickedLine::border, [&](const PickedLine& line, const xe::Point* points, const xe::Point* normals) {
        const std::uint32_t colour = line.style->borderColor & ColourMask;
        if (flat) {
            const auto [screen, offsets] = screenForm(line, points, normals, false);
            xe::drawWideBandBorder(canvas, screen, offsets, line.count, xe::mapColor(colour, canvas.surface));
            return;
        }
        target.drawWidePolylineBorder(canvas, points, normals, normalLength, line.count, bandWidth(*line.style),
                                      colour);
    });
    auto wideBody = [&](const PickedLine& line, const xe::Point* points, const xe::Point* normals,
                        std::uint32_t colour) {
        if (flat) {
            const auto [screen, offsets] = screenForm(line, points, normals, line.border);
            xe::drawWideBand(canvas, screen, offsets, line.count, xe::mapColor(colour, canvas.surface));
            return;
        }
        target.drawWidePolyline(canvas, points, normals, normalLength, line.count, bandWidth(*line.style), colour);
    };
    eachLine(&PickedLine::body, [&](const PickedLine& line, const xe::Point* points, const xe::Point* normals) {
        const Render::PolylineStyle& style = *line.style;
        switch (style.fill) {
        case Render::FillKind::Thin:
            target.drawPolyline(canvas, points, line.count, style.color & ColourMask);
            break;
        case Render::FillKind::Solid:
            wideBody(line, points, normals, style.color & ColourMask);
            break;
        case Render::FillKind::DashTwoColour:
        case Render::FillKind::DotTwoColour:
            wideBody(line, points, normals, style.secondColor & ColourMask);
            break;
        default:
            break;
        }
    });
    eachLine(&PickedLine::dashes, [&](const PickedLine& line, const xe::Point* points, const xe::Point* normals) {
        const Render::PolylineStyle& style = *line.style;
        float dash = 0.0f;
        switch (style.fill) {
        case Render::FillKind::Dash:
        case Render::FillKind::DashTwoColour: dash = 4.0f; break;
        case Render::FillKind::Dot:
        case Render::FillKind::DotTwoColour: dash = 2.0f; break;
        default: return;
        }
        target.drawDashedPolyline(canvas, camera.viewMatrices(), unit, points, normals, unit / 2, line.count,
                                  static_cast<float>(style.width) * f, dash, style.color & ColourMask);
    });
    if (lastX >= 0 && (originX != lastX || originY != lastY))
        camera.setOrigin(lastX, lastY);
    if (fast)
        visited = 0;
    renderer.workingCounters().polylines = visited;
}

void MapLayers::drawRoadMarks(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                              const Map::StateRecord& view, float scale,
                              const std::vector<std::uint32_t>& roads) {
    const Render::StyleSet* set = renderer.styles().activeSet();
    if (set == nullptr || roads.empty() || view.levelScale <= 0.0f)
        return;
    xe::Renderer& target = rendererFor(camera);
    const std::int32_t s = roundedScale(scale);
    const float f = widthFactor(scale, view);
    const std::int32_t normalLength = cellUnit(view) / 2 * 10;
    const Render::MiscItemStyle& mark = set->misc[Render::MiscRoute2];
    // The widths in tenths of level units, as the polyline layer's bands.
    const std::int32_t markWidth =
        xe::floorToInt(static_cast<float>(std::max(mark.size, 1)) / view.levelScale * 10.0f + 0.5f);
    const auto& lineFlags = renderer.showPolylineLine();

    using LinePick = const Render::PolylineStyle*;
    forEachItem(
        camera, view, PolylineItems,
        [&](const CellItem& item) -> LinePick {
            if (item.count < 2 || item.road == InvalidRoadId ||
                std::find(roads.begin(), roads.end(), item.road) == roads.end())
                return nullptr;
            const Render::PolylineStyle& style = set->polylines[item.type];
            if (lineFlags[item.type] == 0 || !Render::withinScales(style.minScale, style.maxScale, s))
                return nullptr;
            return &style;
        },
        [&](const CellItem& item, LinePick style) {
            const std::int32_t body = xe::floorToInt(static_cast<float>(style->width) * f * 10.0f + 0.5f);
            target.drawWidePolyline(canvas, item.points, item.normals, normalLength, item.count,
                                    std::max(markWidth, body), mark.color & ColourMask);
        });
}

void MapLayers::drawDirectionArrows(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                                    const Map::StateRecord& view, float scale) {
    const Render::StyleSet* set = renderer.styles().activeSet();
    if (set == nullptr)
        return;
    xe::Renderer& target = rendererFor(camera);
    const std::int32_t s = roundedScale(scale);
    const std::int32_t unit = cellUnit(view);
    const float f = widthFactor(scale, view);
    const std::uint32_t colour = set->misc[Render::MiscDirection].color & ColourMask;
    const Render::PolylineStyle& first = set->polylines[1];
    const float minimum =
        Render::withinScales(first.minScale, first.maxScale, s) ? static_cast<float>(first.width) * f : 0.0f;
    const auto& lineFlags = renderer.showPolylineLine();

    using LinePick = const Render::PolylineStyle*;
    forEachItem(
        camera, view, PolylineItems,
        [&](const CellItem& item) -> LinePick {
            const Render::PolylineStyle& style = set->polylines[item.type];
            if (item.count < 2 || lineFlags[item.type] == 0 || item.direction == 0 || item.road == InvalidRoadId ||
                !Render::withinScales(style.minScale, style.maxScale, s))
                return nullptr;
            return &style;
        },
        [&](const CellItem& item, LinePick style) {
            const float width = std::max(minimum, static_cast<float>(style->width) * f);
            target.drawArrows(canvas, item.points, item.normals, unit / 2, item.count, width, colour);
        });
}

void MapLayers::drawPoiIcons(fdMapRenderer& renderer, const xe::Canvas& canvas, MapCamera& camera,
                             const Map::StateRecord& view, float scale, std::vector<Render::IconBox>* drawn,
                             Map::KVMap2* map) {
    std::int32_t visited = 0;
    const std::int32_t s = roundedScale(scale);
    Render::RenderStyles& styles = renderer.styles();
    const CursorRecord* cursor = renderer.poiCursor();
    const std::optional<Render::IconBox>& car = renderer.frameCar();
    using PoiPick = const Render::PoiStyle*;
    auto shown = [&](const CellItem& item) -> PoiPick {
        ++visited;
        const Render::PoiStyle* style = styles.poiStyle(item.poiType);
        if (style == nullptr || style->icon == nullptr || !style->visibleAt(s) ||
            !styles.isPoiShownOnMap(item.poiType))
            return nullptr;
        return style;
    };
    forEachItem(camera, view, PointItems, shown, [&](const CellItem& item, PoiPick style) {
        xe::Point p;
        if (!MapCanvas::projectMapPoint(camera, item.points[0], p))
            return;
        if (camera.is3d() && p.y < canvas.bottom / 3)
            return;
        Render::Image& icon = *style->icon;
        const std::int32_t w = icon.width();
        const std::int32_t h = icon.height();
        const auto clearOfCar = [&](std::int32_t left, std::int32_t top) {
            return !car || !Render::IconBox::of(left - CarClearance, top - CarClearance, w + 2 * CarClearance,
                                                h + 2 * CarClearance, nullptr)
                                .box.overlaps(car->box);
        };
        const auto note = [&](std::int32_t left, std::int32_t top) {
            if (drawn == nullptr) return;
            const std::uint32_t* caption = nullptr;
            if (map != nullptr && map->captions() != nullptr && item.caption < map->captionCount()) {
                const Map::KVMap2::Caption& entry = map->captions()[item.caption];
                if (entry.offset != 0 && entry.length != 0) caption = &entry.cached;
            }
            Render::IconBox box = Render::IconBox::of(left, top, w, h, caption);
            box.mapIndex = view.mapIndex;
            box.object = item.address;
            drawn->push_back(box);
        };
        std::int32_t left = 0;
        std::int32_t top = 0;
        switch (style->placement) {
        case 0:
            if (cursor != nullptr) {
                if (!clearOfCar(p.x - cursor->hotX, p.y - cursor->hotY))
                    return;
                Render::drawImageAt(Render::ImageAnchor{&icon, cursor->hotX, cursor->hotY}, p.x, p.y,
                                    canvas.surface);
                note(p.x - cursor->hotX, p.y - cursor->hotY);
                return;
            }
            left = p.x - w / 2, top = p.y - h / 2;
            break;
        case 1: left = p.x, top = p.y; break;
        case 2: left = p.x - w / 2, top = p.y; break;
        case 3: left = p.x - w, top = p.y; break;
        case 4: left = p.x, top = p.y - h / 2; break;
        case 5: left = p.x - w / 2, top = p.y - h / 2; break;
        case 6: left = p.x - w, top = p.y - h / 2; break;
        case 7: left = p.x, top = p.y - h; break;
        case 8: left = p.x - w / 2, top = p.y - h; break;
        case 9: left = p.x - w, top = p.y - h; break;
        default: return;
        }
        constexpr std::int32_t lo = std::numeric_limits<Sint16>::min();
        constexpr std::int32_t hi = std::numeric_limits<Sint16>::max();
        if (left < lo || left > hi || top < lo || top > hi || !clearOfCar(left, top))
            return;
        SDL_Rect rect{static_cast<Sint16>(left), static_cast<Sint16>(top), static_cast<Uint16>(w),
                      static_cast<Uint16>(h)};
        icon.drawAligned(canvas.surface, rect, 0, 0);
        note(left, top);
    });
    renderer.workingCounters().points = visited;
}

void MapLayers::clearCoverage(const xe::Canvas& canvas, MapCamera& camera, const Map::StateRecord& view,
                              std::uint32_t background) {
    Map::Level* level = view.level;
    if (level == nullptr)
        return;
    xe::Renderer& target = rendererFor(camera);
    const std::int32_t n = cellUnit(view);
    const std::uint32_t colour = background & ColourMask;
    const unsigned fieldBits = view.frame.cellShift + 1u;
    for (std::int32_t x = view.cellX0; x < view.cellX1; ++x) {
        for (std::int32_t y = view.cellY0; y < view.cellY1; ++y) {
            const std::uint8_t value = level->cellValue(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
            if (value == 0)
                continue;
            camera.setOrigin(x, y);
            if (value & 2) {
                const xe::Point square[4] = {{0, 0}, {n, 0}, {n, n}, {0, n}};
                target.fillPolygon(canvas, square, 4, colour);
                continue;
            }
            Map::Level::CellItems cell;
            if (!level->cellItems(level->defaultArea(), x, y, cell))
                continue;
            CellItemWalker walker(cell, CoverageItems, fieldBits);
            CellItem item;
            while (walker.next(item))
                if (item.count > 0)
                    target.fillPolygon(canvas, item.points, item.count, colour);
        }
    }
}

namespace {

// A route piece is a road's polyline, held by a cell like the map's items:
// it reaches up to one cell right of and above its cell, so a cell left of
// or below the visible ones may hold a visible piece too.
bool contains(const Map::StateRecord& r, std::int32_t x, std::int32_t y) {
    return r.cellX0 < r.cellX1 && r.cellY0 < r.cellY1 && x >= r.cellX0 - 1 && x < r.cellX1 && y >= r.cellY0 - 1 &&
           y < r.cellY1;
}

// The cell of record r that holds the corner of the piece's cell.
bool cellInRecord(const RoutePiece& piece, const Map::StateRecord& r, std::int32_t& x, std::int32_t& y) {
    const float size = static_cast<float>(piece.frame.cellSize());
    const Map::Point corner =
        piece.frame.toGlobal(Map::LocalPoint{static_cast<float>(piece.cellX) * size, static_cast<float>(piece.cellY) * size});
    const Map::LocalPoint local = r.frame.toLocal(corner);
    const float cell = static_cast<float>(r.frame.cellSize());
    x = xe::floorToInt(local.x / cell);
    y = xe::floorToInt(local.y / cell);
    return contains(r, x, y);
}

// Whether cell (x, y) of record r lies on its level's grid.
bool onGrid(const Map::StateRecord& r, std::int32_t x, std::int32_t y) {
    return r.level != nullptr && x >= 0 && y >= 0 && static_cast<std::uint32_t>(x) < r.level->width() &&
           static_cast<std::uint32_t>(y) < r.level->height();
}

} // namespace

void MapLayers::drawRoutePath(const xe::Canvas& canvas, MapCamera& camera, const RoutePath& route,
                              const std::vector<Map::StateRecord>& records) {
    if (records.empty())
        return;
    xe::Renderer& target = rendererFor(camera);
    const Map::StateRecord* last = nullptr;
    std::vector<xe::Point> points;
    std::vector<xe::Point> normals;
    for (const auto& part : route.parts()) {
        for (const RoutePiece& piece : part) {
            std::int32_t cx = 0;
            std::int32_t cy = 0;
            const Map::StateRecord* record = nullptr;
            // Where the piece's own map is drawn and its cell lies on that
            // record's grid, that record alone decides: outside its visible
            // cells the piece is off the screen. A coarser map (a hidden
            // world map, say) would take it at its own units, hundreds of
            // metres each, and, tried first as the last one used, would
            // then take the visible pieces after it too.
            bool ownGrid = false;
            const auto own = std::find_if(records.begin(), records.end(),
                                          [&](const Map::StateRecord& r) { return r.mapIndex == piece.mapIndex; });
            if (own != records.end()) {
                if (cellInRecord(piece, *own, cx, cy))
                    record = &*own;
                else
                    ownGrid = onGrid(*own, cx, cy);
            }
            // Its map not drawn at this scale (or the piece off the grid of
            // the level drawn): a level of another map, no finer than the
            // piece's, the last one used first.
            const auto coarser = [&](const Map::StateRecord& r) {
                return r.mapIndex != piece.mapIndex && r.frame.coordinateBits <= piece.frame.coordinateBits &&
                       cellInRecord(piece, r, cx, cy);
            };
            if (record == nullptr && !ownGrid && last != nullptr && coarser(*last))
                record = last;
            for (const Map::StateRecord& r : records) {
                if (record != nullptr || ownGrid)
                    break;
                if (coarser(r))
                    record = &r;
            }
            if (record == nullptr)
                continue;
            last = record;
            camera.setupTransform(*record);
            camera.setOrigin(cx, cy);
            const std::int32_t cell = static_cast<std::int32_t>(record->frame.cellSize());
            // Coordinates scaled by 10 keep sub-unit widths where the cell
            // leaves room for it.
            const std::int32_t k = record->frame.cellShift <= 26 ? 10 : 1;
            points.clear();
            for (const Map::LocalPoint& p : piece.points) {
                const Map::LocalPoint local = record->frame.toLocal(piece.frame.toGlobal(p));
                const xe::Point q{xe::floorToInt(local.x - static_cast<float>(cx) * static_cast<float>(cell) + 0.5f),
                                  xe::floorToInt(local.y - static_cast<float>(cy) * static_cast<float>(cell) + 0.5f)};
                if (points.empty() || !(points.back() == q))
                    points.push_back(q);
            }
            if (points.size() < 2)
                continue;
            const float normalLength = static_cast<float>(cell / 2);
            normals.clear();
            for (std::size_t i = 0; i + 1 < points.size(); ++i) {
                const float dx = static_cast<float>(points[i + 1].x - points[i].x);
                const float dy = static_cast<float>(points[i + 1].y - points[i].y);
                const float length = std::sqrt(dx * dx + dy * dy);
                normals.push_back(xe::Point{xe::floorToInt(dy / length * normalLength + 0.5f),
                                            xe::floorToInt(-dx / length * normalLength + 0.5f)});
            }
            const std::int32_t width =
                std::max(1, xe::floorToInt(route.halfWidth() / record->levelScale * static_cast<float>(k) + 0.5f));
            target.drawWidePolyline(canvas, points.data(), normals.data(), cell / 2 * k,
                                    static_cast<int>(points.size()), width, route.colour() & ColourMask);
        }
    }
    if (!route.marksPoints())
        return;
    // Each route point gets a white dot ringed in the route colour.
    for (const RoutePoint& point : route.points()) {
        if (!point.frame)
            continue;
        camera.setupForLevel(*point.frame);
        xe::FloatPoint s;
        if (!camera.projectPoint(point.point, true, s))
            continue;
        const std::int32_t x = xe::floorToInt(s.x + 0.5f);
        const std::int32_t y = xe::floorToInt(s.y + 0.5f);
        xe::fillCircle(canvas.surface, x, y, 5, 0xFF000000u | (route.colour() & ColourMask));
        xe::fillCircle(canvas.surface, x, y, 3, 0xFFFFFFFFu);
    }
}

namespace {

// Calls draw with each flag of the route shown on screen: its cursor and
// the rounded screen point of its hot spot.
template <class Draw>
void forEachRouteFlag(MapCamera& camera, const RoutePath& route, MapPage& page, Draw draw) {
    const auto& points = route.points();
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!points[i].frame)
            continue;
        camera.setupForLevel(*points[i].frame);
        xe::FloatPoint s;
        if (!camera.projectPoint(points[i].point, true, s))
            continue;
        const char* name = i == 0 ? "flag" : i + 1 == points.size() ? "flagX" : "flagmidle";
        const CursorRecord* cursor = page.findCursor(name);
        if (cursor == nullptr || cursor->image == nullptr)
            continue;
        draw(*cursor, xe::floorToInt(s.x + 0.5f), xe::floorToInt(s.y + 0.5f));
    }
}

} // namespace

void MapLayers::drawRouteFlags(const xe::Canvas& canvas, MapCamera& camera, const RoutePath& route,
                               MapPage& page) {
    forEachRouteFlag(camera, route, page, [&](const CursorRecord& cursor, std::int32_t x, std::int32_t y) {
        Render::drawImageAt(Render::ImageAnchor{cursor.image, cursor.hotX, cursor.hotY}, x, y,
                            canvas.surface);
    });
}

std::vector<Render::OrientedBox> MapLayers::routeFlagBoxes(MapCamera& camera, const RoutePath& route,
                                                           MapPage& page) {
    std::vector<Render::OrientedBox> boxes;
    forEachRouteFlag(camera, route, page, [&](const CursorRecord& cursor, std::int32_t x, std::int32_t y) {
        boxes.push_back(Render::IconBox::of(x - cursor.hotX, y - cursor.hotY, cursor.image->width(),
                                            cursor.image->height(), nullptr)
                            .box);
    });
    return boxes;
}

} // namespace MapDrawing
