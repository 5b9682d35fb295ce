// The design file as start-up reads it: the preview pass, then the full
// pass, then every page built from it and every template opened as a
// window of the first page (list rows are built from templates, so nested
// and oversized lists are reached), in a window larger than the design and
// then smaller. A design with big="1" takes the doubling paths.
#include "tests/fuzz/FuzzInput.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DesignDescription.h"
#include "ui/Keyboard.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

namespace {

struct Engine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return described; }
    const Ui::DesignDescription* described = nullptr;
};

// Pages of this build make their custom widgets themselves; here none.
struct Page : Ui::fdPage {
    using fdPage::fdPage;
    void createCustom(const Ui::CustomCreator&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    const std::string text(reinterpret_cast<const char*>(data), size);
    Ui::DesignDescription preview;
    if (!Ui::readDesign(text, false, preview))
        return 0;
    Ui::DesignDescription design;
    if (!Ui::readDesign(text, true, design))
        return 0;
    // What the preview read, the full pass reads the same.
    if (design.extras.width != preview.extras.width || design.extras.big != preview.extras.big ||
        design.fonts.size() != preview.fonts.size())
        __builtin_trap();
    Engine engine;
    engine.described = &design;
    engine.big = design.extras.big;
    engine.width = design.extras.width;
    engine.height = design.extras.height;
    Ui::fdInterface ui(&engine, nullptr);
    ui.setRect(0, 0, 1280, 720);
    Ui::fdPage* first = nullptr;
    for (const auto& [name, description] : design.pages) {
        auto* page = new Page(&ui, name, nullptr);
        page->build(*description);
        if (!first)
            first = page;
    }
    if (first)
        for (const auto& [name, description] : design.templates)
            Ui::createTemplateWindow(*first, name, "window");
    ui.setRect(0, 0, 320, 240);
    return 0;
}
