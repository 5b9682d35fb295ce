#include "app/PageCreators.h"

#include "app/fdEngine.h"

namespace engine {

// The GPS information and GPS setup pages.
bool createGpsPage(fdEngine& /*engine*/, const std::string& /*designName*/) {
    return false;
}

} // namespace engine
