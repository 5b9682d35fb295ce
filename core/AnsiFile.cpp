#include "core/AnsiFile.h"

#include "platform/File.h"

#include <cerrno>

namespace FileSystem {

AnsiFile::AnsiFile(std::FILE* stream) : m_stream(stream) {}

AnsiFile::AnsiFile(std::u16string_view path, std::u16string_view mode)
    : m_stream(Platform::openStdioFile(path, mode)) {
    if (!m_stream)
        m_error = errno;
}

AnsiFile::~AnsiFile() {
    if (m_stream)
        std::fclose(m_stream);
}

std::size_t AnsiFile::read(void* buffer, std::size_t itemSize, std::size_t itemCount) {
    if (!m_stream) {
        m_error = EBADF;
        return 0;
    }
    errno = 0;
    const std::size_t n = std::fread(buffer, itemSize, itemCount, m_stream);
    if (n < itemCount)
        m_error = std::ferror(m_stream) ? errno : 0;
    return n;
}

std::size_t AnsiFile::write(const void* buffer, std::size_t itemSize, std::size_t itemCount) {
    if (!m_stream) {
        m_error = EBADF;
        return 0;
    }
    errno = 0;
    const std::size_t n = std::fwrite(buffer, itemSize, itemCount, m_stream);
    if (n < itemCount)
        m_error = errno;
    return n;
}

std::uint32_t AnsiFile::tell() {
    if (!m_stream) {
        m_error = EBADF;
        return 0xFFFFFFFFu;
    }
    const long position = std::ftell(m_stream);
    if (position < 0) {
        m_error = errno;
        return 0xFFFFFFFFu;
    }
    if (static_cast<unsigned long>(position) >= 0xFFFFFFFFul) {
        m_error = EOVERFLOW;
        return 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(position);
}

bool AnsiFile::seekTo(long offset, int whence) {
    if (!m_stream) {
        m_error = EBADF;
        return false;
    }
    if (std::fseek(m_stream, offset, whence) != 0) {
        m_error = errno;
        return false;
    }
    return true;
}

bool AnsiFile::seek(std::int32_t position) { return seekTo(position, SEEK_SET); }
bool AnsiFile::seekRelative(std::int32_t offset) { return seekTo(offset, SEEK_CUR); }
bool AnsiFile::seekToEnd() { return seekTo(0, SEEK_END); }

void AnsiFile::flush() {
    if (m_stream && std::fflush(m_stream) != 0)
        m_error = errno;
}

std::FILE* openStdioFile(std::u16string_view path, std::u16string_view mode) {
    return Platform::openStdioFile(path, mode);
}

} // namespace FileSystem
