#include "platform/File.h"

#include "platform/Error.h"
#include "platform/Path.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Platform {
namespace {

bool isDirectoryDescriptor(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

int flagsOf(File::Mode mode) {
    switch (mode) {
    case File::Mode::Read: return O_RDONLY;
    case File::Mode::Write: return O_WRONLY | O_CREAT | O_TRUNC;
    case File::Mode::Append: return O_RDWR | O_CREAT | O_APPEND;
    case File::Mode::ReadWrite: return O_RDWR;
    }
    return O_RDONLY;
}

} // namespace

File::~File() {
    if (m_fd >= 0)
        ::close(m_fd);
}

File::File(File&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

File File::open(std::u16string_view path, Mode mode) { return openNative(toNativePath(path), mode); }

File File::openNative(const std::string& path, Mode mode) {
    if (path.empty()) {
        setLastError(ErrorPathNotFound);
        return File();
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flagsOf(mode) | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        setLastErrorFromErrno();
        return File();
    }
    // A read-only open of a directory succeeds on Linux; the program's
    // file interfaces expect it to fail as on other systems.
    if (isDirectoryDescriptor(fd)) {
        ::close(fd);
        errno = EISDIR;
        setLastError(ErrorAccessDenied);
        return File();
    }
    setLastError(ErrorSuccess);
    return File(fd);
}

bool File::read(void* buffer, std::size_t size, std::size_t& transferred) {
    transferred = 0;
    if (m_fd < 0) {
        setLastError(ErrorInvalidHandle);
        return false;
    }
    auto* out = static_cast<char*>(buffer);
    while (transferred < size) {
        const ssize_t n = ::read(m_fd, out + transferred, size - transferred);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setLastErrorFromErrno();
            return false;
        }
        if (n == 0)
            break;
        transferred += static_cast<std::size_t>(n);
    }
    setLastError(ErrorSuccess);
    return true;
}

bool File::write(const void* buffer, std::size_t size, std::size_t& transferred) {
    transferred = 0;
    if (m_fd < 0) {
        setLastError(ErrorInvalidHandle);
        return false;
    }
    const auto* in = static_cast<const char*>(buffer);
    while (transferred < size) {
        const ssize_t n = ::write(m_fd, in + transferred, size - transferred);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setLastErrorFromErrno();
            return false;
        }
        if (n == 0) {
            setLastError(ErrorDiskFull);
            return false;
        }
        transferred += static_cast<std::size_t>(n);
    }
    setLastError(ErrorSuccess);
    return true;
}

std::int64_t File::seek(std::int64_t offset, SeekOrigin origin) {
    if (m_fd < 0) {
        setLastError(ErrorInvalidHandle);
        return -1;
    }
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (result < 0) {
        setLastErrorFromErrno();
        return -1;
    }
    setLastError(ErrorSuccess);
    return static_cast<std::int64_t>(result);
}

std::int64_t File::tell() { return seek(0, SeekOrigin::Current); }

std::int64_t File::size() {
    if (m_fd < 0) {
        setLastError(ErrorInvalidHandle);
        return -1;
    }
    struct stat st {};
    if (fstat(m_fd, &st) != 0) {
        setLastErrorFromErrno();
        return -1;
    }
    setLastError(ErrorSuccess);
    return static_cast<std::int64_t>(st.st_size);
}

bool File::flush() {
    if (m_fd < 0) {
        setLastError(ErrorInvalidHandle);
        return false;
    }
    if (::fsync(m_fd) != 0) {
        // Streams that cannot be synced (pipes, terminals) have nothing to
        // lose; only a real failure counts.
        if (errno != EINVAL && errno != EROFS) {
            setLastErrorFromErrno();
            return false;
        }
    }
    setLastError(ErrorSuccess);
    return true;
}

bool File::close() {
    if (m_fd < 0) {
        setLastError(ErrorInvalidHandle);
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    // The descriptor is released even when close reports an error; retrying
    // could close a descriptor another thread has just been given.
    if (::close(fd) != 0 && errno != EINTR) {
        setLastErrorFromErrno();
        return false;
    }
    setLastError(ErrorSuccess);
    return true;
}

bool renameFile(std::u16string_view from, std::u16string_view to) {
    if (::rename(toNativePath(from).c_str(), toNativePath(to).c_str()) != 0) {
        setLastErrorFromErrno();
        return false;
    }
    return true;
}

bool deleteFile(std::u16string_view path) {
    const std::string native = toNativePath(path);
    struct stat st {};
    if (lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    if (::unlink(native.c_str()) != 0) {
        setLastErrorFromErrno();
        return false;
    }
    setLastError(ErrorSuccess);
    return true;
}

bool fileExists(std::u16string_view path) {
    struct stat st {};
    if (::stat(toNativePath(path).c_str(), &st) != 0) {
        setLastErrorFromErrno();
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    setLastError(ErrorSuccess);
    return true;
}

bool directoryExists(std::u16string_view path) {
    struct stat st {};
    if (::stat(toNativePath(path).c_str(), &st) != 0) {
        setLastErrorFromErrno();
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        setLastError(ErrorPathNotFound);
        return false;
    }
    setLastError(ErrorSuccess);
    return true;
}

std::FILE* openStdioFile(std::u16string_view path, std::u16string_view mode) {
    std::string narrowMode;
    for (char16_t c : mode) {
        if (c == u't')
            continue;
        if (c == u',') // "ccs=..." encodings are not supported: the stream is bytes
            break;
        if (c > 0x7F) {
            errno = EINVAL;
            setLastError(ErrorInvalidParameter);
            return nullptr;
        }
        narrowMode.push_back(static_cast<char>(c));
    }
    if (narrowMode.empty() || (narrowMode[0] != 'r' && narrowMode[0] != 'w' && narrowMode[0] != 'a')) {
        errno = EINVAL;
        setLastError(ErrorInvalidParameter);
        return nullptr;
    }
    narrowMode.push_back('e'); // close on exec
    const std::string native = toNativePath(path);
    std::FILE* stream = native.empty() ? nullptr : std::fopen(native.c_str(), narrowMode.c_str());
    if (!stream) {
        if (native.empty())
            errno = ENOENT;
        setLastErrorFromErrno();
        return nullptr;
    }
    if (isDirectoryDescriptor(fileno(stream))) {
        std::fclose(stream);
        errno = EISDIR;
        setLastError(ErrorAccessDenied);
        return nullptr;
    }
    setLastError(ErrorSuccess);
    return stream;
}

} // namespace Platform
