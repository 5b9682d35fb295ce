#pragma once
// Spoken guidance as lists of sound ids: manoeuvres, distances, object
// warnings and numbers, with the number words of Russian grammar (digit
// group by digit group; unit words in three forms: one, two to four, many).
// What each id sounds like is up to sounds.xml.

#include <cstdint>
#include <vector>

namespace Guidance {

using Phrase = std::vector<std::int32_t>;

// One manoeuvre of an announcement: its type (the route model's manoeuvre
// types) and the distance to speak, 0 for none.
struct ManeuverEntry {
    std::uint32_t type = 0;
    std::uint32_t distance = 0;
};

class fdMapNavi;

namespace Voice {

// Sound ids the callers play besides the phrases below.
enum SoundId : std::int32_t {
    Arrived = 0,
    RouteStart = 4,
    Then = 58,
    In = 59,
    RouteRebuilt = 69,
    Click = 73,
    Tick = 200,
};

// Appends the manoeuvres in order, joined by Then, each distance rounded for
// speech (to tens below 105 m, hundreds below 1050 m, thousands above).
// True when the list was not empty.
bool composeManeuverPhrase(Phrase& out, const std::vector<ManeuverEntry>& maneuvers, bool distanceFirst);
// The announcement of the manoeuvres guidance has ahead.
bool composeManeuverPhrase(Phrase& out, const fdMapNavi& navi, bool distanceFirst);
// One manoeuvre: In and the distance before or after the type's words; a
// distance of 0 is not spoken. A type without words keeps its distance.
void maneuverIds(Phrase& out, std::uint32_t type, std::uint32_t metres, bool distanceFirst);
// An object warning: the object's sound in place of a manoeuvre's words.
void objectPhrase(Phrase& out, std::int32_t soundId, std::uint32_t metres, bool distanceFirst);
// Kilometres and metres with their unit words; 0 appends nothing.
void distanceIds(Phrase& out, std::uint32_t metres);
// A number of 1 to 99999; anything else appends nothing.
void numberIds(Phrase& out, std::uint32_t n);

} // namespace Voice
} // namespace Guidance
