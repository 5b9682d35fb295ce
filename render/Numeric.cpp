#include "render/Numeric.h"

#include <cmath>

namespace xe {

std::uint32_t isqrt(std::uint32_t n) {
    return static_cast<std::uint32_t>(isqrt64(n));
}

std::uint64_t isqrt64(std::uint64_t n) {
    // Below 2^52 the double is exact and its rounded root is off by at most
    // one, which the squares then settle (the radii and segment lengths of
    // every band come here).
    if (n < (std::uint64_t{1} << 52)) {
        auto root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n)));
        if (root * root > n) --root;
        else if ((root + 1) * (root + 1) <= n) ++root;
        return root;
    }
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
