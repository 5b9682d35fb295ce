#include "screens/PolylinesFile.h"

#include "core/AnsiFile.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/Text.h"
#include "core/XmlDepth.h"

#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace Screens {

namespace {

std::string_view attribute(const rapidxml::xml_node<char>* node, const char* name) {
    const rapidxml::xml_attribute<char>* a = node->first_attribute(name);
    return a ? std::string_view(a->value(), a->value_size()) : std::string_view();
}

// One "type" element; an id that is no type number adds nothing.
void readType(const rapidxml::xml_node<char>* type, std::vector<PolylineEntry>& entries) {
    const std::string_view id = attribute(type, "id");
    const std::optional<std::int32_t> number = parsePolylineId(id);
    if (!number) return;
    const std::string_view name = attribute(type, "name");
    entries.push_back({*number, Core::utf8ToWide(std::string(name.empty() ? id : name))});
}

} // namespace

std::optional<std::int32_t> parsePolylineId(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
        ++i;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    std::int32_t value = 0;
    std::size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0) break;
        value = value * 16 + digit;
        if (value >= 256) return std::nullopt;
    }
    if (digits == 0) return std::nullopt;
    return value;
}

void readPolylinesText(std::string text, std::vector<PolylineEntry>& entries) {
    // A nesting the recursive parser cannot take is a malformed file too.
    if (!Core::xmlDepthWithin(text, 64)) {
        Log::log(Log::Critical, u"Error: %s on parsing polylines designs file", u"too deeply nested");
        return;
    }
    rapidxml::xml_document<char> document;
    text.push_back('\0');
    try {
        document.parse<0>(text.data());
    } catch (const rapidxml::parse_error& error) {
        Log::log(Log::Critical, u"Error: %s on parsing polylines designs file",
                 Core::utf8ToWide(error.what()));
        return;
    }
    const rapidxml::xml_node<char>* root = document.first_node("polylines");
    if (!root) return;
    for (auto* group = root->first_node("group"); group; group = group->next_sibling("group"))
        for (auto* polyline = group->first_node("polyline"); polyline;
             polyline = polyline->next_sibling("polyline"))
            for (auto* type = polyline->first_node("type"); type; type = type->next_sibling("type"))
                readType(type, entries);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PolylineEntry& a, const PolylineEntry& b) { return a.type < b.type; });
}

void readPolylinesFile(const std::u16string& path, std::vector<PolylineEntry>& entries) {
    FileSystem::AnsiFile file(path, u"rb");
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open polylines designs file '%s' (err %d)", path, Log::Errno{errno});
        return;
    }
    std::uint32_t size = 0;
    std::unique_ptr<char[]> bytes = FileSystem::readFile(file, &size, path);
    if (!bytes) return;
    readPolylinesText(std::string(bytes.get(), size), entries);
}

} // namespace Screens
