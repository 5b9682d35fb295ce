#pragma once
// The simplest dialog the X server can show, for the messages that end the
// program before (or instead of) its own window: a window of its own with
// the caption as its title, the text in the server's built-in font and an
// "OK" button. It does not depend on SDL, so it works when the program's
// window never opened.

#include <string_view>

namespace Platform {

// Shows the dialog and waits until the user closes it ("OK", Enter, Escape
// or the window manager's close) or a quit signal arrives. False at once, showing nothing, when
// there is no X display to show it on, or when SDL_VIDEODRIVER names a
// driver other than x11 (the dummy driver of headless runs and tests).
// Text and caption are UTF-8; what the built-in font cannot show is '?'.
bool showMessageDialog(std::string_view caption, std::string_view text);

} // namespace Platform
