#pragma once
// The process-wide logger behind one free call, Log::log. Until a logger is
// installed everything is dropped; a message is written when its level is at
// most the logger's severity. Logging never changes the thread's last error
// or errno, so a caller may log between a failing call and its own check.

#include "core/Format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace FileSystem {
class FileRW;
}

namespace Log {

enum Level : int { Critical = 0, System = 1, Normal = 2, Info = 3, AboveInfo = 4 };

// "Critical", "System", "Normal", "Info", "Above info"; levels above 4 are
// named as 4.
const char* severityName(int level);

class Logger {
public:
    virtual ~Logger() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isOpen() const = 0;
    virtual void setFile(std::unique_ptr<FileSystem::FileRW> file) = 0;
    virtual int severity() const = 0;
    virtual void setSeverity(int level) = 0;
    // Writes one formatted line (the level is not compared here: the free
    // functions below do that).
    virtual void write(int level, std::u16string_view text) = 0;
    virtual void writeWide(int level, std::u16string_view text, bool endLine) = 0;
    virtual void writeNarrow(int level, std::string_view text, bool endLine) = 0;
};

// Replaces the process-wide logger; the previous one is destroyed once no
// line is being written to it. A thread may log while another installs.
// `installed` is for the thread that installs (a test, the engine): the
// pointer is valid until the next install.
void install(std::unique_ptr<Logger> logger);
Logger* installed();
// The installed logger's severity, 0 when none is installed.
int currentSeverity();
// True when a logger is installed, open, and level <= its severity.
bool enabledFor(int level);

// The number of a line ending in "(err %d)" is the thread's last-error
// number (platform/Error.h) unless its argument says otherwise: an errno
// value of the C library's stdio (Log::Errno), or a code of outside code
// such as a plug-in, which the system has no text for (Log::OwnCode). The
// number is written as it is either way; the text beside it follows.
struct Errno {
    int value;
};
struct OwnCode {
    int value;
};

namespace detail {
enum class Numbering { LastError, Errno, Own };
void writeFormatted(int level, std::u16string_view text, Numbering numbering = Numbering::LastError);
void writeFormattedNarrow(int level, std::string_view text, Numbering numbering = Numbering::LastError);

template <class... Args> constexpr Numbering numberingOf() {
    if constexpr ((std::is_same_v<Args, Errno> || ...))
        return Numbering::Errno;
    else if constexpr ((std::is_same_v<Args, OwnCode> || ...))
        return Numbering::Own;
    else
        return Numbering::LastError;
}

// Text arguments as the log shows them. Paths travel through the program
// with '\' (the form its data files and settings use); the log is read on
// this system, so they show the system's separators. Control characters
// (a hostile server's reply, a file's bytes) are written as \xNN, so no
// argument can end a line or forge one. Secrets (a password, a token, a
// session, a URL's password: Log::withSecretsHidden) are shown as "***",
// whatever text they come in. The format texts are written as they are.
std::u16string shownText(std::u16string_view text);
std::string shownText(std::string_view text);
inline std::string shownText(const char* text) { return text ? shownText(std::string_view(text)) : "(null)"; }
inline std::u16string shownText(const char16_t* text) {
    return text ? shownText(std::u16string_view(text)) : u"(null)";
}
template <class T> decltype(auto) shown(const T& arg) {
    if constexpr (std::is_same_v<T, Errno> || std::is_same_v<T, OwnCode>)
        return arg.value;
    else if constexpr (std::is_pointer_v<std::decay_t<T>> &&
                  (std::is_convertible_v<const T&, std::string_view> ||
                   std::is_convertible_v<const T&, std::u16string_view>))
        return shownText(arg);
    else if constexpr (std::is_convertible_v<const T&, std::string_view>)
        return shownText(std::string_view(arg));
    else if constexpr (std::is_convertible_v<const T&, std::u16string_view>)
        return shownText(std::u16string_view(arg));
    else
        return (arg);
}
} // namespace detail

template <class... Args> void log(int level, std::u16string_view format, const Args&... args) {
    if (!enabledFor(level))
        return;
    detail::writeFormatted(level, Core::format(format, detail::shown(args)...),
                           detail::numberingOf<Args...>());
}

// Narrow formats are UTF-8 and end up in the same file.
template <class... Args> void log(int level, std::string_view format, const Args&... args) {
    if (!enabledFor(level))
        return;
    detail::writeFormattedNarrow(level, Core::format(format, detail::shown(args)...),
                                 detail::numberingOf<Args...>());
}

// The last few Critical lines logged (oldest first), as written: a fatal
// start-up message shows them, so that the user sees which file failed and
// why without opening the log. The lines are the process's; a start takes
// criticalLineCount() as it begins and asks only for the lines logged since
// then, so that an earlier start in the same process (its failure box
// among them) is not shown as this one's.
std::uint64_t criticalLineCount();
std::vector<std::string> recentCriticalLines(std::uint64_t since = 0);

// Rows of 16 bytes: "%02x " per byte, then the bytes as ANSI text ('.'
// below 32); written at level 3 when the severity is 3 or more. The bytes
// are dumped with their secrets hidden (Log::withSecretsHidden).
void hexDump(const void* bytes, std::size_t length);
// "Memory: phys:%d, virt:%d" at level 3 when the severity is 3 or more.
void logMemoryStatus();

} // namespace Log
