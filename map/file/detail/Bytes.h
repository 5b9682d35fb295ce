#pragma once
// Little-endian field access on raw section bytes. Callers bound every read
// against the view size first; these helpers only assemble the bytes.

#include <cstdint>

namespace Map::File::detail {

inline std::uint16_t u16At(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t u32At(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t i32At(const std::uint8_t* p) { return static_cast<std::int32_t>(u32At(p)); }

// The 24-bit id stored as u16 low then u8 high (0xFFFFFF is none).
inline std::uint32_t id24At(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(u16At(p)) | (static_cast<std::uint32_t>(p[2]) << 16);
}

// True when [offset, offset + length) lies inside a range of `size` bytes,
// without wrapping however large the operands are.
inline bool fits(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

} // namespace Map::File::detail
