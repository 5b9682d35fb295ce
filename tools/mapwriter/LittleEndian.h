#pragma once
// Little-endian byte appenders shared by the fixture writers; the buffer is
// any container of bytes or chars with push_back.

#include <cstdint>

namespace TestSupport {

template <class Buffer> void put8(Buffer& out, std::uint32_t v) {
    out.push_back(static_cast<typename Buffer::value_type>(v & 0xFF));
}
template <class Buffer> void put16(Buffer& out, std::uint32_t v) {
    put8(out, v);
    put8(out, v >> 8);
}
template <class Buffer> void put32(Buffer& out, std::uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}

} // namespace TestSupport
