// One keystroke on the find page: the engine's step, the labels and the
// keyboard's usable letters, on the real town (data/maps/monaco) and on a
// generated atlas of 100,000 streets (50 maps of 2,000), beside the same
// keystrokes fed to the engine alone. Each iteration types the first five
// letters of a street name after a fresh street search.

#include "bench/support/DesignEngine.h"
#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/Text.h"
#include "screens/fdPageFindX.h"
#include "search/Engine.h"
#include "tests/search/SearchFixture.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "ui/DesignDescription.h"
#include "ui/EngineServices.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"

#include <SDL/SDL.h>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

namespace {

// An atlas and its engine, with the find page built from the shipped
// design over them.
struct Session {
    explicit Session(std::vector<Map::KvMap*> maps, const std::u16string& folder, Core::ResourcesPool& pool) {
        SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_NOPARACHUTE);
        SDL_SetVideoMode(800, 480, 32, SDL_SWSURFACE);
        engine.attach(maps, folder, pool);
        const std::string data = MIREL_SOURCE_DATA;
        Ui::readTheme(Bench::readFile(data + "/skin/design800x480.xml"), true,
                      FileSystem::toWide(data + "/skin/kb_layouts.xml"), design.description, layouts);
        messages.loadText(Bench::readFile(data + "/messages.xml"));
        Screens::SearchServices services;
        services.engine = &engine;
        services.messages = &messages;
        services.config = config.root();
        services.layouts = &layouts;
        page = new Screens::fdPageFindX(&ui, services);
        page->setRect(0, 0, 800, 480);
        Ui::buildPage(*page, design.description);
        ui.activatePage(page);
    }
    // Five letters that begin a word of a street name of the atlas.
    std::u16string streetName() {
        engine.search(TextSearch::StreetsKind, 0, {});
        for (const char16_t* start : {u"a", u"b", u"c", u"d", u"e", u"r", u"s", u"m", u"p"}) {
            engine.reset();
            engine.addKey(start);
            std::vector<TextSearch::ResultItem> rows;
            engine.collectResults(rows);
            for (const auto& row : rows) {
                std::size_t from = 0;
                while (from < row.text.size()) {
                    std::size_t end = row.text.find(u' ', from);
                    if (end == std::u16string::npos) end = row.text.size();
                    if (end - from >= 5) return row.text.substr(from, 5);
                    from = end + 1;
                }
            }
        }
        return u"rue g";
    }
    TestSupport::CaptureLogger quiet{Log::Critical};
    Core::Config config;
    TextSearch::Engine engine;
    Bench::DesignEngine design;
    Ui::fdInterface ui{&design, nullptr};
    Ui::KeyboardLayouts layouts;
    Messages messages;
    Screens::fdPageFindX* page = nullptr;
};

struct Monaco {
    Monaco() {
        std::filesystem::copy_file(std::filesystem::path(MIREL_MONACO_ATLAS_DIR) / "monaco.kvm", dir / "monaco.kvm");
        map = std::make_unique<SearchTest::FixtureMap>(pool, dir / "monaco.kvm");
        session = std::make_unique<Session>(std::vector<Map::KvMap*>{map.get()}, SearchTest::wide(dir.path()), pool);
    }
    TestSupport::TempDir dir;
    Core::ResourcesPool pool{20};
    std::unique_ptr<SearchTest::FixtureMap> map;
    std::unique_ptr<Session> session;
};

struct Generated {
    Generated() {
        std::mt19937 random(50);
        std::vector<SearchTest::MapContent> contents;
        for (int m = 0; m < 50; ++m)
            contents.push_back(SearchTest::randomContent(random, 100, 2000, 200));
        atlas = std::make_unique<SearchTest::FixtureAtlas>(contents);
        session = std::make_unique<Session>(std::vector<Map::KvMap*>(atlas->set.maps().begin(), atlas->set.maps().end()),
                                            atlas->folder(), atlas->pool);
    }
    std::unique_ptr<SearchTest::FixtureAtlas> atlas;
    std::unique_ptr<Session> session;
};

Session& session(int which) {
    if (which == 0) {
        static Monaco monaco;
        return *monaco.session;
    }
    static Generated generated;
    return *generated.session;
}

// Types the letters as key presses reach the page (its keyboard sends them
// on as the key's text).
void typeOnPage(Session& s, const std::u16string& letters) {
    for (char16_t c : letters) {
        s.ui.setKeyEvent(0, c);
        s.page->keyDown('a');
    }
}

void findPageKeystroke(benchmark::State& state) {
    Session& s = session(static_cast<int>(state.range(0)));
    const std::u16string name = s.streetName();
    for (auto _ : state) {
        s.engine.search(TextSearch::StreetsKind, 0, {});
        typeOnPage(s, name);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(name.size()));
    state.counters["matches"] = s.engine.count();
}
BENCHMARK(findPageKeystroke)->Arg(0)->Arg(1)->ArgName("generated")->Unit(benchmark::kMicrosecond);

void engineKeystroke(benchmark::State& state) {
    Session& s = session(static_cast<int>(state.range(0)));
    const std::u16string name = s.streetName();
    for (auto _ : state) {
        s.engine.search(TextSearch::StreetsKind, 0, {});
        for (char16_t c : name) {
            s.engine.addKey(std::u16string(1, c));
            benchmark::DoNotOptimize(s.engine.count());
            TextSearch::Letters letters;
            s.engine.nextLetters(letters);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(name.size()));
    state.counters["matches"] = s.engine.count();
}
BENCHMARK(engineKeystroke)->Arg(0)->Arg(1)->ArgName("generated")->Unit(benchmark::kMicrosecond);

} // namespace
