#pragma once
// The logger that writes log.txt.
//
// Each run's first line is preceded by the header
//     "---------- Log started at: YYYY-MM-DD hh:mm:ss\r\nLog severity: <name>\r\n"
// and begins with "0ms: "; every later line begins with "%dms: ", the
// milliseconds since the previous line, which makes the log a coarse profile.
// Lines end in "\r\n" and are flushed at once. The logger's recursive mutex
// keeps lines of different threads apart; severity and enabled may be read
// from any thread without it.

#include "core/DateTime.h"
#include "core/Log.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct SDL_mutex;

namespace Log {

class FileLogger : public Logger {
public:
    // Milliseconds of a monotonic clock (the system's steady clock by
    // default), kept as 32 bits.
    using TickSource = std::function<std::uint32_t()>;
    // The local date and time for the header (Positioning::localDateTime by
    // default).
    using ClockSource = std::function<Positioning::DateTime()>;

    // Takes ownership of the opened file (may be null: nothing is written
    // until setFile gives one).
    explicit FileLogger(std::unique_ptr<FileSystem::FileRW> file, TickSource ticks = {}, ClockSource clock = {});
    ~FileLogger() override;
    FileLogger(const FileLogger&) = delete;
    FileLogger& operator=(const FileLogger&) = delete;

    void setEnabled(bool enabled) override { m_enabled = enabled; }
    // The mutex exists, a file is set and the file is open.
    bool isOpen() const override;
    // Replaces (and destroys) the file; the next line starts with a header.
    void setFile(std::unique_ptr<FileSystem::FileRW> file) override;
    int severity() const override { return m_severity; }
    // Once the header has been written, a change is logged as its own line
    // "Log severity: <name>".
    void setSeverity(int level) override;
    void write(int level, std::u16string_view text) override;
    // Unpaired surrogates are written as '?'.
    void writeWide(int level, std::u16string_view text, bool endLine) override;
    void writeNarrow(int level, std::string_view text, bool endLine) override;

    // Opens a fresh file in place of the full one (null: logging stops).
    using Reopen = std::function<std::unique_ptr<FileSystem::FileRW>()>;
    // Keeps the file bounded: once a line ends with the file at maxBytes or
    // more (counting what it held already), the file is closed and reopen
    // gives the next one, which starts with a header.
    void setRolling(std::uint64_t maxBytes, Reopen reopen);

private:
    class Lock;
    void writePrefix();
    void writeBytes(std::string_view bytes);
    void writeText(std::string_view utf8, bool endLine);

    SDL_mutex* m_mutex;
    std::atomic<bool> m_enabled{true};
    std::unique_ptr<FileSystem::FileRW> m_file;
    std::atomic<int> m_severity{Normal};
    std::uint32_t m_previousLineTicks = 0;
    bool m_headerPending = true;
    bool m_atLineStart = true;
    TickSource m_ticks;
    ClockSource m_clock;
    std::uint64_t m_rollBytes = 0;
    std::uint64_t m_fileBytes = 0;
    Reopen m_reopen;
};

// "log.txt" in the program's folder (not the data folder).
std::u16string defaultLogPath();

// The size past which log.txt is rolled over.
inline constexpr std::uint64_t MaxLogBytes = 4u << 20;

// Opens the log file for appending ("ab+") and installs a FileLogger over
// it, replacing any installed logger. Past maxBytes the file is renamed to
// "log.old.txt" beside it (replacing an older one) and a new one begins.
// False, with nothing installed, when the file cannot be opened; the caller
// reports "Log file creation error".
bool installFileLogger(const std::u16string& path = defaultLogPath(), std::uint64_t maxBytes = MaxLogBytes);

} // namespace Log
