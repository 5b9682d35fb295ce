#pragma once
// The NMEA log: every sentence of the GPS stream, followed by CR LF, in a new
// file "YYYYMMDD-hhmmss.nmea" (local time) every period, in one folder.
// Not thread-safe by itself: the NMEA device calls it under its own mutex.

#include "core/FileRW.h"
#include "positioning/Clock.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Positioning {

class NmeaLog {
  public:
    NmeaLog(std::u16string folder, int periodMinutes, Clock& clock = systemClock());
    ~NmeaLog();
    NmeaLog(const NmeaLog&) = delete;
    NmeaLog& operator=(const NmeaLog&) = delete;

    // A new file every `minutes`; 0 or less switches logging off. An open
    // file whose period has run out is closed at once.
    void setPeriod(int minutes);
    // Appends the NUL-terminated sentence and CR LF, opening a file first
    // when none is open; closes the file when its period has run out.
    void write(const char* text);

    bool isFileOpen() const { return m_file != nullptr; }
    std::uint32_t periodMs() const { return m_periodMs; }

  private:
    void open();
    bool periodOver() const;

    std::u16string m_folder;
    Clock& m_clock;
    std::uint32_t m_startTicks = 0;
    std::uint32_t m_periodMs = 0;
    std::unique_ptr<FileSystem::FileRW> m_file;
    bool m_openFailed = false;
};

} // namespace Positioning
