#include "app/PageCreators.h"

#include "app/fdEngine.h"

namespace engine {

// The search, the find and results pages, the history, filter, street list, coordinate and POI information pages.
bool createSearchPage(fdEngine& /*engine*/, const std::string& /*designName*/) {
    return false;
}

} // namespace engine
