#pragma once
// The text of a message box: the design's label breaks lines only at line
// feeds, so a message is broken into lines that fit the label's width before
// it is handed to the label.

#include <string>
#include <string_view>

namespace Ui {

class fdWindowBase;

// The text with line feeds put between words so that every line, measured
// with the window's font, is at most `width` pixels wide. A word wider than
// that on its own is broken between characters. Existing line feeds stay.
std::u16string wrapText(const fdWindowBase& window, std::u16string_view text, int width);

// Sets the text of the box's "msg_text" widget; a label that may show
// several lines gets the text wrapped to its width. False when the box has
// no such widget.
bool setMessageText(fdWindowBase& box, std::u16string_view text);

// A message about something the system refused, with the system's words
// for the Win32 error number on a line of its own: "...\n(No space left on
// device)". Without words for the number (0 among them) the message alone.
std::u16string withSystemReason(std::u16string text, int error);

} // namespace Ui
