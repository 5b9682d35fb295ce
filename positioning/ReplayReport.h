#pragma once
// The report of a recorded NMEA stream played through the positioning
// system: a header line naming the columns, one tab-separated line per fix
// its tracking listeners receive (UTC date and time, valid flag, latitude
// and longitude with 7 decimals, altitude, speed in m/s, heading, HDOP,
// VDOP), and at the end the satellite count of the last complete GSV view
// ("satellites" and the count). The time is "2014-12-31T03:07:19Z", or
// "03:07:19Z" before the receiver sent a date; a line before its first valid
// fix shows "-" for every value but the flag, and an invalid fix after one
// repeats the last valid fix's values. Lines of the
// recording that start with '#' are comments and are left out. The
// system's wild-fix gate judges the fixes by their own times, so a fix is
// left out only when the receiver's own pace could not have reached it.

#include <string>
#include <string_view>

namespace Positioning {

std::string replayReport(std::string_view recording);

} // namespace Positioning
