#pragma once
// The six favourite destinations and their file "favorites.kvf" (82 bytes,
// little-endian): "KVFL", six u8 set flags, six map points (i32 x, i32 y),
// six u32 values, each in the file order home, job, one, two, three, four,
// which differs from the slot numbers (job is 5).

#include "map/Point.h"

#include <array>
#include <cstdint>
#include <string>

class Favourites {
  public:
    enum Slot : int { Home = 0, One = 1, Two = 2, Three = 3, Four = 4, Job = 5 };
    static constexpr std::size_t SlotCount = 6;
    static constexpr std::size_t FileSize = 82;

    struct Entry {
        bool set = false;
        Map::Point point;
        std::uint32_t value = 0; // the waypoint's index when it was chosen
    };

    // Fills the slots from the file. A missing file or a foreign signature
    // leaves them unbound; a short file leaves the fields it lacks as they
    // were.
    void load(const std::u16string& path);
    // Replaces the file atomically; false when it cannot be written.
    bool save(const std::u16string& path) const;

    // Binds or clears a slot and writes the file. Clearing keeps the point
    // and value in the file.
    bool bind(const std::u16string& path, Slot slot, Map::Point point, std::uint32_t value);
    bool clear(const std::u16string& path, Slot slot);

    const Entry& entry(Slot slot) const { return m_entries[slot]; }

    // The slot the action page and the waypoint chooser work on; -1 none.
    int current = -1;

  private:
    std::array<Entry, SlotCount> m_entries{};
};
