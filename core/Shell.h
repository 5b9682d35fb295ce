#pragma once
// Opening a document or a web link with the program the user's desktop
// chooses for it, without waiting for that program: a browser that runs in
// the foreground would otherwise hold the main loop, its frames and its
// guidance, for as long as the wait lasted.

#include "platform/Process.h"

#include <chrono>
#include <memory>
#include <string_view>

namespace Core {

// How long the opener's end counts as its verdict. An opener that hands
// the target on (xdg-open to a running desktop) ends within a fraction of
// this; one that runs the browser in the foreground is still running then.
inline constexpr std::chrono::milliseconds OpenerWait{2000};

// One start of the opener for one target. Main thread only.
class ShellOpening {
  public:
    enum class Verdict { Pending, Opened, Failed };

    // An opening of nothing: Failed.
    ShellOpening() = default;

    // Whether the opener could be started.
    bool started() const;
    // What is known now, without waiting: Pending while the opener runs
    // within its wait; Opened when it ended with status 0 (or one that
    // could not be read) or still ran when the wait was over; Failed when
    // it could not be started or ended with another status within its wait
    // (xdg-open without a browser ends with 3), which is logged, once.
    Verdict verdict() const;

    struct State;

  private:
    friend ShellOpening shellOpen(std::u16string_view target, std::chrono::milliseconds wait);
    std::shared_ptr<State> m_state;
};

// Starts the opener with the target (a path in the program's form, "\"
// separators allowed, or an address such as "http://...") and returns at
// once. A start that fails is logged at once; the opener's end wakes the
// main loop (Threading::wakeMainLoop), so that a page that holds the
// opening reads its verdict at its next tick.
ShellOpening shellOpen(std::u16string_view target, std::chrono::milliseconds wait = OpenerWait);

// Main thread, between events: logs the end of the openers nobody asked
// for their verdict (a link button does not report a failure, but the log
// keeps it), and forgets the openers whose verdict is known.
void followOpeners();

} // namespace Core
