#include "positioning/NmeaParsers.h"

#include "positioning/detail/NmeaFields.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace Positioning {

using namespace detail;

namespace {

// A parser's walk over the body: each read moves on, and `more()` says
// whether another field follows (the sentence is rejected when the body ends
// right after a field that must be followed by more). A separator at the very
// end is followed by an empty field. The raw texts and the comma split are
// noted only for the parsers that check a claimed fix on them (`Notes`):
// the satellite sentences, nearly half of a receiver's, skip that work.
template <bool Notes>
class Fields {
  public:
    Fields(const char* body, const char* end) : m_p(body), m_end(end), m_more(body < end) {}
    bool more() const { return m_more; }
    // Whether every field read so far ended at a comma (or the end), so the
    // fields lie where a split of the body at its commas puts them.
    bool commaSplit() const { return m_commaSplit; }
    // The whole raw text of the field read last, up to its separator.
    std::string_view raw() const { return m_raw; }

    char firstChar() {
        const FieldView field = viewField(m_p, m_end);
        advance(field.next);
        return field.length > 0 ? field.text[0] : '\0';
    }
    void skip() { advance(viewField(m_p, m_end).next); }
    std::int32_t integer() {
        std::int32_t v = 0;
        advance(parseCsvInt(m_p, m_end, v));
        return v;
    }
    float number() {
        double v = 0;
        advance(parseCsvDouble(m_p, m_end, v));
        return static_cast<float>(v);
    }
    // A number that says whether its field is empty or a plain decimal (what
    // wellFormedNumber accepts), told from where the reading stopped: only
    // an unusual field is walked again.
    double checkedNumber(bool& wellFormed) {
        double v = 0;
        const char* const start = m_p;
        const char* const stop = scanFloat(start, m_end, v);
        const char* fieldEnd = stop != nullptr ? stop : start;
        while (fieldEnd < m_end && *fieldEnd != ',')
            ++fieldEnd;
        wellFormed = fieldEnd == start ||
                     (stop == fieldEnd && *start != ' ' && *start != '\t') ||
                     wellFormedNumber(std::string_view(start, static_cast<std::size_t>(fieldEnd - start)));
        advance(fieldEnd < m_end ? fieldEnd + 1 : m_end);
        return v;
    }
    NmeaTime time() {
        NmeaTime t;
        advance(readTime(m_p, m_end, t));
        return t;
    }
    NmeaDate date() {
        NmeaDate d;
        advance(readDate(m_p, m_end, d));
        return d;
    }
    // A coordinate with the raw texts of its value and hemisphere fields.
    float coordinate(bool latitude, std::string_view& value, std::string_view& hemisphere) {
        const char* const start = m_p;
        float v = 0;
        const char* middle = start;
        const char* const next =
            latitude ? readLatitude(start, m_end, v, &middle) : readLongitude(start, m_end, v, &middle);
        note(start, middle);
        value = m_raw;
        note(middle, next);
        hemisphere = m_raw;
        move(next);
        return v;
    }

  private:
    void advance(const char* next) {
        if constexpr (Notes) note(m_p, next);
        move(next);
    }
    void move(const char* next) {
        m_more = next < m_end || (next > m_p && (next[-1] == ',' || next[-1] == '*'));
        m_p = next;
    }
    void note(const char* start, const char* next) {
        const bool separated = next > start && (next[-1] == ',' || next[-1] == '*');
        if (separated && next[-1] == '*') m_commaSplit = false;
        m_raw = std::string_view(start, static_cast<std::size_t>((separated ? next - 1 : next) - start));
    }

    const char* m_p;
    const char* m_end;
    bool m_more;
    bool m_commaSplit = true;
    std::string_view m_raw;
};

// The raw fields of a body (split at ',', at most Max of them) for the
// checks of a sentence that claims a fix.
class RawFields {
  public:
    static constexpr std::size_t Max = 16;
    RawFields(const char* body, const char* end) {
        const char* start = body;
        const char* p = body;
        // The commas of eight bytes at a time, while a whole word is left.
        if constexpr (std::endian::native == std::endian::little) {
            for (; end - p >= 8 && m_count < Max; p += 8) {
                std::uint64_t word;
                std::memcpy(&word, p, sizeof word);
                const std::uint64_t x = word ^ (static_cast<std::uint64_t>(',') * 0x0101010101010101ULL);
                constexpr std::uint64_t Low7 = 0x7F7F7F7F7F7F7F7FULL;
                std::uint64_t commas = ~(((x & Low7) + Low7) | x | Low7);
                for (; commas != 0 && m_count < Max; commas &= commas - 1) {
                    const char* comma = p + std::countr_zero(commas) / 8;
                    m_fields[m_count++] = std::string_view(start, static_cast<std::size_t>(comma - start));
                    start = comma + 1;
                }
            }
        }
        for (; m_count < Max; ++p) {
            if (p == end || *p == ',') {
                m_fields[m_count++] = std::string_view(start, static_cast<std::size_t>(p - start));
                if (p == end) break;
                start = p + 1;
            }
        }
    }
    std::string_view operator[](std::size_t i) const { return i < m_count ? m_fields[i] : std::string_view(); }

