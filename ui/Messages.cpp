#include "ui/Messages.h"

#include "core/FileSystem.h"
#include "core/Text.h"
#include "core/XmlDepth.h"

#include <rapidxml/rapidxml.hpp>

#include <memory>
#include <stdexcept>

namespace {
// Much deeper than messages.xml ever is; bounds the parser's recursion.
constexpr int kMaxXmlDepth = 64;
} // namespace

void Messages::load(FileSystem::FileRW& file, std::u16string_view path) {
    std::uint32_t size = 0;
    const std::unique_ptr<char[]> bytes =
        path.empty() ? FileSystem::readFile(file, &size) : FileSystem::readFile(file, &size, path);
    if (!bytes)
        throw std::runtime_error("Can't read messages file");
    loadText(std::string(bytes.get(), size));
}

void Messages::loadText(std::string text) {
    if (!Core::xmlDepthWithin(text, kMaxXmlDepth))
        throw std::runtime_error("Messages file is nested too deeply");
    text.push_back('\0');
    auto doc = std::make_unique<rapidxml::xml_document<char>>();
    try {
        doc->parse<0>(text.data());
    } catch (const rapidxml::parse_error& e) {
        throw std::runtime_error(std::string("Can't parse messages file: ") + e.what());
    }
    const auto* root = doc->first_node("messages");
    if (root == nullptr)
        return;
    for (const auto* m = root->first_node("message"); m != nullptr; m = m->next_sibling("message")) {
        const auto* name = m->first_attribute("name");
        const auto* value = m->first_attribute("text");
        if (name == nullptr || value == nullptr)
            continue;
        m_texts.emplace(std::string(name->value(), name->value_size()),
                        Core::utf8ToWide(std::string_view(value->value(), value->value_size())));
    }
}

const std::u16string& Messages::text(std::string_view name) const {
    static const std::u16string empty;
    const auto it = m_texts.find(name);
    return it == m_texts.end() ? empty : it->second;
}
