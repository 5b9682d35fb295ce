#pragma once
// The route model's manoeuvre types that the code tells apart by name (the
// manoeuvre pass sets them on the parts, Manoeuvres.cpp; the voice says
// each type's words, Voice.cpp).

#include <cstdint>

constexpr std::uint32_t UTurnManoeuvre = 7;
// A route point on the way: the first part of each leg after the first.
constexpr std::uint32_t RoutePointManoeuvre = 20;
// Reported by the next-manoeuvre query at the route's end only.
constexpr std::uint32_t ArrivalManoeuvre = 21;

// Onto a roundabout through one of its nodes, or into its ring.
constexpr std::uint32_t RoundaboutNodeManoeuvre = 3;
constexpr std::uint32_t RoundaboutRingManoeuvre = 19;
// Off a roundabout by an exit of no number, or by its first to ninth exit.
constexpr std::uint32_t RoundaboutExitManoeuvre = 4;
constexpr std::uint32_t FirstExitManoeuvre = 8;
constexpr std::uint32_t NinthExitManoeuvre = 16;

constexpr bool isRoundaboutEntry(std::uint32_t type) {
    return type == RoundaboutNodeManoeuvre || type == RoundaboutRingManoeuvre;
}
constexpr bool isRoundaboutExit(std::uint32_t type) {
    return type == RoundaboutExitManoeuvre || (type >= FirstExitManoeuvre && type <= NinthExitManoeuvre);
}
// The exit number of a roundabout's exit, 1 to 9; 0 for any other type.
constexpr std::uint32_t roundaboutExitNumber(std::uint32_t type) {
    return type >= FirstExitManoeuvre && type <= NinthExitManoeuvre ? type - FirstExitManoeuvre + 1 : 0;
}
