#include "routing/Minimap.h"

#include "core/Log.h"
#include "core/RTree.h"
#include "map/KVAtlas.h"
#include "map/KVMap2.h"
#include "map/file/RoutingSectionReader.h"
#include "routing/RoadMapFiller.h"

#include <algorithm>

#include <chrono>
#include <numeric>

using namespace RoadGraph;

namespace {

constexpr std::uint32_t kExtraNodes = 520;
constexpr std::uint32_t kExtraSegments = 7290;

struct Candidate {
    Map::KVMap2* map = nullptr;
    std::vector<Map::File::LinkNode> points;
    std::vector<std::uint32_t> graphNodes;
    std::size_t first = 0; // index of its first link node in the flat list
};

std::uint32_t findRoot(std::vector<std::uint32_t>& parent, std::uint32_t i) {
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

} // namespace

bool Minimap::build(Map::KVAtlas& atlas) {
    release();
    const auto started = std::chrono::steady_clock::now();
    using Tree = Core::RTree<std::uint32_t>;
    Tree tree(2, 4);
    std::vector<Candidate> maps;
    std::vector<std::pair<std::size_t, std::uint32_t>> flat; // (map, link index)
    std::vector<Tree::Box> boxes;
    for (const auto& owned : atlas.maps()) {
        Map::KVMap2& map = *owned;
        Candidate c{&map, {}, {}, flat.size()};
        std::uint8_t linkClass = 0;
        if (!map.routingReader().linkNodes(linkClass, c.points) || !map.routingReader().linkNodeIds(c.graphNodes) ||
            c.graphNodes.size() != c.points.size()) {
            Log::log(Log::Normal, u"Failed to read link nodes from map file '%s'", map.sourceName());
            continue;
        }
        // One unit of the map's precision around each point.
        const std::int64_t u = std::int64_t{1} << ((32 - map.level(0).coordinateBits()) & 31);
        for (std::uint32_t i = 0; i < c.points.size(); ++i) {
            const std::int64_t x = static_cast<std::int32_t>(c.points[i].a);
            const std::int64_t y = static_cast<std::int32_t>(c.points[i].b);
            const auto clamp = [](std::int64_t v) {
                return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
            };
            boxes.push_back({clamp(x - u), clamp(y - u), clamp(x + u), clamp(y + u)});
            tree.insert(boxes.back(), static_cast<std::uint32_t>(flat.size()));
            flat.emplace_back(maps.size(), i);
        }
        maps.push_back(std::move(c));
    }

    // Link nodes of different maps whose boxes overlap meet at one point.
    std::vector<std::uint32_t> parent(flat.size());
    std::iota(parent.begin(), parent.end(), 0u);
    std::map<std::pair<std::size_t, std::size_t>, std::uint32_t> pairs;
    for (std::uint32_t k = 0; k < flat.size(); ++k)
        tree.visitIntersecting(boxes[k], [&](const Tree::Entry& e) {
            if (e.value <= k || flat[e.value].first == flat[k].first) return;
            ++pairs[{flat[k].first, flat[e.value].first}];
            parent[findRoot(parent, e.value)] = findRoot(parent, k);
        });
    for (const auto& [pair, count] : pairs)
        Log::log(Log::Normal, u"Maps pair '%s'-'%s' has %u connection%s", maps[pair.first].map->sourceName(),
                 maps[pair.second].map->sourceName(), count, count == 1 ? "" : "s");

    std::vector<std::uint32_t> groupSize(flat.size(), 0);
    for (std::uint32_t k = 0; k < flat.size(); ++k)
        ++groupSize[findRoot(parent, k)];
    std::vector<std::uint32_t> nodeOf(flat.size(), kNoId);
    std::map<std::uint32_t, std::uint32_t> rootNode;
    for (std::uint32_t k = 0; k < flat.size(); ++k) {
        const std::uint32_t root = findRoot(parent, k);
        if (groupSize[root] < 2) continue;
        const auto [it, added] = rootNode.emplace(root, static_cast<std::uint32_t>(m_members.size()));
        if (added) m_members.emplace_back();
        nodeOf[k] = it->second;
        const Candidate& c = maps[flat[k].first];
        m_members[it->second].push_back({c.map, c.graphNodes[flat[k].second]});
    }
    for (const Candidate& c : maps) {
        std::vector<LinkNode>& list = m_linkNodes[c.map];
        for (std::size_t i = 0; i < c.points.size(); ++i)
            list.push_back({{static_cast<std::int32_t>(c.points[i].a), static_cast<std::int32_t>(c.points[i].b)},
                            nodeOf[c.first + i]});
    }

    struct Crossing {
        std::uint32_t from, to;
        std::uint16_t length;
    };
    std::vector<Crossing> crossings;
    for (const Candidate& c : maps) {
        const std::size_t n = c.points.size();
        bool connected = false;
        for (std::size_t i = 0; i < n; ++i)
            connected = connected || nodeOf[c.first + i] != kNoId;
        if (!connected) continue;
        std::vector<std::uint32_t> transit;
        if (!c.map->routingReader().transitTable(transit) || transit.size() != n * n) {
            Log::log(Log::Critical, u"Failed to read transit table from map file '%s'", c.map->sourceName());
            continue;
        }
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) {
                const std::uint32_t from = nodeOf[c.first + i], to = nodeOf[c.first + j];
                if (i == j || from == kNoId || to == kNoId || transit[i * n + j] == kInfiniteCost) continue;
                crossings.push_back({from, to, static_cast<std::uint16_t>(std::min(transit[i * n + j] >> 9, 0xFFFFu))});
                m_segmentMaps.push_back(c.map);
            }
    }

