// Typing latency of the on-screen keyboard: the find page hands it the
// letters that may follow after every typed character, and the keyboard
// rebuilds and counts the keys of each language to choose one. The shipped
// layouts (English and Russian on a 12 x 4 grid) over the design's keyboard
// template.

#include "bench/support/DesignEngine.h"
#include "core/FileSystem.h"
#include "ui/DesignDescription.h"
#include "ui/EngineServices.h"
#include "ui/Keyboard.h"
#include "ui/KeyboardLayouts.h"
#include "ui/fdInterface.h"

#include <SDL/SDL.h>
#include <benchmark/benchmark.h>

namespace {

void BM_TypeOneCharacter(benchmark::State& state) {
    SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE);
    Bench::DesignEngine engine;
    Ui::KeyboardLayouts layouts;
    const std::string data = MIREL_SOURCE_DATA;
    if (!Ui::readTheme(Bench::readFile(data + "/skin/design800x480.xml"), true,
                       FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts)) {
        state.SkipWithError("the shipped design does not load");
        return;
    }
    Ui::fdInterface ui(&engine, nullptr);
    auto* page = new Ui::fdPage(&ui, "find", nullptr);
    auto keyboard = Ui::openPageKeyboard(*page, layouts, "Letters", "English;Russian");
    if (!keyboard) {
        state.SkipWithError("the shipped layouts have no grid \"Letters\" with a template");
        return;
    }
    // Letters after "Ma", after "Мо" and after a dead end: the first keeps
    // the language, the second switches, the third greys every key.
    const std::vector<std::vector<char16_t>> steps = {
        {u' ', u'i', u'r', u's'}, {u'\u0432', u'\u0441', u'\u0442'}, {}};
    std::size_t step = 0;
    for (auto _ : state) {
        keyboard->setValidLetters(steps[step]);
        step = (step + 1) % steps.size();
    }
    keyboard.reset();
    ui.applyPendingChanges();
    SDL_Quit();
}
BENCHMARK(BM_TypeOneCharacter)->Unit(benchmark::kMicrosecond);

} // namespace
