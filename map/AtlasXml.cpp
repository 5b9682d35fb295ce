#include "map/AtlasXml.h"

#include "core/AtomicFileForWrite.h"
#include "core/DateTime.h"
#include "core/FileFinder.h"
#include "core/FileSystem.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Text.h"
#include "core/WinFile.h"
#include "core/XmlDepth.h"
#include "core/XmlEscape.h"
#include "platform/Error.h"

#include <rapidxml/rapidxml.hpp>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

namespace Map {

namespace {

constexpr const char* TypeNames[7] = {"city", "region", "country", "world", "pois", "polylines", "invisible"};

// The parser recurses once per level: a hand-edited file nested deeper
// would overflow the stack at every start. The list itself is two deep.
constexpr int MaxDepth = 64;

// The map type of a file's header, or nothing (with the reason) when the
// file cannot give its first 48 bytes or the type is unknown.
std::optional<std::uint32_t> mapTypeOf(const std::u16string& path, std::string& reason) {
    FileSystem::WinFileForRead file(path);
    std::uint8_t header[48];
    if (!file.isOpen()) {
        const std::string error = Platform::errorText(file.lastError());
        reason = error.empty() ? Core::format("Can't open file (err %d)", file.lastError())
                               : "Can't open file: " + error;
        return std::nullopt;
    }
    if (file.read(header, sizeof header, 1) != 1) {
        reason = "File is too small";
        return std::nullopt;
    }
    if (header[44] > 6) {
        reason = Core::format("Invalid map type %d", static_cast<int>(header[44]));
        return std::nullopt;
    }
    return header[44];
}

std::u16string wide(const char* text) {
    return Core::utf8ToWide(text ? text : "");
}

} // namespace

const char* AtlasXml::typeName(std::uint32_t type) {
    return type < 7 ? TypeNames[type] : TypeNames[0];
}

bool AtlasXml::isPlainFileName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..") return false;
    for (const char16_t c : name)
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == u'/' || c == u'\\') return false;
    return true;
}

std::string AtlasXml::build(const std::u16string& folder) { return build(folder, folder); }

std::string AtlasXml::build(const std::u16string& folder, const std::u16string& dir,
                            std::vector<LeftOut>* leftOut) {
    std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";
    text +=
        "<!-- Maps of the atlas folder; time: last write of the file in seconds since 1970-01-01 UTC -->\r\n";
    text += Core::format("<atlas name=\"default\" dir=\"%s\">\r\n", Core::xmlEscapeWide(dir));
    std::unique_ptr<FileSystem::FileFinder> finder = FileSystem::FileFinder::create(folder, u"*.kvm");
    for (bool more = !finder->atEnd(); more; more = finder->next()) {
        std::string reason = "Not a file";
        const std::optional<std::uint32_t> type =
            finder->isDirectory() ? std::nullopt : mapTypeOf(finder->path(), reason);
        if (!type) {
            if (leftOut) leftOut->push_back({finder->path(), reason});
            continue;
        }
        const std::u16string src = finder->name();
        const std::u16string name = src.size() >= 4 ? src.substr(0, src.size() - 4) : std::u16string();
        const auto time = static_cast<std::uint32_t>(Positioning::toUnixTime(finder->modificationTime()));
        text += Core::format("\t<map name=\"%s\" src=\"%s\" type=\"%s\" time=\"%u\" />\r\n",
                             Core::xmlEscapeWide(name), Core::xmlEscapeWide(src), TypeNames[*type], time);
    }
    text += "</atlas>\r\n";
    return text;
}

std::string AtlasXml::withGone(std::string text, const std::vector<std::u16string>& gone) {
    const std::size_t end = text.rfind("</atlas>");
    if (end == std::string::npos) return text;
    std::string lines;
    for (const std::u16string& src : gone)
        lines += Core::format("\t<gone src=\"%s\" />\r\n", Core::xmlEscapeWide(src));
    return text.insert(end, lines);
}

bool AtlasXml::write(const std::u16string& path, const std::u16string& folder) {
    return writeText(path, build(folder));
}

