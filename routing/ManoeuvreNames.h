#pragma once
// The route model's manoeuvre types in words, as the voice says them
// (guidance/Voice.cpp holds the words themselves): for the tools that print
// a route and for logs.

#include <array>
#include <cstdint>
#include <string_view>

namespace Map::Routing {

// "turn left" for 1 and so on; "unknown" for a type past the table, "none"
// for 0 (a part where nothing is done).
constexpr std::string_view manoeuvreName(std::uint32_t type) {
    constexpr std::array<std::string_view, 34> names{
        "none",
        "turn left",
        "turn right",
        "onto the roundabout",
        "exit the roundabout",
        "exit right",
        "exit left",
        "U-turn",
        "roundabout, first exit",
        "roundabout, second exit",
        "roundabout, third exit",
        "roundabout, fourth exit",
        "roundabout, fifth exit",
        "roundabout, sixth exit",
        "roundabout, seventh exit",
        "roundabout, eighth exit",
        "roundabout, ninth exit",
        "keep left",
        "keep right",
        "into the roundabout",
        "route point",
        "end of the route",
        "left onto the exit",
        "right onto the exit",
        "straight onto the exit",
        "left onto the second exit",
        "right onto the second exit",
        "straight onto the second exit",
        "left at the interchange",
        "right at the interchange",
        "straight on at the interchange",
        "left at the crossroads",
        "right at the crossroads",
        "straight on at the crossroads",
    };
    return type < names.size() ? names[type] : "unknown";
}

} // namespace Map::Routing
