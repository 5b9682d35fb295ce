#pragma once
// Reading one XML style file: open (stdio, errno in the message), read
// whole, bound the nesting, parse in place with rapidxml.

#include <rapidxml/rapidxml.hpp>

#include <memory>
#include <string>
#include <string_view>

namespace Render::detail {

// Deepest element nesting a style file may have; the parser recurses once
// per level.
inline constexpr int maxStyleXmlDepth = 64;

class StyleXml {
public:
    // openMessage has "%s" for the path and "%d" for errno; parseMessage "%s"
    // for the parser's error text. Both are logged at level Critical; a
    // failed read logs the whole-file reader's message.
    bool load(const std::u16string& path, std::u16string_view openMessage, std::u16string_view parseMessage);
    rapidxml::xml_document<char>& document() { return m_document; }

private:
    std::unique_ptr<char[]> m_buffer;
    rapidxml::xml_document<char> m_document;
};

// The attribute's zero-terminated value, or null when absent.
const char* attribute(const rapidxml::xml_node<char>* node, const char* name);
inline std::string_view attributeView(const rapidxml::xml_node<char>* node, const char* name) {
    const char* v = attribute(node, name);
    return v ? std::string_view(v) : std::string_view();
}

} // namespace Render::detail
