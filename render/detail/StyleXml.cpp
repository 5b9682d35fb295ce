#include "render/detail/StyleXml.h"

#include "core/AnsiFile.h"
#include "core/FileSystem.h"
#include "core/Log.h"

#include <cstring>

namespace Render::detail {

bool xmlDepthWithin(std::string_view text, int maxDepth) {
    int depth = 0;
    std::size_t i = 0;
    auto skipPast = [&](std::string_view end) {
        const std::size_t at = text.find(end, i);
        i = at == std::string_view::npos ? text.size() : at + end.size();
    };
    while (i < text.size()) {
        if (text[i] != '<') {
            ++i;
            continue;
        }
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("<!--")) {
            skipPast("-->");
        } else if (rest.starts_with("<![CDATA[")) {
            skipPast("]]>");
        } else if (rest.starts_with("<?") || rest.starts_with("<!")) {
            skipPast(">");
        } else if (rest.starts_with("</")) {
            --depth;
            skipPast(">");
        } else {
            if (++depth > maxDepth)
                return false;
            // The tag up to its unquoted '>'; "/>" closes it at once.
            char quote = 0;
            char previous = 0;
            for (++i; i < text.size(); ++i) {
                const char c = text[i];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    if (previous == '/')
                        --depth;
                    ++i;
                    break;
                }
                previous = c;
            }
        }
    }
    return true;
}

bool StyleXml::load(const std::u16string& path, std::u16string_view openMessage, std::u16string_view parseMessage) {
    FileSystem::AnsiFile file(path, u"rb");
    if (!file.isOpen()) {
        Log::log(Log::Critical, openMessage, path, file.lastError());
        return false;
    }
    std::uint32_t size = 0;
    m_buffer = FileSystem::readFile(file, &size);
    if (!m_buffer)
        return false;
    if (!xmlDepthWithin(std::string_view(m_buffer.get(), size), maxStyleXmlDepth)) {
        Log::log(Log::Critical, parseMessage, "elements nested too deeply");
        return false;
    }
    try {
        m_document.parse<rapidxml::parse_default>(m_buffer.get());
    } catch (const rapidxml::parse_error& e) {
        Log::log(Log::Critical, parseMessage, e.what());
        return false;
    }
    return true;
}

const char* attribute(const rapidxml::xml_node<char>* node, const char* name) {
    const rapidxml::xml_attribute<char>* a = node->first_attribute(name);
    return a ? a->value() : nullptr;
}

} // namespace Render::detail

