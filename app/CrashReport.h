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

// The report's lines, in the order they are logged. A fault the program's
// own code raised is named by what it says instead of an instruction, and
// by what the program was doing ("running", "shutting down").
std::vector<std::string> crashReportLines(const Platform::FaultReport& report, std::string_view doing = "running");
// Logs the lines at Critical.
void logCrashReport(const Platform::FaultReport& report, std::string_view doing = "running");
// Shows "Critical error.\nAdditional info in log.txt" captioned "Mirel -
// Critical error".
void showCrashBox();
// Both: the machine fault handler's reporter.
void reportCrash(const Platform::FaultReport& report);

} // namespace engine
