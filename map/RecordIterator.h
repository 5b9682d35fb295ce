#pragma once
// Walks the records of one loaded cell block. Each record starts with a
// 4-byte header: u8 type, u8 size bits 16..23, u16 size bits 0..15 (little
// endian); the size counts the header. Decoding the payload is the drawing
// layers' business.
//
// A block comes from a map file the user can swap or damage, so every header
// is checked against the bytes left: a record shorter than its header (size
// 0 would never advance) or one that runs past the block ends the walk, with
// one logged error.

#include "map/Level.h"

#include <cstdint>

namespace Map {

struct Record {
    std::uint32_t type = 0;
    const std::uint8_t* start = nullptr;
    std::uint32_t size = 0;
    const std::uint8_t* end = nullptr;     // start + size
    const std::uint8_t* payload = nullptr; // start + 4
};

class RecordIterator {
  public:
    RecordIterator() = default;
    // The records of [begin, end); an empty range has none.
    RecordIterator(const std::uint8_t* begin, const std::uint8_t* end);
    // From the current position of a cell's items.
    explicit RecordIterator(const Level::CellItems& items);

    // The next record; false when there are no more (or the rest of the block
    // is damaged).
    bool next(Record& out);
    // The next record of the given type, skipping the others.
    bool nextOfType(std::uint8_t type, Record& out);

  private:
    // The size of the record at m_current, or 0 (after logging and ending the
    // walk) when its header does not fit what is left of the block.
    std::uint32_t checkedSize();

    const std::uint8_t* m_begin = nullptr;
    const std::uint8_t* m_current = nullptr;
    const std::uint8_t* m_end = nullptr;
};

} // namespace Map
