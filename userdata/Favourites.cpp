#include "userdata/Favourites.h"

#include "core/FileSystem.h"
#include "core/WinFile.h"
#include "platform/AtomicFile.h"
#include "userdata/detail/LittleEndian.h"

#include <cstring>

using namespace UserData::detail;

namespace {

// File position of each slot's fields.
constexpr int fileOrder[Favourites::SlotCount] = {Favourites::Home, Favourites::Job,   Favourites::One,
                                                  Favourites::Two,  Favourites::Three, Favourites::Four};

} // namespace

void Favourites::load(const std::u16string& path) {
    FileSystem::WinFileForRead file(path);
    if (!file.isOpen()) return;
    std::uint8_t bytes[FileSize] = {};
    const std::size_t size = file.read(bytes, 1, sizeof bytes);
    if (size < 4 || std::memcmp(bytes, "KVFL", 4) != 0) return;
    for (std::size_t i = 0; i < SlotCount; ++i) {
        Entry& e = m_entries[fileOrder[i]];
        if (size > 4 + i) e.set = bytes[4 + i] != 0;
        const std::size_t at = 10 + 8 * i;
        if (size >= at + 8)
            e.point = Map::Point{static_cast<std::int32_t>(getU32(bytes + at)),
                                 static_cast<std::int32_t>(getU32(bytes + at + 4))};
        if (size >= 58 + 4 * i + 4) e.value = getU32(bytes + 58 + 4 * i);
    }
}

bool Favourites::save(const std::u16string& path) const {
    std::uint8_t bytes[FileSize] = {'K', 'V', 'F', 'L'};
    for (std::size_t i = 0; i < SlotCount; ++i) {
        const Entry& e = m_entries[fileOrder[i]];
        bytes[4 + i] = e.set ? 1 : 0;
        putU32(bytes + 10 + 8 * i, static_cast<std::uint32_t>(e.point.x));
        putU32(bytes + 14 + 8 * i, static_cast<std::uint32_t>(e.point.y));
        putU32(bytes + 58 + 4 * i, e.value);
    }
    return Platform::writeFileAtomically(path, bytes, sizeof bytes);
}

bool Favourites::bind(const std::u16string& path, Slot slot, Map::Point point, std::uint32_t value) {
    m_entries[slot] = Entry{true, point, value};
    return save(path);
}

bool Favourites::clear(const std::u16string& path, Slot slot) {
    m_entries[slot].set = false;
    return save(path);
}
