#include "app/PageCreators.h"

#include "app/fdEngine.h"

#include "platform/Path.h"
#include "screens/fdPageGPSX.h"
#include "screens/fdPageSetupGPSX.h"
#include "ui/Messages.h"

namespace engine {

// The GPS information and GPS setup pages.
bool createGpsPage(fdEngine& engine, const std::string& designName) {
    if (designName == "pageGPS") {
        new Screens::fdPageGPSX(engine.ui(), engine.configRoot(), engine.positioning(), engine.messages());
        return true;
    }
    if (designName == "pageSetupGPS") {
        // A receiver wired to one port (a device's own) is not searched for.
        auto* page = new Screens::fdPageSetupGPSX(engine.ui(), engine.configRoot(), engine.positioning(),
                                                  *engine.messages(), false);
        // The same places the port system opens (see the engine's start-up).
        page->setPortLocator({Platform::toNativePath(engine.dataPath(u"ports")), true});
        return true;
    }
    return false;
}

} // namespace engine
