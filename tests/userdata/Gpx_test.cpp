#include "userdata/Gpx.h"

#include "UserDataTestSupport.h"
#include "core/Format.h"
#include "core/Text.h"
#include "map/Projection.h"
#include "map/UnitsPerMeter.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "userdata/fdWPManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <tuple>

using namespace UserDataTest;

namespace {

std::vector<Gpx::ReadPoint> read(const std::string& wpts, const std::string& root = "gpx") {
    FakeStyles styles;
    std::string text = "<?xml version=\"1.0\"?><" + root + ">" + wpts + "</" + root + ">";
    return Gpx::readWaypoints(text, &styles, 3);
}

constexpr std::uint16_t NamelessType = 0x6620;

std::int32_t metres(float latitude, float m) {
    return static_cast<std::int32_t>(
        std::floor(Map::Projection::unitsPerMeterAtLatitude(latitude) * m + 0.5f));
}

TEST(Gpx, WrittenFilesValidateAndReadBackTheSame) {
    // As an older version of the program wrote it: extensions in the GPX
    // namespace, which the schema refuses but the reader still takes.
    std::string wpts =
        "<wpt lat=\"55.75\" lon=\"37.6\"><name>&lt;A &amp; B&gt; \"q\" 'a'&#9;end\x01</name><desc>d</desc>"
        "<type>2f01</type><link href=\"fuel.bmp\"><type>image/x-windows-bmp</type></link>"
        "<link href=\"http://x/?a=1&amp;b=2\"><type>text/html</type></link>"
        "<extensions><uses>3</uses><id>7</id><proximity><speed>36</speed></proximity></extensions></wpt>";
    for (const char* sector : {"0", "90", "359"})
        wpts += std::string("<wpt lat=\"1\" lon=\"1\"><extensions><proximity><radius>50</radius><sector>") +
                sector + "</sector></proximity></extensions></wpt>";
    TestSupport::TempDir dir;
    FakeStyles styles;
    fdWPManager first(&styles, u"");
    const auto written = dir / "new.gpx";
    ASSERT_EQ(readAndWrite(first, dir.write("old.gpx", gpxDocument(wpts)), written), 4u);
    const StoredWayPoint& p = first.storedPoint(0);
    EXPECT_TRUE(p.type == FuelType && p.url == u"http://x/?a=1&b=2");
    EXPECT_FLOAT_EQ(p.speed, 10.0f);
    EXPECT_EQ(p.radius, metres(55.75f, 400)) << "36 km/h without a radius warns from 400 m";
    EXPECT_EQ(p.uses * 10 + p.id, 37u);
    std::size_t i = 1;
    for (const int sector : {1, 61, 240})
        EXPECT_EQ(first.storedPoint(i++).sector, sector);
    expectValidGpx(written);
    const std::string text = TestSupport::readAll(written);
    for (const char* kept :
         {"<mirel:sector>0<", "<mirel:sector>90<", "<mirel:sector>359<", "<type>image/bmp<"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;

    // What the writer wrote reads back to the same file.
    fdWPManager second(&styles, u"");
    ASSERT_EQ(readAndWrite(second, written, dir / "again.gpx"), 4u);
    EXPECT_EQ(second.storedPoint(0).name, u"<A & B> \"q\" 'a'\tend")
        << "the control character cannot be written";
    EXPECT_EQ(TestSupport::readAll(dir / "again.gpx"), text);
}

TEST(Gpx, WritesOnePointInSchemaOrder) {
    StoredWayPoint p;
    p.name = u"N\x01\x7f";
    p.comment = u"line\nnext";
    p.type = FuelType;
    p.position = Map::Projection::fromGeo(55.75f, 37.5f);
    p.uses = 2;
    FakeStyles styles;
    const StoredWayPoint* points[] = {&p};
    const std::string text = Gpx::writeWaypoints(points, &styles);
    EXPECT_EQ(text.substr(text.find("\t<wpt")), "\t<wpt lat=\"55.75\" lon=\"37.5\">\r\n"
                                                "\t\t<name>N\x7f</name>\r\n"
                                                "\t\t<desc>line&#10;next</desc>\r\n"
                                                "\t\t<sym>Fuel &amp; Gas</sym>\r\n"
                                                "\t\t<type>2f01</type>\r\n"
                                                "\t\t<extensions>\r\n"
                                                "\t\t\t<mirel:uses>2</mirel:uses>\r\n"
                                                "\t\t</extensions>\r\n"
                                                "\t</wpt>\r\n"
                                                "</gpx>");
    EXPECT_EQ(Gpx::formatCoordinate(-0.0000001f) + Gpx::formatCoordinate(1e-12f), "-0.00000010");
}

// The symbol written is the style's name when the type's style has one,
// else the point's own symbol (kept from the file it was read from).
TEST(Gpx, APointKeepsItsOwnSymbolWhereItsStyleHasNoName) {
    struct NamelessStyles : FakeStyles {
        const Render::PoiStyle* poiStyle(std::uint16_t type) override {
            return type == NamelessType ? &nameless : FakeStyles::poiStyle(type);
        }
        Render::PoiStyle nameless;
    };
    const struct {
        std::uint16_t type;
        const char16_t* own;
        const char* written;
    } rows[] = {
        {NamelessType, u"Own & sym", "\t\t<sym>Own &amp; sym</sym>\r\n"},
        {NamelessType, u"", ""},
        {FuelType, u"Own", "\t\t<sym>Fuel &amp; Gas</sym>\r\n"},
        {0x7f01, u"Unstyled", "\t\t<sym>Unstyled</sym>\r\n"},
    };
    NamelessStyles styles;
    for (const auto& row : rows) {
        StoredWayPoint p;
        p.type = row.type;
        p.symbol = row.own;
        p.position = Map::Projection::fromGeo(55.75f, 37.5f);
        const StoredWayPoint* points[] = {&p};
        const std::string text = Gpx::writeWaypoints(points, &styles);
        const auto from = text.find("\t<wpt"), to = text.find("\t\t<type>");
        ASSERT_NE(to, std::string::npos);
        EXPECT_EQ(text.substr(from, to - from), "\t<wpt lat=\"55.75\" lon=\"37.5\">\r\n" + std::string(row.written))
            << Core::wideToUtf8(row.own);
    }
}

TEST(Gpx, ReaderTakesWhatItCanAndSkipsTheRest) {
    EXPECT_THROW(read("", "GPX"), std::runtime_error);
    EXPECT_THROW(read(std::string(100, '<') + "gpx>"), std::exception);
    const std::pair<const char*, std::u16string> cases[] = {
        {"<desc>a</desc><cmt>b</cmt>", u"|a b|6613"},
        {"<cmt>b</cmt><desc>a</desc>", u"|b a|6613"},
        {"<type>0x2F01</type>", u"||2f01"},
        {"<type> 2f01 </type>", u"||2f01"},
        {"<type>Crossing</type>", u"||6613"},
        {"<type>2f02</type>", u"||6613"}, // a word; no style
        {"<name><![CDATA[a<b]]></name>", u"a<b||6613"},
        {"<type>12f01</type>", u"||6613"},
    };
    for (const auto& [body, expected] : cases) {
        const auto points = read(std::string("<wpt lat=\"1\" lon=\"2\">") + body + "</wpt>");
        ASSERT_EQ(points.size(), 1u) << body;
        const StoredWayPoint& p = points[0].point;
        EXPECT_EQ(p.name + u"|" + p.comment + u"|" + Core::utf8ToWide(Core::format("%04x", int{p.type})),
                  expected);
    }
    std::string latin =
        "<?xml version='1.0' encoding='ISO-8859-1'?><gpx><wpt lat='1' lon='1'><name>\xE9</name>";
    EXPECT_EQ(Gpx::readWaypoints(latin += "</wpt></gpx>", nullptr, 0).at(0).point.name, u"é");
    // Off the globe or incomplete: skipped. Empty values read as 0.
    const auto kept =
        read("<wpt lat=\"90\" lon=\"0\"/><wpt lat=\"nan\" lon=\"0\"/><wpt lat=\"1\" lon=\"180.5\"/>"
             "<wpt lat=\"1\"/><wpt lat=\"\" lon=\"\"/><wpt lat=\"-89.9\" lon=\"-180\"/>");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].point.position, Map::Projection::fromGeo(0, 0));
    // Proximity from another program's hands: clamped, never overflowing.
    const std::string proximity = "<extensions><proximity><radius>1e30</radius><sector>-90</sector>"
                                  "<speed>-5</speed></proximity></extensions></wpt>";
    const auto huge =
        read("<wpt lat=\"89.9\" lon=\"0\">" + proximity + "<wpt lat=\"80\" lon=\"0\">" + proximity);
    ASSERT_EQ(huge.size(), 2u);
    const StoredWayPoint& h = huge[0].point;
    EXPECT_TRUE(h.radius == (1 << 30) && huge[0].boxHalfSize == h.radius && h.speed == 0);
    EXPECT_EQ(h.sector, 181) << "-90 degrees is 270";
    EXPECT_EQ(huge[1].point.radius, metres(80, Gpx::MaxRadiusMetres));
    // No radius and no speed, or a radius of 0: the point warns of nothing.
    const auto none = read("<wpt lat=\"1\" lon=\"1\"><extensions><proximity><radius>0</radius><sector>90</sector>"
                           "</proximity></extensions></wpt><wpt lat=\"1\" lon=\"1\"/>");
    ASSERT_EQ(none.size(), 2u);
    EXPECT_EQ(none[0].point.radius, 0);
    EXPECT_EQ(none[1].point.radius, 0);
    EXPECT_EQ(Gpx::safeFileStem(u" ...") + Gpx::safeFileStem(u"../a\\b\x01"), u"__a_b_");
    EXPECT_EQ(Gpx::safeFileStem(std::u16string(300, u'ж')), std::u16string(125, u'ж')) << "251 bytes";
}

// A load and a save give every waypoint back where its file put it, also
// beyond the map's reach (85.05 degrees, where it is drawn at the map's
// edge) up to just short of a pole; a pole, or beyond, is refused and said.
TEST(Gpx, PointsTheMapCannotShowComeBackAsTheFileHadThem) {
    const struct {
        const char* lat;
        const char* lon;
        const char* written; // the lat of the saved file; null: refused
    } rows[] = {
        {"43.7384", "7.4246", "43.7384"},
        {"-86", "10", "-86"},
        {"-89.99999", "-179.5", "-89.99999"},
        {"89.99999", "0.000001", "89.99999"},
        {"89.999999", "1", "89.999999"},
        {"-89.999999", "1", "-89.999999"},
        {"+60.1234567890123", "1", "60.1234567890123"},
        {"90", "1", nullptr},
        {"-90.0", "1", nullptr},
        {"90.0000001", "1", nullptr},
    };
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    std::string wpts;
    for (const auto& row : rows)
        wpts += std::string("<wpt lat=\"") + row.lat + "\" lon=\"" + row.lon + "\"/>";
    fdWPManager manager(nullptr, u"");
    const std::size_t kept = readAndWrite(manager, dir.write("in.gpx", gpxDocument(wpts)), dir / "out.gpx");
    const std::string text = TestSupport::readAll(dir / "out.gpx");
    std::size_t at = 0, point = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lat);
        if (row.written == nullptr) {
            EXPECT_TRUE(log.contains(std::string("GPX waypoint at ") + row.lat + ", " + row.lon +
                                     " skipped: not a place on the globe"));
            continue;
        }
        const std::string wpt = std::string("<wpt lat=\"") + row.written + "\" lon=\"" + row.lon + "\">";
        EXPECT_NE(at = text.find(wpt, at), std::string::npos) << text;
        // Drawn where the map can show it: at its edge beyond 85.05 degrees.
        EXPECT_EQ(manager.storedPoint(point++).position,
                  Map::Projection::fromGeo(std::stof(row.written), std::stof(row.lon)));
    }
    EXPECT_EQ(kept, point);
    expectValidGpx(dir / "out.gpx");
}

