#include "screens/LeaveCommand.h"

#include "ui/fdPage.h"

#include <SDL.h>

namespace Screens {

bool leaveCommand(Ui::fdPage& page, const std::string& name) {
    if (name != "close" && name != "hide" && name != "back")
        return false;
    page.handleCommonCommand(name);
    if (name == "close") {
        SDL_Event event{};
        event.type = SDL_VIDEOEXPOSE;
        SDL_PushEvent(&event);
    }
    return true;
}

} // namespace Screens
