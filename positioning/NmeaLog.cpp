#include "positioning/NmeaLog.h"

#include "core/AnsiFile.h"
#include "core/Format.h"
#include "core/Log.h"
#include "platform/Error.h"
#include "platform/Path.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace Positioning {

NmeaLog::NmeaLog(std::u16string folder, int periodMinutes, Clock& clock)
    : m_folder(std::move(folder)), m_clock(clock) {
    setPeriod(periodMinutes);
}

NmeaLog::~NmeaLog() = default;

void NmeaLog::setPeriod(int minutes) {
    // Minutes beyond what fits a u32 of milliseconds are capped rather than wrapped.
    const std::int64_t ms = std::int64_t{std::max(minutes, 0)} * 60000;
    m_periodMs = static_cast<std::uint32_t>(std::min<std::int64_t>(ms, 0xFFFFFFFFu));
    if (m_file && periodOver()) m_file.reset();
}

bool NmeaLog::periodOver() const {
    return m_clock.ticksMs() - m_startTicks >= m_periodMs;
}

void NmeaLog::write(const char* text) {
    if (m_periodMs == 0) return;
    if (!m_file) open();
    if (m_file) {
        m_file->write(text, 1, std::strlen(text));
        m_file->write("\r\n", 1, 2);
        // Flushed per sentence: the log is read while it grows and must
        // survive a crash of the program up to its last sentence.
        m_file->flush();
        if (periodOver()) m_file.reset();
    }
}

void NmeaLog::open() {
    const DateTime now = m_clock.localTime();
    const std::u16string name = Core::format(u"%04d%02d%02d-%02d%02d%02d.nmea", now.year, now.month, now.day,
                                             now.hour, now.minute, now.second);
    std::error_code ignored; // an existing folder is fine; a failure shows at the open
    if (!m_folder.empty()) std::filesystem::create_directories(Platform::toNativePath(m_folder), ignored);
    const bool separated = m_folder.empty() || m_folder.back() == u'/' || m_folder.back() == u'\\';
    const std::u16string path = separated ? m_folder + name : m_folder + u"/" + name;
    auto file = std::make_unique<FileSystem::AnsiFile>(path, u"a+");
    if (!file->isOpen()) {
        // Tried again at the next sentence; said once until it works again.
        if (!m_openFailed)
            Log::log(Log::System, u"Can't open NMEA log %s (err %d)", path, Platform::lastError());
        m_openFailed = true;
        return;
    }
    m_openFailed = false;
    m_file = std::move(file);
    m_startTicks = m_clock.ticksMs();
}

} // namespace Positioning
