#pragma once
// The program's version: one text for the start-up log line, the crash
// report, the GPX files it writes, and the pages that show it.

#include <string_view>

namespace Core {

inline constexpr std::string_view kProgramVersion = "2.9.0.2230";

} // namespace Core
