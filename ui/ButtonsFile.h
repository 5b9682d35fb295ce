#pragma once
// Reading and writing the buttons file (layout in ui/ButtonBindings.h).

#include <string>
#include <string_view>

namespace Ui {

class ButtonBindings;

// Reads the file named by bindings.buttonsFile, taken relative to the data
// folder (an absolute name is used as it stands). False after logging when
// the file can't be opened or read or is not a buttons file; the bindings
// keep what they held for everything the file does not set.
bool loadButtons(std::u16string_view dataFolder, ButtonBindings& bindings);

// The same on the file's text.
bool loadButtonsText(std::string text, ButtonBindings& bindings);

// The file's text for the bindings: the ten fixed keys, then the actions in
// key order.
std::string buttonsText(const ButtonBindings& bindings);

// Replaces the file at path with buttonsText(bindings). The old file stays
// as it was unless the whole new text reached the disk; false after
// logging otherwise.
bool writeButtons(std::u16string_view path, const ButtonBindings& bindings);

} // namespace Ui
