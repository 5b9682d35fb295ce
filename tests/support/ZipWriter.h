#pragma once
// Writes ZIP archives for tests: stored entries by default, with optional
// per-entry extra fields (local and central ones may differ, as Info-ZIP
// writes them), file comments, deflated entries and an archive comment, so
// that both good packages and the ones a reader must refuse can be made.

#include <cstdint>
#include <string>
#include <vector>

namespace TestSupport {

struct ZipWriterEntry {
    std::string name;
    std::string data; // uncompressed bytes
    std::uint16_t method = 0; // 0 stored, 8 deflated (compressed with zlib)
    std::uint16_t flags = 0;
    std::string localExtra;
    std::string centralExtra;
    std::string comment;
};

class ZipWriter {
public:
    // A stored entry.
    ZipWriterEntry& add(std::string name, std::string data);
    ZipWriterEntry& add(ZipWriterEntry entry);
    void setComment(std::string comment) { m_comment = std::move(comment); }
    // Bytes placed before the first local header (a prefix the central
    // directory offsets account for).
    void setPrefix(std::string prefix) { m_prefix = std::move(prefix); }

    std::string bytes() const;

private:
    std::vector<ZipWriterEntry> m_entries;
    std::string m_comment;
    std::string m_prefix;
};

// Little-endian field helpers, also used by tests that damage archives.
void putU16(std::string& out, std::uint16_t value);
void putU32(std::string& out, std::uint32_t value);
void setU16At(std::string& bytes, std::size_t offset, std::uint16_t value);
void setU32At(std::string& bytes, std::size_t offset, std::uint32_t value);
std::uint16_t u16At(const std::string& bytes, std::size_t offset);
std::uint32_t u32At(const std::string& bytes, std::size_t offset);

} // namespace TestSupport
