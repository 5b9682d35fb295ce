#include "platform/Mapping.h"

#include "platform/Error.h"
#include "platform/Path.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <map>
#include <mutex>
#include <set>
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

// The windows mapped now, for the SIGBUS handler: it reads them with atomic
// loads only; mapping and unmapping change them under the mutex.
struct WindowSlot {
    std::atomic<std::uintptr_t> begin{0}; // page-aligned; 0: free
    std::atomic<std::uintptr_t> end{0};
    std::atomic<std::uint64_t> file{0};
};
constexpr std::size_t kWindowSlots = 4096;
WindowSlot g_windows[kWindowSlots];
// Files whose windows faulted, in order; the handler appends.
constexpr std::size_t kDamagedSlots = 256;
std::atomic<std::uint64_t> g_damaged[kDamagedSlots];
std::atomic<std::size_t> g_damagedCount{0};
const std::uint64_t g_unusedPage = pageSize(); // computed before any handler runs

struct Registry {
    std::mutex mutex;
    std::uint64_t nextFile = 1;
    // Paths of open files, and of closed ones whose fault was not taken yet.
    std::map<std::uint64_t, std::string> paths;
    // Files closed while windows of theirs were still mapped.
    std::set<std::uint64_t> closed;
    std::size_t taken = 0;
};
Registry& registry() {
    static Registry* s_registry = new Registry; // never destroyed: used until exit
    return *s_registry;
}

struct sigaction g_previousBus {};

void onBusSignal(int signal, siginfo_t* info, void* context) {
    if (absorbMappingFault(info->si_addr))
        return;
    if (g_previousBus.sa_flags & SA_SIGINFO) {
        if (g_previousBus.sa_sigaction) {
            g_previousBus.sa_sigaction(signal, info, context);
            return;
        }
    } else if (g_previousBus.sa_handler != SIG_DFL && g_previousBus.sa_handler != SIG_IGN) {
        g_previousBus.sa_handler(signal);
        return;
    }
    // The default action, when the instruction runs again.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void installBusHandler() {
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        ::sigaction(SIGBUS, &action, &g_previousBus);
    });
}

// Drops the path of a closed file once no window of it is mapped and no
// fault of it waits to be taken; the registry's mutex is held.
void forgetIfUnused(Registry& r, std::uint64_t file) {
    if (!r.closed.count(file))
        return;
    for (const WindowSlot& slot : g_windows)
        if (slot.begin.load(std::memory_order_relaxed) != 0 && slot.file.load(std::memory_order_relaxed) == file)
            return;
    const std::size_t count = std::min(g_damagedCount.load(std::memory_order_acquire), kDamagedSlots);
    for (std::size_t i = r.taken; i < count; ++i)
        if (g_damaged[i].load(std::memory_order_relaxed) == file)
            return;
    r.closed.erase(file);
    r.paths.erase(file);
}

void registerWindow(std::uintptr_t begin, std::uintptr_t end, std::uint64_t file) {
    std::lock_guard lock(registry().mutex);
    for (WindowSlot& slot : g_windows)
        if (slot.begin.load(std::memory_order_relaxed) == 0) {
            slot.end.store(end, std::memory_order_relaxed);
            slot.file.store(file, std::memory_order_relaxed);
            slot.begin.store(begin, std::memory_order_release);
            return;
        }
    // All slots taken: this window is not guarded.
}

void unregisterWindow(std::uintptr_t begin) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (WindowSlot& slot : g_windows)
        if (slot.begin.load(std::memory_order_relaxed) == begin) {
            slot.begin.store(0, std::memory_order_release);
            forgetIfUnused(r, slot.file.load(std::memory_order_relaxed));
            return;
        }
}
} // namespace

