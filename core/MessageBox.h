#pragma once
// A message box for the messages that end the program (or its start): the
// message goes to the log (Critical), to the standard error stream and, when
// there is an X display and no headless video driver is asked for, into the
// X server's simplest dialog, which the call waits for the user to close.

#include <cstdint>
#include <string_view>

namespace Core {

void messageBox(std::u16string_view text, std::u16string_view caption);

// How many message boxes this process has shown. A start compares the count
// before and after itself: a failed start that already told the user why
// says nothing more, whatever earlier starts in the same process showed.
unsigned messageBoxCount();

// The same for a failed start: the text is followed by the last Critical
// lines of the log from the start's own (those logged since the count
// Log::criticalLineCount gave as it began), which name the file that failed
// and why.
void startFailureBox(std::u16string_view text, std::u16string_view caption, std::uint64_t criticalSince);

} // namespace Core
