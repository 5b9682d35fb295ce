#include "platform/SystemVolume.h"

namespace Platform {

bool systemVolume(std::uint32_t& volume, int& error) {
    volume = 0xFFFFFFFFu;
    error = 0;
    return true;
}

} // namespace Platform
