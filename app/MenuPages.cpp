#include "app/PageCreators.h"

#include "app/fdEngine.h"

namespace engine {

// The main and settings menus, information, keyboard and atlases pages.
bool createMenuPage(fdEngine& /*engine*/, const std::string& /*designName*/) {
    return false;
}

} // namespace engine
