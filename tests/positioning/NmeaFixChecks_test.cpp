// The checks of a claimed fix, made on each field as the GGA and RMC parsers
// read it, against the checks as a separate pass: the body split again at its
// commas and every checked field walked whole. Random and mutated bodies,
// stars and NULs inside fields included.

#include "positioning/NmeaParsers.h"
#include "positioning/detail/NmeaFields.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace Positioning;
using namespace Positioning::detail;

bool allDigits(std::string_view s) {
    return s.find_first_not_of("0123456789") == std::string_view::npos;
}

// The coordinate check as it was first written, substrings and all.
bool referenceCoordinate(std::string_view value, std::string_view hemisphere, std::size_t degreeDigits,
                         char positive, char negative) {
    if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) return false;
    const std::size_t whole = degreeDigits + 2;
    if (value.size() < whole || !allDigits(value.substr(0, whole))) return false;
    const std::string_view fraction = value.substr(whole);
    if (!fraction.empty() && (fraction.size() < 2 || fraction[0] != '.' || !allDigits(fraction.substr(1))))
        return false;
    const int degrees = std::stoi(std::string(value.substr(0, degreeDigits)));
    const int minutes = std::stoi(std::string(value.substr(degreeDigits, 2)));
    const int limit = degreeDigits == 2 ? 90 : 180;
    if (minutes >= 60 || degrees > limit) return false;
    return degrees < limit || (minutes == 0 && value.find_first_not_of("0.", whole) == std::string_view::npos);
}

// The body split at its commas, at most 16 fields; a missing field is empty.
std::string_view commaField(std::string_view body, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::size_t comma = body.find(',', start);
        if (i == index) return body.substr(start, comma == std::string_view::npos ? body.size() - start : comma - start);
        if (comma == std::string_view::npos) return {};
        start = comma + 1;
    }
    return {};
}

bool referenceFix(std::string_view body, std::size_t latitude, std::vector<std::size_t> numbers) {
    if (!wellFormedTime(commaField(body, 0))) return false;
    if (!referenceCoordinate(commaField(body, latitude), commaField(body, latitude + 1), 2, 'N', 'S')) return false;
    if (!referenceCoordinate(commaField(body, latitude + 2), commaField(body, latitude + 3), 3, 'E', 'W'))
        return false;
    for (std::size_t i : numbers)
        if (!commaField(body, i).empty() && !wellFormedNumber(commaField(body, i))) return false;
    return true;
}

// Where field `index` starts as the parsers walk the body: the fields before
// it end at a ',' or a '*'.
std::size_t walkedFieldStart(const std::string& body, std::size_t index) {
    std::size_t p = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t separator = body.find_first_of(",*", p);
        if (separator == std::string::npos) return std::string::npos;
        p = separator + 1;
    }
    return p;
}

// Whether the body parses when no fix is claimed: the claim's field made
// "0" (GGA quality, read up to its comma) or "V" (RMC status), which moves
// no later field.
bool parsesWithoutClaim(std::string body, bool gga) {
    const std::size_t start = walkedFieldStart(body, gga ? 5 : 1);
    if (start == std::string::npos || start > body.size()) return false;
    const std::size_t stop = body.find_first_of(gga ? "," : ",*", start);
    body = body.substr(0, start) + (gga ? "0" : "V") + (stop == std::string::npos ? std::string() : body.substr(stop));
    if (gga) {
        GgaRecord record;
        return parseGga(body.data(), body.data() + body.size(), record);
    }
    RmcRecord record;
    return parseRmc(body.data(), body.data() + body.size(), record);
}

const char* const Pieces[] = {
    "",          "0",          "1",           "12",        "123519",     "123519.25", "235960",     "240000",
    "126019",    "1235",       "123519.",     "12a519",    "4807.038",   "4807",      "9000.000",   "9000.001",
    "8959.9999", "9060.0",     "01131.000",   "18000.00",  "18000.10",   "17959.99",  "1131.000",   "N",
    "S",         "E",          "W",           "NN",        "n",          "A",         "V",          "545.4",
    "-12.5",     "+3.",        ".5",          "-.",        "+",          "1e5",       "nan",        "inf",
    " 12.5",     "12.5.3",     "1.2 ",        "0.9",       "08",         "M",         "46.9",       "022.4",
    "084.4",     "230394",     "003.1",       "12*5",      "*",          "1.5*",      "99999999999999999999999999999999999999999.5",
    "0000000000000000000000000000000000001.25",
};

const char Noise[] = ",*.-+0123456789 NSEWAVe\t";

