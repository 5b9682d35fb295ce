#pragma once
// Opening a document or a web link with the program the user's desktop
// chooses for it.

#include "platform/Process.h"

#include <chrono>
#include <string_view>

namespace Core {

// How long shellOpen waits for the opener's verdict. An opener that hands
// the target on (xdg-open to a running desktop) ends within a fraction of
// this; one that runs the browser in the foreground is still running then.
inline constexpr std::chrono::milliseconds OpenerWait{2000};

// Starts the opener with the target (a path in the program's form, "\"
// separators allowed, or an address such as "http://...") and waits up to
// `wait` for it to end. True when it ended with status 0 (or one that
// could not be read) or still runs then (it is not waited for any longer);
// false, logged, when it could not be started or ended with another status
// (xdg-open without a browser ends with 3). child, when given, receives the
// started process.
bool shellOpen(std::u16string_view target, Platform::ChildProcess* child = nullptr,
               std::chrono::milliseconds wait = OpenerWait);

} // namespace Core
