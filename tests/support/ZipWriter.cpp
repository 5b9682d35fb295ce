#include "tests/support/ZipWriter.h"

#include <stdexcept>
#include <zlib.h>

namespace TestSupport {
namespace {
// 1980-01-01 00:00:00 in DOS format.
constexpr std::uint16_t DosTime = 0;
constexpr std::uint16_t DosDate = 0x0021;

std::string rawDeflate(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    return out;
}
} // namespace

void putU16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void putU32(std::string& out, std::uint32_t value) {
    putU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    putU16(out, static_cast<std::uint16_t>(value >> 16));
}

void setU16At(std::string& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

void setU32At(std::string& bytes, std::size_t offset, std::uint32_t value) {
    setU16At(bytes, offset, static_cast<std::uint16_t>(value & 0xFFFF));
    setU16At(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint16_t u16At(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(offset)) |
                                      static_cast<unsigned char>(bytes.at(offset + 1)) << 8);
}

std::uint32_t u32At(const std::string& bytes, std::size_t offset) {
    return u16At(bytes, offset) | std::uint32_t{u16At(bytes, offset + 2)} << 16;
}

ZipWriterEntry& ZipWriter::add(std::string name, std::string data) {
    ZipWriterEntry e;
    e.name = std::move(name);
    e.data = std::move(data);
    return add(std::move(e));
}

ZipWriterEntry& ZipWriter::add(ZipWriterEntry entry) {
    m_entries.push_back(std::move(entry));
    return m_entries.back();
}

std::string ZipWriter::bytes() const {
    std::string out = m_prefix;
    std::string central;
    for (const ZipWriterEntry& e : m_entries) {
        const std::string stored = e.method == 8 ? rawDeflate(e.data) : e.data;
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        const std::uint16_t needed = e.method == 8 ? 20 : 10;
        const auto localOffset = static_cast<std::uint32_t>(out.size());

        putU32(out, 0x04034b50);
        putU16(out, needed);
        putU16(out, e.flags);
        putU16(out, e.method);
        putU16(out, DosTime);
        putU16(out, DosDate);
        putU32(out, crc);
        putU32(out, static_cast<std::uint32_t>(stored.size()));
        putU32(out, static_cast<std::uint32_t>(e.data.size()));
        putU16(out, static_cast<std::uint16_t>(e.name.size()));
        putU16(out, static_cast<std::uint16_t>(e.localExtra.size()));
        out += e.name;
        out += e.localExtra;
        out += stored;

        putU32(central, 0x02014b50);
        putU16(central, 0x031E); // made by Unix, version 3.0
        putU16(central, needed);
        putU16(central, e.flags);
        putU16(central, e.method);
        putU16(central, DosTime);
        putU16(central, DosDate);
        putU32(central, crc);
        putU32(central, static_cast<std::uint32_t>(stored.size()));
        putU32(central, static_cast<std::uint32_t>(e.data.size()));
        putU16(central, static_cast<std::uint16_t>(e.name.size()));
        putU16(central, static_cast<std::uint16_t>(e.centralExtra.size()));
        putU16(central, static_cast<std::uint16_t>(e.comment.size()));
        putU16(central, 0); // disk number start
        putU16(central, 0); // internal attributes
        putU32(central, 0); // external attributes
        putU32(central, localOffset);
        central += e.name;
        central += e.centralExtra;
        central += e.comment;
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    putU32(out, 0x06054b50);
    putU16(out, 0);
    putU16(out, 0);
    putU16(out, static_cast<std::uint16_t>(m_entries.size()));
    putU16(out, static_cast<std::uint16_t>(m_entries.size()));
    putU32(out, static_cast<std::uint32_t>(central.size()));
    putU32(out, centralOffset);
    putU16(out, static_cast<std::uint16_t>(m_comment.size()));
    out += m_comment;
    return out;
}

} // namespace TestSupport
