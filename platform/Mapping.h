#pragma once
// Read-only memory mappings of files: the Linux side of the program's file
// mappings. A MappableFile is the analogue of a file-mapping handle: it keeps
// the file open so windows of it can be mapped at any time, and its size is
// taken when it is opened. Sizes and offsets are 64-bit; a window reaching
// past the end of the file is refused here, because touching such memory
// raises SIGBUS on Linux.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

// Win32 number of the error reported for a window outside its file.
constexpr int ErrorFileInvalid = 1006;

// The granularity mapping offsets are rounded down to: 65536, as the
// program's mapping code expects, unless a test set another value.
std::uint32_t allocationGranularity();

// What identifies a file's contents on disk: its file (device and inode),
// size and last change.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t changedNs = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The file at a program path now; empty with the last error set when it
// cannot be looked at (2 or 3 when nothing is there).
std::optional<FileIdentity> fileIdentity(std::u16string_view path);

// How the file at a path differs from the one a program opened there: gone
// (deleted or moved away), cut short (the same file, smaller: a window past
// its new end raises SIGBUS), or another file or other contents in its
// place (a new copy renamed over it, a file written again). A path that
// cannot be looked at for another reason (no permission) counts as
// unchanged: nothing says the file went.
enum class FileChange { None, Gone, CutShort, Replaced };
FileChange fileChange(const FileIdentity& opened, std::u16string_view path);

class MappableFile {
public:
    MappableFile() = default;
    // Opens a program path (converted by toNativePath) read-only. On failure
    // the object is not open and the thread's last error says why (a folder
    // gives 5).
    explicit MappableFile(std::u16string_view path);
    ~MappableFile();
    MappableFile(MappableFile&& other) noexcept;
    MappableFile& operator=(MappableFile&& other) noexcept;
    MappableFile(const MappableFile&) = delete;
    MappableFile& operator=(const MappableFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    std::uint64_t size() const { return m_size; }
    // The file as it was when it was opened.
    const FileIdentity& identity() const { return m_identity; }
    void close();

    // Maps length bytes starting at offset (any offset: the page alignment
    // mmap needs is handled here) and returns the address of the byte at
    // offset. Null with the last error set when the file is not open (6), the
    // window is empty or not inside the file (1006), or mmap fails (ENOMEM
    // becomes 14). Unmap with unmapWindow(address, length).
    const std::uint8_t* mapWindow(std::uint64_t offset, std::uint64_t length) const;

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
    FileIdentity m_identity;
    // Names this opening of the file in the windows mapped from it, so that
    // a fault in one of them is told with the file's path.
    std::uint64_t m_id = 0;
};

// Unmaps a window returned by MappableFile::mapWindow; null is ignored.
void unmapWindow(const std::uint8_t* address, std::uint64_t length);

// A file cut short while mapped (a new map copied over the old one) raises
// SIGBUS on the next touch of a window page past its new end. Such a fault
// inside a window of mapWindow is absorbed: the page is replaced by one of
// zeros, so the reader goes on with bytes it checks like any others, and
// the file is remembered as damaged. Called from the SIGBUS handler that
// mapWindow installs and from the crash guard's; true when the address
// lies in a window (async-signal-safe).
bool absorbMappingFault(const void* address);
// The native paths of the files whose windows faulted since the last call,
// each once, in the order of their first fault (main thread).
std::vector<std::string> takeDamagedMappings();

// Seams for tests: a different allocation granularity, and a hook that sees
// every window about to be mapped and may make it fail with an errno value.
namespace MappingTestHooks {
// 0 restores the default.
void setAllocationGranularity(std::uint32_t granularity);
// Returns 0 to let the mapping proceed, else the errno value to fail with.
using MapHook = std::function<int(std::uint64_t offset, std::uint64_t length)>;
void setMapHook(MapHook hook);
} // namespace MappingTestHooks

} // namespace Platform
