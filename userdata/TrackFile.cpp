#include "userdata/TrackFile.h"

#include "core/Log.h"
#include "map/Projection.h"
#include "platform/Error.h"
#include "platform/Path.h"
#include "userdata/detail/LittleEndian.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

using namespace UserData::detail;

namespace {

// The header's closing fields: the record count (16 bits; longer tracks are
// read by their length), colour, line size and the closed mark.
bool writeClosedHeader(Platform::File& file, std::uint64_t records, std::uint32_t colour, std::uint16_t lineSize) {
    std::uint8_t block[10] = {};
    putU16(block, static_cast<std::uint16_t>(std::min<std::uint64_t>(records, 0xFFFF)));
    putU32(block + 2, colour);
    putU16(block + 6, lineSize);
    block[8] = 1;
    std::size_t done = 0;
    return file.seek(6, Platform::SeekOrigin::Begin) == 6 && file.write(block, sizeof block, done);
}

} // namespace

TrackFile::TrackFile() : m_mutex("Can't create track file mutex") {
    m_ring.resize(RingCapacity);
}

TrackFile::~TrackFile() {
    if (m_file.isOpen()) close();
}

bool TrackFile::create(const std::u16string& path, std::uint16_t colourIndex, std::uint16_t lineSize) {
    if (m_file.isOpen()) close();
    Platform::File file = Platform::File::open(path, Platform::File::Mode::Write);
    if (!file.isOpen()) return false;
    // The count and properties stay zero until close(): a file left by a
    // crash reads as unclosed and is measured by its length.
    std::uint8_t header[HeaderSize] = {};
    putU32(header, Signature);
    putU16(header + 4, Version1);
    std::size_t done = 0;
    if (!file.write(header, sizeof header, done)) {
        // The caller reports the write's error, not the clean-up's.
        const int error = Platform::lastError();
        file.close();
        Platform::deleteFile(path);
        Platform::setLastError(error);
        return false;
    }
    {
        Threading::SdlLock lock(m_mutex);
        m_position = 0;
        m_written = 0;
        clearRing();
    }
    m_loaded = false;
    m_writeErrorLogged = false;
    m_writeFailed = false;
    m_writeError = 0;
    m_colour = trackPaletteColour(colourIndex);
    m_lineSize = lineSize;
    m_path = path;
    m_file = std::move(file);
    return true;
}

void TrackFile::encodeRecord(const Positioning::Fix& fix, std::uint8_t* out) {
    std::fill(out, out + RecordSize, std::uint8_t{0});
    out[0] = fix.dateTime.hour;
    out[1] = fix.dateTime.minute;
    out[2] = fix.dateTime.second;
    putF32(out + 8, fix.hdop);
    putF32(out + 12, fix.altitude);
    out[16] = fix.dateTime.day;
    out[17] = fix.dateTime.month;
    out[18] = static_cast<std::uint8_t>(fix.dateTime.year + 48); // low byte: year - 2000
    putF32(out + 20, fix.longitude);
    putF32(out + 24, fix.latitude);
    putU32(out + 28, static_cast<std::uint32_t>(fix.x));
    putU32(out + 32, static_cast<std::uint32_t>(fix.y));
    putF32(out + 36, fix.speed);
    putF32(out + 40, fix.heading);
}

void TrackFile::flushBuffer() {
    if (m_position == 0) return;
    std::size_t done = 0;
    if (m_file.write(m_buffer.data(), m_position, done)) {
        m_written += m_position / RecordSize;
    } else {
        // Half a block on disk would shift every later record: cut the file
        // back to the whole records written so far and lose this block only.
        const int error = Platform::lastError();
        const std::uint64_t good = HeaderSize + std::uint64_t{m_written} * RecordSize;
        std::error_code ignored;
        std::filesystem::resize_file(Platform::toNativePath(m_path), good, ignored);
        m_file.seek(static_cast<std::int64_t>(good), Platform::SeekOrigin::Begin);
        if (!m_writeErrorLogged) {
            Log::log(Log::Critical, u"Can't write track file '%s' (err %d)", m_path, error);
            m_writeError = error;
        }
        m_writeErrorLogged = true;
        m_writeFailed = true;
    }
    m_position = 0;
}

bool TrackFile::append(const Positioning::Fix& fix) {
    if (!m_file.isOpen()) return false;
    if (m_position + RecordSize > BufferSize) flushBuffer();
    {
        Threading::SdlLock lock(m_mutex);
        pushPoint(xe::Point{fix.x, fix.y});
    }
    encodeRecord(fix, m_buffer.data() + m_position);
    m_position += RecordSize;
    return true;
}

