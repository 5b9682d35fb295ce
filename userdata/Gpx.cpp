#include "userdata/Gpx.h"

#include "core/Format.h"
#include "core/Log.h"
#include "core/Parse.h"
#include "core/Text.h"
#include "core/Version.h"
#include "core/XmlDepth.h"
#include "core/XmlEscape.h"
#include "map/Projection.h"
#include "map/UnitsPerMeter.h"
#include "userdata/WaypointStyles.h"

#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace Gpx {
namespace {

using Node = rapidxml::xml_node<char>;

// A GPX file nests a few levels; foreign extensions add some more.
constexpr int MaxDepth = 64;

// The encodings the reader decodes; any other declaration is taken as UTF-8.
enum class Encoding { Utf8, Latin1, Windows1251 };

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

Encoding declaredEncoding(std::string_view text) {
    const std::size_t end = text.find("?>");
    if (!text.starts_with("<?xml") && !text.starts_with("\xEF\xBB\xBF<?xml")) return Encoding::Utf8;
    const std::string_view declaration = text.substr(0, end);
    const std::size_t at = declaration.find("encoding=");
    if (at == std::string_view::npos || at + 10 > declaration.size()) return Encoding::Utf8;
    const std::string_view name = declaration.substr(at + 10);
    if (startsWithNoCase(name, "iso-8859-1") || startsWithNoCase(name, "latin1")) return Encoding::Latin1;
    if (startsWithNoCase(name, "windows-1251") || startsWithNoCase(name, "cp1251"))
        return Encoding::Windows1251;
    return Encoding::Utf8;
}

class Reader {
  public:
    Reader(WaypointStyles* styles, std::uint8_t category, Encoding encoding)
        : m_styles(styles), m_category(category), m_encoding(encoding) {}

    void readWaypoint(const Node& wpt, std::vector<ReadPoint>& out) const;

  private:
    std::u16string wide(std::string_view bytes) const {
        switch (m_encoding) {
        case Encoding::Latin1: {
            std::u16string text;
            for (const char c : bytes)
                text += static_cast<char16_t>(static_cast<unsigned char>(c));
            return text;
        }
        case Encoding::Windows1251:
            return Core::ansiToWide(bytes);
        default:
            return Core::utf8ToWide(bytes);
        }
    }
    void readExtensions(const Node& extensions, StoredWayPoint& p, float latitude) const;
    void readLink(const Node& link, StoredWayPoint& p) const;

    WaypointStyles* m_styles;
    std::uint8_t m_category;
    Encoding m_encoding;
};

std::string_view nameOf(const Node& n) {
    return std::string_view(n.name(), n.name_size());
}

// The element's character data, CDATA sections included.
std::string textOf(const Node& n) {
    std::string text;
    for (const Node* c = n.first_node(); c != nullptr; c = c->next_sibling())
        if (c->type() == rapidxml::node_data || c->type() == rapidxml::node_cdata)
            text.append(c->value(), c->value_size());
    return text;
}

// The namespace bound to a prefix where the element stands.
std::string_view namespaceOf(const Node* n, std::string_view prefix) {
    const std::string attribute = "xmlns:" + std::string(prefix);
    for (; n != nullptr; n = n->parent()) {
        if (n->type() != rapidxml::node_element) continue;
        if (const auto* a = n->first_attribute(attribute.c_str(), attribute.size()))
            return std::string_view(a->value(), a->value_size());
    }
    return {};
}

// "uses" unprefixed (older files) or under any prefix bound to the
// program's namespace.
bool isOwnElement(const Node& n, std::string_view local) {
    const std::string_view name = nameOf(n);
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) return name == local;
    return name.substr(colon + 1) == local && namespaceOf(&n, name.substr(0, colon)) == ExtensionsNamespace;
}

