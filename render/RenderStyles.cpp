#include "render/RenderStyles.h"

#include "core/DataPath.h"
#include "core/Log.h"
#include "core/Text.h"
#include "render/StyleSyntax.h"
#include "render/detail/StyleXml.h"

#include <cstring>

namespace Render {

using detail::attribute;
using Node = rapidxml::xml_node<char>;

RenderStyles::RenderStyles() = default;
RenderStyles::~RenderStyles() = default;

bool RenderStyles::load(const StyleContext& context, const std::u16string& path) {
    std::u16string polygons, polylines, pois;
    {
        auto xml = std::make_unique<detail::StyleXml>();
        if (!xml->load(path, u"Can't open render styles file '%s' (err %d)",
                       u"Error: %s on parsing render styles file"))
            return false;
        const Node* styles = xml->document().first_node("styles");
        if (!styles)
            return false;
        const Node* polygonsNode = styles->first_node("polygons");
        const Node* polylinesNode = styles->first_node("polylines");
        const Node* poisNode = styles->first_node("pois");
        const Node* misc = styles->first_node("misc");
        const char* polygonsSrc = polygonsNode ? attribute(polygonsNode, "src") : nullptr;
        const char* polylinesSrc = polylinesNode ? attribute(polylinesNode, "src") : nullptr;
        const char* poisSrc = poisNode ? attribute(poisNode, "src") : nullptr;
        const Node* day = misc ? misc->first_node("day") : nullptr;
        const Node* night = misc ? misc->first_node("night") : nullptr;
        if (!polygonsSrc || !polylinesSrc || !poisSrc || !day || !night) {
            Log::log(Log::Critical, u"Invalid render styles file format");
            return false;
        }
        if (!readMiscItems(day, m_day) || !readMiscItems(night, m_night))
            return false;
        polygons = Core::dataPath(context.dataFolder, Core::utf8ToWide(polygonsSrc));
        polylines = Core::dataPath(context.dataFolder, Core::utf8ToWide(polylinesSrc));
        pois = Core::dataPath(context.dataFolder, Core::utf8ToWide(poisSrc));
    }
    return loadPolygonStyles(polygons, context) && loadPolylineStyles(polylines) &&
           loadPoiStyles(context.images, pois);
}

bool RenderStyles::readMiscItems(const Node* list, StyleSet& set) {
    // Attributes an item leaves out carry over from the item before it.
    MiscItemStyle carried;
    for (const Node* item = list->first_node("item"); item; item = item->next_sibling("item")) {
        const char* name = attribute(item, "name");
        if (!name)
            return false;
        if (const char* size = attribute(item, "size"))
            carried.size = parseDecimal(size);
        if (const char* length = attribute(item, "length"))
            carried.length = parseDecimal(length);
        if (const char* color = attribute(item, "color"))
            parseColor(color, carried.color);
        int index = -1;
        for (int i = 0; i < MiscItemCount; ++i)
            if (std::strcmp(name, miscItemNames[std::size_t(i)]) == 0)
                index = i;
        if (index < 0)
            return false;
        set.misc[std::size_t(index)] = carried;
    }
    return true;
}

std::uint32_t RenderStyles::selectSet(bool day) {
    m_active = day ? &m_day : &m_night;
    m_isDay = day;
    clearPoiCache();
    return m_active->misc[MiscMapBg].color;
}

void RenderStyles::clearPoiCache() {
    m_cacheValid = false;
    m_cachedStyle = nullptr;
}

} // namespace Render
