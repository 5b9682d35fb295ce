#include "core/ValueFormat.h"

#include "core/FloatToInt.h"
#include "core/Format.h"

#include <cmath>
#include <limits>

namespace Core {
namespace {

// The arithmetic stays in 32-bit floats, as the rounding rules of the
// minutes and seconds were written for them.
std::u16string formatCoordinate(int style, float value, char16_t positive, char16_t negative) {
    const char16_t letter = value < 0 ? negative : positive;
    const float a = std::fabs(value);
    switch (style) {
    case 0:
        return format(u"%0.6f", value);
    case 1:
        return format(u"%c%0.6f°", letter, a);
    case 2: {
        float d = std::floor(a);
        float m = (a - d) * 60.0f;
        if (m >= 59.9995f) {
            d += 1.0f;
            m = 0.0f;
        }
        // Saturating: a value beyond the integer range (or NaN, from a
        // filter gone wrong) must not make the conversion undefined.
        return format(u"%c%d°%06.3f'", letter, xe::floorToInt(d), m);
    }
    case 3: {
        float d = std::floor(a);
        const float t = (a - d) * 60.0f;
        float m = std::floor(t);
        float s = (t - m) * 60.0f;
        if (s >= 59.5f) {
            m += 1.0f;
            s = 0.0f;
            if (m == 60.0f) {
                d += 1.0f;
                m = 0.0f;
            }
        }
        return format(u"%c%d°%02d'%04.1f\"", letter, xe::floorToInt(d), xe::floorToInt(m), s);
    }
    default:
        return {};
    }
}

} // namespace

std::u16string formatLatitude(int style, float degrees) { return formatCoordinate(style, degrees, u'N', u'S'); }

std::u16string formatLongitude(int style, float degrees) { return formatCoordinate(style, degrees, u'E', u'W'); }

std::u16string formatDistance(const MessageTable& messages, std::int32_t metres, bool rounded) {
    // 64-bit sums: metres near the i32 limit must not overflow while rounding.
    const std::int64_t m = metres;
    if (rounded) {
        if (m < 105)
            return format(u"%d ", (m + 5) / 10 * 10) + messages.text("meter");
        if (m < 1050)
            return format(u"%d ", (m + 50) / 100 * 100) + messages.text("meter");
        return format(u"%d ", (m + 500) / 1000) + messages.text("kilo_meter");
    }
    if (m >= 1000)
        return format(u"%.3f ", static_cast<double>(m) * 0.001) + messages.text("kilo_meter");
    return format(u"%d ", m) + messages.text("meter");
}

std::int32_t roundDistance(std::int32_t metres) {
    const std::int64_t m = metres;
    std::int64_t r;
    if (m < 1)
        r = m;
    else if (m < 105)
        r = (m + 5) / 10 * 10;
    else if (m < 1050)
        r = (m + 50) / 100 * 100;
    else
        r = (m + 500) / 1000 * 1000;
    // Near the i32 limit the nearest thousand lies above it: keep the largest
    // whole thousand that fits.
    constexpr std::int64_t top = std::numeric_limits<std::int32_t>::max() / 1000 * 1000;
    return static_cast<std::int32_t>(r > top && m >= 1050 ? top : r);
}

std::u16string formatDuration(std::uint32_t seconds) {
    if (seconds == kNoDuration)
        return {};
    return format(u"%d:%.2d", seconds / 3600, (seconds % 3600) / 60);
}

std::u16string formatCount(std::uint32_t n, const MessageTable& messages, std::string_view keyOne,
                           std::string_view keyFew, std::string_view keyMany) {
    const std::uint32_t r = n % 10;
    std::string_view key = keyMany;
    if (r >= 1 && r <= 4 && n % 100 != r + 10)
        key = r == 1 ? keyOne : keyFew;
    return format(u"%u ", n) + messages.text(key);
}

} // namespace Core
