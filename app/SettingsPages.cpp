#include "app/PageCreators.h"

#include "app/fdEngine.h"

namespace engine {

// The render, POI type, polyline, button, route file, routing, other settings and sensors pages.
bool createSettingsPage(fdEngine& /*engine*/, const std::string& /*designName*/) {
    return false;
}

} // namespace engine
