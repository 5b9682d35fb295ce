#pragma once
// Little-endian fields of the program's own binary files (tracks,
// favourites) and of the online service's packed tracks, independent of
// the host's byte order.

#include <bit>
#include <cstdint>

namespace UserData::detail {

inline void putU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putU64(std::uint8_t* p, std::uint64_t v) {
    putU32(p, static_cast<std::uint32_t>(v));
    putU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline void putF32(std::uint8_t* p, float v) {
    putU32(p, std::bit_cast<std::uint32_t>(v));
}

inline std::uint16_t getU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
inline std::uint64_t getU64(const std::uint8_t* p) {
    return getU32(p) | (std::uint64_t{getU32(p + 4)} << 32);
}
inline float getF32(const std::uint8_t* p) {
    return std::bit_cast<float>(getU32(p));
}

} // namespace UserData::detail
