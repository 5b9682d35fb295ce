#pragma once
// The route model's manoeuvre types that the code tells apart by name (the
// manoeuvre pass sets them on the parts, Manoeuvres.cpp; the voice says
// each type's words, Voice.cpp).

#include <cstdint>

constexpr std::uint32_t UTurnManoeuvre = 7;
// Reported by the next-manoeuvre query at the route's end only.
constexpr std::uint32_t ArrivalManoeuvre = 21;

// Onto a roundabout: through one of its nodes (3), or into its ring (19).
constexpr bool isRoundaboutEntry(std::uint32_t type) { return type == 3 || type == 19; }
// Off a roundabout: by an exit of no number (4), or by its first to ninth
// exit (8 to 16).
constexpr bool isRoundaboutExit(std::uint32_t type) { return type == 4 || (type >= 8 && type <= 16); }
// The exit number of a roundabout's exit, 1 to 9; 0 for any other type.
constexpr std::uint32_t roundaboutExitNumber(std::uint32_t type) { return type >= 8 && type <= 16 ? type - 7 : 0; }