bool absorbMappingFault(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    for (WindowSlot& slot : g_windows) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        if (begin == 0 || at < begin || at >= slot.end.load(std::memory_order_relaxed))
            continue;
        void* page = reinterpret_cast<void*>(at - at % g_unusedPage);
        if (mmap(page, g_unusedPage, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED)
            return false;
        const std::uint64_t file = slot.file.load(std::memory_order_relaxed);
        const std::size_t count = std::min(g_damagedCount.load(std::memory_order_acquire), kDamagedSlots);
        for (std::size_t i = 0; i < count; ++i)
            if (g_damaged[i].load(std::memory_order_relaxed) == file)
                return true;
        const std::size_t index = g_damagedCount.fetch_add(1, std::memory_order_acq_rel);
        if (index < kDamagedSlots)
            g_damaged[index].store(file, std::memory_order_release);
        return true;
    }
    return false;
}

std::vector<std::string> takeDamagedMappings() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<std::string> paths;
    const std::size_t count = std::min(g_damagedCount.load(std::memory_order_acquire), kDamagedSlots);
    for (; r.taken < count; ++r.taken) {
        const std::uint64_t file = g_damaged[r.taken].load(std::memory_order_acquire);
        const auto it = r.paths.find(file);
        if (it == r.paths.end())
            continue;
        paths.push_back(it->second);
    }
    for (const std::uint64_t file : std::set<std::uint64_t>(r.closed))
        forgetIfUnused(r, file);
    return paths;
}

namespace {
FileIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}
} // namespace

std::optional<FileIdentity> fileIdentity(std::u16string_view path) {
    struct stat st {};
    if (::stat(toNativePath(path).c_str(), &st) != 0) {
        setLastErrorFromErrno();
        return std::nullopt;
    }
    return identityOf(st);
}

FileChange fileChange(const FileIdentity& opened, std::u16string_view path) {
    const std::optional<FileIdentity> now = fileIdentity(path);
    if (!now) {
        const int error = lastError();
        return error == ErrorFileNotFound || error == ErrorPathNotFound ? FileChange::Gone : FileChange::None;
    }
    if (now->device != opened.device || now->inode != opened.inode)
        return FileChange::Replaced;
    if (now->size < opened.size)
        return FileChange::CutShort;
    return *now == opened ? FileChange::None : FileChange::Replaced;
}

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
    m_identity = identityOf(st);
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    m_id = r.nextFile++;
    r.paths.emplace(m_id, toNativePath(path));
}

MappableFile::~MappableFile() { close(); }

MappableFile::MappableFile(MappableFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_size(std::exchange(other.m_size, 0)),
      m_identity(std::exchange(other.m_identity, {})), m_id(std::exchange(other.m_id, 0)) {}

MappableFile& MappableFile::operator=(MappableFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_size = std::exchange(other.m_size, 0);
        m_identity = std::exchange(other.m_identity, {});
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

void MappableFile::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_id != 0) {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        r.closed.insert(m_id);
        forgetIfUnused(r, m_id);
        m_id = 0;
    }
    m_fd = -1;
    m_size = 0;
    m_identity = {};
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
    installBusHandler();
    void* base = mmap(nullptr, static_cast<std::size_t>(length + lead), PROT_READ, MAP_SHARED, m_fd,
                      static_cast<off_t>(start));
    if (base == MAP_FAILED) {
        setLastErrorFromErrno();
        return nullptr;
    }
    const auto begin = reinterpret_cast<std::uintptr_t>(base);
    registerWindow(begin, begin + static_cast<std::uintptr_t>(length + lead), m_id);
    return static_cast<const std::uint8_t*>(base) + lead;
}

void unmapWindow(const std::uint8_t* address, std::uint64_t length) {
    if (!address)
        return;
    // mmap returned a page-aligned address; the window began lead bytes in.
    const auto value = reinterpret_cast<std::uintptr_t>(address);
    const std::uint64_t lead = value % pageSize();
    unregisterWindow(value - lead);
    munmap(reinterpret_cast<void*>(value - lead), static_cast<std::size_t>(length + lead));
}

namespace MappingTestHooks {
void setAllocationGranularity(std::uint32_t granularity) { granularitySlot() = granularity; }

void setMapHook(MapHook hook) { hookSlot() = std::move(hook); }
} // namespace MappingTestHooks

} // namespace Platform
