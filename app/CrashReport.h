#pragma once
// The crash report written to the log when the main thread faults, and the
// one message the user sees.

#include "core/Version.h"
#include "platform/CrashGuard.h"

#include <string>
#include <string_view>
#include <vector>

namespace engine {

// The program's version as every fault line names it.
inline constexpr std::string_view kProgramVersion = Core::kProgramVersion;

// The report's lines, in the order they are logged.
std::vector<std::string> crashReportLines(const Platform::FaultReport& report);
// Logs the lines at Critical and shows "Critical error.\nAdditional info in
// log.txt" captioned "Mirel - Critical error".
void reportCrash(const Platform::FaultReport& report);

} // namespace engine
