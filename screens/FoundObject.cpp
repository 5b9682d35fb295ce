#include "screens/FoundObject.h"

#include "core/MessageTable.h"
#include "map/KvMap.h"
#include "map/MapSet.h"
#include "map/ObjectAddress.h"
#include "map/Projection.h"
#include "map/file/AddressSectionReader.h"
#include "render/RenderStyles.h"
#include "search/Engine.h"
#include "search/ParentNames.h"

#include <algorithm>
#include <cmath>

namespace Screens {

namespace {

std::u16string joined(const std::u16string& a, const std::u16string& b) {
    if (a.empty()) return b;
    return b.empty() ? a : a + u", " + b;
}

} // namespace

std::u16string placeOf(int kind, const TextSearch::ResultItem& item, const Map::MapSet& maps) {
    const auto* refs = std::get_if<0>(&item.objects);
    if (!refs || refs->empty() || refs->front().map >= maps.size()) return {};
    Map::KvMap& map = *maps.at(refs->front().map);
    std::uint32_t city = 0;
    if (kind == TextSearch::StreetsKind) {
        Map::File::StreetRecord street;
        if (!map.addressReader().readStreet(refs->front().offset, street)) return {};
        city = street.city;
    } else if (kind == TextSearch::PoisKind || kind == TextSearch::HousesKind) {
        Map::File::ObjectRecord object;
        if (!map.addressReader().readObject(refs->front().offset, object)) return {};
        city = object.city;
    }
    std::u16string name;
    if (city == 0 || !TextSearch::ParentNames::read(map, 3, city, name)) return {};
    return name;
}

std::u16string shownName(int kind, const TextSearch::ResultItem& item, const Map::MapSet& maps,
                         Render::RenderStyles* styles) {
    const auto* refs = std::get_if<0>(&item.objects);
    if (!item.text.empty() || kind != TextSearch::PoisKind || styles == nullptr || refs == nullptr ||
        refs->empty() || refs->front().map >= maps.size())
        return item.text;
    Map::File::ObjectRecord object;
    if (!maps.at(refs->front().map)->addressReader().readObject(refs->front().offset, object))
        return item.text;
    const Render::PoiStyle* style = styles->poiStyle(object.type);
    return style != nullptr ? style->name : item.text;
}

FoundObject describeFound(int kind, const TextSearch::ResultItem& item, const Map::MapSet& maps,
                          const Core::MessageTable* messages, Render::RenderStyles* styles) {
    FoundObject found;
    found.kind = kind;
    found.point = item.point;
    found.title = shownName(kind, item, maps, styles);
    found.detail = item.detail;
    if (const auto* waypoint = std::get_if<1>(&item.objects)) {
        found.waypoint = true;
        found.detail = waypoint->comment;
        return found;
    }
    const auto& refs = std::get<0>(item.objects);
    Map::KvMap* map = !refs.empty() && refs.front().map < maps.size() ? maps.at(refs.front().map) : nullptr;
    const std::uint32_t offset = refs.empty() ? 0 : refs.front().offset;
    // A result from the history carries no detail: its place stands in.
    if (found.detail.empty()) found.detail = placeOf(kind, item, maps);
    if (kind == TextSearch::CitiesKind || kind == TextSearch::StreetsKind) {
        found.area = true;
        if (map && kind == TextSearch::CitiesKind) {
            Map::File::CityRecord city;
            if (map->addressReader().readCity(offset, city)) found.extent = city.extent;
        } else if (map) {
            Map::File::StreetRecord street;
            if (map->addressReader().readStreet(offset, street)) found.extent = street.extent;
        }
        return found;
    }
    if ((kind != TextSearch::PoisKind && kind != TextSearch::HousesKind) || !map) return found;
    Map::ObjectAddress address;
    if (!Map::readObjectAddress(*map, offset, address)) return found;
    const auto& texts = address.texts;
    if (kind == TextSearch::HousesKind) {
        // A house goes by its street and number, as an address is written.
        if (!texts[2].empty()) found.title = texts[2] + u" " + texts[0];
        found.detail = texts[1];
        return found;
    }
    found.find.kind = MapPointFind::Kind::Poi;
    found.find.mapIndex = refs.front().map;
    found.find.object = offset;
    found.find.address = address;
    if (!texts[0].empty()) found.title = texts[0];
    const std::u16string place = joined(found.find.addressFirst(), texts[1]);
    if (!found.find.addressFirst().empty() && messages)
        found.detail = messages->text("map_address") + u": " + place;
    else
        found.detail = place;
    return found;
}

float foundObjectScale(const FoundObject& found, float room) {
    const float street =
        Map::Projection::scaleForMetresPer40Pixels(found.point, StreetLevelMetresPer40Pixels);
    if (!found.area) return street;
    if (found.extent == 0 || !(room > 0.0f))
        return Map::Projection::scaleForMetresPer40Pixels(found.point, found.kind == TextSearch::CitiesKind
                                                                           ? CityMetresPer40Pixels
                                                                           : StreetMetresPer40Pixels);
    return std::min(street, room / static_cast<float>(found.extent));
}

} // namespace Screens
