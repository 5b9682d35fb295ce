// config.xml: what loads survives a save and a load unchanged.
#include "core/Config.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    Core::Config config;
    if (!config.loadXml(std::string(reinterpret_cast<const char*>(data), size), u"fuzz"))
        return 0;
    const std::string saved = config.toXml();
    Core::Config again;
    if (!again.loadXml(saved, u"again") || again.toXml() != saved)
        __builtin_trap();
    return 0;
}
