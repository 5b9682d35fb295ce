#pragma once
// Opening a document or a web link with the program the user's desktop
// chooses for it.

#include "platform/Process.h"

#include <string_view>

namespace Core {

// Starts the opener with the target (a path in the program's form, "\"
// separators allowed, or an address such as "http://..."). True when the
// opener was started; it is not waited for. child, when given, receives the
// started process.
bool shellOpen(std::u16string_view target, Platform::ChildProcess* child = nullptr);

} // namespace Core