TEST(Gpx, WaypointsOfOtherProgramsComeThrough) {
    // Points and the first one's name and symbol; tracks and routes are skipped.
    const std::tuple<const char*, std::size_t, std::u16string> cases[] = {
        {"gpsbabel-basecamp.gpx", 2, u"Hwy 119|Flag, Blue"},
        {"gpsbabel-expertgps.gpx", 86, u"5066|Crossing"},
        {"gpsbabel-garmincategories.gpx", 2, u"Hwy 119|Flag, Blue"},
        {"gpsbabel-geocaching.gpx", 9, u"GCEBB|geocache"},
        {"gpsbabel-metadata.gpx", 2, u"WPT001|"},
        {"gpxpy-around-visnjan-with-car.gpx", 0, u""},
        {"gpxpy-gpx1.1_with_all_fields.gpx", 2, u"example name|example sym"},
        {"gpxpy-gpx1.1_with_extensions.gpx", 1, u"|"},
        {"gpxpy-route.gpx", 0, u""},
        {"gpxpy-unicode.gpx", 6, u"šđčćž|City (Small)"},
        {"gpxpy-unicode_with_bom.gpx", 1, u"test|"},
    };
    TestSupport::TempDir dir;
    FakeStyles styles;
    for (const auto& [file, count, first] : cases) {
        fdWPManager manager(&styles, u"");
        ASSERT_EQ(readAndWrite(manager, realFile(file), dir / "out.gpx"), count) << file;
        if (count == 0) continue;
        EXPECT_EQ(manager.storedPoint(0).name + u"|" + manager.storedPoint(0).symbol, first) << file;
        expectValidGpx(dir / "out.gpx");
    }
}

// Real files with cut and inserted bytes: nothing may crash or overrun, and
// a failed file adds no point. Bounded; run under ASan+UBSan.
TEST(Gpx, DamagedFilesFailCleanly) {
    TestSupport::Damage damage(36, {"<", ">", "/", "=", "\"", "'", "&", ";", "#", "x", "\x01", "\xff", " "});
    const std::string sources[] = {TestSupport::readAll(realFile("gpxpy-gpx1.1_with_all_fields.gpx")),
                                   TestSupport::readAll(realFile("gpsbabel-garmincategories.gpx"))};
    FakeStyles styles;
    for (int round = 0; round < 300; ++round) {
        std::string bytes = damage.apply(sources[round % 2]);
        try {
            ASSERT_LE(Gpx::readWaypoints(bytes, &styles, 0).size(), 2u) << round;
        } catch (const std::exception&) {
        }
    }
}

} // namespace
