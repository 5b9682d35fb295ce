#include "render/detail/StyleXml.h"

#include "core/AnsiFile.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/XmlDepth.h"

namespace Render::detail {

bool StyleXml::load(const std::u16string& path, std::u16string_view openMessage, std::u16string_view parseMessage) {
    FileSystem::AnsiFile file(path, u"rb");
    if (!file.isOpen()) {
        Log::log(Log::Critical, openMessage, path, Log::Errno{file.lastError()});
        return false;
    }
    std::uint32_t size = 0;
    m_buffer = FileSystem::readFile(file, &size, path);
    if (!m_buffer)
        return false;
    if (!Core::xmlDepthWithin(std::string_view(m_buffer.get(), size), maxStyleXmlDepth)) {
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

