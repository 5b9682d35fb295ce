#include "positioning/NmeaParsers.h"

#include "positioning/detail/NmeaFields.h"

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
// end is followed by an empty field.
class Fields {
  public:
    Fields(const char* body, const char* end) : m_p(body), m_end(end), m_more(body < end) {}
    bool more() const { return m_more; }

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
    double wideNumber() {
        double v = 0;
        advance(parseCsvDouble(m_p, m_end, v));
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
    float latitude() {
        float v = 0;
        advance(readLatitude(m_p, m_end, v));
        return v;
    }
    float longitude() {
        float v = 0;
        advance(readLongitude(m_p, m_end, v));
        return v;
    }

  private:
    void advance(const char* next) {
        m_more = next < m_end || (next > m_p && (next[-1] == ',' || next[-1] == '*'));
        m_p = next;
    }

    const char* m_p;
    const char* m_end;
    bool m_more;
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

} // namespace

bool parseGga(const char* body, const char* end, GgaRecord& out) {
    out = GgaRecord{};
    Fields f(body, end);
    if (!f.more()) return false;
    out.time = f.time();
    if (!f.more()) return false;
    out.latitude = f.latitude();
    if (!f.more()) return false;
    out.longitude = f.longitude();
    if (!f.more()) return false;
    out.quality = f.integer();
    if (!f.more()) return false;
    out.satellitesUsed = f.integer();
    if (!f.more()) return false;
    out.hdop = f.number();
    if (!f.more()) return false;
    out.altitude = f.number();
    if (!f.more()) return false;
    f.skip(); // altitude unit
    if (!f.more()) return false;
    f.skip(); // geoid separation
    if (!f.more()) return false;
    f.skip(); // its unit
    if (!f.more()) return false;
    f.skip(); // age of differential data
    f.skip(); // station id
    // hdop, altitude, geoid separation
    return out.quality == 0 || wellFormedFix(RawFields(body, end), 0, 1, {7, 8, 10});
}

bool parseRmc(const char* body, const char* end, RmcRecord& out) {
    out = RmcRecord{};
    Fields f(body, end);
    if (!f.more()) return false;
    out.time = f.time();
    if (!f.more()) return false;
    out.status = f.firstChar();
    if (!f.more()) return false;
    out.latitude = f.latitude();
    if (!f.more()) return false;
    out.longitude = f.longitude();
    if (!f.more()) return false;
    out.speed = static_cast<float>(f.wideNumber() * MetresPerSecondPerKnot);
    if (!f.more()) return false;
    out.course = f.number();
    if (!f.more()) return false;
    out.date = f.date();
    f.skip(); // magnetic variation
    // speed, course
    return out.status != 'A' || wellFormedFix(RawFields(body, end), 0, 2, {6, 7});
}

bool parseGsa(const char* body, const char* end, GsaRecord& out) {
    out = GsaRecord{};
    Fields f(body, end);
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
    Fields f(body, end);
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
