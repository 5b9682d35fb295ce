// messages.xml: loaded or refused with a reason, then looked up.
#include "ui/Messages.h"
#include "tests/fuzz/FuzzInput.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    Messages messages;
    try {
        messages.loadText(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const std::runtime_error&) {
        return 0;
    }
    messages.text("msg_gps_off");
    messages.text("");
    return 0;
}