    const auto nodes = static_cast<std::uint32_t>(m_members.size());
    const auto segments = static_cast<std::uint32_t>(crossings.size());
    auto graph = std::make_unique<RoadMap>();
    // The graph is charged to the route heap like every map's road graph, so
    // the configured size bounds it too.
    Core::Allocator* heap = atlas.routeHeap();
    const std::uint64_t bytes = std::uint64_t{nodes} * RoadMapFiller::kNodeRecordBytes +
                                std::uint64_t{segments} * 2 * RoadMapFiller::kSegmentRecordBytes +
                                std::uint64_t{segments} * 4 * RoadMapFiller::kLinkRecordBytes;
    if (heap != nullptr)
        m_charge = bytes <= 0xFFFFFFFFu ? heap->allocate(std::max<std::uint32_t>(static_cast<std::uint32_t>(bytes), 1))
                                        : nullptr;
    m_heap = heap;
    bool filled = (heap == nullptr || m_charge != nullptr) && graph->allocate(nodes, nodes + kExtraNodes, segments, (segments + kExtraSegments) * 2,
                                  (segments + kExtraSegments) * 4);
    for (std::uint32_t i = 0; filled && i < nodes; ++i)
        filled = graph->initNodeRecord(i, GridCell{0, 0}, 1);
    NodeTransitions oneWay;
    oneWay.add(0, 0, true, false);
    for (std::uint32_t s = 0; filled && s < segments; ++s)
        filled = graph->addSegment(s, crossings[s].from, crossings[s].to, SegmentAttributes{}, crossings[s].length,
                                   oneWay);
    if (!filled || !graph->buildLinks()) {
        Log::log(Log::Critical, u"BuildMinimap::failed to init miniMap");
        release();
        return false;
    }
    m_graph = std::move(graph);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    Log::log(Log::Normal, u"Minimap nodes count: %u", nodes);
    Log::log(Log::Normal, u"Minimap segments count: %u", segments);
    Log::log(Log::Normal, u"Minimap extra nodes count: %u", kExtraNodes);
    Log::log(Log::Normal, u"Minimap building time: %u ms", static_cast<std::uint32_t>(elapsed.count()));
    return true;
}

void Minimap::release() {
    if (m_heap != nullptr) m_heap->free(m_charge);
    m_heap = nullptr;
    m_charge = nullptr;
    m_graph.reset();
    m_members.clear();
    m_segmentMaps.clear();
    m_linkNodes.clear();
}

Map::KVMap2* Minimap::segmentMap(std::uint32_t segment) const {
    return segment < m_segmentMaps.size() ? m_segmentMaps[segment] : nullptr;
}

std::uint32_t Minimap::graphNodeOf(std::uint32_t minimapNode, const Map::KVMap2* map) const {
    if (minimapNode >= m_members.size()) return kNoId;
    for (const Member& m : m_members[minimapNode])
        if (m.map == map) return m.graphNode;
    return kNoId;
}

const std::vector<Minimap::LinkNode>& Minimap::linkNodes(const Map::KVMap2* map) const {
    static const std::vector<LinkNode> none;
    const auto it = m_linkNodes.find(map);
    return it != m_linkNodes.end() ? it->second : none;
}
