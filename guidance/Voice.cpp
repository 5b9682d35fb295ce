#include "guidance/Voice.h"

#include "guidance/fdMapNavi.h"

#include <array>

namespace Guidance::Voice {

namespace {

constexpr std::int32_t Units = 11;       // + digit 1..9: 12..20
constexpr std::int32_t Tens = 21;        // + digit 2..9: 23..30
constexpr std::int32_t Hundreds = 30;    // + digit 1..9: 31..39
constexpr std::int32_t Teens = 43;       // + units digit: 43..52 for 10..19
constexpr std::int32_t ThousandMany = 40;
constexpr std::int32_t ThousandOne = 41;
constexpr std::int32_t ThousandFew = 42;
constexpr std::int32_t MetreOne = 55;
constexpr std::int32_t KilometreOne = 66;

// Words of manoeuvre types 0 to 33; unused slots are 0.
constexpr std::array<std::array<std::int32_t, 3>, 34> ManeuverWords{{
    {},           {5, 65},      {5, 64},      {60, 62, 63}, {61},         {61, 64},     {61, 65},
    {70},         {74, 61},     {75, 61},     {76, 61},     {77, 61},     {78, 61},     {79, 61},
    {80, 61},     {81, 61},     {82, 61},     {85, 87},     {85, 88},     {60, 62, 63}, {9},
    {89},         {65, 62, 91}, {64, 62, 91}, {92, 62, 91}, {65, 96, 91}, {64, 96, 91}, {92, 96, 91},
    {65, 97},     {64, 97},     {92, 97},     {65, 98},     {64, 98},     {92, 98},
}};

// The unit word's form offset for a count: 0 one, 1 two to four, 2 many.
std::int32_t unitForm(std::uint32_t n) {
    const std::uint32_t last = n % 10;
    if ((n / 10) % 10 == 1 || last == 0 || last >= 5)
        return 2;
    return last == 1 ? 0 : 1;
}

std::uint32_t roundForSpeech(std::uint32_t d) {
    if (d == 0)
        return 0;
    if (d < 105)
        return (d + 5) / 10 * 10;
    if (d < 1050)
        return (d + 50) / 100 * 100;
    return (d + 500) / 1000 * 1000;
}

void distanceAround(Phrase& out, std::uint32_t metres, bool before, bool distanceFirst) {
    if (metres != 0 && before == distanceFirst) {
        out.push_back(In);
        distanceIds(out, metres);
    }
}

} // namespace

bool composeManeuverPhrase(Phrase& out, const std::vector<ManeuverEntry>& maneuvers, bool distanceFirst) {
    for (std::size_t i = 0; i < maneuvers.size(); ++i) {
        if (i != 0)
            out.push_back(Then);
        maneuverIds(out, maneuvers[i].type, roundForSpeech(maneuvers[i].distance), distanceFirst);
    }
    return !maneuvers.empty();
}

bool composeManeuverPhrase(Phrase& out, const fdMapNavi& navi, bool distanceFirst) {
    std::vector<ManeuverEntry> list;
    navi.maneuversToAnnounce(list);
    return composeManeuverPhrase(out, list, distanceFirst);
}

void maneuverIds(Phrase& out, std::uint32_t type, std::uint32_t metres, bool distanceFirst) {
    distanceAround(out, metres, true, distanceFirst);
    if (type < ManeuverWords.size())
        for (std::int32_t id : ManeuverWords[type])
            if (id != 0)
                out.push_back(id);
    distanceAround(out, metres, false, distanceFirst);
}

void objectPhrase(Phrase& out, std::int32_t soundId, std::uint32_t metres, bool distanceFirst) {
    distanceAround(out, metres, true, distanceFirst);
    out.push_back(soundId);
    distanceAround(out, metres, false, distanceFirst);
}

void distanceIds(Phrase& out, std::uint32_t metres) {
    const std::uint32_t km = metres / 1000;
    const std::uint32_t rest = metres % 1000;
    if (km != 0) {
        numberIds(out, km);
        out.push_back(KilometreOne + unitForm(km));
    }
    if (rest != 0) {
        numberIds(out, rest);
        out.push_back(MetreOne + unitForm(rest));
    }
}

void numberIds(Phrase& out, std::uint32_t n) {
    if (n == 0 || n > 99999)
        return;
    const std::int32_t d[5] = {std::int32_t(n / 10000), std::int32_t(n / 1000 % 10), std::int32_t(n / 100 % 10),
                               std::int32_t(n / 10 % 10), std::int32_t(n % 10)};
    if (d[0] == 1) {
        // Ten to nineteen thousand.
        out.push_back(Teens + d[1]);
        out.push_back(ThousandMany);
    } else {
        if (d[0] != 0)
            out.push_back(Tens + d[0]);
        // The thousands digit with the thousand word in its form; a round
        // number of ten-thousands takes the many-form alone.
        if (d[1] != 0)
            out.push_back(Units + d[1]);
        if (d[1] == 1)
            out.push_back(ThousandOne);
        else if (d[1] >= 2 && d[1] <= 4)
            out.push_back(ThousandFew);
        else if (d[0] != 0 || d[1] != 0)
            out.push_back(ThousandMany);
    }
    if (d[2] != 0)
        out.push_back(Hundreds + d[2]);
    if (d[3] == 1) {
        out.push_back(Teens + d[4]);
        return;
    }
    if (d[3] != 0)
        out.push_back(Tens + d[3]);
    if (d[4] != 0)
        out.push_back(Units + d[4]);
}

} // namespace Guidance::Voice
