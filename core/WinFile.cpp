#include "core/WinFile.h"

#include "platform/Error.h"

#include <limits>

namespace FileSystem {

WinFile::WinFile(Platform::File file, std::u16string path)
    : m_ownFile(std::move(file)), m_handle(&m_ownFile), m_path(std::move(path)), m_ownsHandle(true) {}

WinFile::WinFile(Platform::File* borrowed, std::u16string path)
    : m_handle(borrowed), m_path(std::move(path)), m_ownsHandle(false) {}

int WinFile::lastError() const { return Platform::lastError(); }

std::size_t WinFile::read(void* buffer, std::size_t itemSize, std::size_t itemCount) {
    if (itemSize == 0)
        return itemCount;
    m_position = UnknownPosition;
    if (itemCount > std::numeric_limits<std::size_t>::max() / itemSize) {
        Platform::setLastError(Platform::ErrorInvalidParameter);
        return 0;
    }
    std::size_t transferred = 0;
    if (!m_handle->read(buffer, itemSize * itemCount, transferred))
        return 0;
    return transferred / itemSize;
}

std::size_t WinFile::write(const void* buffer, std::size_t itemSize, std::size_t itemCount) {
    if (itemSize == 0)
        return itemCount;
    m_position = UnknownPosition;
    if (itemCount > std::numeric_limits<std::size_t>::max() / itemSize) {
        Platform::setLastError(Platform::ErrorInvalidParameter);
        return 0;
    }
    std::size_t transferred = 0;
    if (!m_handle->write(buffer, itemSize * itemCount, transferred))
        return 0;
    return transferred / itemSize;
}

std::uint32_t WinFile::tell() {
    if (m_position != UnknownPosition)
        return m_position;
    const std::int64_t position = m_handle->tell();
    if (position < 0)
        return UnknownPosition;
    if (position >= UnknownPosition) {
        Platform::setLastError(Platform::ErrorInvalidParameter);
        return UnknownPosition;
    }
    m_position = static_cast<std::uint32_t>(position);
    return m_position;
}

bool WinFile::moveTo(std::int64_t target) {
    m_position = UnknownPosition;
    if (target < 0) {
        Platform::setLastError(Platform::ErrorNegativeSeek);
        return false;
    }
    if (target >= UnknownPosition) {
        Platform::setLastError(Platform::ErrorInvalidParameter);
        return false;
    }
    const std::int64_t result = m_handle->seek(target, Platform::SeekOrigin::Begin);
    if (result != target)
        return false;
    m_position = static_cast<std::uint32_t>(result);
    return true;
}

bool WinFile::seek(std::int32_t position) { return moveTo(position); }

bool WinFile::seekRelative(std::int32_t offset) {
    m_position = UnknownPosition;
    const std::int64_t current = m_handle->tell();
    if (current < 0)
        return false;
    return moveTo(current + offset);
}

bool WinFile::seekToEnd() {
    m_position = UnknownPosition;
    const std::int64_t size = m_handle->size();
    if (size < 0)
        return false;
    return moveTo(size);
}

void WinFile::flush() { m_handle->flush(); }

WinFileForRead::WinFileForRead(std::u16string path)
    : WinFile(Platform::File::open(path, Platform::File::Mode::Read), path) {}

WinFileForWrite::WinFileForWrite(std::u16string path)
    : WinFile(Platform::File::open(path, Platform::File::Mode::Write), path) {}

} // namespace FileSystem
