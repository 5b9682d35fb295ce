// Nearest-object search over a spatial-search section and prefix lookups in
// a name tree, both on fixture data written at start-up.

#include "map/file/NameTree.h"
#include "map/file/SpatialSearchSectionReader.h"
#include "tools/mapwriter/SpatialSearchWriter.h"
#include "tools/mapwriter/TextSearchWriter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

class TakeTen : public Map::File::NnVisitor {
public:
    bool wantsMore() override { return m_count < 10; }
    std::uint64_t limit() override { return UINT64_MAX; }
    void visit(std::uint32_t value, std::uint64_t) override {
        ++m_count;
        benchmark::DoNotOptimize(value);
    }

private:
    int m_count = 0;
};

void nearestTen(benchmark::State& state) {
    std::mt19937 random(5);
    MapWriting::SpatialSearchDescription d;
    d.tree1.maxEntries = static_cast<std::uint8_t>(state.range(0));
    for (std::uint32_t i = 0; i < 20000; ++i) {
        const auto x = static_cast<std::int32_t>(random() % 1000000), y = static_cast<std::int32_t>(random() % 1000000);
        d.tree1.objects.push_back({{x, y, x + 20, y + 20}, static_cast<std::uint16_t>(i % 8), i});
    }
    Map::File::SpatialSearchSectionReader reader(
        2, std::make_shared<Map::File::MemoryView>(MapWriting::encodeSpatialSearch(d)));
    const std::vector<std::uint16_t> types{0, 1, 2, 3, 4, 5, 6, 7};
    for (auto _ : state) {
        TakeTen visitor;
        const Map::Point p{static_cast<std::int32_t>(random() % 1000000), static_cast<std::int32_t>(random() % 1000000)};
        benchmark::DoNotOptimize(reader.nearest(visitor, p, types));
    }
}
BENCHMARK(nearestTen)->Arg(8)->Arg(30);

void nameTreeFind(benchmark::State& state) {
    std::mt19937 random(6);
    std::vector<std::u16string> keys(5000);
    for (auto& key : keys)
        for (int n = 3 + static_cast<int>(random() % 8); n > 0; --n)
            key.push_back(static_cast<char16_t>(u'a' + random() % 26));
    std::sort(keys.begin(), keys.end());
    const MapWriting::BuiltNameTree tree = MapWriting::buildNameTree(keys);
    std::vector<std::uint8_t> block;
    Map::File::NameTree::encode(tree.nodes, tree.depth, tree.rootCount, tree.leafCount, 0, block);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::u16string& key = keys[i++ % keys.size()];
        benchmark::DoNotOptimize(Map::File::NameTree::find(block, key.substr(0, 4), 0));
    }
}
BENCHMARK(nameTreeFind);

} // namespace
