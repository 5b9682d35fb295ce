#include "core/ReleasableFileMapping.h"

#include "core/Log.h"
#include "platform/Error.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <utility>

namespace FileSystem {
namespace {
constexpr int ErrorFileReadOnly = 6009;
constexpr std::uint32_t ViewPoolCapacity = 3;

std::mutex g_vanishedLock;
std::vector<std::u16string> g_vanished;

void noteVanished(const std::u16string& path) {
    std::lock_guard lock(g_vanishedLock);
    if (std::find(g_vanished.begin(), g_vanished.end(), path) == g_vanished.end())
        g_vanished.push_back(path);
}

void logMapFailure(std::uint32_t offset, std::uint32_t size, int error, const std::u16string& path) {
    Log::log(Log::Critical, u"MapViewOfFile(%d, %d) failed (err %d)", offset, size, error);
    Log::log(Log::Critical, u"filename = '%s'", path);
}
} // namespace

std::vector<std::u16string> takeVanishedFiles() {
    std::lock_guard lock(g_vanishedLock);
    return std::exchange(g_vanished, {});
}

ReleasableFileMapping::ReleasableFileMapping(Core::ResourcesPool& pool, std::u16string path)
    : Resource(&pool), m_path(std::move(path)),
      m_granularity(std::max<std::uint32_t>(1, Platform::allocationGranularity())),
      m_viewPool(ViewPoolCapacity, &pool) {
    acquire();
}

ReleasableFileMapping::~ReleasableFileMapping() {
    // Only the base class's part runs here, the derived hooks are gone.
    if (m_file.isOpen()) {
        m_file.close();
        m_viewPool.releaseAllBut(nullptr);
    }
    // m_viewPool's destructor then detaches views that outlive this object.
}

bool ReleasableFileMapping::acquire() {
    if (m_file.isOpen())
        return true;
    Platform::MappableFile file(m_path);
    if (!file.isOpen()) {
        const int error = Platform::lastError();
        Log::log(Log::Critical, u"CreateFileMapping failed (err %d)", error);
        Log::log(Log::Critical, u"filename = '%s'", m_path);
        // Open before and missing now: the file went away while in use.
        if (m_firstOpened && (error == Platform::ErrorFileNotFound || error == Platform::ErrorPathNotFound))
            noteVanished(m_path);
        return false;
    }
    if (!m_firstOpened) m_firstOpened = file.identity();
    m_file = std::move(file);
    m_fileSize = m_file.size();
    afterAcquire();
    return true;
}

Platform::FileChange ReleasableFileMapping::changeOnDisk() const {
    return m_firstOpened ? Platform::fileChange(*m_firstOpened, m_path) : Platform::FileChange::None;
}

void ReleasableFileMapping::release() {
    if (!m_file.isOpen())
        return;
    m_file.close();
    m_viewPool.releaseAllBut(nullptr);
    afterRelease();
}

void ReleasableFileMapping::poolDestroyed() {
    // The view pool counts into the pool that is going away.
    m_viewPool.detachParent();
}

std::shared_ptr<ReleasableFileMapping::View> ReleasableFileMapping::createView(std::uint32_t offset,
                                                                               std::uint32_t size) {
    if (!m_file.isOpen()) {
        if (!acquire())
            return {};
        if (pool())
            pool()->touch(this);
    }
    std::uint64_t mappedLength = 0;
    const std::uint8_t* base = mapWindow(offset, size, mappedLength);
    if (!base)
        return {};
    if (offset == 0 && size == 0)
        size = static_cast<std::uint32_t>(m_fileSize);
    return std::shared_ptr<View>(new View(this, base, mappedLength, offset, size));
}

const std::uint8_t* ReleasableFileMapping::mapWindow(std::uint32_t offset, std::uint32_t size,
                                                     std::uint64_t& mappedLength) {
    std::uint64_t length = size;
    if (offset == 0 && size == 0) {
        // The whole file; a view's size is u32, so larger files are refused.
        if (m_fileSize > std::numeric_limits<std::uint32_t>::max()) {
            logMapFailure(offset, size, Platform::ErrorInvalidParameter, m_path);
            return nullptr;
        }
        length = m_fileSize;
    }
    // 64-bit sum: a window past the end of the file would raise SIGBUS when
    // read. Empty windows (an empty file, size 0 at an offset) are refused too.
    if (length == 0 || std::uint64_t{offset} + length > m_fileSize)
        return nullptr;
    const std::uint64_t mappedOffset = offset - offset % m_granularity;
    mappedLength = offset - mappedOffset + length;
    for (;;) {
        if (const std::uint8_t* base = m_file.mapWindow(mappedOffset, mappedLength))
            return base;
        const int error = Platform::lastError();
        if (error != Platform::ErrorOutOfMemory) {
            logMapFailure(offset, size, error, m_path);
            return nullptr;
        }
        // Out of address space: give back the other windows of this file,
        // else every other mapping of the parent pool, and try again.
        bool freed = m_viewPool.releaseAllBut(nullptr);
        if (!freed && pool())
            freed = pool()->releaseAllBut(this);
        if (!freed) {
            logMapFailure(offset, size, error, m_path);
            return nullptr;
        }
        if (!acquire())
            return nullptr;
        if (pool())
            pool()->touch(this);
    }
}

// View

ReleasableFileMapping::View::View(ReleasableFileMapping* mapping, const std::uint8_t* base,
                                  std::uint64_t mappedLength, std::uint32_t offset, std::uint32_t size)
    : Resource(&mapping->m_viewPool), m_mapping(mapping), m_base(base), m_mappedLength(mappedLength),
      m_delta(offset % mapping->m_granularity), m_offset(offset), m_size(size) {}

ReleasableFileMapping::View::~View() { release(); }

bool ReleasableFileMapping::View::acquire() {
    if (m_base)
        return true;
    if (!m_mapping || !m_mapping->acquire())
        return false;
    if (Core::ResourcesPool* mappings = m_mapping->pool())
        mappings->touch(m_mapping);
    std::uint64_t mappedLength = 0;
    // The file may have shrunk since: mapWindow then refuses the window.
    m_base = m_mapping->mapWindow(m_offset, m_size, mappedLength);
    if (m_base)
        m_mappedLength = mappedLength;
    return m_base != nullptr;
}

void ReleasableFileMapping::View::release() {
    if (!m_base)
        return;
    Platform::unmapWindow(m_base, m_mappedLength);
    m_base = nullptr;
}

bool ReleasableFileMapping::View::ensureMapped() {
    if (m_base)
        return true;
    if (!acquire())
        return false;
    if (pool())
        pool()->touch(this);
    return true;
}

void ReleasableFileMapping::View::poolDestroyed() {
    // The mapping is being destroyed: this view can never map again.
    release();
    m_mapping = nullptr;
}

// ViewFileRW

ReleasableFileMapping::ViewFileRW::ViewFileRW(std::shared_ptr<View> view) : m_view(std::move(view)) {}

bool ReleasableFileMapping::ViewFileRW::isOpen() const { return m_view && m_view->ensureMapped(); }

int ReleasableFileMapping::ViewFileRW::lastError() const { return Platform::lastError(); }

std::size_t ReleasableFileMapping::ViewFileRW::read(void* buffer, std::size_t itemSize,
                                                    std::size_t itemCount) {
    if (itemSize == 0)
        return itemCount;
    if (!m_view || m_position >= m_view->size())
        return 0;
    if (!m_view->ensureMapped())
        return 0;
    const std::size_t left = m_view->size() - m_position;
    // itemSize * itemCount may not fit: compare without multiplying.
    const bool whole = itemCount <= left / itemSize;
    const std::size_t copied = whole ? itemSize * itemCount : left;
    std::memcpy(buffer, m_view->data() + m_position, copied);
    m_position += static_cast<std::uint32_t>(copied);
    return whole ? itemCount : copied / itemSize;
}

std::size_t ReleasableFileMapping::ViewFileRW::write(const void*, std::size_t, std::size_t) {
    Platform::setLastError(ErrorFileReadOnly);
    return 0;
}

bool ReleasableFileMapping::ViewFileRW::seek(std::int32_t position) {
    const std::uint32_t size = m_view ? m_view->size() : 0;
    if (position < 0 || static_cast<std::uint32_t>(position) > size) {
        Platform::setLastError(Platform::ErrorInvalidParameter);
        return false;
    }
    m_position = static_cast<std::uint32_t>(position);
    return true;
}

bool ReleasableFileMapping::ViewFileRW::seekRelative(std::int32_t offset) {
    const std::int64_t target = std::int64_t{m_position} + offset;
    if (target < 0) {
        Platform::setLastError(Platform::ErrorNegativeSeek);
        return false;
    }
    const std::uint32_t size = m_view ? m_view->size() : 0;
    if (target > std::int64_t{size}) {
        Platform::setLastError(Platform::ErrorInvalidParameter);
        return false;
    }
    m_position = static_cast<std::uint32_t>(target);
    return true;
}

bool ReleasableFileMapping::ViewFileRW::seekToEnd() {
    m_position = m_view ? m_view->size() : 0;
    return true;
}

} // namespace FileSystem
