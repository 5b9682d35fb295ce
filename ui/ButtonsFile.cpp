#include "ui/ButtonsFile.h"

#include "core/AnsiFile.h"
#include "core/AtomicFileForWrite.h"
#include "core/DataPath.h"
#include "core/FileSystem.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/XmlDepth.h"
#include "core/XmlEscape.h"
#include "ui/ButtonBindings.h"

#include <rapidxml/rapidxml.hpp>

#include <charconv>
#include <cstdint>
#include <memory>
#include <utility>

namespace Ui {

namespace {

// Far deeper than a buttons file ever is; bounds the parser's recursion.
constexpr int kMaxXmlDepth = 32;

constexpr const char* kFixedNames[] = {"up",  "down", "left", "right",  "kp2",
                                       "kp4", "kp6",  "kp8",  "lsuper", "enter"};

// A decimal key code; text that is not one gives 0.
std::int32_t keyCode(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t' ||
                                   text[start] == '\r' || text[start] == '\n'))
        ++start;
    if (start < text.size() && text[start] == '+')
        ++start;
    std::int32_t value = 0;
    const char* first = text.data() + start;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    (void)end;
    return error == std::errc() ? value : 0;
}

std::int32_t fixedValue(const ButtonBindings& b, std::string_view name) {
    if (name == "up")
        return b.up;
    if (name == "down")
        return b.down;
    if (name == "left")
        return b.left;
    if (name == "right")
        return b.right;
    if (name == "kp2")
        return b.kp2;
    if (name == "kp4")
        return b.kp4;
    if (name == "kp6")
        return b.kp6;
    if (name == "kp8")
        return b.kp8;
    if (name == "lsuper")
        return b.lsuper;
    return b.enter;
}

} // namespace

bool loadButtons(std::u16string_view dataFolder, ButtonBindings& bindings) {
    const std::u16string path = Core::dataPath(dataFolder, bindings.buttonsFile);
    FileSystem::AnsiFile file(path, u"rb");
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open buttons file '%s' (err %d)", path, Log::Errno{file.lastError()});
        return false;
    }
    std::uint32_t size = 0;
    const std::unique_ptr<char[]> bytes = FileSystem::readFile(file, &size, path);
    if (!bytes)
        return false;
    return loadButtonsText(std::string(bytes.get(), size), bindings);
}

bool loadButtonsText(std::string text, ButtonBindings& bindings) {
    if (!Core::xmlDepthWithin(text, kMaxXmlDepth)) {
        Log::log(Log::Critical, u"Invalid format of buttons file");
        return false;
    }
    text.push_back('\0');
    auto doc = std::make_unique<rapidxml::xml_document<char>>();
    try {
        doc->parse<0>(text.data());
    } catch (const rapidxml::parse_error&) {
        Log::log(Log::Critical, u"Invalid format of buttons file");
        return false;
    }
    const auto* root = doc->first_node("actions");
    if (root == nullptr) {
        Log::log(Log::Critical, u"Invalid format of buttons file");
        return false;
    }
    for (const auto* a = root->first_node("action"); a != nullptr; a = a->next_sibling("action")) {
        const auto* name = a->first_attribute("name");
        const auto* key = a->first_attribute("key");
        if (name == nullptr || key == nullptr)
            continue;
        // A "&#0;" ends the name: XML cannot carry the zero back into the
        // file, which would end there for the parser on the next load.
        const std::string_view text(name->value(), name->value_size());
        bindings.setKey(text.substr(0, text.find('\0')), keyCode(std::string_view(key->value(), key->value_size())),
                        0);
    }
    return true;
}

std::string buttonsText(const ButtonBindings& bindings) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<actions>\n";
    for (const char* name : kFixedNames)
        text += Core::format("  <action name=\"%s\" key=\"%d\"/>\n", name, fixedValue(bindings, name));
    for (const auto& [key, name] : bindings.actions())
        text += Core::format("  <action name=\"%s\" key=\"%d\"/>\n", Core::xmlEscape(name), key);
    text += "</actions>\n";
    return text;
}

bool writeButtons(std::u16string_view path, const ButtonBindings& bindings) {
    const std::string text = buttonsText(bindings);
    FileSystem::AtomicFileForWrite file{std::u16string(path)};
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't write buttons file '%s' (err %d)", path, file.lastError());
        return false;
    }
    if (file.write(text.data(), 1, text.size()) != text.size() || !file.commit()) {
        Log::log(Log::Critical, u"Can't write buttons file '%s' (err %d)", path, file.lastError());
        file.discard();
        return false;
    }
    return true;
}

} // namespace Ui
