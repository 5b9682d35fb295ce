#pragma once
// Bounds the memory a scope may take: lowers the process's address-space
// limit to what it uses now plus `headroom` bytes, so that an allocation
// far beyond what the code needs fails with std::bad_alloc instead of
// being granted by overcommit.

#include <cstdint>

namespace TestSupport {

class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(std::uint64_t headroom);
    ~AddressSpaceLimit();
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

private:
    std::uint64_t m_savedCurrent;
};

} // namespace TestSupport