bool TrackFile::close() {
    if (!m_file.isOpen() || m_loaded) return false;
    flushBuffer();
    const bool written = writeClosedHeader(m_file, m_written, m_colour, m_lineSize);
    const bool closed = m_file.close();
    m_file = Platform::File();
    m_written = 0;
    return written && closed;
}

void TrackFile::flush() {
    if (m_file.isOpen() && !m_loaded) flushBuffer();
}

bool TrackFile::repairUnclosed(const std::u16string& path, std::uint32_t colour, std::uint16_t lineSize) {
    Platform::File file = Platform::File::open(path, Platform::File::Mode::ReadWrite);
    if (!file.isOpen()) return false;
    const std::int64_t size = file.size();
    const std::uint64_t records = size > HeaderSize ? (size - HeaderSize) / RecordSize : 0;
    const bool written = writeClosedHeader(file, records, colour, lineSize);
    return file.close() && written;
}

bool TrackFile::load(const std::u16string& path) {
    if (m_file.isOpen()) return false;
    m_unclosed = false;
    m_headerRead = false;
    Platform::File file = Platform::File::open(path, Platform::File::Mode::Read);
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open track file '%s' (err %d)", path, Platform::lastError());
        return false;
    }
    m_loaded = true;
    std::uint8_t head[HeaderSize] = {};
    std::size_t done = 0;
    if (!file.read(head, 6, done) || done != 6 || getU32(head) != Signature) return false;
    {
        Threading::SdlLock lock(m_mutex);
        clearRing();
    }
    const std::uint16_t version = getU16(head + 4);
    if (version <= Version1) {
        if (!file.read(head + 6, 10, done) || done != 10) return false;
        m_headerRead = true;
        m_shown = head[14] != 0;
        m_colour = getU32(head + 8);
        const std::uint16_t lineSize = getU16(head + 12);
        m_lineSize = std::clamp(lineSize, MinLineSize, MaxLineSize);
        std::uint64_t count = getU16(head + 6);
        m_unclosed = count == 0 && m_colour == 0 && lineSize == 0 && !m_shown;
        const std::int64_t size = file.size();
        if (size > HeaderSize) count = std::max<std::uint64_t>(count, (size - HeaderSize) / RecordSize);
        Threading::SdlLock lock(m_mutex);
        std::uint8_t block[RecordsPerWrite * RecordSize];
        while (count > 0) {
            const std::uint64_t wanted = std::min<std::uint64_t>(count, RecordsPerWrite);
            file.read(block, wanted * RecordSize, done);
            const std::size_t whole = done / RecordSize;
            for (std::size_t i = 0; i < whole; ++i) {
                const std::uint8_t* r = block + i * RecordSize;
                const Map::Point p = Map::Projection::fromGeo(getF32(r + 24), getF32(r + 20));
                pushPoint(xe::Point{p.x, p.y});
            }
            if (whole < wanted) return false;
            count -= wanted;
        }
        return true;
    }
    if (version == Version2) {
        std::uint8_t block[10] = {};
        if (!file.read(block, 8, done) || done != 8) return false;
        const std::int64_t size = file.size();
        if (size < 14 + 10 || file.seek(size - 10, Platform::SeekOrigin::Begin) < 0) return false;
        std::uint8_t trailer[10] = {};
        if (!file.read(trailer, 10, done) || done != 10 || getU32(trailer) != TrailerSignature) return false;
        m_colour = getU32(block);
        m_lineSize = std::clamp(getU16(block + 4), MinLineSize, MaxLineSize);
        m_shown = block[6] != 0;
        return true;
    }
    return true;
}

xe::Point TrackFile::firstPoint() const {
    Threading::SdlLock lock(m_mutex);
    return m_count == 0 ? xe::Point{} : m_ring[m_head];
}

std::uint32_t TrackFile::pointCount() const {
    Threading::SdlLock lock(m_mutex);
    return m_count;
}

void TrackFile::pushPoint(xe::Point point) {
    if (m_count < RingCapacity) {
        m_ring[(m_head + m_count) % RingCapacity] = point;
        ++m_count;
    } else {
        m_ring[m_head] = point;
        m_head = (m_head + 1) % RingCapacity;
    }
}

void TrackFile::clearRing() {
    m_head = 0;
    m_count = 0;
}
