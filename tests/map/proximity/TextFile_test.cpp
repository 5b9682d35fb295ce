#include "map/proximity/TextFile.h"

#include "map/Projection.h"
#include "map/UnitsPerMeter.h"
#include "tests/map/proximity/ProximityTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace Map::Proximity;
using ProximityTest::allPoints;
using ProximityTest::wide;

TextRow row(std::string_view line, TextForm form) { return parseTextRow(line, form); }

std::int32_t radiusAt(float latitude, std::int32_t metres) {
    return static_cast<std::int32_t>(
        std::floor(static_cast<double>(Map::Projection::unitsPerMeterAtLatitude(latitude)) * metres + 0.5));
}

TEST(DangerWarnText, HeadersAreRecognisedAsPrefixesInOrder) {
    EXPECT_EQ(detectTextForm("X,Y,TYPE,SPEED,DIRTYPE,DIRECTION"), TextForm::Plain);
    EXPECT_EQ(detectTextForm("X,Y,TYPE,SPEED,DIRTYPE,DIRECTION,COMMENT"), TextForm::Plain);
    EXPECT_EQ(detectTextForm("IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION"), TextForm::Indexed);
    EXPECT_EQ(detectTextForm("X,Y,TYPE,PROXIMITY,SPEED,DIRTYPE,DIRECTION"), TextForm::WithRadius);
    EXPECT_EQ(detectTextForm("X,Y,TYPE,SPEED,DIRTYPE,DIRECTIO"), TextForm::None);
    EXPECT_EQ(detectTextForm("x,y,type,speed,dirtype,direction"), TextForm::None);
    EXPECT_EQ(detectTextForm(""), TextForm::None);
}

TEST(DangerWarnText, RowsAreConvertedPerForm) {
    // Coordinates, radius and the hand-computed map point of 90 E, 0 N.
    const TextRow east = row("90,0", TextForm::Plain);
    ASSERT_EQ(east.status, TextRow::Accepted);
    EXPECT_EQ(east.point.x, 1073741824);
    EXPECT_EQ(east.point.y, 0);
    EXPECT_EQ(east.point.radius, 42917); // floor(107.29286 x 400 + 0.5)
    EXPECT_EQ(east.point.packed, 0u);    // kind 0, no limit, any direction
    EXPECT_EQ(east.point.reserved, 0u);

    const TextRow city = row(" 13.5, 52.25,2,50,0,0", TextForm::Plain);
    const Map::Point expected = Map::Projection::fromGeo(52.25f, 13.5f);
    EXPECT_EQ(city.point.x, expected.x);
    EXPECT_EQ(city.point.y, expected.y);
    EXPECT_EQ(city.point.radius, radiusAt(52.25f, 400));
    EXPECT_EQ(city.point.kind(), 2u);
    EXPECT_EQ(city.point.speedLimit(), 139u); // floor(138.8889 + 0.5)

    // One field of one row: d direction, D direction kind, s speed limit,
    // k kind, r radius, S status.
    const auto field = [](std::string_view line, TextForm form, char what) -> std::int64_t {
        const TextRow r = row(line, form);
        switch (what) {
        case 'd': return r.point.direction();
        case 'D': return r.point.directionKind();
        case 's': return r.point.speedLimit();
        case 'k': return r.point.kind();
        case 'r': return r.point.radius;
        default: return r.status;
        }
    };
    using F = TextForm;
    const struct {
        const char* line;
        TextForm form;
        char what;
        std::int64_t expected;
    } rows[] = {
        // The plain layout turns directions round, headerless files do not.
        {"1,1,1,0,1,90", F::Plain, 'd', 270}, {"1,1,1,0,1,90", F::Plain, 'D', 1}, {"1,1,1,0,1,90", F::None, 'd', 90},
        {"1,1,1,0,0,-90", F::Plain, 'd', 270}, {"1,1,1,0,0,725", F::None, 'd', 5}, {"1,1,1,0,2,270", F::Plain, 'd', 90},
        {"1,1,1,0,3,90", F::Plain, 'D', 0}, {"1,1,1,0,3,90", F::Plain, 'd', 90},
        {"1,1,1,0,0,2147483647", F::None, 'd', 2147483647 % 360},
        // 60 km/h is 167 tenths of m/s; 0 and less mean none.
        {"1,1,1,60", F::Plain, 's', 167}, {"1,1,1,-60", F::Plain, 's', 0}, {"1,1,1,30000", F::Plain, 's', 83333 & 0xFFFF},
        {"1,1,7", F::Plain, 'k', 5}, {"1,1,8", F::None, 'k', 0}, {"0,1,1,103", F::Indexed, 'k', 9},
        {"0,1,1,101", F::Indexed, 'k', 7}, {"0,1,1,106", F::Indexed, 'k', 0}, {"0,1,1,107", F::Indexed, 'k', 0},
        {"0,1,1,11", F::Indexed, 'k', 11}, {"1,1,11,400", F::WithRadius, 'k', 11},
        {"1,1,12,400", F::WithRadius, 'k', 0}, {"1,1,-5,400", F::WithRadius, 'k', 0},
        {"0,0,1,100", F::WithRadius, 'r', radiusAt(0, 100)}, {"0,0,1,0", F::WithRadius, 'r', radiusAt(0, 400)},
        {"0,0,1,-3", F::WithRadius, 'r', radiusAt(0, 400)}, {"0,0,1,2147483647", F::WithRadius, 'r', 2147483647},
        {"0,0,1,100,60,1,10", F::WithRadius, 's', 167}, {"0,0,1,100,60,1,10", F::WithRadius, 'd', 10},
        // Integers take no blank before the sign; decimals do.
        {"1,1,1,0,0, -90", F::None, 'd', 0}, {"1,1,1,0,0,-90", F::None, 'd', 270}, {"10abc,20xyz,3", F::None, 'k', 3},
        // Ranges: inclusive bounds; beyond the projection is its own status.
        {"180,0", F::Plain, 'S', TextRow::Accepted}, {"-180,0", F::Plain, 'S', TextRow::Accepted},
        {"180.0001,0", F::Plain, 'S', TextRow::OutOfRange}, {"0,90.0001", F::Plain, 'S', TextRow::OutOfRange},
        {"0,-90.5", F::Plain, 'S', TextRow::OutOfRange}, {"0,90", F::Plain, 'S', TextRow::BeyondProjection},
        {"0,-85.06", F::Plain, 'S', TextRow::BeyondProjection}, {"0,85.05", F::Plain, 'S', TextRow::Accepted},
        {"0,85.0511856", F::Plain, 'S', TextRow::Accepted}, {"0,-85.0511856", F::Plain, 'S', TextRow::Accepted},
        {"   ", F::Plain, 'S', TextRow::NoCoordinates}, {"abc,def", F::Plain, 'S', TextRow::NoCoordinates},
        {"5", F::Plain, 'S', TextRow::NoCoordinates}, {"5,", F::Plain, 'S', TextRow::NoCoordinates},
        {"7,5", F::Indexed, 'S', TextRow::NoCoordinates}, // the 7 is IDX
    };
    for (const auto& r : rows)
        EXPECT_EQ(field(r.line, r.form, r.what), r.expected) << r.line << " " << r.what;
    EXPECT_EQ(row(" -12.5,1", TextForm::None).longitude, -12.5f);
    EXPECT_EQ(row("180,0", TextForm::Plain).point.x, std::numeric_limits<std::int32_t>::min());
}

