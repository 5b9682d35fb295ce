// Typing latency of the on-screen keyboard: the find page hands it the
// letters that may follow after every typed character, and the keyboard
// rebuilds and counts the keys of each language to choose one. The shipped
// layouts (English and Russian on a 12 x 4 grid) over the design's keyboard
// template.

#include "core/FileSystem.h"
#include "ui/DesignDescription.h"
#include "ui/EngineServices.h"
#include "ui/Keyboard.h"
#include "ui/KeyboardLayouts.h"
#include "ui/fdInterface.h"

#include <SDL/SDL.h>
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Engine : Ui::EngineServices {
    void setQuit() override {}
    bool hideToTray() override { return true; }
    std::u16string dataPath(std::u16string_view name) const override { return std::u16string(name); }
    bool isDay() const override { return true; }
    bool doubleSize() const override { return false; }
    std::int32_t designWidth() const override { return 800; }
    std::int32_t designHeight() const override { return 480; }
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

void BM_TypeOneCharacter(benchmark::State& state) {
    SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE);
    Engine engine;
    Ui::KeyboardLayouts layouts;
    const std::string data = MIREL_SOURCE_DATA;
    if (!Ui::readTheme(readText(data + "/skin/design800x480.xml"), true,
                       FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description, layouts)) {
        state.SkipWithError("the shipped design does not load");
        return;
    }
    Ui::fdInterface ui(&engine, nullptr);
    auto* page = new Ui::fdPage(&ui, "find", nullptr);
    auto keyboard = Ui::openPageKeyboard(*page, layouts, "letters", "English;Russian");
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