std::string randomBody(std::mt19937& rng, bool gga) {
    static const std::vector<std::string> good[2] = {
        {"123519", "A", "4807.038", "N", "01131.000", "E", "022.4", "084.4", "230394", "003.1", "W"},
        {"123519", "4807.038", "N", "01131.000", "E", "1", "08", "0.9", "545.4", "M", "46.9", "M", "", ""}};
    const std::vector<std::string>& fields = good[gga ? 1 : 0];
    std::uniform_int_distribution<std::size_t> piece(0, std::size(Pieces) - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    std::string body;
    const std::size_t count = percent(rng) < 10 ? static_cast<std::size_t>(percent(rng) % 16) : fields.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) body += ',';
        body += percent(rng) < 25 || i >= fields.size() ? std::string(Pieces[piece(rng)]) : fields[i];
    }
    // Byte damage: replaced, inserted and removed characters.
    const int damage = percent(rng) < 50 ? 0 : percent(rng) % 4;
    std::uniform_int_distribution<std::size_t> noise(0, sizeof(Noise) - 1); // the last is the NUL
    for (int i = 0; i < damage && !body.empty(); ++i) {
        const std::size_t at = static_cast<std::size_t>(rng()) % body.size();
        const char c = Noise[noise(rng)];
        switch (percent(rng) % 3) {
        case 0: body[at] = c; break;
        case 1: body = body.substr(0, at) + c + body.substr(at); break;
        default: body = body.substr(0, at) + body.substr(at + 1); break;
        }
    }
    return body;
}

TEST(NmeaFixChecks, CoordinateCheckDecidesAsTheReference) {
    std::mt19937 rng(7);
    const char alphabet[] = "0000123456789998..5 -NSEWnx";
    const std::string_view hemispheres[] = {"N", "S", "E", "W", "N", "S", "E", "W", "", "NS", "s", std::string_view("\0", 1)};
    int accepted = 0;
    for (int round = 0; round < 200000; ++round) {
        const std::size_t degreeDigits = rng() % 2 == 0 ? 2 : 3;
        // Mostly digits where a receiver puts them, so that the ranges are
        // reached as often as the syntax; then a character or two damaged.
        std::string value;
        const std::size_t whole = degreeDigits + 2 - (rng() % 8 == 0 ? 1 : 0);
        for (std::size_t i = 0; i < whole; ++i)
            value += static_cast<char>('0' + (i == 0 && rng() % 3 == 0 ? (degreeDigits == 2 ? 9 : 1) : rng() % 10));
        if (rng() % 3 != 0) value += '.';
        for (std::size_t i = rng() % 6; i > 0; --i)
            value += rng() % 3 == 0 ? '0' : static_cast<char>('0' + rng() % 10);
        if (rng() % 4 == 0) value = value.substr(0, 1) + (degreeDigits == 2 ? "0" : "80") + value.substr(1);
        for (std::size_t i = rng() % 4 == 0 ? 1 + rng() % 2 : 0; i > 0 && !value.empty(); --i)
            value[rng() % value.size()] = alphabet[rng() % (sizeof alphabet - 1)];
        const std::string_view hemisphere = hemispheres[rng() % std::size(hemispheres)];
        const char positive = degreeDigits == 2 ? 'N' : 'E';
        const char negative = degreeDigits == 2 ? 'S' : 'W';
        const bool expected = referenceCoordinate(value, hemisphere, degreeDigits, positive, negative);
        ASSERT_EQ(wellFormedCoordinate(value, hemisphere, degreeDigits, positive, negative), expected)
            << '"' << value << "\" \"" << hemisphere << "\" " << degreeDigits;
        accepted += expected ? 1 : 0;
    }
    EXPECT_GT(accepted, 5000);
    for (const char* value : {"9000", "9000.0000", "9000.0001", "8959.9999", "18000.00", "18000.01", "17959.9"})
        EXPECT_EQ(wellFormedCoordinate(value, "N", value[0] == '1' ? 3 : 2, 'N', 'S'),
                  referenceCoordinate(value, "N", value[0] == '1' ? 3 : 2, 'N', 'S'))
            << value;
}

TEST(NmeaFixChecks, FoldedChecksDecideAsTheSeparatePass) {
    std::mt19937 rng(70);
    int claimed[2] = {0, 0};
    int refused[2] = {0, 0};
    for (int round = 0; round < 120000; ++round) {
        const bool gga = round % 2 == 0;
        const std::string body = randomBody(rng, gga);
        const char* const begin = body.data();
        const char* const end = begin + body.size();
        bool parsed = false;
        bool claims = false;
        if (gga) {
            GgaRecord record;
            parsed = parseGga(begin, end, record);
            claims = record.quality != 0;
        } else {
            RmcRecord record;
            parsed = parseRmc(begin, end, record);
            claims = record.status == 'A';
        }
        const bool structural = parsesWithoutClaim(body, gga);
        bool expected = structural;
        if (structural && claims)
            expected = gga ? referenceFix(body, 1, {7, 8, 10}) : referenceFix(body, 2, {6, 7});
        ASSERT_EQ(parsed, expected) << (gga ? "GGA " : "RMC ") << '"' << body << '"';
        if (structural && claims) {
            ++claimed[gga];
            refused[gga] += expected ? 0 : 1;
        }
    }
    // Both decisions were taken often enough to mean something.
    for (int kind = 0; kind < 2; ++kind) {
        EXPECT_GT(claimed[kind], 10000) << kind;
        EXPECT_GT(refused[kind], 2000) << kind;
        EXPECT_GT(claimed[kind] - refused[kind], 2000) << kind;
    }
}

} // namespace
