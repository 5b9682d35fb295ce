#include "positioning/NmeaSentenceReader.h"

#include "NmeaTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <random>

using PositioningTest::line;
using PositioningTest::sentence;

namespace {

class Collector : public Positioning::NmeaSentenceReader {
  public:
    std::vector<std::string> sentences;

  protected:
    void onSentence(const char* text, std::uint32_t length) override {
        EXPECT_EQ(text[length], '\0');
        sentences.emplace_back(text, length);
    }
};

std::vector<std::string> scanAll(std::string_view bytes) {
    Collector c;
    c.feed(bytes);
    return c.sentences;
}

unsigned seed() {
    const char* s = std::getenv("MIREL_SEED");
    return s ? static_cast<unsigned>(std::strtoul(s, nullptr, 10)) : 20261206u;
}

} // namespace

TEST(NmeaSentenceReader, ChecksumRules) {
    const std::string gga =
        sentence("GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000");
    EXPECT_EQ(gga.substr(gga.size() - 3), "*7D"); // hand-checked against the receiver's own line

    std::string lower = gga;
    lower.back() = 'd';
    std::string wrong = gga;
    wrong.back() = 'E';
    std::string trailing = gga + " junk";
    const std::string noStar = gga.substr(0, gga.size() - 3) + "7D";
    const std::string oneDigit = gga.substr(0, gga.size() - 1);
    // Every '$' is left out of the sum, not only the first.
    const std::string dollars =
        "$GPTXT,$$A,long enough here*" +
        sentence("GPTXT,A,long enough here").substr(sentence("GPTXT,A,long enough here").size() - 2);
    const struct {
        std::string text;
        bool accepted;
    } cases[] = {
        {gga, true},       {lower, true},   {trailing, true},   {wrong, false},     {noStar, false},
        {oneDigit, false}, {dollars, true}, {"x" + gga, false}, {" " + gga, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Positioning::nmeaChecksumMatches(c.text.data(), static_cast<std::uint32_t>(c.text.size())),
                  c.accepted);
        const auto got = scanAll(c.text + "\r\n");
        ASSERT_EQ(got.size(), c.accepted ? 1u : 0u);
        if (c.accepted) {
            EXPECT_EQ(got[0], c.text);
        }
    }
    // Only the given length counts: checksum digits past it are not read.
    for (const std::size_t cut : {1u, 2u, 3u})
        EXPECT_FALSE(Positioning::nmeaChecksumMatches(gga.data(), static_cast<std::uint32_t>(gga.size() - cut))) << cut;
}

TEST(NmeaSentenceReader, RejectsNoiseLinesAndKeepsGoodOnes) {
    const std::string good = sentence("GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5");
    std::string highByte = good;
    highByte[10] = static_cast<char>(0x80); // ends the line there: both halves fail
    std::string tab = good;
    tab[12] = '\t';
    const std::string stream = "garbage without dollar\r\n" + good + "\r\n" + highByte + "\r\n" +
                               "\r\n\r\n\n" + "$GPGGA,1*00\r\n" + tab + "\r\n" + "prefix" + good + "\r\n" +
                               good + "\n";
    const auto got = scanAll(stream);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], good);
    EXPECT_EQ(got[1], good);
}

TEST(NmeaSentenceReader, WaitsForTwentyThreeBytes) {
    const std::string shortOne = sentence("GPX,1"); // 9 bytes
    Collector c;
    EXPECT_EQ(c.feed(shortOne + "\r\n"), 0u);
    EXPECT_EQ(c.heldBytes(), 11u);
    EXPECT_EQ(c.feed(std::string(11, 'A')), 0u); // 22 bytes held
    EXPECT_EQ(c.feed("A"), 1u);                  // 23: now the held line goes
    ASSERT_EQ(c.sentences.size(), 1u);
    EXPECT_EQ(c.sentences[0], shortOne);
    EXPECT_EQ(c.heldBytes(), 12u); // the line end is consumed, "AAAA..." waits for its own
}

