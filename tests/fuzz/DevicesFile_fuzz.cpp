// devices.inf: every record read, and the lookup by name.
#include "app/DevicesFile.h"
#include "tests/fuzz/FuzzInput.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput::quietLog();
    try {
        engine::device_specs specs(FuzzInput::scratchFile("devices.inf", data, size));
        for (const engine::DeviceSpec& device : specs.records())
            if (specs.find(device.name) == nullptr)
                __builtin_trap();
        specs.find("pna");
    } catch (const std::runtime_error&) {
    }
    return 0;
}