  private:
    std::string_view m_fields[Max];
    std::size_t m_count = 0;
};

// A position claimed as a fix must be one: a whole time of day, both
// coordinates in range with their hemisphere letters, and every number
// present a plain decimal (no "nan", "inf" or exponent). A noisy line whose
// damage the checksum missed is refused here rather than reaching the car
// and the track.
bool wellFormedFix(const RawFields& f, std::size_t time, std::size_t latitude,
                   std::initializer_list<std::size_t> numbers) {
    if (!wellFormedTime(f[time])) return false;
    if (!wellFormedCoordinate(f[latitude], f[latitude + 1], 2, 'N', 'S')) return false;
    if (!wellFormedCoordinate(f[latitude + 2], f[latitude + 3], 3, 'E', 'W')) return false;
    for (std::size_t i : numbers)
        if (!f[i].empty() && !wellFormedNumber(f[i])) return false;
    return true;
}

// The checks of wellFormedFix on the fields as the parser read them; the
// whole body is split again only when a field ended at a '*' (its fields then
// lie elsewhere for the checks).
bool wellFormedFix(std::string_view time, const std::string_view (&coordinates)[4], bool numbersWellFormed) {
    return numbersWellFormed && wellFormedTime(time) &&
           wellFormedCoordinate(coordinates[0], coordinates[1], 2, 'N', 'S') &&
           wellFormedCoordinate(coordinates[2], coordinates[3], 3, 'E', 'W');
}

} // namespace

double NmeaTime::secondsOfDay() const {
    double part = fraction;
    for (int i = 0; i < fractionDigits; ++i)
        part /= 10.0;
    return hour * 3600.0 + minute * 60.0 + second + std::min(part, 0.999);
}

std::uint16_t NmeaTime::milliseconds() const {
    std::uint32_t ms = fraction;
    for (int i = fractionDigits; i < 3; ++i)
        ms *= 10;
    for (int i = 3; i < fractionDigits; ++i)
        ms /= 10;
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(ms, 999));
}

bool parseGga(const char* body, const char* end, GgaRecord& out) {
    out = GgaRecord{};
    Fields<true> f(body, end);
    std::string_view coordinates[4];
    bool hdopWellFormed = true;
    bool altitudeWellFormed = true;
    if (!f.more()) return false;
    out.time = f.time();
    const std::string_view time = f.raw();
    if (!f.more()) return false;
    out.latitude = f.coordinate(true, coordinates[0], coordinates[1]);
    if (!f.more()) return false;
    out.longitude = f.coordinate(false, coordinates[2], coordinates[3]);
    if (!f.more()) return false;
    out.quality = f.integer();
    if (!f.more()) return false;
    out.satellitesUsed = f.integer();
    if (!f.more()) return false;
    out.hdop = static_cast<float>(f.checkedNumber(hdopWellFormed));
    if (!f.more()) return false;
    out.altitude = static_cast<float>(f.checkedNumber(altitudeWellFormed));
    if (!f.more()) return false;
    f.skip(); // altitude unit
    if (!f.more()) return false;
    f.skip(); // geoid separation
    const std::string_view separation = f.raw();
    if (!f.more()) return false;
    f.skip(); // its unit
    if (!f.more()) return false;
    f.skip(); // age of differential data
    f.skip(); // station id
    if (out.quality == 0) return true;
    // hdop, altitude, geoid separation
    if (!f.commaSplit()) return wellFormedFix(RawFields(body, end), 0, 1, {7, 8, 10});
    const bool numbers = hdopWellFormed && altitudeWellFormed && (separation.empty() || wellFormedNumber(separation));
    return wellFormedFix(time, coordinates, numbers);
}

