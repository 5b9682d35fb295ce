#pragma once
// A message box: the program has no dialog windows of its own here, so the
// message goes to the log (Critical) and to the standard error stream, where
// a user starting the program from a terminal or a desktop session log sees it.

#include <string_view>

namespace Core {

void messageBox(std::u16string_view text, std::u16string_view caption);

} // namespace Core