std::string_view trimmed(std::string_view s) {
    const std::size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// A decimal number as the whole (blank-trimmed) text; 0 when none.
template <class Number = float> Number decimal(std::string_view text) {
    std::string_view s = trimmed(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    Number value = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    return result.ec == std::errc() ? value : 0;
}

// A value from the file as a log line shows it: trimmed, cut to 32 bytes,
// with no control character to break the line.
std::string shownText(std::string_view text) {
    std::string shown(trimmed(text).substr(0, 32));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    return shown;
}

// A POI type in hexadecimal: an optional "0x", hex digits, nothing but
// blanks after them ("Crossing" is a word, not the type 0xC).
bool hexType(std::string_view text, std::uint16_t& type) {
    std::string_view s = trimmed(text);
    if (s.starts_with("0x") || s.starts_with("0X")) s.remove_prefix(2);
    std::uint32_t value = 0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    if (result.ec != std::errc() || result.ptr != s.data() + s.size() || value > 0xFFFF) return false;
    type = static_cast<std::uint16_t>(value);
    return true;
}

// Near the poles a metre spans so many map units that a large radius would
// leave the 32-bit range: the result is clamped to 2^30.
std::int32_t toUnits(float unitsPerMetre, float metres) {
    const float units = std::floor(unitsPerMetre * metres + 0.5f);
    return units < 1073741824.0f ? static_cast<std::int32_t>(units) : 1073741824;
}

void Reader::readLink(const Node& link, StoredWayPoint& p) const {
    const auto* href = link.first_attribute("href");
    const Node* type = link.first_node("type");
    if (href == nullptr || type == nullptr) return;
    const std::string kind = textOf(*type);
    const std::u16string target = wide(std::string_view(href->value(), href->value_size()));
    if (kind == "image/bmp" || kind == "image/x-windows-bmp")
        p.imageUrl = target;
    else if (kind == "text/html")
        p.url = target;
}

void Reader::readExtensions(const Node& extensions, StoredWayPoint& p, float latitude) const {
    const float unitsPerMetre = Map::Projection::unitsPerMeterAtLatitude(latitude);
    for (const Node* e = extensions.first_node(); e != nullptr; e = e->next_sibling()) {
        if (isOwnElement(*e, "uses")) {
            Core::parseUnsigned(textOf(*e), p.uses);
        } else if (isOwnElement(*e, "icon")) {
            // A POI-type icon chosen as the point's image; the manager drops
            // a position its icon list does not have.
            std::uint32_t icon = 0;
            if (Core::parseUnsigned(trimmed(textOf(*e)), icon) && icon <= 0xFFFF)
                p.imageIndex = static_cast<std::int32_t>(icon);
        } else if (isOwnElement(*e, "id")) {
            Core::parseUnsigned(textOf(*e), p.id);
        } else if (isOwnElement(*e, "proximity")) {
            const Node* speed = nullptr;
            const Node* radius = nullptr;
            const Node* sector = nullptr;
            for (const Node* c = e->first_node(); c != nullptr; c = c->next_sibling()) {
                if (isOwnElement(*c, "speed")) speed = c;
                if (isOwnElement(*c, "radius")) radius = c;
                if (isOwnElement(*c, "sector")) sector = c;
            }
            if (speed != nullptr) {
                const float kmh = decimal(textOf(*speed));
                // NaN, negative and absurd speeds mean no speed.
                p.speed = kmh > 0.0f && kmh <= MaxSpeedKmh ? kmh * 0.2777778f : 0.0f;
            }
            float metres = radius != nullptr ? decimal(textOf(*radius)) : 0.0f;
            if (!(metres > 0.0f)) metres = 0.0f;
            metres = std::min(metres, MaxRadiusMetres);
            if (metres == 0.0f && p.speed != 0.0f) metres = 400.0f;
            p.radius = metres == 0.0f ? 0 : std::max(toUnits(unitsPerMetre, metres), 1);
            if (p.radius != 0 && sector != nullptr) {
                std::int32_t degrees = 0;
                Core::parseInt(trimmed(textOf(*sector)), degrees);
                p.sector = sectorOfDegrees(degrees);
            }
        }
    }
}

void Reader::readWaypoint(const Node& wpt, std::vector<ReadPoint>& out) const {
    const auto* lat = wpt.first_attribute("lat");
    const auto* lon = wpt.first_attribute("lon");
    if (lat == nullptr || lon == nullptr) return;
    // In double precision: 89.999999 is a float of 90, the pole.
    const auto degrees =
        StoredWayPoint::Degrees{decimal<double>(std::string_view(lat->value(), lat->value_size())),
                                decimal<double>(std::string_view(lon->value(), lon->value_size()))};
    if (!isOnGlobe(degrees.latitude, degrees.longitude)) {
        Log::log(Log::Normal, "GPX waypoint at %s, %s skipped: not a place on the globe",
                 shownText(std::string_view(lat->value(), lat->value_size())),
                 shownText(std::string_view(lon->value(), lon->value_size())));
        return;
    }
    const auto latitude = static_cast<float>(degrees.latitude);

    ReadPoint read;
    StoredWayPoint& p = read.point;
    p.position = Map::Projection::fromGeo(latitude, static_cast<float>(degrees.longitude));
    p.fileDegrees = degrees;
    p.category = m_category;
    for (const Node* c = wpt.first_node(); c != nullptr; c = c->next_sibling()) {
        if (c->type() != rapidxml::node_element) continue;
        const std::string_view name = nameOf(*c);
        if (name == "name") {
            p.name = wide(textOf(*c));
        } else if (name == "desc" || name == "cmt") {
            if (!p.comment.empty()) p.comment += u' ';
            p.comment += wide(textOf(*c));
        } else if (name == "type") {
            std::uint16_t type = 0;
            if (hexType(textOf(*c), type) && m_styles != nullptr && m_styles->poiStyle(type) != nullptr)
                p.type = type;
        } else if (name == "sym") {
            p.symbol = wide(trimmed(textOf(*c)));
        } else if (name == "link") {
            readLink(*c, p);
        } else if (name == "extensions") {
            readExtensions(*c, p, latitude);
        }
    }
    std::int64_t half = 1;
    if (p.radius != 0)
        half = p.radius;
    else if (p.speed != 0.0f)
        half = toUnits(Map::Projection::unitsPerMeterAtLatitude(latitude), p.speed * 4.166667f);
    read.boxHalfSize = static_cast<std::int32_t>(std::clamp<std::int64_t>(half, 1, 1 << 30));
    out.push_back(std::move(read));
}

} // namespace

std::vector<ReadPoint> readWaypoints(std::string& text, WaypointStyles* styles, std::uint8_t category) {
    if (!Core::xmlDepthWithin(text, MaxDepth)) throw std::runtime_error("Invalid GPX file");
    // Before the parser writes into the text.
    const Encoding encoding = declaredEncoding(text);
    rapidxml::xml_document<char> document;
    document.parse<rapidxml::parse_default>(text.data());
    const Node* gpx = document.first_node("gpx");
    if (gpx == nullptr) throw std::runtime_error("Invalid GPX file");
    const Reader reader(styles, category, encoding);
    std::vector<ReadPoint> points;
    for (const Node* wpt = gpx->first_node("wpt"); wpt != nullptr; wpt = wpt->next_sibling("wpt"))
        reader.readWaypoint(*wpt, points);
    return points;
}

namespace {

// The shortest text that reads back as the same number, in fixed notation,
// or the number rounded to maxDecimals (9 or 15) where that needs more.
template <class Number> std::string shortestFixed(Number degrees, int maxDecimals) {
    char buffer[400];
    const auto shortest = std::to_chars(buffer, buffer + sizeof buffer, degrees, std::chars_format::fixed);
    std::string text(buffer, shortest.ec == std::errc() ? shortest.ptr : buffer);
    const std::size_t point = text.find('.');
    if (text.empty() || (point != std::string::npos && text.size() - point - 1 > std::size_t(maxDecimals))) {
        text = Core::format(maxDecimals > 9 ? "%.15f" : "%.9f", static_cast<double>(degrees));
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

} // namespace

std::string formatCoordinate(float degrees) {
    return shortestFixed(degrees, 9);
}

std::string formatCoordinate(double degrees) {
    return shortestFixed(degrees, 15);
}

std::string escapeText(std::u16string_view text) {
    std::u16string kept;
    kept.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            kept += c;
            kept += text[++i];
            continue;
        }
        const bool control = c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
        if (control || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) continue;
        kept += c;
    }
    std::string escaped;
    for (const char c : Core::xmlEscapeWide(kept)) {
        if (c == '\t')
            escaped += "&#9;";
        else if (c == '\n')
            escaped += "&#10;";
        else if (c == '\r')
            escaped += "&#13;";
        else
            escaped += c;
    }
    return escaped;
}

std::u16string safeFileStem(std::u16string_view name) {
    std::u16string stem;
    for (const char16_t c : name)
        stem += (c < 0x20 || c == u'/' || c == u'\\' || c == 0x7F) ? u'_' : c;
    const std::size_t first = stem.find_first_not_of(u". ");
    stem.erase(0, first == std::u16string::npos ? stem.size() : first);
    // 255 bytes for the name with ".gpx"; never split a surrogate pair.
    while (Core::wideToUtf8(stem).size() > 251) {
        stem.pop_back();
        if (!stem.empty() && stem.back() >= 0xD800 && stem.back() <= 0xDBFF) stem.pop_back();
    }
    return stem.empty() ? u"_" : stem;
}

namespace {

void line(std::string& out, int tabs, std::string_view text) {
    out.append(static_cast<std::size_t>(tabs), '\t');
    out += text;
    out += "\r\n";
}

void link(std::string& out, const std::u16string& href, const char* type) {
    line(out, 2, "<link href=\"" + escapeText(href) + "\">");
    line(out, 3, std::string("<type>") + type + "</type>");
    line(out, 2, "</link>");
}

// The float next to `start` (within 64 steps) that `matches`; `start` when
// none does.
template <class Matches> float nearestMatching(float start, Matches&& matches) {
    float down = start;
    float up = start;
    for (int step = 0; step < 64; ++step) {
        if (matches(down)) return down;
        if (matches(up)) return up;
        down = std::nextafter(down, -1000.0f);
        up = std::nextafter(up, 1000.0f);
    }
    return start;
}

} // namespace

WrittenPlace writtenPlace(const StoredWayPoint& p) {
    Map::GeoPoint geo;
    std::string latitude, longitude;
    const std::optional<StoredWayPoint::Degrees>& file = p.fileDegrees;
    if (file && Map::Projection::fromGeo(static_cast<float>(file->latitude),
                                         static_cast<float>(file->longitude)) == p.position) {
        // Where its file put it: written as the file had it, also beyond
        // the map's edge.
        geo = Map::GeoPoint{static_cast<float>(file->latitude), static_cast<float>(file->longitude)};
        latitude = formatCoordinate(file->latitude);
        longitude = formatCoordinate(file->longitude);
    } else {
        // The inverse projection quantises: fromGeo(toGeo(p)) may miss p by
        // a unit, and points would creep with every save. x depends only on
        // the longitude and y only on the latitude, so each is nudged to a
        // float that maps back exactly.
        geo = Map::Projection::toGeo(p.position);
        geo.latitude = nearestMatching(geo.latitude, [&](float lat) {
            return Map::Projection::fromGeo(lat, geo.longitude).y == p.position.y;
        });
        geo.longitude = nearestMatching(geo.longitude, [&](float lon) {
            return Map::Projection::fromGeo(geo.latitude, lon).x == p.position.x;
        });
        latitude = formatCoordinate(geo.latitude);
        longitude = formatCoordinate(geo.longitude);
    }
    return {geo, std::move(latitude), std::move(longitude)};
}

namespace {

void writePoint(std::string& out, const StoredWayPoint& p, WaypointStyles* styles) {
    const auto [geo, latitude, longitude] = writtenPlace(p);
    line(out, 1, "<wpt lat=\"" + latitude + "\" lon=\"" + longitude + "\">");
    if (!p.name.empty()) line(out, 2, "<name>" + escapeText(p.name) + "</name>");
    if (!p.comment.empty()) line(out, 2, "<desc>" + escapeText(p.comment) + "</desc>");
    if (!p.imageUrl.empty()) link(out, p.imageUrl, "image/bmp");
    if (!p.url.empty()) link(out, p.url, "text/html");
    const Render::PoiStyle* style = styles != nullptr ? styles->poiStyle(p.type) : nullptr;
    const std::u16string& symbol = style != nullptr && !style->name.empty() ? style->name : p.symbol;
    if (!symbol.empty()) line(out, 2, "<sym>" + escapeText(symbol) + "</sym>");
    line(out, 2, Core::format("<type>%04x</type>", int{p.type}));
    // A file icon is kept by its link; a POI-type icon chosen as the image
    // has no file name and is kept by its position in the icon list.
    const bool typeIcon = p.imageIndex >= 0 && p.imageUrl.empty();
    if (p.uses == 0 && p.id == 0 && p.radius == 0 && p.speed == 0.0f && !typeIcon) {
        line(out, 1, "</wpt>");
        return;
    }
    line(out, 2, "<extensions>");
    if (p.uses != 0) line(out, 3, Core::format("<mirel:uses>%u</mirel:uses>", p.uses));
    if (typeIcon) line(out, 3, Core::format("<mirel:icon>%d</mirel:icon>", p.imageIndex));
    if (p.id != 0) line(out, 3, Core::format("<mirel:id>%u</mirel:id>", p.id));
    if (p.radius != 0 || p.speed != 0.0f) {
        line(out, 3, "<mirel:proximity>");
        if (p.radius != 0) {
            const double metres =
                p.radius / static_cast<double>(Map::Projection::unitsPerMeterAtLatitude(geo.latitude));
            line(out, 4, Core::format("<mirel:radius>%f</mirel:radius>", metres));
        }
        if (p.speed != 0.0f) line(out, 4, Core::format("<mirel:speed>%f</mirel:speed>", p.speed * 3.6));
        if (p.sector != 0)
            line(out, 4, Core::format("<mirel:sector>%d</mirel:sector>", degreesOfSector(p.sector)));
        line(out, 3, "</mirel:proximity>");
    }
    line(out, 2, "</extensions>");
    line(out, 1, "</wpt>");
}

} // namespace

bool isOnGlobe(double latitude, double longitude) {
    // NaN fails both comparisons.
    return std::fabs(latitude) < 90.0 && std::fabs(longitude) <= 180.0;
}

std::string writeWaypoints(std::span<const StoredWayPoint* const> points, WaypointStyles* styles) {
    std::string out = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";
    line(out, 0, "<gpx");
    line(out, 1, "version=\"1.1\"");
    line(out, 1, "creator=\"Mirel " + std::string(Core::kProgramVersion) + "\"");
    line(out, 1, "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"");
    line(out, 1, "xmlns=\"http://www.topografix.com/GPX/1/1\"");
    line(out, 1, std::string("xmlns:mirel=\"") + ExtensionsNamespace + "\"");
    line(out, 1,
         "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
         "http://www.topografix.com/GPX/1/1/gpx.xsd\">");
    for (const StoredWayPoint* p : points)
        writePoint(out, *p, styles);
    out += "</gpx>";
    return out;
}

} // namespace Gpx

std::uint8_t sectorOfDegrees(std::int32_t degrees) {
    const std::int64_t steps = static_cast<std::int64_t>(std::floor(degrees * 0.6666667 + 0.5));
    return static_cast<std::uint8_t>(((steps % 240) + 240) % 240 + 1);
}

std::int32_t degreesOfSector(std::uint8_t sector) {
    return static_cast<std::int32_t>(std::floor((sector - 1) * 1.5 + 0.5)) % 360;
}
