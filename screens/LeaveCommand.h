#pragma once
// The commands by which a driver leaves a page: "close" (quit), "hide" (to
// the tray) and "back" (the previous page).

#include <string>

namespace Ui {
class fdPage;
} // namespace Ui

namespace Screens {

// Runs "close", "hide" and "back" as every page does; after "close" the main
// loop is woken, so that it sees the quit without waiting for an event.
// False, doing nothing, for any other command.
bool leaveCommand(Ui::fdPage& page, const std::string& name);

} // namespace Screens
