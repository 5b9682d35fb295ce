#include "app/PageCreators.h"

#include "app/fdEngine.h"

namespace engine {

// The online friends, account, friend options and point receivers pages.
bool createOnlinePage(fdEngine& /*engine*/, const std::string& /*designName*/) {
    return false;
}

} // namespace engine