// A reopened port starts a new stream: whatever was held goes, and a line
// end that the new stream begins with (the rest of a CR LF) ends an empty
// line, so the sentence after it is handed on.
TEST(NmeaSentenceReader, AResetStartsAfresh) {
    const std::string good = sentence("GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5");
    for (const std::string held : {"", "$GPGGA,0307", "noise that never ends its line"}) {
        SCOPED_TRACE(held);
        Collector c;
        c.feed(held);
        c.reset();
        EXPECT_EQ(c.heldBytes(), 0u);
        EXPECT_EQ(c.freeBytes(), 4096u);
        EXPECT_EQ(c.feed("\n" + good + "\r\n"), 1u);
        EXPECT_EQ(c.sentences, std::vector<std::string>{good});
    }
}

TEST(NmeaSentenceReader, FullBufferWithoutLineEndIsDropped) {
    const std::string good = line("GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5");
    Collector c;
    // A sentence whose end never comes within the buffer is lost with it.
    c.feed("$GPGGA,030719.000," + std::string(4096 - 18 - 1, '7'));
    EXPECT_EQ(c.heldBytes(), 4095u);
    EXPECT_EQ(c.freeBytes(), 1u);
    c.feed("7");
    EXPECT_EQ(c.heldBytes(), 0u);
    EXPECT_EQ(c.freeBytes(), 4096u);
    c.feed("\r\n" + good);
    ASSERT_EQ(c.sentences.size(), 1u);
    EXPECT_EQ(c.sentences[0] + "\r\n", good);

    // 4095 bytes and a line end fit: that line is scanned (and rejected), the
    // next one is not disturbed.
    Collector d;
    d.feed("$" + std::string(4094, 'A') + "\n" + good);
    ASSERT_EQ(d.sentences.size(), 1u);
    EXPECT_EQ(d.heldBytes(), 0u);
}

TEST(NmeaSentenceReader, ChunkingChangesNothing) {
    // Real sentences between every kind of noise, longer than the buffer.
    std::string stream = PositioningTest::withoutComments(
        PositioningTest::readFile(PositioningTest::nmeaFolder() / "bu353s4.log"));
    stream.resize(stream.find('\n', 3000) + 1); // enough lines, kept short: every cut feeds it all
    stream.insert(stream.size() / 3, std::string(4200, 'Z'));
    stream.insert(stream.size() / 2,
                  "\r\n\x81\xFF$GPX*00\n\n" + line("GPX,1") + "noise$" + line("GNRMC,,V,,,,,,,,,"));
    stream += line("GPGSV,1,1,00");
    const auto whole = scanAll(stream);
    ASSERT_GT(whole.size(), 30u);

    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        Collector c;
        c.feed(std::string_view(stream).substr(0, cut));
        c.feed(std::string_view(stream).substr(cut));
        ASSERT_EQ(c.sentences, whole) << "cut at " << cut;
    }
    std::mt19937 random(seed());
    for (int round = 0; round < 200; ++round) {
        Collector c;
        std::string_view rest(stream);
        while (!rest.empty()) {
            const std::size_t n =
                std::min<std::size_t>(rest.size(), std::uniform_int_distribution<>(1, 300)(random));
            c.feed(rest.substr(0, n));
            rest.remove_prefix(n);
        }
        ASSERT_EQ(c.sentences, whole) << "round " << round << " seed " << seed();
    }
}

