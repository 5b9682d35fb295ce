// designs.xml: loaded or refused with one of its messages, then the design
// chosen for screens of several sizes and orientations.
#include "tests/fuzz/FuzzInput.h"
#include "ui/DesignsList.h"

#include <climits>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    Ui::DesignsList list;
    try {
        list.loadText(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const std::runtime_error&) {
        return 0;
    }
    const std::int32_t screens[][2] = {{800, 480}, {1600, 900}, {480, 800}, {0, 0}, {-1, -1}, {INT_MAX, INT_MAX}};
    for (const auto& screen : screens)
        for (std::int32_t angle : {0, 90, 180, 270, -90, INT_MIN}) {
            const Ui::DesignsList::Choice choice = list.choose(screen[0], screen[1], angle);
            // A choice always fits the screen one way or the other.
            if (choice.entry && !(choice.entry->width <= screen[0] && choice.entry->height <= screen[1]) &&
                !(choice.entry->width <= screen[1] && choice.entry->height <= screen[0]))
                __builtin_trap();
        }
    return 0;
}
