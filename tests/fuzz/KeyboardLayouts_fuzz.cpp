// The keyboard layouts file: loaded or refused, then a keyboard opened on
// every group's grid, every language shown in both cases, every key
// pressed and the allowed letters narrowed, as the search page does.
#include "tests/fuzz/FuzzInput.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/Keyboard.h"
#include "ui/KeyboardLayouts.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    Ui::KeyboardLayouts layouts;
    if (!layouts.loadText(std::string(reinterpret_cast<const char*>(data), size),
                          [](const std::string& name) { return name.size() < 12; }))
        return 0;
    UiTest::FakeEngine engine;
    Ui::fdInterface ui(&engine, nullptr);
    auto* page = new Ui::fdPage(&ui, "page", nullptr);
    for (const std::string& name : layouts.layoutNames(true)) {
        const Ui::KeyboardGrid* grid = layouts.group(name);
        // A template of grid cells, as a design gives one; huge grids are
        // refused by no design, so they are skipped here.
        if (grid->columns <= 0 || grid->rows <= 0 || grid->columns * grid->rows > 128)
            continue;
        Ui::TemplateDescription cells;
        cells.w = 40 * grid->columns;
        cells.h = 40 * grid->rows;
        for (int i = 0; i < grid->columns * grid->rows; ++i)
            cells.creators.push_back(std::make_unique<UiTest::TestCreator>(
                UiTest::TestCreator::Button, std::to_string(i), i % grid->columns * 40, i / grid->columns * 40, 40, 40));
        auto* keyboard = new Ui::Keyboard(cells, page, &ui, &layouts, name, "");
        for (std::size_t language = 0; language <= layouts.languages().size(); ++language) {
            keyboard->setCase(1);
            keyboard->setCase(0);
            for (std::size_t key = 0; key < keyboard->keys().size(); ++key)
                if (const auto* button = keyboard->keys()[key].widget)
                    keyboard->childClicked(button->name());
            keyboard->setValidLetters({u' ', u'a', u'\u0436'});
            keyboard->setValidLetters(Ui::Keyboard::AllLetters);
            keyboard->nextLanguage();
        }
        ui.applyPendingChanges();
    }
    return 0;
}
