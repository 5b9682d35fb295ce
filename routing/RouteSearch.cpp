#include "routing/RouteSearch.h"

#include "core/Log.h"
#include "routing/SearchQueue.h"

#include <algorithm>
#include <new>
#include <utility>

using namespace RoadGraph;

namespace Map::Routing {

namespace {
// Vertex records beyond which the graph's records no longer stay
// in a core's caches during a search (10^4 vertices do, 10^5 do not).
constexpr std::size_t kLookAheadVertices = 1 << 16;
} // namespace

void resetLabels(RoadMap& map) {
    // A new stamp makes every label of the searches before stale. Only when
    // the stamps come round again are the labels themselves rewritten.
    std::vector<VertexLabel>& labels = map.mutableLabels();
    if (map.labelStamp >= kLabelStamps) {
        std::fill(labels.begin(), labels.end(), VertexLabel{});
        map.labelStamp = 0;
    }
    // Records appended since (by seeds) get labels of no search.
    if (labels.size() < map.nodes().size()) labels.resize(map.nodes().size());
    ++map.labelStamp;
}

void searchLoop(RoadMap& map, SearchTask& task, const RoutingParams& params, SearchStats* stats) {
    resetLabels(map);
    for (SearchTarget& t : task.targets)
        t.reached = 0;
    task.reachedCount = 0;
    if (task.targets.empty() || !task.source) return;
    const std::uint32_t source = task.source->searchNodeIndex;
    if (!map.isVertex(source)) return;
    map.refreshLinkEnds();

    // The arrays keep their sizes while the search runs (it appends
    // nothing), so they are taken once rather than on every bounds check.
    const NodeRecord* const nodes = map.nodes().data();
    VertexLabel* const labels = map.mutableLabels().data();
    const std::size_t nodeCount = map.nodes().size();
    const SegmentRecord* const segments = map.segments().data();
    const std::size_t segmentCount = map.segments().size();
    const LinkRecord* const links = map.links().data();
    const std::size_t linkCount = map.links().size();
    const std::uint32_t stamp = map.labelStamp;

    // Targets by search node, for a lookup per settled vertex.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
    std::vector<Estimator> estimators;
    for (std::uint32_t i = 0; i < task.targets.size(); ++i) {
        const SearchPosition& p = *task.targets[i].position;
        estimators.emplace_back(params, p.cell, map.cellDiagonalRoot, map.cellMetres);
        if (map.isVertex(p.searchNodeIndex)) index.emplace_back(p.searchNodeIndex, i);
    }
    std::sort(index.begin(), index.end());
    // Most searches have one finish: it is told by a comparison.
    const std::uint32_t onlyTarget = index.size() == 1 ? index[0].first : kNoId;

    auto cellOfVertex = [&](std::uint32_t v) {
        const NodeRecord& rec = nodes[v];
        if (rec.flags & RecordFlag::Head) return rec.cell;
        return rec.head < nodeCount ? nodes[rec.head].cell : GridCell{};
    };
    // The smallest estimate over all targets. The largest would overestimate
    // the way to a near finish whenever a detour towards a far one looks
    // cheaper, and the search would settle that finish through the detour.
    // Mode 2 has none, so nothing is looked up for it.
    const bool estimating = params.routing_mode == 0 || params.routing_mode == 1;
    auto estimate = [&](std::uint32_t v) -> std::uint32_t {
        if (!estimating) return 0;
        const GridCell cell = cellOfVertex(v);
        std::uint32_t best = estimators[0](cell);
        for (std::size_t i = 1; i < estimators.size(); ++i)
            best = std::min(best, estimators[i](cell));
        return best;
    };

    // With the kept costs and the links' ends, a relaxation reads no
    // segment record.
    const std::uint32_t* const costs = map.segmentCosts(CostModel(params));
    const bool excluding = params.excludeFlag != 0;
    const bool lookAhead = nodeCount > kLookAheadVertices;
    std::uint64_t expanded = 0;
    std::uint64_t bad = 0;
    SearchQueue& queue = map.searchQueue();
    queue.reset(nodeCount);

    // One link of the vertex being expanded, in link order.
    auto relax = [&](std::uint64_t costN, std::uint32_t s, std::uint32_t m) __attribute__((always_inline)) {
        if (s >= segmentCount || m >= nodeCount) {
            ++bad;
            return;
        }
        // Only vertices are labelled: the record is read for a neighbour
        // seen first in this search, or whose label improves.
        VertexLabel& label = labels[m];
        const bool labelled = label.stamp == stamp;
        if (!labelled && !(nodes[m].flags & RecordFlag::Main)) {
            ++bad;
            return;
        }
        if (excluding) {
            const SegmentRecord& rec = segments[s];
            const std::uint32_t h = (rec.flags & RecordFlag::Head) ? s : rec.head;
            if (h >= segmentCount) {
                ++bad;
                return;
            }
            if (h == params.excludedSegment) return;
        }
        // No cost is below 0: a vertex already as cheap as this one (the one
        // the search came from, most often) is passed over before its cost
        // is looked up.
        if (labelled && label.cost <= costN) return;
        const std::uint32_t c = costs[s];
        const std::uint64_t reach = costN + c;
        if (c == kInfiniteCost || reach >= kInfiniteCost) return;
        if (labelled) {
            if (label.cost <= reach) return;
            if (!label.closed) queue.removeAt(queue.positionOf(m));
        }
        const std::uint32_t e = estimate(m);
        label = VertexLabel{static_cast<std::uint32_t>(reach), s, 0, stamp};
        // Its links will be walked when it is settled; the frontier's lists
        // stay in cache till then.
        const std::uint32_t first = nodes[m].firstLink;
        if (first < linkCount) __builtin_prefetch(&links[first]);
        queue.push(SearchQueueEntry{static_cast<std::int64_t>(reach + e), m});
    };

    // The links of the vertex being expanded, gathered first on a large
    // graph so that the records they lead to are fetched from memory
    // together; they are then relaxed in link order, as if walked one by one.
    std::vector<LinkRecord> around;
    labels[source] = VertexLabel{0, kNoId24, 1, stamp};
    queue.push(SearchQueueEntry{0, source});

    while (!queue.empty()) {
        const std::uint32_t n = queue.top().node;
        auto hit = index.begin();
        if (onlyTarget == kNoId)
            hit = std::lower_bound(index.begin(), index.end(), std::make_pair(n, std::uint32_t{0}));
        if (onlyTarget != kNoId ? n == onlyTarget : hit != index.end() && hit->first == n) {
            for (; hit != index.end() && hit->first == n; ++hit) {
                SearchTarget& t = task.targets[hit->second];
                if (!t.reached) {
                    t.reached = 1;
                    ++task.reachedCount;
                }
            }
            if (task.reachedCount == task.targets.size()) break;
            // A finish ends its branch: routes do not run through it.
            queue.removeAt(queue.positionOf(n));
            labels[n].closed = 1;
            continue;
        }

        ++expanded;
        const std::uint64_t costN = labels[n].cost;
        std::uint32_t l = nodes[n].firstLink;
        if (!lookAhead) {
            // The graph stays in cache: the links are relaxed as they are walked.
            for (std::size_t guard = 0; guard <= linkCount && l < linkCount; ++guard) {
                const LinkRecord link = links[l];
                if (link.flags & LinkFlag::Jump) {
                    if (link.flags & LinkFlag::LastLink) break;
                    l = link.value;
                    continue;
                }
                relax(costN, link.value, link.to);
                if (link.flags & LinkFlag::LastLink) break;
                ++l;
            }
        } else {
            // The vertices likely to be settled next: their links are in cache
            // (prefetched when their labels improved); fetch the labels and
            // vertex records they lead to.
            for (std::size_t next = 1; next <= 2; ++next) {
                const std::uint32_t v = queue.vertexAt(next);
                if (v >= nodeCount) break;
                std::uint32_t k = nodes[v].firstLink;
                for (int i = 0; i < 4 && k < linkCount; ++i, ++k) {
                    const LinkRecord& link = links[k];
                    if (!(link.flags & LinkFlag::Jump) && link.to < nodeCount) {
                        __builtin_prefetch(&labels[link.to]);
                        __builtin_prefetch(&nodes[link.to]);
                    }
                    if (link.flags & (LinkFlag::LastLink | LinkFlag::Jump)) break;
                }
            }
            around.clear();
            for (std::size_t guard = 0; guard <= linkCount && l < linkCount; ++guard) {
                const LinkRecord link = links[l];
                if (link.flags & LinkFlag::Jump) {
                    if (link.flags & LinkFlag::LastLink) break;
                    l = link.value;
                    continue;
                }
                around.push_back(link);
                if (link.to < nodeCount) {
                    __builtin_prefetch(&labels[link.to]);
                    __builtin_prefetch(&nodes[link.to]);
                }
                if (link.value < segmentCount) __builtin_prefetch(&costs[link.value]);
                if (link.flags & LinkFlag::LastLink) break;
                ++l;
            }
            for (const LinkRecord& link : around)
                relax(costN, link.value, link.to);
        }
        queue.removeAt(queue.positionOf(n));
        labels[n].closed = 1;
    }

    if (bad != 0)
        Log::log(Log::Critical, u"Route search: %I64u links name records outside the road graph",
                 static_cast<unsigned long long>(bad));
    if (stats) {
        stats->expanded += expanded;
        stats->queuePeak = std::max<std::uint64_t>(stats->queuePeak, queue.peakSize());
        stats->badReferences += bad;
    }
}

bool extractPath(const RoadMap& map, const SearchPosition& finish, const SearchPosition& source,
                 std::vector<RouteSegment>* segments, std::vector<std::uint32_t>* nodes) {
    if (segments) segments->clear();
    if (nodes) nodes->clear();
    const std::uint32_t src = source.searchNodeIndex;
    std::uint32_t cur = finish.searchNodeIndex;
    if (!map.isVertex(cur) || !map.isVertex(src)) return false;
    std::vector<RouteSegment> steps;
    std::vector<std::uint32_t> passed;
    const std::size_t limit = map.nodes().size();
    for (std::size_t count = 0; cur != src; ++count) {
        const std::uint32_t s = cur < map.labels().size() ? map.labels()[cur].predecessor : kNoId;
        const SegmentRecord* head = map.segmentHeadRecord(s);
        if (count >= limit || !head) {
            Log::log(Log::Critical, u"Route search: broken predecessor chain at node record %u", cur);
            return false;
        }
        const SegmentRecord& rec = map.segments()[s];
        const std::uint32_t other = rec.start == cur ? rec.end : rec.start;
        if (!map.isVertex(other)) {
            Log::log(Log::Critical, u"Route search: broken predecessor chain at node record %u", cur);
            return false;
        }
        const bool first = count == 0;
        const bool last = other == src;
        // A caller asking only whether the finish was reached (or its cost)
        // gets the chain checked without the lists being built.
        if (segments) {
            const std::uint32_t h = map.segmentHead(s);
            const std::uint32_t id = first ? finish.segmentId() : last ? source.segmentId() : h;
            // The joins of node positions are never recorded; the pieces of a
            // segment position appear as its own road segment.
            if (!((first || last) && id == kNoId)) {
                RouteSegment step;
                step.segmentId = id;
                step.forward = map.segmentToNode(h) == map.nodeOf(cur) ? 1 : 0;
                step.quality = head->attributes.quality & 0x07;
                step.turnCode = static_cast<std::uint8_t>(head->attributes.quality >> 3);
                steps.push_back(step);
            }
        }
        if (nodes && !last) passed.push_back(map.nodeOf(other));
        cur = other;
    }
    std::reverse(steps.begin(), steps.end());
    std::reverse(passed.begin(), passed.end());
    if (segments) *segments = std::move(steps);
    if (nodes) *nodes = std::move(passed);
    return true;
}

void ResultBindings::bind(const RoadMap& map, const SearchPosition& finish, const SearchPosition& source,
                          bool isReached) {
    std::vector<RouteSegment> local;
    std::vector<RouteSegment>* list = segments;
    if (!list && totalLength) list = &local;
    if (isReached && !extractPath(map, finish, source, list, nodes)) isReached = false;
    if (reached) *reached = isReached ? 1 : 0;
    if (cost) *cost = isReached ? map.labels()[finish.searchNodeIndex].cost : kInfiniteCost;
    if (!isReached) {
        if (segments) segments->clear();
        if (nodes) nodes->clear();
    }
    if (totalLength) {
        std::uint64_t sum = 0;
        if (isReached) {
            for (const RouteSegment& step : *list) {
                const SegmentRecord* head = map.segmentHeadRecord(step.segmentId);
                sum += head ? head->length : 0;
            }
        }
        *totalLength = isReached ? static_cast<std::uint32_t>(std::min<std::uint64_t>(sum, kInfiniteCost - 1))
                                 : kInfiniteCost;
    }
}

void search(RoadMap& map, SearchTask& task, const RoutingParams& params, SearchStats* stats) {
    if (task.backward) map.reverseDirection();
    const RoadMap::Snapshot before = map.snapshot();

    // Memory can run out in the seeds, the heap or the path lists: the
    // finishes are then unreached, and the map is put back all the same.
    try {
        bool seeded = task.source != nullptr && task.source->seed(map, task);
        for (SearchTarget& t : task.targets)
            seeded = t.position->seed(map, task) && seeded;
        if (seeded) {
            searchLoop(map, task, params, stats);
        } else {
            Log::log(Log::Critical, u"Route search: no room in the road graph for the search positions");
            for (SearchTarget& t : task.targets)
                t.reached = 0;
            task.reachedCount = 0;
        }

        for (SearchTarget& t : task.targets) {
            if (ResultBindings* bindings = t.position->resultBindings()) {
                const bool reached = t.reached && task.source;
                bindings->bind(map, *t.position, reached ? *task.source : *t.position, reached);
            }
        }
    } catch (const std::bad_alloc&) {
        Log::log(Log::Critical, u"Route search: out of memory");
        task.reachedCount = 0;
        for (SearchTarget& t : task.targets) {
            t.reached = 0;
            if (ResultBindings* bindings = t.position->resultBindings())
                bindings->bind(map, *t.position, *t.position, false);
        }
    }

    map.restore(before);
    if (task.backward) map.reverseDirection();
}

} // namespace Map::Routing