bool parseRmc(const char* body, const char* end, RmcRecord& out) {
    out = RmcRecord{};
    Fields<true> f(body, end);
    std::string_view coordinates[4];
    bool speedWellFormed = true;
    bool courseWellFormed = true;
    if (!f.more()) return false;
    out.time = f.time();
    const std::string_view time = f.raw();
    if (!f.more()) return false;
    out.status = f.firstChar();
    if (!f.more()) return false;
    out.latitude = f.coordinate(true, coordinates[0], coordinates[1]);
    if (!f.more()) return false;
    out.longitude = f.coordinate(false, coordinates[2], coordinates[3]);
    if (!f.more()) return false;
    out.speed = static_cast<float>(f.checkedNumber(speedWellFormed) * MetresPerSecondPerKnot);
    out.speedKnown = !f.raw().empty();
    if (!f.more()) return false;
    out.course = static_cast<float>(f.checkedNumber(courseWellFormed));
    out.courseKnown = !f.raw().empty();
    if (!f.more()) return false;
    out.date = f.date();
    f.skip(); // magnetic variation
    if (out.status != 'A') return true;
    // speed, course
    if (!f.commaSplit()) return wellFormedFix(RawFields(body, end), 0, 2, {6, 7});
    return wellFormedFix(time, coordinates, speedWellFormed && courseWellFormed);
}

bool parseGsa(const char* body, const char* end, GsaRecord& out) {
    out = GsaRecord{};
    Fields<false> f(body, end);
    if (!f.more()) return false;
    out.mode = f.firstChar();
    if (!f.more()) return false;
    out.fixType = f.integer();
    for (std::int32_t& satellite : out.satellites) {
        if (!f.more()) return false;
        satellite = f.integer();
    }
    if (!f.more()) return false;
    out.pdop = f.number();
    if (!f.more()) return false;
    out.hdop = f.number();
    out.vdop = f.number();
    return true;
}

bool parseGsv(const char* body, const char* end, GsvRecord& out) {
    out = GsvRecord{};
    Fields<false> f(body, end);
    if (!f.more()) return false;
    out.messages = f.integer();
    if (!f.more()) return false;
    out.messageNumber = f.integer();
    if (!f.more()) return false;
    out.inView = f.integer();
    if (out.messageNumber < 1 || out.messageNumber > out.messages) return false;
    std::int32_t count = 4;
    if (out.messageNumber == out.messages) {
        const std::int64_t rest = std::int64_t{out.inView} - 4 * (std::int64_t{out.messages} - 1);
        // A header may claim more satellites for its last message than a
        // message has slots; the record holds four and the rest is ignored.
        count = rest > 4 ? 4 : static_cast<std::int32_t>(rest);
    }
    if (count <= 0) return true; // no satellites: the header alone is a whole message
    for (std::int32_t i = 0; i < count; ++i) {
        const bool last = i == count - 1;
        Satellite& s = out.satellites[i];
        if (!f.more()) return false;
        s.prn = f.integer();
        if (!f.more()) return false;
        s.elevation = f.integer();
        if (!f.more()) return false;
        s.azimuth = f.integer();
        if (!f.more()) {
            if (!last) return false;
            s.snr = 0; // the last satellite may end without its SNR
            break;
        }
        s.snr = f.integer();
        if (s.snr < 0 || s.snr > 99) s.snr = 0;
        if (!last && !f.more()) return false;
    }
    out.count = count;
    return true;
}

SentenceKind parseSentence(const char* text, std::uint32_t length, NmeaRecords& records) {
    if (length < 6 || text[0] != '$') return SentenceKind::NotHandled;
    const bool talker = text[1] == 'G' && (text[2] == 'P' || text[2] == 'N');
    if (!talker) return SentenceKind::NotHandled;
    auto is = [text](const char* type) {
        return text[3] == type[0] && text[4] == type[1] && text[5] == type[2];
    };
    // The body runs past "$ttSSS," up to the '*' of the checksum.
    const char* body = text + (length >= 7 ? 7 : length);
    const char* end = length >= 10 ? text + length - 3 : body;
    if (end < body) end = body;
    if (is("GGA")) return parseGga(body, end, records.gga) ? SentenceKind::Gga : SentenceKind::ParseError;
    if (is("RMC")) return parseRmc(body, end, records.rmc) ? SentenceKind::Rmc : SentenceKind::ParseError;
    if (is("GSA")) return parseGsa(body, end, records.gsa) ? SentenceKind::Gsa : SentenceKind::ParseError;
    if (is("GSV")) return parseGsv(body, end, records.gsv) ? SentenceKind::Gsv : SentenceKind::ParseError;
    return SentenceKind::NotHandled;
}

} // namespace Positioning
