// The polygon and polyline style files: one file fills the records of both
// sets, values that differ between day and night being written "day;night".
#include "render/RenderStyles.h"

#include "core/DataPath.h"
#include "core/Log.h"
#include "core/Text.h"
#include "render/Fill.h"
#include "render/Image.h"
#include "render/StyleSyntax.h"
#include "render/detail/StyleXml.h"

#include <cstring>
#include <string_view>

namespace Render {

using detail::attribute;
using Node = rapidxml::xml_node<char>;

namespace {

// The "id" of a "type" element as a polygon or polyline type, or -1.
int shapeTypeId(const Node* type) {
    const char* text = attribute(type, "id");
    std::uint32_t id = 0;
    if (!text || !parseHexId(text, id) || id > 255)
        return -1;
    return int(id);
}

std::int32_t decimalAttribute(const Node* node, const char* name, std::int32_t absent) {
    const char* text = attribute(node, name);
    return text ? parseDecimal(text) : absent;
}

FillKind parseFillKind(std::string_view kind) {
    if (kind == "thin")
        return FillKind::Thin;
    if (kind == "solid")
        return FillKind::Solid;
    if (kind == "dash")
        return FillKind::Dash;
    if (kind == "dot")
        return FillKind::Dot;
    return FillKind::Solid;
}

// "kind:colours" or "colours"; colours is one day/night text or two joined
// by '/'. False on an invalid colour.
bool parseFill(std::string_view text, PolylineStyle& day, PolylineStyle& night) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        if (!parseDayNightColor(text, day.color, night.color))
            return false;
        day.fill = night.fill = FillKind::Solid;
        return true;
    }
    FillKind kind = parseFillKind(text.substr(0, colon));
    const std::string_view colours = text.substr(colon + 1);
    if (!colours.empty()) {
        const std::size_t slash = colours.find('/');
        if (!parseDayNightColor(colours.substr(0, slash), day.color, night.color))
            return false;
        if (slash != std::string_view::npos) {
            if (!parseDayNightColor(colours.substr(slash + 1), day.secondColor, night.secondColor))
                return false;
            if (kind == FillKind::Dash)
                kind = FillKind::DashTwoColour;
            else if (kind == FillKind::Dot)
                kind = FillKind::DotTwoColour;
        }
    }
    day.fill = night.fill = kind;
    return true;
}

// A day/night colour whose given sides are marked present (shadow, border).
bool parseMarkedColor(const char* text, std::uint32_t& day, std::uint32_t& night) {
    if (!text)
        return true;
    constexpr std::uint32_t unset = 0xFFFFFFFFu; // no colour parses to this
    std::uint32_t d = unset, n = unset;
    if (!parseDayNightColor(text, d, n))
        return false;
    if (d != unset)
        day = d | PolygonStyle::Present;
    if (n != unset)
        night = n | PolygonStyle::Present;
    return true;
}

} // namespace

bool RenderStyles::loadPolylineStyles(const std::u16string& path) {
    auto xml = std::make_unique<detail::StyleXml>();
    if (!xml->load(path, u"Can't open polylines styles file '%s' (err %d)",
                   u"Error: %s on parsing polylines styles file"))
        return false;
    m_day.polylines.fill(PolylineStyle{FillKind::Thin, 0, 0, 0});
    m_night.polylines.fill(PolylineStyle{FillKind::Thin, 0, 0, 0});
    const Node* root = xml->document().first_node("polylines");
    if (!root)
        return false;
    for (const Node* group = root->first_node("group"); group; group = group->next_sibling("group")) {
        for (const Node* line = group->first_node("polyline"); line; line = line->next_sibling("polyline")) {
            PolylineStyle day, night;
            if (const char* fill = attribute(line, "fill"); fill && !parseFill(fill, day, night))
                continue;
            day.width = night.width = decimalAttribute(line, "width", 1);
            day.borderWidth = night.borderWidth = decimalAttribute(line, "border_width", 0);
            if (const char* border = attribute(line, "border")) {
                if (!parseDayNightColor(border, day.borderColor, night.borderColor))
                    continue;
            } else {
                day.borderWidth = night.borderWidth = 0;
            }
            day.minScale = night.minScale = decimalAttribute(line, "min_scale", 0);
            day.maxScale = night.maxScale = decimalAttribute(line, "max_scale", 0);
            day.minCaptionScale = night.minCaptionScale = decimalAttribute(line, "min_capts_scale", 0);
            day.maxCaptionScale = night.maxCaptionScale = decimalAttribute(line, "max_capts_scale", 0);
            for (const Node* type = line->first_node("type"); type; type = type->next_sibling("type")) {
                const int id = shapeTypeId(type);
                if (id < 0)
                    continue;
                m_day.polylines[std::size_t(id)] = day;
                m_night.polylines[std::size_t(id)] = night;
            }
        }
    }
    return true;
}

