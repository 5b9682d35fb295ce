#pragma once
// Attribute access for the design readers over rapidxml nodes.

#include "core/Parse.h"
#include "core/XmlDepth.h"

#include <rapidxml/rapidxml.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace Ui::detail {

using XmlNode = rapidxml::xml_node<char>;

// A required element or attribute is absent, or a value is out of its
// range; the message says which.
class DesignError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The largest coordinate or extent the interface's 16-bit rectangles hold.
inline constexpr std::int32_t MaxPixels = 32767;
// The largest font size in pixels: the glyph cache renders whole glyphs.
inline constexpr std::int32_t MaxFontPixels = 1024;

enum class XmlParse { Ok, TooDeep, Malformed };

// Parses the text in place (a zero byte is appended; the document points
// into the text, which must outlive it). The parser's complaint goes to
// error.
inline XmlParse parseXml(std::string& text, int maxDepth, rapidxml::xml_document<char>& doc, std::string& error) {
    if (!Core::xmlDepthWithin(text, maxDepth))
        return XmlParse::TooDeep;
    text.push_back('\0');
    try {
        doc.parse<0>(text.data());
    } catch (const rapidxml::parse_error& e) {
        error = e.what();
        return XmlParse::Malformed;
    }
    return XmlParse::Ok;
}

inline std::optional<std::string_view> attribute(const XmlNode* node, const char* name) {
    if (!node)
        return std::nullopt;
    const auto* a = node->first_attribute(name);
    if (!a)
        return std::nullopt;
    return std::string_view(a->value(), a->value_size());
}

inline std::string text(const XmlNode* node, const char* name) {
    const auto v = attribute(node, name);
    return v ? std::string(*v) : std::string();
}

// Decimal with an optional sign; an empty or unreadable value gives 0.
inline std::int32_t integer(std::string_view value) {
    std::int32_t v = 0;
    Core::parseInt(value, v);
    return v;
}

inline std::int32_t integer(const XmlNode* node, const char* name, std::int32_t absent = 0) {
    const auto v = attribute(node, name);
    return v ? integer(*v) : absent;
}

inline const XmlNode* child(const XmlNode* node, const char* name) { return node ? node->first_node(name) : nullptr; }

inline const XmlNode* requiredChild(const XmlNode* node, const char* name, const std::string& where) {
    const XmlNode* c = child(node, name);
    if (!c)
        throw DesignError("missing " + std::string(name) + " in " + where);
    return c;
}

inline std::int32_t requiredInteger(const XmlNode* node, const char* name, const std::string& where) {
    const auto v = attribute(node, name);
    if (!v)
        throw DesignError("missing " + std::string(name) + " of " + where);
    return integer(*v);
}

inline std::string requiredText(const XmlNode* node, const char* name, const std::string& where) {
    const auto v = attribute(node, name);
    if (!v)
        throw DesignError("missing " + std::string(name) + " of " + where);
    return std::string(*v);
}

// A value in pixels, doubled for a big design: it must lie in low ... high
// once doubled, or the design is refused (a doubled value out of range
// would overflow, and a 16-bit rectangle would wrap it).
inline std::int32_t scaledPixels(std::int32_t value, bool big, std::int32_t low, std::int32_t high,
                                 const char* name, const std::string& where) {
    const std::int32_t k = big ? 2 : 1;
    if (value < low / k || value > high / k)
        throw DesignError(std::string(name) + " of " + where + " out of range: " + std::to_string(value));
    return value * k;
}

// A required coordinate (x, y) or extent (w, h) in pixels.
inline std::int32_t requiredCoordinate(const XmlNode* node, const char* name, bool big, const std::string& where) {
    return scaledPixels(requiredInteger(node, name, where), big, -MaxPixels, MaxPixels, name, where);
}
inline std::int32_t requiredExtent(const XmlNode* node, const char* name, bool big, const std::string& where) {
    return scaledPixels(requiredInteger(node, name, where), big, 0, MaxPixels, name, where);
}

} // namespace Ui::detail
