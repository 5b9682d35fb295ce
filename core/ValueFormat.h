#pragma once
// The texts in which values are shown to the user: coordinates, distances
// with their unit word, durations and counted nouns. Unit words and nouns
// come from the messages table, so they follow the interface language.

#include "core/MessageTable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Core {

// Coordinate styles: 0 "55.755800" (signed, no letter); 1 "N55.755800°";
// 2 "N55°45.348'" (degrees and decimal minutes); 3 "N55°45'20.9"" (degrees,
// minutes, seconds). Any other style gives an empty text. Negative
// latitudes are "S", negative longitudes "W".
std::u16string formatLatitude(int style, float degrees);
std::u16string formatLongitude(int style, float degrees);

// "<number> " and the text of "meter" or "kilo_meter". Rounded: below 105 m
// to 10 m, below 1050 m to 100 m, else whole kilometres. Exact: metres below
// 1000 m, else kilometres with three decimals.
std::u16string formatDistance(const MessageTable& messages, std::int32_t metres, bool rounded);

// The distance as announced: below 1 m unchanged, below 105 m to the nearest
// 10, below 1050 m to the nearest 100, else to the nearest 1000.
std::int32_t roundDistance(std::int32_t metres);

// "h:mm", seconds dropped; kNoDuration gives an empty text.
constexpr std::uint32_t kNoDuration = 0xFFFFFFFF;
std::u16string formatDuration(std::uint32_t seconds);

// "<n> " and the text of one of three keys by the plural rule of Russian and
// its neighbours: form one for 1, 21, 101..., form few for 2-4, 22-24...,
// form many for 0, 5-20, 25-30... and every n ending in 11-14.
std::u16string formatCount(std::uint32_t n, const MessageTable& messages, std::string_view keyOne,
                           std::string_view keyFew, std::string_view keyMany);

} // namespace Core
