// The buttons file as the key bindings read it.
#include "core/Config.h"
#include "ui/ButtonBindings.h"
#include "ui/ButtonsFile.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    Core::Config config;
    Ui::ButtonBindings bindings(config.root());
    if (Ui::loadButtonsText(std::string(reinterpret_cast<const char*>(data), size), bindings)) {
        // What loaded writes a text that loads to the same text.
        const std::string text = Ui::buttonsText(bindings);
        Ui::ButtonBindings again(config.root());
        if (!Ui::loadButtonsText(text, again) || Ui::buttonsText(again) != text)
            __builtin_trap();
    }
    return 0;
}
