#pragma once
// One recorded track in a "*.kvt" file: a 16-byte header and one 44-byte
// record per recorded fix, all little-endian.
//
// Header (version 0x0100): u32 signature 0x47505452, u16 version, u16 point
// count, colour as bytes R, G, B, A, u16 line size, u8 shown flag, u8 0.
// Record: u8 hour, minute, second, 5 zero bytes, f32 HDOP, f32 altitude,
// u8 day, month, year - 2000, one zero byte, f32 longitude, f32 latitude,
// i32 map x, i32 map y, f32 speed (m/s), f32 heading (degrees).
//
// The writer keeps up to 93 records (4092 bytes) in a buffer and writes
// them in one call, so the GPS thread touches the disk once per 93 fixes.
// The header's count is filled in only by close(): a recording that never
// got there (crash, power loss, kill) and one of more than 65,535 points
// are read by the length of the file instead, so what reached the disk is
// never dropped.
//
// Threads: the GPS thread appends, the main thread reads the point ring
// for drawing. The mutex guards the ring and the resets of create and
// load; the buffer and the file belong to the single writer and to close.

#include "core/SdlMutex.h"
#include "platform/File.h"
#include "positioning/Fix.h"
#include "render/Canvas.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The twelve colours of new tracks and of friends (R in the low byte,
// opaque): red, green, blue, yellow, cyan, magenta, violet, azure, spring
// green, chartreuse, orange, rose.
inline constexpr std::array<std::uint32_t, 12> trackPalette = {
    0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFF00FFFFu, 0xFFFFFF00u, 0xFFFF00FFu,
    0xFFFF007Fu, 0xFFFF7F00u, 0xFF7FFF00u, 0xFF00FF7Fu, 0xFF007FFFu, 0xFF7F00FFu};

// The palette entry of a stored index; an index past the palette (a
// hand-edited setting) wraps round instead of reading beyond it.
inline std::uint32_t trackPaletteColour(std::uint32_t index) {
    return trackPalette[index % trackPalette.size()];
}

class TrackFile {
  public:
    static constexpr std::uint32_t Signature = 0x47505452;        // "RTPG"
    static constexpr std::uint32_t TrailerSignature = 0x4E455254; // "TREN"
    static constexpr std::uint16_t Version1 = 0x0100;
    static constexpr std::uint16_t Version2 = 0x0200;
    static constexpr std::uint32_t HeaderSize = 16;
    static constexpr std::uint32_t RecordSize = 44;
    static constexpr std::uint32_t BufferSize = 4096;
    static constexpr std::uint32_t RecordsPerWrite = BufferSize / RecordSize; // 93
    static constexpr std::uint32_t RingCapacity = 1000;
    // The line sizes the settings page offers; a stored size outside them
    // (a damaged or foreign file: 65535 would paint half the map) is read as
    // the nearest one.
    static constexpr std::uint16_t MinLineSize = 1;
    static constexpr std::uint16_t MaxLineSize = 10;

    // Throws std::runtime_error("Can't create track file mutex").
    TrackFile();
    // Closes a file being written.
    ~TrackFile();
    TrackFile(const TrackFile&) = delete;
    TrackFile& operator=(const TrackFile&) = delete;

    // Starts a new file at the path, replacing one that exists; the colour
    // is the palette entry of the index. False when it cannot be created.
    bool create(const std::u16string& path, std::uint16_t colourIndex, std::uint16_t lineSize);
    // Adds one record and one ring point; false when no file is open.
    bool append(const Positioning::Fix& fix);
    // Writes what is buffered and the header, and releases the file. False
    // when nothing is being written or the header cannot be written.
    bool close();
    // Writes the buffered records now (the writer's thread), so that a
    // crash or a kill loses none of them.
    void flush();
    // The header of a recording that never got to close() (count, colour,
    // line size and shown flag all zero) is filled in as close() would: the
    // count from the file's length, the given colour and line size, shown.
    // False when the file cannot be rewritten.
    static bool repairUnclosed(const std::u16string& path, std::uint32_t colour, std::uint16_t lineSize);
    // Fills the object from a stored file. False on a file that cannot be
    // opened (logged), a wrong signature or a record cut short (the points
    // before it stay).
    bool load(const std::u16string& path);

    // The oldest point of the ring, (0, 0) when it is empty.
    xe::Point firstPoint() const;
    // Calls visit(const xe::Point&) for the ring's points, oldest first,
    // under the mutex.
    template <class Visit> void forEachPoint(Visit&& visit) const {
        Threading::SdlLock lock(m_mutex);
        for (std::uint32_t i = 0; i < m_count; ++i)
            visit(m_ring[(m_head + i) % RingCapacity]);
    }
    std::uint32_t pointCount() const;

    bool isWriting() const { return m_file.isOpen(); }
    // A block of records could not be written since create (a full disk):
    // the recording is losing points. Read from any thread.
    bool writeFailed() const { return m_writeFailed; }
    // The system's error number of the first failed write (0 when none).
    int writeError() const { return m_writeError; }
    bool isLoaded() const { return m_loaded; }
    // After load: the file is a recording that never got to close().
    bool unclosed() const { return m_unclosed; }
    // After load: the signature and the whole header of a version whose
    // points this reader decodes were read (whether or not points follow).
    bool headerRead() const { return m_headerRead; }
    bool shown() const { return m_shown; }
    std::uint32_t colour() const { return m_colour; }
    // After load: the stored size held within MinLineSize..MaxLineSize.
    std::uint16_t lineSize() const { return m_lineSize; }
    // Records that reached the file since create (buffered ones not yet).
    std::uint32_t recordsWritten() const { return m_written; }

    // The 44 bytes of a fix's record.
    static void encodeRecord(const Positioning::Fix& fix, std::uint8_t* out);

  private:
    void pushPoint(xe::Point point);
    void clearRing();
    // Writes the buffered records; on failure cuts the file back to the
    // records already on disk and drops the buffer.
    void flushBuffer();

    mutable Threading::SdlMutex m_mutex;
    std::array<std::uint8_t, BufferSize> m_buffer{};
    std::uint32_t m_position = 0;
    Platform::File m_file;
    std::u16string m_path;
    std::uint32_t m_written = 0;
    bool m_writeErrorLogged = false;
    std::atomic<bool> m_writeFailed{false};
    std::atomic<int> m_writeError{0};
    bool m_loaded = false;
    bool m_unclosed = false;
    bool m_headerRead = false;
    bool m_shown = false;
    std::uint32_t m_colour = 0;
    std::uint16_t m_lineSize = 1;
    std::vector<xe::Point> m_ring;
    std::uint32_t m_head = 0;
    std::uint32_t m_count = 0;
};
