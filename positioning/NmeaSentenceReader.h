#pragma once
// Cuts a byte stream into NMEA sentences whose checksums match.
//
// The reader owns one fixed 4096-byte buffer and works in place: a source
// writes received bytes at writePosition() (at most freeBytes() of them) and
// calls scan() with the number written. Every complete, checksummed line is
// handed to onSentence(); the buffer always starts at the beginning of a line.
// Nothing is allocated and nothing is logged: bad checksums, lines that do
// not start with '$' and other noise are dropped silently.

#include <cstdint>
#include <string_view>

namespace Positioning {

class NmeaSentenceReader {
  public:
    static constexpr std::uint32_t BufferSize = 4096;
    // Fewer bytes than this are not scanned; the tail waits for more.
    static constexpr std::uint32_t MinimumScan = 23;

    virtual ~NmeaSentenceReader() = default;

    // Accounts for `added` bytes written at writePosition(), hands every
    // complete checksummed sentence on and returns how many it handed on.
    std::uint32_t scan(std::uint32_t added);

    // Copies as much of `bytes` as fits and scans it, repeatedly, until all
    // of it went through; returns the number of sentences handed on. This is
    // the path a serial port takes, for sources that hold their bytes elsewhere.
    std::uint32_t feed(std::string_view bytes);

    char* writePosition() { return m_buffer + m_count; }
    std::uint32_t freeBytes() const { return m_free; }
    std::uint32_t heldBytes() const { return m_count; }
    // Drops everything held (after a port was reopened).
    void reset();

    NmeaSentenceReader() = default;
    NmeaSentenceReader(const NmeaSentenceReader&) = delete;
    NmeaSentenceReader& operator=(const NmeaSentenceReader&) = delete;

  protected:
    // One accepted sentence: `text` points at its '$' and is NUL-terminated at
    // `length`, which counts every byte from '$' to the line end (the '*' and
    // both checksum digits included). Valid only during the call.
    virtual void onSentence(const char* text, std::uint32_t length) = 0;

  private:
    std::uint32_t m_count = 0;
    std::uint32_t m_free = BufferSize;
    std::uint32_t m_scanPos = 0;
    char m_buffer[BufferSize] = {};
};

// True when the line (without its line end) starts with '$' and carries a
// '*' followed by at least two characters equal, ignoring case, to the hex
// XOR of every byte before the '*' that is not '$'.
bool nmeaChecksumMatches(const char* line, std::uint32_t length);

// True when the sentence (from its '$') comes from a talker whose positions
// the device reads: GPS (GP) or a receiver of several systems (GN, as most
// current receivers send). Another system's talker alone never gives a
// position, and other instruments on the line (a depth sounder's SD, a
// wind meter's WI) are no receiver at all.
bool isReceiverSentence(const char* text, std::uint32_t length);

} // namespace Positioning
