#include "platform/Mapping.h"

#include "platform/Error.h"
#include "platform/Path.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace Platform {
namespace {
constexpr std::uint32_t DefaultGranularity = 65536;

std::uint32_t& granularitySlot() {
    static std::uint32_t s_granularity = 0;
    return s_granularity;
}

MappingTestHooks::MapHook& hookSlot() {
    static MappingTestHooks::MapHook s_hook;
    return s_hook;
}

std::uint64_t pageSize() {
    static const std::uint64_t s_page = [] {
        const long p = sysconf(_SC_PAGESIZE);
        return p > 0 ? static_cast<std::uint64_t>(p) : 4096u;
    }();
    return s_page;
}
} // namespace

std::uint32_t allocationGranularity() {
    const std::uint32_t g = granularitySlot();
    return g ? g : DefaultGranularity;
}

MappableFile::MappableFile(std::u16string_view path) {
    const int fd = ::open(toNativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setLastErrorFromErrno();
        return;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        setLastErrorFromErrno();
        ::close(fd);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        // Folders and devices cannot be mapped as files.
        ::close(fd);
        setLastError(ErrorAccessDenied);
        return;
    }
    m_fd = fd;
    m_size = static_cast<std::uint64_t>(st.st_size);
}

MappableFile::~MappableFile() { close(); }

MappableFile::MappableFile(MappableFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_size(std::exchange(other.m_size, 0)) {}

MappableFile& MappableFile::operator=(MappableFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void MappableFile::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

const std::uint8_t* MappableFile::mapWindow(std::uint64_t offset, std::uint64_t length) const {
    if (m_fd < 0) {
        setLastError(ErrorInvalidHandle);
        return nullptr;
    }
    if (length == 0 || offset > m_size || length > m_size - offset) {
        setLastError(ErrorFileInvalid);
        return nullptr;
    }
    if (const auto& hook = hookSlot()) {
        if (const int injected = hook(offset, length)) {
            setLastError(errorFromErrno(injected));
            return nullptr;
        }
    }
    const std::uint64_t lead = offset % pageSize();
    const std::uint64_t start = offset - lead;
    if (length > SIZE_MAX - lead) {
        setLastError(ErrorNotEnoughMemory);
        return nullptr;
    }
    void* base = mmap(nullptr, static_cast<std::size_t>(length + lead), PROT_READ, MAP_SHARED, m_fd,
                      static_cast<off_t>(start));
    if (base == MAP_FAILED) {
        setLastErrorFromErrno();
        return nullptr;
    }
    return static_cast<const std::uint8_t*>(base) + lead;
}

void unmapWindow(const std::uint8_t* address, std::uint64_t length) {
    if (!address)
        return;
    // mmap returned a page-aligned address; the window began lead bytes in.
    const auto value = reinterpret_cast<std::uintptr_t>(address);
    const std::uint64_t lead = value % pageSize();
    munmap(reinterpret_cast<void*>(value - lead), static_cast<std::size_t>(length + lead));
}

namespace MappingTestHooks {
void setAllocationGranularity(std::uint32_t granularity) { granularitySlot() = granularity; }

void setMapHook(MapHook hook) { hookSlot() = std::move(hook); }
} // namespace MappingTestHooks

} // namespace Platform