// The sum is taken eight bytes at a time; the byte-by-byte rule decides the
// same on random lines whose '$', '*' and digits fall anywhere in a word.
TEST(NmeaSentenceReader, ChecksumAgreesWithTheByteRule) {
    const auto byteRule = [](const std::string& l) {
        static constexpr char hex[] = "0123456789ABCDEF";
        if (l.empty() || l[0] != '$') return false;
        std::uint8_t sum = 0;
        std::size_t i = 0;
        for (; i < l.size() && l[i] != '*'; ++i)
            if (l[i] != '$') sum ^= static_cast<std::uint8_t>(l[i]);
        if (i + 2 >= l.size()) return false;
        const auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
        return up(l[i + 1]) == hex[sum >> 4] && up(l[i + 2]) == hex[sum & 0x0F];
    };
    static const char alphabet[] = "GPAN0123456789,.$$**abcdefABCDEF";
    std::mt19937 random(seed());
    int accepted = 0;
    for (int round = 0; round < 200000; ++round) {
        std::string l(1 + random() % 40, 'x');
        for (char& c : l)
            c = alphabet[random() % (sizeof alphabet - 1)];
        l[0] = random() % 16 == 0 ? 'G' : '$';
        // Half of the lines get their right sum, at a random place.
        if (random() % 2 == 0 && l.size() > 3) {
            const std::size_t star = 1 + random() % (l.size() - 3);
            l = sentence(std::string(l.substr(1, star - 1)));
            if (random() % 2 == 0) l.back() = static_cast<char>(std::tolower(l.back()));
        }
        const bool expected = byteRule(l);
        ASSERT_EQ(Positioning::nmeaChecksumMatches(l.data(), static_cast<std::uint32_t>(l.size())), expected)
            << l << " seed " << seed();
        accepted += expected ? 1 : 0;
    }
    EXPECT_GT(accepted, 40000);
}

// The scanner sums a line as it looks for its end; what it hands on is what
// the checksum rule accepts of the lines between line ends, however the
// stream is cut into reads, with '$', '*', blanks and line ends anywhere in
// a word and lines left incomplete at the end of a read.
TEST(NmeaSentenceReader, HandsOnWhatTheChecksumRuleAccepts) {
    // Field bytes, and the bytes the scanner must stop at: '$', '*' and a
    // blank, in lines that have none of them, a few or many.
    static const char fields[] = "GPAN0123456789,.abcdefABCDEF+-";
    static const char stops[] = "$* ";
    const std::string lineEnds[] = {"\r\n", "\n", "\r", std::string(1, '\0'), "\x85", "\x1f\xff"};
    std::mt19937 random(seed());
    int accepted = 0;
    for (int round = 0; round < 300; ++round) {
        std::string stream;
        for (int n = 0; n < 40; ++n) {
            std::string l(1 + random() % 90, 'x');
            const unsigned stopsIn64 = std::array<unsigned, 3>{0, 2, 12}[random() % 3];
            for (char& c : l)
                c = random() % 64 < stopsIn64 ? stops[random() % (sizeof stops - 1)]
                                              : fields[random() % (sizeof fields - 1)];
            l[0] = random() % 16 == 0 ? 'G' : '$';
            // Half of the lines get their right sum, at a random place, some
            // with a byte after it; some sums are then put in lower case or
            // damaged (a digit becomes a control byte, which ends the line).
            if (random() % 2 == 0 && l.size() > 3) {
                const std::size_t star = 1 + random() % (l.size() - 3);
                l = sentence(std::string(l.substr(1, star - 1))) + l.substr(star, random() % 3);
                if (random() % 4 == 0) l[l.find('*') + 1 + random() % 2] ^= 0x20;
            }
            stream += l + lineEnds[random() % std::size(lineEnds)];
        }
        stream.append(Positioning::NmeaSentenceReader::MinimumScan, '\n');
        // The reference: the stream split at every line end, each piece
        // judged by the checksum rule alone.
        std::vector<std::string> expected;
        std::string piece;
        for (char c : stream) {
            if (static_cast<std::int8_t>(c) >= 32) {
                piece += c;
                continue;
            }
            if (Positioning::nmeaChecksumMatches(piece.data(), static_cast<std::uint32_t>(piece.size())))
                expected.push_back(piece);
            piece.clear();
        }
        accepted += static_cast<int>(expected.size());
        Collector c;
        std::string_view rest(stream);
        while (!rest.empty()) {
            const std::size_t n =
                std::min<std::size_t>(rest.size(), std::uniform_int_distribution<>(1, 160)(random));
            c.feed(rest.substr(0, n));
            rest.remove_prefix(n);
        }
        ASSERT_EQ(c.sentences, expected) << "round " << round << " seed " << seed();
    }
    EXPECT_GT(accepted, 1000);
}
