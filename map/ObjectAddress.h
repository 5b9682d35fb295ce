#pragma once
// The address of one map object as the map page and the address search
// show it, read from an object address record of a map's address section.

#include <array>
#include <cstdint>
#include <string>

namespace Map {

class KvMap;

struct ObjectAddress {
    // 0 name, 1 city, 2 street, 3 house number or address line, 4..8 further
    // details (flag words of the record).
    std::array<std::u16string, 9> texts;
    std::uint16_t number1 = 0; // POI type
    std::uint32_t number2 = 0; // x
    std::uint32_t number3 = 0; // y
    std::uint32_t number4 = 0;

    void clear() { *this = ObjectAddress{}; }
};

// Reads the object address record at `recordOffset` of the map's address
// table 5 with the texts it names. Offset 0 gives a cleared address and
// true. False at the first record or text that cannot be read; the output
// then keeps what was filled so far.
bool readObjectAddress(KvMap& map, std::uint32_t recordOffset, ObjectAddress& out);

} // namespace Map
