#include "screens/LeaveCommand.h"

#include "core/MainLoopWake.h"
#include "ui/fdPage.h"

namespace Screens {

bool leaveCommand(Ui::fdPage& page, const std::string& name) {
    if (name != "close" && name != "hide" && name != "back")
        return false;
    page.handleCommonCommand(name);
    if (name == "close")
        Threading::wakeMainLoop();
    return true;
}

} // namespace Screens
