#include "map/proximity/TextFile.h"

#include "core/Log.h"
#include "core/Parse.h"
#include "core/WholeFileMapping.h"
#include "map/Projection.h"
#include "map/UnitsPerMeter.h"
#include "platform/Error.h"
#include "platform/Mapping.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Map::Proximity {
namespace {

constexpr std::string_view kPlainHeader = "X,Y,TYPE,SPEED,DIRTYPE,DIRECTION";
constexpr std::string_view kIndexedHeader = "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION";
constexpr std::string_view kRadiusHeader = "X,Y,TYPE,PROXIMITY,SPEED,DIRTYPE,DIRECTION";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::int32_t kDefaultRadiusMetres = 400;

bool isTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Walks the comma-separated fields of one line.
class Fields {
public:
    explicit Fields(std::string_view line) : m_rest(line) {}

    std::string_view next() {
        if (m_done)
            return {};
        const std::size_t comma = m_rest.find(',');
        std::string_view field = m_rest.substr(0, comma);
        if (comma == std::string_view::npos)
            m_done = true;
        else
            m_rest.remove_prefix(comma + 1);
        return field;
    }
    std::int32_t nextInt() {
        std::int32_t v = 0;
        Core::parseInt(next(), v);
        return v;
    }
    // The value, or false when the field holds no digit.
    bool nextDecimal(float& v) { return Core::parseFloat(next(), v); }

private:
    std::string_view m_rest;
    bool m_done = false;
};

std::uint32_t remapKind(std::int32_t type, TextForm form) {
    switch (form) {
    case TextForm::None:
    case TextForm::Plain:
        if (type == 7)
            type = 5;
        else if (type > 7)
            type = 0;
        break;
    case TextForm::Indexed:
        if (type == 106)
            type = 0;
        else if (type > 100)
            type -= 94;
        break;
    case TextForm::WithRadius:
        break;
    }
    return type >= 0 && type <= 11 ? static_cast<std::uint32_t>(type) : 0;
}

std::int32_t roundToInt32(double v) {
    const double r = std::floor(v + 0.5);
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}

} // namespace

TextForm detectTextForm(std::string_view firstLine) {
    if (firstLine.starts_with(kPlainHeader))
        return TextForm::Plain;
    if (firstLine.starts_with(kIndexedHeader))
        return TextForm::Indexed;
    if (firstLine.starts_with(kRadiusHeader))
        return TextForm::WithRadius;
    return TextForm::None;
}

TextRow parseTextRow(std::string_view line, TextForm form) {
    TextRow row;
    Fields fields(line);
    if (form == TextForm::Indexed)
        fields.next();
    float x = 0.0f;
    float y = 0.0f;
    const bool haveX = fields.nextDecimal(x);
    const bool haveY = fields.nextDecimal(y);
    const std::int32_t type = fields.nextInt();
    std::int32_t radiusMetres = kDefaultRadiusMetres;
    if (form == TextForm::WithRadius) {
        radiusMetres = fields.nextInt();
        if (radiusMetres < 1)
            radiusMetres = kDefaultRadiusMetres;
    }
    const std::int32_t speed = fields.nextInt();
    std::int32_t directionKind = fields.nextInt();
    if (directionKind < 0 || directionKind > 2)
        directionKind = 0;
    std::int64_t direction = fields.nextInt();

    row.longitude = x;
    row.latitude = y;
    if (!haveX || !haveY) {
        row.status = TextRow::NoCoordinates;
        return row;
    }
    if (y < -90.0f || y > 90.0f || x < -180.0f || x > 180.0f) {
        row.status = TextRow::OutOfRange;
        return row;
    }
    if (std::fabs(y) > Projection::kMaxLatitude) {
        row.status = TextRow::BeyondProjection;
        return row;
    }

    const Map::Point at = Projection::fromGeo(y, x);
    const float unitsPerMetre = Projection::unitsPerMeterAtLatitude(y);
    const std::int32_t radius = roundToInt32(static_cast<double>(unitsPerMetre) * radiusMetres);

    std::uint32_t speedLimit = 0;
    if (speed > 0)
        speedLimit = static_cast<std::uint32_t>(roundToInt32(speed * 2.777778)) & 0xFFFF;
    // The plain layout gives the direction the car comes from.
    if (form == TextForm::Plain && directionKind != 0)
        direction += 180;
    direction %= 360;
    if (direction < 0)
        direction += 360;

    row.point = Point{at.x, at.y, 0, radius,
                      Point::pack(remapKind(type, form), speedLimit, static_cast<std::uint32_t>(directionKind),
                                  static_cast<std::uint32_t>(direction))};
    return row;
}

bool readDangerWarnPointFile(const std::u16string& path, MemoryIndex& index) {
    Platform::MappableFile file(path);
    if (!file.isOpen()) {
        Log::log(Log::System, u"Can't open Danger Warn Points file '%s' (err %d)", path, Platform::lastError());
        return false;
    }
    if (file.size() == 0) {
        Log::log(Log::System, u"Danger Warn Points file '%s' is empty", path);
        return true;
    }
    FileSystem::WholeFileMapping mapping(path, std::move(file));
    const FileSystem::WholeFileView view = mapping.mapWhole();
    if (view.base() == nullptr)
        return false;
    std::string_view text(reinterpret_cast<const char*>(view.base()), static_cast<std::size_t>(view.size()));
    if (text.starts_with(kUtf8Mark))
        text.remove_prefix(kUtf8Mark.size());

    std::uint32_t lineNumber = 0;
    auto handle = [&](std::string_view line, TextForm form) {
        if (line.empty() || line.starts_with(";") || line.starts_with("//"))
            return;
        const TextRow row = parseTextRow(line, form);
        switch (row.status) {
        case TextRow::Accepted:
            index.add(row.point);
            break;
        case TextRow::OutOfRange:
            break;
        case TextRow::NoCoordinates:
            Log::log(Log::Normal, u"Danger Warn Points file '%s', line %u: no coordinates, row skipped", path,
                     lineNumber);
            break;
        case TextRow::BeyondProjection:
            Log::log(Log::Normal,
                     u"Danger Warn Points file '%s', line %u: latitude %f is beyond the map projection, row skipped",
                     path, lineNumber, static_cast<double>(row.latitude));
            break;
        }
    };

    // First line: up to the first LF, trailing white space removed.
    std::size_t lineEnd = text.find('\n');
    std::string_view first = text.substr(0, lineEnd);
    while (!first.empty() && isTrailingSpace(first.back()))
        first.remove_suffix(1);
    const TextForm form = detectTextForm(first);
    lineNumber = 1;
    if (form == TextForm::None)
        handle(first, TextForm::None);

    while (lineEnd != std::string_view::npos) {
        text.remove_prefix(lineEnd + 1);
        lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        if (lineEnd != std::string_view::npos && line.ends_with('\r'))
            line.remove_suffix(1);
        ++lineNumber;
        handle(line, form);
    }
    return true;
}

} // namespace Map::Proximity
