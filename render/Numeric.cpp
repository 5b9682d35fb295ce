#include "render/Numeric.h"

namespace xe {

std::uint32_t isqrt(std::uint32_t n) {
    return static_cast<std::uint32_t>(isqrt64(n));
}

std::uint64_t isqrt64(std::uint64_t n) {
    // Restoring square root, one result bit per step from the highest down.
    std::uint64_t remainder = n;
    std::uint64_t root = 0;
    std::uint64_t bit = std::uint64_t{1} << 62;
    while (bit > remainder)
        bit >>= 2;
    while (bit != 0) {
        if (remainder >= root + bit) {
            remainder -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
        bit >>= 2;
    }
    return root;
}

} // namespace xe
