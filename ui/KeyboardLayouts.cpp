#include "ui/KeyboardLayouts.h"

#include "core/Log.h"
#include "core/Text.h"
#include "ui/detail/XmlAttributes.h"

#include <SDL/SDL_timer.h>

#include <algorithm>
#include <set>

namespace Ui {

namespace {

class InvalidLayouts {};

bool isSpecial(std::u16string_view caption) {
    return caption == u"[bsp]" || caption == u"[cas]" || caption == u"[lng]" || caption == u"[spc]";
}

std::string_view need(const detail::XmlNode* node, const char* name) {
    const auto v = detail::attribute(node, name);
    if (!v)
        throw InvalidLayouts{};
    return *v;
}

} // namespace

std::optional<std::vector<std::u16string>> parseLayoutRow(std::u16string_view row, std::int32_t columns,
                                                          bool& flagged) {
    std::vector<std::u16string> captions;
    std::u16string caption;
    bool open = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char16_t c = row[i];
        if (c == u'\\') {
            if (i + 1 >= row.size() || (row[i + 1] != u'\\' && row[i + 1] != u'|'))
                return std::nullopt;
            caption += row[++i];
            open = true;
        } else if (c == u'|') {
            if (caption.size() > 1 && !isSpecial(caption))
                flagged = true;
            captions.push_back(std::move(caption));
            caption.clear();
            open = false;
        } else {
            caption += c;
            open = true;
        }
    }
    // More keys than the grid has cells would index past the key records.
    if (open || std::int64_t(captions.size()) > columns)
        return std::nullopt;
    return captions;
}

void KeyboardLayouts::clear() {
    m_groups.clear();
    m_languages.clear();
}

bool KeyboardLayouts::loadText(std::string text, const TemplateExists& templateExists) {
    const std::uint32_t started = SDL_GetTicks();
    Log::log(Log::Info, "Loading keyboard layouts...");
    clear();
    auto doc = std::make_unique<rapidxml::xml_document<char>>();
    std::string error;
    switch (detail::parseXml(text, 16, *doc, error)) {
    case detail::XmlParse::TooDeep:
        Log::log(Log::Critical, "Invalid format of layout file");
        return false;
    case detail::XmlParse::Malformed:
        Log::log(Log::Critical, "Error: %s on parsing layout file", error);
        return false;
    case detail::XmlParse::Ok:
        break;
    }
    try {
        const detail::XmlNode* root = doc->first_node("kb_layouts");
        if (!root)
            throw InvalidLayouts{};
        std::map<std::int32_t, std::string> groupOfConfig;
        for (const auto* g = root->first_node("group"); g; g = g->next_sibling("group")) {
            const std::string name(need(g, "name"));
            KeyboardGrid grid;
            bool usable = false;
            for (const auto* c = g->first_node("config"); c; c = c->next_sibling("config")) {
                const std::int32_t id = detail::integer(need(c, "id"));
                const std::string configName(need(c, "name"));
                const std::int32_t columns = detail::integer(need(c, "cols"));
                const std::int32_t rows = detail::integer(need(c, "rows"));
                if (groupOfConfig.count(id) || columns <= 0 || rows <= 0 || columns > 64 || rows > 16)
                    throw InvalidLayouts{};
                groupOfConfig[id] = name;
                if (!usable && templateExists && templateExists("kb_" + configName)) {
                    usable = true;
                    grid.templateName = "kb_" + configName;
                    grid.columns = columns;
                    grid.rows = rows;
                }
            }
            if (!usable)
                throw InvalidLayouts{};
            m_groups[name] = std::move(grid);
        }
        for (const auto* l = root->first_node("language"); l; l = l->next_sibling("language")) {
            const auto language = static_cast<std::int32_t>(m_languages.size());
            m_languages.push_back({std::string(need(l, "name")), std::string(need(l, "short_name"))});
            for (const auto* layout = l->first_node("layout"); layout; layout = layout->next_sibling("layout")) {
                const std::int32_t id = detail::integer(need(layout, "id"));
                const std::int32_t letterCase = detail::integer(need(layout, "case"));
                const auto owner = groupOfConfig.find(id);
                if (owner == groupOfConfig.end() || letterCase < 0 || letterCase > 2)
                    throw InvalidLayouts{};
                KeyboardGrid& grid = m_groups[owner->second];
                KeyboardLayout record{language, letterCase, {}};
                for (const auto* r = layout->first_node("row"); r; r = r->next_sibling("row")) {
                    const std::u16string row = Core::utf8ToWide(need(r, "buttons"));
                    if (!parseLayoutRow(row, grid.columns, grid.flagged))
                        throw InvalidLayouts{};
                    record.rows.push_back(row);
                }
                if (std::int32_t(record.rows.size()) != grid.rows)
                    throw InvalidLayouts{};
                grid.layouts.push_back(std::move(record));
            }
        }
        // Every language of a group: one caseless layout, or a lower and an
        // upper one.
        for (const auto& [name, grid] : m_groups) {
            std::map<std::int32_t, std::set<std::int32_t>> cases;
            for (const KeyboardLayout& l : grid.layouts)
                if (!cases[l.language].insert(l.letterCase).second)
                    throw InvalidLayouts{};
            for (const auto& [language, set] : cases)
                if (set != std::set<std::int32_t>{2} && set != std::set<std::int32_t>{0, 1})
                    throw InvalidLayouts{};
        }
    } catch (const InvalidLayouts&) {
        clear();
        Log::log(Log::Critical, "Invalid format of layout file");
        return false;
    }
    Log::log(Log::Normal, "%d keyboard layouts loaded in %u ms", static_cast<int>(m_groups.size()),
             SDL_GetTicks() - started);
    return true;
}

std::vector<std::string> KeyboardLayouts::layoutNames(bool includeFlagged) const {
    std::vector<std::string> names;
    for (const auto& [name, grid] : m_groups)
        if (includeFlagged || !grid.flagged)
            names.push_back(name);
    return names;
}

std::int32_t KeyboardLayouts::languageIndex(std::string_view name) const {
    for (std::size_t i = 0; i < m_languages.size(); ++i)
        if (m_languages[i].name == name)
            return static_cast<std::int32_t>(i);
    return -1;
}

const KeyboardGrid* KeyboardLayouts::group(const std::string& name) const {
    const auto it = m_groups.find(name);
    return it == m_groups.end() ? nullptr : &it->second;
}

} // namespace Ui
