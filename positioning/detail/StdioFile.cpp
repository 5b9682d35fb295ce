#include "positioning/detail/StdioFile.h"

#include <cerrno>

namespace Positioning::detail {

StdioFile::StdioFile(const std::string& path, const char* mode) {
    m_file = std::fopen(path.c_str(), mode);
    if (!m_file) m_error = errno;
}

StdioFile::~StdioFile() {
    if (m_file) std::fclose(m_file);
}

std::size_t StdioFile::read(void* buffer, std::size_t itemSize, std::size_t itemCount) {
    if (!m_file) return 0;
    const std::size_t n = std::fread(buffer, itemSize, itemCount, m_file);
    if (n < itemCount && std::ferror(m_file)) m_error = errno;
    return n;
}

std::size_t StdioFile::write(const void* buffer, std::size_t itemSize, std::size_t itemCount) {
    if (!m_file) return 0;
    const std::size_t n = std::fwrite(buffer, itemSize, itemCount, m_file);
    if (n < itemCount) m_error = errno;
    return n;
}

std::uint32_t StdioFile::tell() {
    if (!m_file) return 0xFFFFFFFFu;
    const long p = std::ftell(m_file);
    return p < 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(p);
}

bool StdioFile::seek(std::int32_t position) {
    return m_file && std::fseek(m_file, position, SEEK_SET) == 0;
}
bool StdioFile::seekRelative(std::int32_t offset) {
    return m_file && std::fseek(m_file, offset, SEEK_CUR) == 0;
}
bool StdioFile::seekToEnd() {
    return m_file && std::fseek(m_file, 0, SEEK_END) == 0;
}

void StdioFile::flush() {
    if (m_file) std::fflush(m_file);
}

} // namespace Positioning::detail