RenderStyles::SurfacePtr RenderStyles::loadPattern(const std::string& name, const StyleContext& context) {
    const std::u16string path = Core::dataPath(context.dataFolder, Core::utf8ToWide(name));
    if (!context.patternFormat) {
        Log::log(Log::Critical, u"Can't load pattern image '%s': no map surface format", path);
        return nullptr;
    }
    SurfacePtr surface(loadImage(path, context.patternFormat));
    if (!surface)
        return nullptr;
    // The pattern fill wraps coordinates with a mask: only square patterns
    // whose side is a power of two tile correctly. The conversion above gave
    // the map surface's format, so the surface is its own format reference.
    if (!xe::isUsablePattern(surface.get(), surface.get())) {
        Log::log(Log::Critical, u"Pattern image '%s' is %d x %d: a pattern must be square with a power-of-two side",
                 path, surface->w, surface->h);
        return nullptr;
    }
    return surface;
}

bool RenderStyles::loadPolygonStyles(const std::u16string& path, const StyleContext& context) {
    auto xml = std::make_unique<detail::StyleXml>();
    if (!xml->load(path, u"Can't open polygons styles file '%s' (err %d)",
                   u"Error: %s on parsing polygons styles file"))
        return false;
    m_day.polygons.fill(PolygonStyle{});
    m_night.polygons.fill(PolygonStyle{});
    // No record points to the old patterns any more.
    m_patterns.clear();
    const Node* root = xml->document().first_node("polygons");
    if (!root)
        return false;
    for (const Node* group = root->first_node("group"); group; group = group->next_sibling("group")) {
        const char* groupPattern = attribute(group, "pattern");
        for (const Node* polygon = group->first_node("polygon"); polygon;
             polygon = polygon->next_sibling("polygon")) {
            PolygonStyle day, night;
            // Each element loads its own surfaces, kept only if a type
            // stores them.
            SurfacePtr dayPattern, nightPattern;
            const char* patternText = attribute(polygon, "pattern");
            if (!patternText)
                patternText = groupPattern;
            if (patternText) {
                const std::string_view text(patternText);
                const std::size_t split = text.find(';');
                if (split == std::string_view::npos) {
                    dayPattern = loadPattern(std::string(text), context);
                    night.pattern = dayPattern.get();
                } else {
                    if (split > 0)
                        dayPattern = loadPattern(std::string(text.substr(0, split)), context);
                    if (split + 1 < text.size())
                        nightPattern = loadPattern(std::string(text.substr(split + 1)), context);
                    night.pattern = nightPattern.get();
                }
                day.pattern = dayPattern.get();
            }
            if (const char* color = attribute(polygon, "color")) {
                if (!parseDayNightColor(color, day.color, night.color))
                    continue;
            } else {
                day.color = 0x000000;
                night.color = 0xFFFFFF;
            }
            if (!parseMarkedColor(attribute(polygon, "shadow_color"), day.shadowColor, night.shadowColor) ||
                !parseMarkedColor(attribute(polygon, "border_color"), day.borderColor, night.borderColor))
                continue;
            day.minScale = night.minScale = decimalAttribute(polygon, "min_scale", 0);
            day.maxScale = night.maxScale = decimalAttribute(polygon, "max_scale", 0);
            bool stored = false;
            for (const Node* type = polygon->first_node("type"); type; type = type->next_sibling("type")) {
                const int id = shapeTypeId(type);
                if (id < 0)
                    continue;
                m_day.polygons[std::size_t(id)] = day;
                m_night.polygons[std::size_t(id)] = night;
                stored = true;
            }
            if (stored) {
                if (dayPattern)
                    m_patterns.push_back(std::move(dayPattern));
                if (nightPattern)
                    m_patterns.push_back(std::move(nightPattern));
            }
        }
    }
    return true;
}

} // namespace Render
