#include "core/FileLogger.h"

#include "core/AnsiFile.h"
#include "core/FileRW.h"
#include "core/Format.h"
#include "core/Text.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Path.h"

#include <SDL/SDL_mutex.h>

#include <chrono>

namespace Log {

// SDL mutexes are recursive, so write may hold it while calling writeWide.
class FileLogger::Lock {
public:
    explicit Lock(SDL_mutex* mutex) : m_mutex(mutex) {
        if (m_mutex)
            SDL_mutexP(m_mutex);
    }
    ~Lock() {
        if (m_mutex)
            SDL_mutexV(m_mutex);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    SDL_mutex* m_mutex;
};

FileLogger::FileLogger(std::unique_ptr<FileSystem::FileRW> file, TickSource ticks, ClockSource clock)
    : m_mutex(SDL_CreateMutex()), m_file(std::move(file)), m_ticks(std::move(ticks)), m_clock(std::move(clock)) {
    // Not SDL_GetTicks: the logger starts before SDL, and SDL_Init restarts
    // SDL's count from zero, which would show as a huge negative gap.
    if (!m_ticks)
        m_ticks = [] {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
        };
    if (!m_clock)
        m_clock = [] { return Positioning::localDateTime(); };
}

FileLogger::~FileLogger() {
    m_file.reset();
    if (m_mutex)
        SDL_DestroyMutex(m_mutex);
}

bool FileLogger::isOpen() const { return m_mutex && m_file && m_file->isOpen(); }

void FileLogger::setFile(std::unique_ptr<FileSystem::FileRW> file) {
    Platform::ErrorKeeper keep;
    Lock lock(m_mutex);
    m_file = std::move(file);
    m_fileBytes = 0;
    m_headerPending = true;
    // A line left open in the old file must not swallow the new header.
    m_atLineStart = true;
}

void FileLogger::setSeverity(int level) {
    Platform::ErrorKeeper keep;
    Lock lock(m_mutex);
    m_severity = level;
    if (!m_headerPending)
        writeNarrow(level, Core::format("Log severity: %s", severityName(level)), true);
}

void FileLogger::write(int level, std::u16string_view text) {
    Platform::ErrorKeeper keep;
    Lock lock(m_mutex);
    if (m_enabled && m_file)
        writeWide(level, text, true);
}

void FileLogger::writeWide(int, std::u16string_view text, bool endLine) {
    Platform::ErrorKeeper keep;
    Lock lock(m_mutex);
    if (m_enabled && m_file)
        writeText(Core::wideToUtf8(text), endLine);
}

void FileLogger::writeNarrow(int, std::string_view text, bool endLine) {
    Platform::ErrorKeeper keep;
    Lock lock(m_mutex);
    if (m_enabled && m_file)
        writeText(text, endLine);
}

void FileLogger::writeText(std::string_view utf8, bool endLine) {
    if (m_atLineStart)
        writePrefix();
    writeBytes(utf8);
    if (endLine) {
        writeBytes("\r\n");
        m_file->flush();
    }
    m_atLineStart = endLine;
    if (endLine && m_rollBytes != 0 && m_fileBytes >= m_rollBytes) {
        m_file.reset();
        m_file = m_reopen ? m_reopen() : nullptr;
        m_fileBytes = 0;
        m_headerPending = true;
    }
}

void FileLogger::setRolling(std::uint64_t maxBytes, Reopen reopen) {
    Platform::ErrorKeeper keep;
    Lock lock(m_mutex);
    m_rollBytes = maxBytes;
    m_reopen = std::move(reopen);
    // What the file held before this run counts.
    if (m_file && m_file->seekToEnd()) {
        const std::uint32_t size = m_file->tell();
        if (size != 0xFFFFFFFFu)
            m_fileBytes = size;
    }
}

void FileLogger::writePrefix() {
    if (m_headerPending) {
        const Positioning::DateTime now = m_clock();
        const std::uint32_t ticks = m_ticks();
        writeBytes(Core::format("---------- Log started at: %.4d-%.2d-%.2d %.2d:%.2d:%.2d\r\nLog severity: %s\r\n",
                                now.year, now.month, now.day, now.hour, now.minute, now.second,
                                severityName(m_severity)));
        writeBytes("0ms: ");
        m_headerPending = false;
        m_previousLineTicks = ticks;
        return;
    }
    const std::uint32_t now = m_ticks();
    // The tick count wraps after 49 days; the difference stays right as a
    // signed 32-bit number.
    writeBytes(Core::format("%dms: ", static_cast<std::int32_t>(now - m_previousLineTicks)));
    m_previousLineTicks = now;
}

void FileLogger::writeBytes(std::string_view bytes) {
    // Write errors of the log are not reported: there is nowhere to report them.
    if (!bytes.empty()) {
        m_file->write(bytes.data(), 1, bytes.size());
        m_fileBytes += bytes.size();
    }
}

std::u16string defaultLogPath() { return Platform::programFolder() + u"log.txt"; }

bool installFileLogger(const std::u16string& path, std::uint64_t maxBytes) {
    auto file = std::make_unique<FileSystem::AnsiFile>(path, u"ab+");
    if (!file->isOpen())
        return false;
    auto logger = std::make_unique<FileLogger>(std::move(file));
    if (!logger->isOpen())
        return false;
    const std::size_t slash = path.find_last_of(u"/\\");
    const std::u16string old = path.substr(0, slash == std::u16string::npos ? 0 : slash + 1) + u"log.old.txt";
    logger->setRolling(maxBytes, [path, old]() -> std::unique_ptr<FileSystem::FileRW> {
        Platform::renameFile(path, old);
        auto next = std::make_unique<FileSystem::AnsiFile>(path, u"ab+");
        if (!next->isOpen())
            return nullptr;
        return next;
    });
    install(std::move(logger));
    return true;
}

} // namespace Log
