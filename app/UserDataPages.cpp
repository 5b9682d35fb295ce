#include "app/PageCreators.h"

#include "app/fdEngine.h"

namespace engine {

// The track, waypoint, chooser, favourite and received-waypoint pages.
bool createUserDataPage(fdEngine& /*engine*/, const std::string& /*designName*/) {
    return false;
}

} // namespace engine
