#pragma once
// Attribute access for the design readers over rapidxml nodes.

#include "core/Parse.h"

#include <rapidxml/rapidxml.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace Ui::detail {

using XmlNode = rapidxml::xml_node<char>;

// A required element or attribute is absent; the message names it.
class DesignError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
        throw DesignError(std::string(name) + " in " + where);
    return c;
}

inline std::int32_t requiredInteger(const XmlNode* node, const char* name, const std::string& where) {
    const auto v = attribute(node, name);
    if (!v)
        throw DesignError(std::string(name) + " of " + where);
    return integer(*v);
}

inline std::string requiredText(const XmlNode* node, const char* name, const std::string& where) {
    const auto v = attribute(node, name);
    if (!v)
        throw DesignError(std::string(name) + " of " + where);
    return std::string(*v);
}

} // namespace Ui::detail
