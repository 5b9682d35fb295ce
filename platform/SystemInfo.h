#pragma once
// What the start-up log says about the machine: the processor family and
// the operating system's name and version.

#include <string>

namespace Platform {

struct SystemInfo {
    // 0 Intel family, 1 MIPS, 2 Alpha, 3 PPC, 4 SHx, 5 ARM, 6 IA64, other
    // values unknown.
    unsigned architecture = 0xFFFF;
    // The processor's family and model as /proc/cpuinfo gives them (0 when
    // it does not).
    int processorLevel = 0;
    int processorRevision = 0;
    std::string osName;
    int osMajor = 0;
    int osMinor = 0;
};

SystemInfo systemInfo();

} // namespace Platform
