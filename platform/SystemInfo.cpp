#include "platform/SystemInfo.h"

#include <cstdlib>
#include <fstream>
#include <string_view>
#include <sys/utsname.h>

namespace Platform {

namespace {

unsigned architectureOf(std::string_view machine) {
    const auto startsWith = [&](std::string_view prefix) { return machine.substr(0, prefix.size()) == prefix; };
    if (startsWith("x86") || (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86"))
        return 0;
    if (startsWith("mips"))
        return 1;
    if (startsWith("alpha"))
        return 2;
    if (startsWith("ppc") || startsWith("powerpc"))
        return 3;
    if (startsWith("sh"))
        return 4;
    if (startsWith("arm") || startsWith("aarch64"))
        return 5;
    if (startsWith("ia64"))
        return 6;
    return 0xFFFF;
}

// The first "key : value" line of /proc/cpuinfo with that key, as a number.
int cpuinfoNumber(const std::string& key) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.pop_back();
        if (name == key)
            return std::atoi(line.c_str() + colon + 1);
    }
    return 0;
}

} // namespace

SystemInfo systemInfo() {
    SystemInfo info;
    utsname names{};
    if (::uname(&names) == 0) {
        info.architecture = architectureOf(names.machine);
        info.osName = names.sysname;
        char* end = nullptr;
        info.osMajor = static_cast<int>(std::strtol(names.release, &end, 10));
        if (end && *end == '.')
            info.osMinor = static_cast<int>(std::strtol(end + 1, nullptr, 10));
    }
    info.processorLevel = cpuinfoNumber("cpu family");
    info.processorRevision = cpuinfoNumber("model");
    return info;
}

} // namespace Platform
