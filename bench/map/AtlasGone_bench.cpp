// An atlas load whose atlas.xml lists many map files that are gone (a list
// edited by hand, a folder emptied): the count of the missing files, which
// took 19 s for a million entries, grows with the entries alone
// (BigO below: N).

#include "core/Config.h"
#include "core/ResourcesPool.h"
#include "core/Text.h"
#include "map/KVAtlas.h"
#include "tests/support/TempDir.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void atlasWithGoneMaps(benchmark::State& state) {
    TestSupport::TempDir dir;
    std::filesystem::create_directories(dir / "data");
    const std::filesystem::path folder = dir / "maps" / "one";
    std::filesystem::create_directories(folder);
    Core::Config config;
    config.root()->set("win_main_heap", 1024);
    Core::ResourcesPool pool{10};
    const auto makeAtlas = [&] {
        Map::AtlasServices services;
        services.paths = std::make_shared<Map::FolderPaths>(Core::utf8ToWide(dir.path().string()) + u"/");
        return std::make_unique<Map::KVAtlas>(config.root(), pool, std::move(services));
    };
    const std::u16string atlasFolder = Core::utf8ToWide(folder.string());
    makeAtlas()->load(atlasFolder); // writes atlas.xml for the folder
    std::string xml = readAll(dir / "data" / "atlas.xml");
    std::string entries;
    for (std::int64_t i = 0; i < state.range(0); ++i)
        entries += "\t<map name=\"m\" src=\"gone_" + std::to_string(i) + ".kvm\" type=\"city\" time=\"1\" />\r\n";
    xml.insert(xml.rfind("</atlas>"), entries);
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(dir / "data" / "atlas.xml", std::ios::binary) << xml;
        auto atlas = makeAtlas();
        state.ResumeTiming();
        benchmark::DoNotOptimize(atlas->load(atlasFolder));
        state.PauseTiming();
        if (atlas->vanishedMaps().size() != 100) state.SkipWithError("not every gone map counted");
        atlas.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(atlasWithGoneMaps)->RangeMultiplier(4)->Range(1 << 12, 1 << 18)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

} // namespace
