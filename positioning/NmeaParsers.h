#pragma once
// Parsers of the four sentence types the program uses. Each is a pure
// function from the bytes of one checksummed sentence to a plain record: no
// allocation, no logging, fixed 16-byte scratch buffers per field.

#include "positioning/Fix.h"

#include <cstdint>

namespace Positioning {

struct NmeaTime {
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    // The digits after the decimal point as a whole number ("19.50" gives
    // 50), as many leading ones as 16 bits hold.
    std::uint16_t fraction = 0;
    // How many of them ("19.50" gives 2), so that the fraction can be read
    // as one.
    std::uint8_t fractionDigits = 0;

    bool operator==(const NmeaTime&) const = default;

    // Seconds since midnight, the fraction included.
    double secondsOfDay() const;
    // The fraction in whole milliseconds ("19.5" and "19.500000" give 500).
    std::uint16_t milliseconds() const;
};

struct NmeaDate {
    std::uint8_t day = 0;
    std::uint8_t month = 0;
    std::uint16_t year = 0;

    bool operator==(const NmeaDate&) const = default;
};

struct GgaRecord {
    NmeaTime time;
    float latitude = 0;
    float longitude = 0;
    std::int32_t quality = 0;
    std::int32_t satellitesUsed = 0;
    float hdop = 0;
    float altitude = 0;
};

struct RmcRecord {
    NmeaTime time;
    char status = 0;
    float latitude = 0;
    float longitude = 0;
    float speed = 0;  // metres per second
    float course = 0; // degrees
    bool speedKnown = false;  // the speed field was not empty
    bool courseKnown = false; // the course field was not empty
    NmeaDate date;
};

struct GsaRecord {
    char mode = 0;
    std::int32_t fixType = 0;
    std::int32_t satellites[12] = {};
    float pdop = 0;
    float hdop = 0;
    float vdop = 0;
};

struct GsvRecord {
    std::int32_t messages = 0;
    std::int32_t messageNumber = 0;
    std::int32_t inView = 0;
    std::int32_t count = 0; // satellites carried by this message, 0..4
    Satellite satellites[4] = {};
};

// Where parseSentence leaves its result; the record of the parsed kind is
// zero-filled before the parse.
struct NmeaRecords {
    GgaRecord gga;
    RmcRecord rmc;
    GsaRecord gsa;
    GsvRecord gsv;
};

enum class SentenceKind : int { Gga = 0, Rmc = 1, Gsa = 2, Gsv = 3, ParseError = 4, NotHandled = 5 };

// `text` is one sentence from its '$' to the end of its checksum, `length`
// bytes. Talkers "GP" and "GN" are handled, every other talker and type gives
// NotHandled; a handled type whose fields are rejected gives ParseError.
SentenceKind parseSentence(const char* text, std::uint32_t length, NmeaRecords& records);

// The parsers on a sentence body (the bytes after "$ttSSS," up to the '*').
bool parseGga(const char* body, const char* end, GgaRecord& out);
bool parseRmc(const char* body, const char* end, RmcRecord& out);
bool parseGsa(const char* body, const char* end, GsaRecord& out);
bool parseGsv(const char* body, const char* end, GsvRecord& out);

// Knots to metres per second as the program has always converted them.
inline constexpr float MetresPerSecondPerKnot = 0.514f;

} // namespace Positioning