TEST(DangerWarnText, FilesSkipCommentsBadRowsAndAByteOrderMark) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;

    // A UTF-8 mark before the plain header; CR LF line ends; comments;
    // a blank row, a whitespace row and a row beyond the projection.
    const auto marked = dir.write("marked.txt", "\xEF\xBB\xBFX,Y,TYPE,SPEED,DIRTYPE,DIRECTION\r\n"
                                                "10,20,1,0,1,90\r\n"
                                                "; a comment\r\n"
                                                "// another\r\n"
                                                "\r\n"
                                                "   \r\n"
                                                "11,86,1\r\n"
                                                "12,21,2,50\r\n");
    MemoryIndex index;
    ASSERT_TRUE(readDangerWarnPointFile(wide(marked), index));
    auto points = allPoints(index);
    ASSERT_EQ(points.size(), 2u);
    std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
    EXPECT_EQ(points[0].direction(), 270u); // the header was seen: plain form
    EXPECT_EQ(points[1].speedLimit(), 139u);
    const std::string name = marked.string();
    EXPECT_TRUE(log.contains("Danger Warn Points file '" + name + "', line 6: no coordinates, row skipped"));
    EXPECT_TRUE(log.contains("Danger Warn Points file '" + name +
                             "', line 7: latitude 86.000000 is beyond the map projection, row skipped"));

    // A single data line, no header, no line end; a "/" line is data.
    MemoryIndex single;
    ASSERT_TRUE(readDangerWarnPointFile(wide(dir.write("single.txt", "5.5,6.5,2,0,1,90")), single));
    ASSERT_EQ(single.pointCount(), 1u);
    EXPECT_EQ(allPoints(single)[0].direction(), 90u);
    const auto slash = dir.write("slash.txt", "1,1\n/2,2\n//3,3\n;4,4\n");
    MemoryIndex slashIndex;
    ASSERT_TRUE(readDangerWarnPointFile(wide(slash), slashIndex));
    EXPECT_EQ(slashIndex.pointCount(), 1u);
    EXPECT_TRUE(log.contains(std::string(1, '\'').append(slash.string()).append("', line 2: no coordinates")));
    EXPECT_FALSE(log.contains(std::string(1, '\'').append(slash.string()).append("', line 3")));

    // The other layouts; text after the header's bytes is ignored.
    MemoryIndex forms;
    ASSERT_TRUE(readDangerWarnPointFile(
        wide(dir.write("indexed.txt", "IDX,X,Y,TYPE,SPEED,DIRTYPE,DIRECTION,NOTE  \n17,1,2,103,30,0,0\n")), forms));
    ASSERT_TRUE(readDangerWarnPointFile(
        wide(dir.write("radius.txt", "X,Y,TYPE,PROXIMITY,SPEED,DIRTYPE,DIRECTION\n3,4,12,100,0,2,45\n")), forms));
    points = allPoints(forms);
    ASSERT_EQ(points.size(), 2u);
    std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
    EXPECT_EQ(points[0].kind(), 9u);
    EXPECT_EQ(points[0].speedLimit(), 83u);
    EXPECT_EQ(points[1].kind(), 0u);
    EXPECT_EQ(points[1].radius, radiusAt(4.0f, 100));
    EXPECT_EQ(points[1].direction(), 45u); // only the plain layout turns directions

    // An empty file adds nothing and is no failure; a missing one fails.
    const auto empty = dir.write("empty.txt", "");
    EXPECT_TRUE(readDangerWarnPointFile(wide(empty), forms));
    EXPECT_EQ(forms.pointCount(), 2u);
    EXPECT_TRUE(log.contains("Danger Warn Points file '" + empty.string() + "' is empty"));
    const auto missing = dir / "missing.txt";
    EXPECT_FALSE(readDangerWarnPointFile(wide(missing), forms));
    EXPECT_TRUE(log.contains("Can't open Danger Warn Points file '" + missing.string() + "' (err 2): No such file or directory"));
}

} // namespace
