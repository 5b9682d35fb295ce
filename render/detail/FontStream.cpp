#include "render/detail/FontStream.h"

#include <algorithm>
#include <climits>

namespace Render::detail {

unsigned long readFontStream(SDL_RWops* source, long base, unsigned long offset, unsigned char* buffer,
                             unsigned long count) {
    const unsigned long limit = static_cast<unsigned long>(INT_MAX);
    const bool reachable = base >= 0 && static_cast<unsigned long>(base) <= limit &&
                           offset <= limit - static_cast<unsigned long>(base);
    if (!source || !reachable ||
        SDL_RWseek(source, static_cast<int>(base + static_cast<long>(offset)), RW_SEEK_SET) < 0)
        return count == 0 ? 1 : 0;
    if (count == 0) return 0;
    const int n = SDL_RWread(source, buffer, 1, static_cast<int>(std::min(count, limit)));
    return n > 0 ? static_cast<unsigned long>(n) : 0;
}

} // namespace Render::detail
