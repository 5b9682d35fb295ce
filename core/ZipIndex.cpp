#include "core/ZipIndex.h"

#include "core/Format.h"

#include <algorithm>

namespace FileSystem {
namespace {
constexpr std::uint32_t EndSignature = 0x06054b50;
constexpr std::uint32_t CentralSignature = 0x02014b50;
constexpr std::uint32_t LocalSignature = 0x04034b50;
constexpr std::uint64_t EndBytes = 22;
constexpr std::uint64_t CentralBytes = 46;
constexpr std::uint64_t LocalBytes = 30;
constexpr std::uint32_t MaxNameBytes = 255;

std::uint16_t u16At(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t u32At(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

ZipIndex failed(std::string error) {
    ZipIndex index;
    index.error = std::move(error);
    return index;
}
} // namespace

ZipIndex readZipIndex(const std::uint8_t* bytes, std::uint64_t size) {
    if (size < EndBytes)
        return failed(Core::format("file of %I64u bytes is too small", size));
    const std::uint8_t* end = bytes + (size - EndBytes);
    if (u32At(end) != EndSignature || u16At(end + 20) != 0)
        return failed("no end of central directory record in the last 22 bytes "
                      "(an archive comment is not supported)");
    const std::uint32_t count = u16At(end + 8);
    // The directory offset counts from the start of the file.
    std::uint64_t position = u32At(end + 16);
    if (position > size - EndBytes)
        return failed(Core::format("central directory offset %u lies beyond the file", position));

    ZipIndex index;
    index.entries.reserve(std::min<std::uint64_t>(count, (size - position) / CentralBytes));
    for (std::uint32_t i = 0; i < count; ++i) {
        if (CentralBytes > size - position)
            return failed(Core::format("central directory record %u is cut off", i));
        const std::uint8_t* record = bytes + position;
        if (u32At(record) != CentralSignature)
            return failed(Core::format("bad signature of central directory record %u", i));
        const std::uint16_t flags = u16At(record + 8);
        const std::uint16_t method = u16At(record + 10);
        const std::uint32_t dataSize = u32At(record + 24);
        const std::uint16_t nameBytes = u16At(record + 28);
        const std::uint16_t extraBytes = u16At(record + 30);
        const std::uint16_t commentBytes = u16At(record + 32);
        const std::uint32_t localOffset = u32At(record + 42);
        if (nameBytes > MaxNameBytes)
            return failed(Core::format("name of entry %u is %u bytes long", i, nameBytes));
        const std::uint64_t recordBytes = CentralBytes + nameBytes + extraBytes + commentBytes;
        if (recordBytes > size - position)
            return failed(Core::format("central directory record %u is cut off", i));
        std::string name(reinterpret_cast<const char*>(record + CentralBytes), nameBytes);
        if (method != 0)
            return failed(Core::format("entry '%s' is compressed (method %u)", name, method));
        if (flags & 1)
            return failed(Core::format("entry '%s' is encrypted", name));
        position += recordBytes;
        if (dataSize == 0)
            continue;

        // The local header's own name and extra lengths place the data: they
        // may differ from the central record's (Info-ZIP writes a longer
        // local extra field).
        if (localOffset > size || LocalBytes > size - localOffset)
            return failed(Core::format("local header of '%s' lies beyond the file", name));
        const std::uint8_t* local = bytes + localOffset;
        if (u32At(local) != LocalSignature)
            return failed(Core::format("bad local header signature of '%s'", name));
        const std::uint64_t dataOffset =
            std::uint64_t{localOffset} + LocalBytes + u16At(local + 26) + u16At(local + 28);
        if (dataOffset > size || dataSize > size - dataOffset)
            return failed(Core::format("data of '%s' lies beyond the file", name));
        index.entries.push_back({std::move(name), dataOffset, dataSize});
    }
    std::sort(index.entries.begin(), index.entries.end(),
              [](const ZipEntry& a, const ZipEntry& b) { return a.name < b.name; });
    return index;
}

} // namespace FileSystem
