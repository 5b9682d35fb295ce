#include "core/AtomicFileForWrite.h"

#include "platform/Error.h"

namespace FileSystem {

AtomicFileForWrite::AtomicFileForWrite(std::u16string path) : m_atomic(path), m_file(&m_atomic.file(), path) {}

int AtomicFileForWrite::lastError() const { return m_atomic.failed() ? m_atomic.error() : Platform::lastError(); }

std::size_t AtomicFileForWrite::read(void* buffer, std::size_t itemSize, std::size_t itemCount) {
    return m_file.read(buffer, itemSize, itemCount);
}

std::size_t AtomicFileForWrite::write(const void* buffer, std::size_t itemSize, std::size_t itemCount) {
    const std::size_t written = m_file.write(buffer, itemSize, itemCount);
    if (written != itemCount)
        m_atomic.fail(Platform::lastError() != 0 ? Platform::lastError() : Platform::ErrorDiskFull);
    return written;
}

bool AtomicFileForWrite::kept(bool done) {
    if (!done)
        m_atomic.fail(Platform::lastError() != 0 ? Platform::lastError() : Platform::ErrorInvalidParameter);
    return done;
}

bool AtomicFileForWrite::commit() { return m_atomic.commit(); }

} // namespace FileSystem
