// The tapped point's lookup: the map's spatial search for POIs and houses,
// the picked map object's address, the waypoints and the danger points.

#include "screens/MapPointLookup.h"

#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "map/file/SpatialSearchSectionReader.h"
#include "map/proximity/Queries.h"
#include "render/MapView.h"
#include "render/RenderStyles.h"
#include "userdata/fdWPManager.h"

#include <algorithm>
#include <cstring>

namespace Screens {

namespace {

constexpr std::uint16_t HouseType = 0xFFFF;

// Keeps the first object the nearest-first search offers strictly below the
// limit (the search itself only offers those): later ones of the same map
// are never nearer.
class NearestObject : public Map::File::NnVisitor {
public:
    explicit NearestObject(std::uint64_t limit) : m_limit(limit) {}
    bool wantsMore() override { return !m_found; }
    std::uint64_t limit() override { return m_limit; }
    void visit(std::uint32_t value, std::uint64_t squaredDistance) override {
        if (m_found || squaredDistance >= m_limit)
            return;
        m_found = true;
        object = value;
        distance = squaredDistance;
    }
    bool found() const { return m_found; }
    std::uint32_t object = 0;
    std::uint64_t distance = 0;

private:
    std::uint64_t m_limit;
    bool m_found = false;
};

// Reads the address of the POI out names; false (out cleared) when it
// cannot be had.
bool readFoundAddress(Map::KVAtlas& atlas, MapPointFind& out) {
    if (out.mapIndex < atlas.maps().size() && out.object != 0 &&
        Map::readObjectAddress(*atlas.maps()[out.mapIndex], out.object, out.address))
        return true;
    out.address.clear();
    out.mapIndex = MapPointFind::NoMap;
    out.object = 0;
    return false;
}

// The nearest object of the given types over all maps of the atlas, a later
// map's object winning only when strictly nearer; its address read.
bool nearestObject(Map::KVAtlas& atlas, Map::Point point, std::int32_t radius,
                   const std::vector<std::uint16_t>& types, MapPointFind& out) {
    if (radius <= 0 || types.empty())
        return false;
    // A POI right on the reach still counts.
    const std::uint64_t reach = std::uint64_t(radius) * std::uint64_t(radius) + 1;
    bool found = false;
    std::uint64_t best = 0;
    const auto& maps = atlas.maps();
    for (std::size_t m = 0; m < maps.size(); ++m) {
        NearestObject visitor(found ? best : reach);
        maps[m]->spatialSearchReader().nearest(visitor, point, types);
        if (visitor.found() && (!found || visitor.distance < best)) {
            found = true;
            best = visitor.distance;
            out.mapIndex = static_cast<std::uint32_t>(m);
            out.object = visitor.object;
        }
    }
    return readFoundAddress(atlas, out);
}

// The drawn icon whose centre lies nearest the finger, at most `pixels`
// away (one right on the reach counts); of icons as near, the one drawn
// last, which covers the others. One whose address cannot be read is passed
// over for the next nearest.
bool nearestIcon(Map::KVAtlas& atlas, const std::vector<Render::IconBox>& icons, xe::Point finger,
                 std::int32_t pixels, MapPointFind& out) {
    std::vector<std::pair<float, std::size_t>> near;
    const float reach = static_cast<float>(pixels) * static_cast<float>(pixels);
    for (std::size_t i = icons.size(); i-- > 0;) {
        const float dx = icons[i].box.centreX - static_cast<float>(finger.x);
        const float dy = icons[i].box.centreY - static_cast<float>(finger.y);
        if (icons[i].object != 0 && dx * dx + dy * dy <= reach)
            near.emplace_back(dx * dx + dy * dy, i);
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [distance, i] : near) {
        out.mapIndex = icons[i].mapIndex;
        out.object = icons[i].object;
        if (readFoundAddress(atlas, out))
            return true;
    }
    return false;
}

// The address of the point item drawn under the point (a point item names
// its address record after its caption), read from its map.
bool pickedAddress(Map::KVAtlas& atlas, Map::Point point, Map::ObjectAddress& out) {
    MapView::MapObject object;
    if (!MapView::pickObjectAt(atlas.viewRecords(), point, object) || object.mapIndex >= atlas.maps().size() ||
        object.record.type != 4 || object.record.payload == nullptr ||
        object.record.payload + 8 > object.record.end)
        return false;
    std::uint32_t offset = 0;
    std::memcpy(&offset, object.record.payload + 4, sizeof offset);
    if (offset == 0 || !Map::readObjectAddress(*atlas.maps()[object.mapIndex], offset, out)) {
        out.clear();
        return false;
    }
    return true;
}

} // namespace

std::u16string MapPointFind::addressFirst() const {
    if (!address.texts[3].empty())
        return address.texts[3];
    if (address.number1 == HouseType && !address.texts[2].empty() && !address.texts[0].empty())
        return address.texts[2] + u" " + address.texts[0];
    return address.texts[2];
}

std::vector<std::uint16_t> MapPointLookup::tappableTypes(Render::RenderStyles* styles) {
    std::vector<std::uint16_t> types;
    if (styles == nullptr) {
        types.reserve(HouseType);
        for (std::uint32_t type = 0; type < HouseType; ++type)
            if (type != 0x2800)
                types.push_back(static_cast<std::uint16_t>(type));
        return types;
    }
    const Render::StyleSet* set = styles->activeSet();
    if (set == nullptr)
        return types;
    // The types the map draws with an icon: styled ones by their own style
    // and flag; the others with type 0's icon while type 0 is shown.
    const auto zero = set->poiStyles.find(0);
    const bool others =
        zero != set->poiStyles.end() && zero->second.icon != nullptr && styles->isPoiTypeShown(0);
    if (others)
        types.reserve(HouseType);
    for (std::uint32_t type = 0; type < HouseType; ++type) {
        if (type == 0x2800)
            continue;
        const auto own = set->poiStyles.find(static_cast<std::uint16_t>(type));
        if (own == set->poiStyles.end() ? others
                                        : own->second.icon != nullptr &&
                                              styles->isPoiTypeShown(static_cast<std::uint16_t>(type)))
            types.push_back(static_cast<std::uint16_t>(type));
    }
    return types;
}

MapPointFind MapPointLookup::find(Map::Point point) const {
    MapPointFind out;
    const std::int32_t poiReach = exact ? 1 : poiRadius;
    const std::int32_t waypointReach = exact ? 1 : waypointRadius;
    if (atlas != nullptr &&
        (icons != nullptr && !exact ? nearestIcon(*atlas, *icons, finger, poiPixels, out)
                                    : nearestObject(*atlas, point, poiReach, tappableTypes(styles), out)))
        out.kind = MapPointFind::Kind::Poi;
    if (waypoints != nullptr)
        out.waypoint = waypoints->findNearestPoint(point, waypointReach);
    if (out.kind == MapPointFind::Kind::Nothing && out.waypoint >= 0)
        out.kind = MapPointFind::Kind::Waypoint;
    if (out.kind == MapPointFind::Kind::Nothing && dangerPoints != nullptr && dangerPoints->index != nullptr &&
        Map::Proximity::findNearest(point, poiReach, *dangerPoints, out.danger))
        out.kind = MapPointFind::Kind::DangerPoint;
    if (out.kind != MapPointFind::Kind::Poi && atlas != nullptr &&
        (exact || !pickedAddress(*atlas, point, out.address))) {
        // Nothing drawn there names an address (or only the point itself
        // counts): the nearest house within reach gives it.
        MapPointFind house;
        if (nearestObject(*atlas, point, poiReach, {HouseType}, house))
            out.address = house.address;
    }
    return out;
}

} // namespace Screens
