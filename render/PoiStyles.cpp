// The POI style file, the POI style lookup and the POI show/warn table.
#include "render/RenderStyles.h"

#include "core/ConfigNode.h"
#include "core/Log.h"
#include "core/Text.h"
#include "render/ImageList.h"
#include "render/StyleSyntax.h"
#include "render/detail/StyleXml.h"

#include <string_view>

namespace Render {

using detail::attribute;
using Node = rapidxml::xml_node<char>;

namespace {

// A u16 id (group or POI type), or false.
bool poiId(const Node* node, std::uint16_t& id) {
    const char* text = attribute(node, "id");
    std::uint32_t value = 0;
    if (!text || !parseHexId(text, value) || value > 0xFFFF)
        return false;
    id = std::uint16_t(value);
    return true;
}

// A decimal value for both sides, or "day;night" where an empty side is
// left as it is.
void parseDayNightDecimal(std::string_view text, std::int32_t& day, std::int32_t& night) {
    const std::size_t split = text.find(';');
    if (split == std::string_view::npos) {
        day = night = parseDecimal(text);
        return;
    }
    const std::string_view d = text.substr(0, split), n = text.substr(split + 1);
    if (!d.empty())
        day = parseDecimal(d);
    if (!n.empty())
        night = parseDecimal(n);
}

std::int32_t placementValue(std::int32_t v) { return v >= 0 && v <= 9 ? v : 0; }

void appendType(std::vector<std::uint8_t>& list, std::uint16_t type) {
    list.push_back(std::uint8_t(type & 0xFF));
    list.push_back(std::uint8_t(type >> 8));
}

template <class Visit> void forEachType(const std::vector<std::uint8_t>& list, Visit visit) {
    for (std::size_t i = 0; i + 1 < list.size(); i += 2)
        visit(std::uint16_t(list[i] | (list[i + 1] << 8)));
}

constexpr std::array<DefaultPoiTypeFlags, 44> defaultFlags = {{
    {0x0000, 0, 0}, {0x0100, 1, 0}, {0x0200, 1, 0}, {0x0300, 1, 0}, {0x0400, 1, 0}, {0x0500, 1, 0},
    {0x006A, 1, 0}, {0x006B, 1, 0}, {0x0080, 1, 0}, {0x2C00, 1, 0}, {0x2C01, 1, 0}, {0x2C02, 1, 0},
    {0x2C0B, 1, 0}, {0x2D0B, 1, 0}, {0x2F01, 1, 0}, {0x2F03, 1, 0}, {0x2F0B, 1, 0}, {0x2F0E, 1, 0},
    {0x4400, 1, 0}, {0x5901, 1, 0}, {0x5902, 1, 0}, {0x5903, 1, 0}, {0x5904, 1, 0}, {0x5905, 1, 0},
    {0x6403, 1, 0}, {0x650C, 1, 0}, {0x650D, 1, 0}, {0xF001, 1, 0}, {0xF002, 1, 0}, {0xF003, 1, 0},
    {0xF004, 1, 0}, {0xF005, 1, 0}, {0xF006, 1, 0}, {0xF007, 1, 0}, {0xF008, 1, 0}, {0xF00A, 1, 0},
    {0xF00B, 1, 0}, {0xF101, 1, 0}, {0xF106, 1, 0}, {0x2800, 1, 0}, {0x1400, 1, 0}, {0x1500, 1, 0},
    {0x1E00, 1, 0}, {0x1F00, 1, 0},
}};

} // namespace

bool RenderStyles::loadPoiStyles(ImageLoader* images, const std::u16string& path) {
    auto xml = std::make_unique<detail::StyleXml>();
    if (!xml->load(path, u"Can't open poi styles file '%s' (err %d)", u"Error: %s on parsing poi styles file"))
        return false;
    // The maps change: cached answers would point into them.
    clearPoiCache();
    const Node* root = xml->document().first_node("pois");
    if (!root)
        return false;
    for (const Node* group = root->first_node("group"); group; group = group->next_sibling("group")) {
        std::uint16_t groupId = 0;
        const char* groupName = attribute(group, "name");
        if (!poiId(group, groupId) || !groupName)
            continue;
        m_poiGroupNames.emplace(groupId, Core::utf8ToWide(groupName));
        const char* groupSoundText = attribute(group, "sound_id");
        if (!groupSoundText)
            continue;
        const std::int32_t groupSound = parseDecimal(groupSoundText);
        std::uint32_t foreDay = 0, foreNight = 0, haloDay = 0xFFFFFF, haloNight = 0xFFFFFF;
        if (const char* t = attribute(group, "text_fore_color"); t && !parseDayNightColor(t, foreDay, foreNight))
            continue;
        if (const char* t = attribute(group, "text_halo_color"); t && !parseDayNightColor(t, haloDay, haloNight))
            continue;

        for (const Node* poi = group->first_node("poi"); poi; poi = poi->next_sibling("poi")) {
            PoiStyle day, night;
            day.groupId = night.groupId = groupId;
            const char* src = attribute(poi, "src");
            if (!src || !images)
                continue;
            const std::string_view srcText(src);
            const std::size_t split = srcText.find(';');
            if (split == std::string_view::npos) {
                day.icon = night.icon = images->loadImage(std::string(srcText));
            } else {
                if (split > 0)
                    day.icon = images->loadImage(std::string(srcText.substr(0, split)));
                if (split + 1 < srcText.size())
                    night.icon = images->loadImage(std::string(srcText.substr(split + 1)));
            }
            if (!day.icon || !night.icon)
                continue;
            if (const char* t = attribute(poi, "placement")) {
                parseDayNightDecimal(t, day.placement, night.placement);
                day.placement = placementValue(day.placement);
                night.placement = placementValue(night.placement);
            }
            const char* name = attribute(poi, "name");
            if (!name)
                continue;
            day.name = night.name = Core::utf8ToWide(name);
            if (const char* t = attribute(poi, "min_scale"))
                day.minScale = night.minScale = parseDecimal(t);
            if (const char* t = attribute(poi, "max_scale"))
                day.maxScale = night.maxScale = parseDecimal(t);
            day.soundId = night.soundId = groupSound;
            if (const char* t = attribute(poi, "sound_id"))
                parseDayNightDecimal(t, day.soundId, night.soundId);
            day.textForeColor = foreDay;
            night.textForeColor = foreNight;
            day.textHaloColor = haloDay;
            night.textHaloColor = haloNight;
            if (const char* t = attribute(poi, "text_fore_color");
                t && !parseDayNightColor(t, day.textForeColor, night.textForeColor))
                continue;
            if (const char* t = attribute(poi, "text_halo_color");
                t && !parseDayNightColor(t, day.textHaloColor, night.textHaloColor))
                continue;
            if (const char* t = attribute(poi, "min_capts_scale"))
                day.minCaptionScale = night.minCaptionScale = parseDecimal(t);
            if (const char* t = attribute(poi, "max_capts_scale"))
                day.maxCaptionScale = night.maxCaptionScale = parseDecimal(t);

            for (const Node* type = poi->first_node("type"); type; type = type->next_sibling("type")) {
                std::uint16_t id = 0;
                if (!poiId(type, id))
                    continue;
                const char* typeName = attribute(type, "name");
                day.name = night.name = Core::utf8ToWide(typeName ? typeName : name);
                // A type's sound stays in force for the types after it.
                if (const char* t = attribute(type, "sound_id"))
                    parseDayNightDecimal(t, day.soundId, night.soundId);
                m_day.poiStyles[id] = day;
                m_day.poiIcons.push_back(day.icon);
                m_night.poiStyles[id] = night;
                m_night.poiIcons.push_back(night.icon);
            }
        }
    }
    return true;
}

const PoiStyle* RenderStyles::poiStyle(std::uint16_t type) {
    if (m_cacheValid && type == m_cachedType)
        return m_cachedStyle;
    if (!m_active || m_active->poiStyles.empty())
        return nullptr;
    const auto& styles = m_active->poiStyles;
    const PoiStyle* result = nullptr;
    if (auto it = styles.find(type); it != styles.end()) {
        result = &it->second;
    } else {
        if (Log::enabledFor(Log::Normal) && m_reportedTypes.insert(type).second)
            Log::log(Log::Normal, u"Unknown POI type: %02X", type);
        if (auto zero = styles.find(0); zero != styles.end())
            result = &zero->second;
    }
    m_cacheValid = true;
    m_cachedType = type;
    m_cachedStyle = result;
    return result;
}

bool RenderStyles::isPoiTypeShown(std::uint16_t type) const {
    const auto it = m_poiTypeFlags.find(type);
    return it != m_poiTypeFlags.end() && it->second.show;
}

bool RenderStyles::isPoiShownOnMap(std::uint16_t type) const {
    const bool styled = m_active != nullptr && m_active->poiStyles.count(type) != 0;
    return isPoiTypeShown(styled ? type : 0);
}

bool RenderStyles::isPoiTypeWarned(std::uint16_t type) const {
    const auto it = m_poiTypeFlags.find(type);
    return it != m_poiTypeFlags.end() && it->second.warn;
}

void RenderStyles::setPoiTypeFlags(std::uint16_t type, bool show, bool warn) {
    if (!show && !warn)
        m_poiTypeFlags.erase(type);
    else
        m_poiTypeFlags[type] = PoiTypeFlags{std::uint8_t(show), std::uint8_t(warn)};
}

const std::array<DefaultPoiTypeFlags, 44>& RenderStyles::defaultPoiTypeFlags() { return defaultFlags; }

void RenderStyles::resetPoiTypeFlags() {
    m_poiTypeFlags.clear();
    // At start-up the table is set before the engine selects a set; the
    // styled types are then those of the day set.
    const StyleSet& set = m_active ? *m_active : m_day;
    for (const auto& [type, style] : set.poiStyles)
        if (type >= 1 && type <= 0xFFFE)
            m_poiTypeFlags[type] = PoiTypeFlags{1, 0};
    for (const DefaultPoiTypeFlags& d : defaultFlags)
        setPoiTypeFlags(d.type, d.show != 0, d.warn != 0);
}

void RenderStyles::applyPoiTypeFlags(const std::vector<std::uint8_t>& showList,
                                     const std::vector<std::uint8_t>& warnList) {
    m_poiTypeFlags.clear();
    forEachType(showList, [&](std::uint16_t type) { m_poiTypeFlags[type] = PoiTypeFlags{1, 0}; });
    forEachType(warnList, [&](std::uint16_t type) { setPoiTypeFlags(type, isPoiTypeShown(type), true); });
}

void RenderStyles::collectPoiTypeFlags(std::vector<std::uint8_t>& showList,
                                       std::vector<std::uint8_t>& warnList) const {
    showList.clear();
    warnList.clear();
    for (const auto& [type, flags] : m_poiTypeFlags) {
        if (flags.show)
            appendType(showList, type);
        if (flags.warn)
            appendType(warnList, type);
    }
}

void RenderStyles::loadPoiTypeFlags(const Core::ConfigNode& settings) {
    std::vector<std::uint8_t> show, warn;
    const bool haveShow = settings.get("show_pt", show);
    const bool haveWarn = settings.get("warn_pt", warn);
    // A single byte holds no type: the blob was cut short by hand, and
    // applying it would hide every POI.
    if (haveShow && haveWarn && show.size() != 1 && warn.size() != 1)
        applyPoiTypeFlags(show, warn);
    else
        resetPoiTypeFlags();
}

void RenderStyles::savePoiTypeFlags(Core::ConfigNode& settings) const {
    std::vector<std::uint8_t> show, warn;
    collectPoiTypeFlags(show, warn);
    settings.set("show_pt", show);
    settings.set("warn_pt", warn);
}

} // namespace Render