bool AtlasXml::writeText(const std::u16string& path, const std::string& text) {
    FileSystem::AtomicFileForWrite file(path);
    if (file.isOpen() && file.write(text.data(), text.size(), 1) == 1 && file.commit()) return true;
    const int error = file.lastError();
    file.discard();
    Log::log(Log::Critical, u"Can't create atlas file '%s' (err %d)", path, error);
    return false;
}

bool AtlasXml::read(const std::u16string& path, std::vector<Map>& maps, std::u16string* dir,
                    std::vector<std::u16string>* gone) {
    FileSystem::WinFileForRead file(path);
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open atlas file '%s' (err %d)", path, file.lastError());
        return false;
    }
    std::uint32_t size = 0;
    std::unique_ptr<char[]> text = FileSystem::readFile(file, &size, path);
    if (!text) {
        Log::log(Log::Critical, u"Atlas fatal error : failed reading '%s'", path);
        return false;
    }
    return parse(std::string(text.get(), size), path, maps, dir, gone);
}

bool AtlasXml::parse(std::string text, const std::u16string& path, std::vector<Map>& maps,
                     std::u16string* dir, std::vector<std::u16string>* gone) {
    if (!Core::xmlDepthWithin(text, MaxDepth)) {
        Log::log(Log::Critical, u"Atlas file '%s' is nested too deeply", path);
        return false;
    }
    rapidxml::xml_document<char> document;
    try {
        document.parse<0>(text.data());
    } catch (const rapidxml::parse_error& error) {
        Log::log(Log::Critical, u"Error: %hs on parsing atlas file", error.what());
        return false;
    }
    rapidxml::xml_node<char>* atlas = document.first_node("atlas");
    if (!atlas) {
        Log::log(Log::Critical, u"Atlas fatal error: bad '%s' - atlas entry not found", path);
        return false;
    }
    if (!atlas->first_attribute("dir")) {
        Log::log(Log::Critical, u"Atlas fatal error: maps dir not specified");
        return false;
    }
    if (dir)
        *dir = wide(atlas->first_attribute("dir")->value());
    for (rapidxml::xml_node<char>* node = atlas->first_node("map"); node; node = node->next_sibling("map")) {
        Map entry;
        const auto* name = node->first_attribute("name");
        entry.name = name ? wide(name->value()) : u"noname";
        if (const auto* src = node->first_attribute("src")) entry.src = wide(src->value());
        if (const auto* type = node->first_attribute("type")) {
            entry.typeValid = false;
            for (std::uint32_t t = 0; t < 7; ++t) {
                if (std::strcmp(type->value(), TypeNames[t]) == 0) {
                    entry.type = t;
                    entry.typeValid = true;
                }
            }
        }
        if (const auto* time = node->first_attribute("time")) {
            const char* begin = time->value();
            std::uint32_t value = 0;
            const auto result = std::from_chars(begin, begin + time->value_size(), value);
            entry.time = result.ec == std::errc() ? value : 0;
        }
        maps.push_back(std::move(entry));
    }
    if (gone) {
        const std::size_t first = gone->size();
        unsigned notPlain = 0;
        unsigned beyond = 0;
        for (rapidxml::xml_node<char>* node = atlas->first_node("gone"); node;
             node = node->next_sibling("gone")) {
            const auto* src = node->first_attribute("src");
            if (!src) continue;
            std::u16string name = wide(src->value());
            if (!isPlainFileName(name)) {
                ++notPlain;
            } else if (std::find(gone->begin() + first, gone->end(), name) != gone->end()) {
                continue;
            } else if (gone->size() - first == MaxGone) {
                ++beyond;
            } else {
                gone->push_back(std::move(name));
            }
        }
        if (notPlain)
            Log::log(Log::Critical, u"Atlas file '%s': %u gone entries are no file name of the atlas folder - ignored",
                     path, notPlain);
        if (beyond)
            Log::log(Log::Critical, u"Atlas file '%s': %u gone entries beyond the first %u - ignored", path, beyond,
                     static_cast<unsigned>(MaxGone));
    }
    return true;
}

} // namespace Map
