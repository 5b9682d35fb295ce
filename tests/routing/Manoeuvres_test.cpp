// The manoeuvre pass on drawn routes: turn thresholds, U-turns, major
// roads, coded turns, roundabouts and same-type sticking; then street runs
// and the default file name.

#include "map/Level.h"
#include "routing/ManoeuvreNames.h"
#include "routing/ManoeuvreTypes.h"
#include "routing/PathPosition.h"
#include "tests/routing/RouteFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using Map::LocalPoint;
using namespace RouteTest;

// A leg of `length` level units (metres here) heading `degrees` clockwise
// from north, from `from`.
struct Leg {
    float degrees;
    float length;
    std::uint8_t roadClass = 0;
    std::uint8_t turnCode = 0;
    std::uint32_t segment = RoadGraph::kNoId;
    std::uint32_t name = 0; // index of the road's name in the map's strings
};

Path drive(const RouteAtlas& town, const std::vector<Leg>& legs) {
    LocalPoint at{1500, 1100};
    Path scratch;
    for (const Leg& leg : legs) {
        const float r = leg.degrees * std::numbers::pi_v<float> / 180.0f;
        const LocalPoint to{at.x + leg.length * std::sin(r), at.y + leg.length * std::cos(r)};
        PathPart part = town.part({at, to}, leg.roadClass, 1, leg.segment);
        part.turnCode = leg.turnCode;
        part.nameIndex = leg.name;
        scratch.appendPart(part);
        at = to;
    }
    Path path(town.point({1500, 1100}));
    path.appendPath(Path(town.point({1500, 1100}), town.point(at), scratch));
    return path;
}

// Each part's manoeuvre and aux after the pass.
std::vector<std::pair<std::uint32_t, std::uint16_t>> labels(Path& path, const RouteAtlas& town, std::uint16_t stick) {
    Path::computeManoeuvres(path, *town.atlas, stick);
    std::vector<std::pair<std::uint32_t, std::uint16_t>> out;
    for (const PathPart& part : path.parts)
        out.emplace_back(part.manoeuvre, part.manoeuvreAux);
    return out;
}

TEST(Manoeuvres, LabelledAsDriven) {
    RouteAtlas town;
    // Headings are whole degrees, truncated: 30.5 degrees is a change of 30.
    // Segments: the entry W-R1 [0], the ring R1-R2 [1], R2-R3 [2], the
    // exits at R2 [5] and R3 [6]; the entry's turn code is suppressed at
    // the roundabout node, so the roundabout rules label it.
    // The U-turns turn back onto north's road (Station Road).
    const std::uint32_t main = town.mainName;
    const Leg north{0, 200, 0, 0, RoadGraph::kNoId, main}, entry{90, 100, 0, 7, 0}, ring1{180, 100, 12, 0, 1}, ring2{270, 100, 12, 0, 2};
    const struct {
        std::vector<Leg> legs;
        std::uint16_t stick;
        std::vector<std::pair<std::uint32_t, std::uint16_t>> labels;
    } rows[] = {
        {{north, {15.5f, 200}}, 0, {{0, 0}, {0, 0}}},
        {{north, {16.5f, 200}}, 0, {{0, 0}, {18, 0}}},
        {{north, {30.5f, 200}}, 0, {{0, 0}, {18, 0}}},
        {{north, {-30.5f, 200}}, 0, {{0, 0}, {17, 0}}},
        {{north, {31.5f, 200}}, 0, {{0, 0}, {2, 0}}},
        {{north, {-31.5f, 200}}, 0, {{0, 0}, {1, 0}}},
        {{north, {175.5f, 200}}, 0, {{0, 0}, {2, 0}}},
        {{north, {176.5f, 200, 0, 0, RoadGraph::kNoId, main}}, 0, {{0, 0}, {7, 0}}},
        {{north, {-176.5f, 200, 0, 0, RoadGraph::kNoId, main}}, 0, {{0, 0}, {7, 0}}},
        // A U-turn across a connecting part shorter than 35 m.
        {{north, {90, 20}, {161.5f, 200, 0, 0, RoadGraph::kNoId, main}}, 0, {{0, 0}, {0, 0}, {7, 20}}},
        {{north, {90, 20}, {160.5f, 200, 0, 0, RoadGraph::kNoId, main}}, 0, {{0, 0}, {2, 0}, {2, 0}}},
        {{north, {90, 40}, {170.5f, 200, 0, 0, RoadGraph::kNoId, main}}, 0, {{0, 0}, {2, 0}, {2, 0}}},
        // Major roads and coded turns (a coded part lends its length).
        {{{0, 200, 8}, {60.5f, 200, 9}}, 0, {{0, 0}, {0, 0}}},
        {{north, {40.5f, 200, 8}}, 0, {{0, 0}, {5, 0}}},
        {{north, {-40.5f, 200, 9}}, 0, {{0, 0}, {6, 0}}},
        {{{0, 150, 0, 8}, north}, 0, {{0, 0}, {23, 150}}},
        {{north, {0, 200, 8, 2}}, 0, {{0, 0}, {5, 0}}},
        {{{0, 200, 8, 7}, {90.5f, 200}}, 0, {{0, 0}, {0, 0}}},
        {{north, {90.5f, 200, 0, 4}}, 0, {{0, 0}, {0, 0}}},
        // Roundabouts: the first exit and the second.
        {{entry, ring1, {90, 100, 0, 0, 5}}, 0, {{0, 0}, {19, 0}, {8, 0}}},
        {{entry, ring1, ring2, {90, 100, 0, 0, 6}}, 0, {{0, 0}, {19, 0}, {0, 0}, {9, 0}}},
        // Same-type sticking: two right turns 80 m apart, and with a left
        // turn between them.
        {{north, {40.5f, 80}, {81, 200}}, 100, {{0, 0}, {2, 0}, {0, 0}}},
        {{north, {40.5f, 80}, {81, 200}}, 80, {{0, 0}, {2, 0}, {2, 0}}},
        {{north, {40.5f, 40}, {0, 40}, {40.5f, 200}}, 100, {{0, 0}, {2, 0}, {1, 0}, {2, 0}}},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        Path path = drive(town, rows[i].legs);
        EXPECT_EQ(labels(path, town, rows[i].stick), rows[i].labels) << "row " << i;
    }
    Path path = drive(town, {entry, ring1});
    Path::computeManoeuvres(path, *town.atlas, 0);
    EXPECT_EQ(path.parts[0].turnCode, 40u);

    // After the last labelled part the next manoeuvre is the arrival.
    path = drive(town, {north, {40.5f, 80}, {81, 200}});
    Path::computeManoeuvres(path, *town.atlas, 100);
    PathPosition at;
    std::uint32_t type = 0;
    std::uint16_t aux = 0;
    ASSERT_TRUE(path.nextManoeuvre(PathPosition::onPart(path, 1, true), at, type, aux));
    EXPECT_EQ(type, 21u);
    EXPECT_EQ(PathPosition::distanceTo(at, PathPosition(path, false)), 0u);
    EXPECT_FALSE(path.nextManoeuvre(at, at, type, aux));
}

// A U-turn is a turn back onto the same road: the same segment, or the
// road of the same name across a short connecting part (the other
// carriageway). Drawn as the hairpin from Boulevard Princesse Charlotte
// onto Boulevard du Général Leclerc in Monaco: south-west along one, 13 m
// west-north-west on the other, then back north-east beside the first one;
// a sharp turn onto another street is a turn.
TEST(Manoeuvres, AUTurnIsATurnBackOntoTheSameRoad) {
    RouteAtlas town;
    const std::uint32_t charlotte = town.mainName, leclerc = town.ringName, none = RoadGraph::kNoId;
    const Leg arriving{214, 100, 0, 0, none, charlotte}, onto{297, 13, 0, 0, none, leclerc};
    const struct {
        std::vector<Leg> legs;
        std::vector<std::pair<std::uint32_t, std::uint16_t>> labels;
    } rows[] = {
        // The hairpin onto the other street: right, and right again.
        {{arriving, onto, {42, 100, 0, 0, none, leclerc}}, {{0, 0}, {2, 0}, {2, 0}}},
        // The same shape back onto the road of the first name.
        {{arriving, onto, {42, 100, 0, 0, none, charlotte}}, {{0, 0}, {0, 0}, {7, 13}}},
        // Turned back at a node: onto another street, onto the same street,
        // and onto the same segment of a road without a name.
        {{{0, 200, 0, 0, none, charlotte}, {176.5f, 200, 0, 0, none, leclerc}}, {{0, 0}, {2, 0}}},
        {{{0, 200, 0, 0, none, charlotte}, {-176.5f, 200, 0, 0, none, charlotte}}, {{0, 0}, {7, 0}}},
        {{{0, 200, 0, 0, 5}, {176.5f, 200, 0, 0, 5}}, {{0, 0}, {7, 0}}},
        {{{0, 200, 0, 0, 5}, {176.5f, 200, 0, 0, 6}}, {{0, 0}, {2, 0}}},
        // A short road into a roundabout whose ring runs back beside the
        // road before it: a right turn, then the entry and the exit.
        {{{208, 100, 0, 0, none, charlotte}, {298, 25, 0, 0, 0}, {10, 100, 12, 0, 1}, {90, 100, 0, 0, 5}},
         {{0, 0}, {2, 0}, {19, 0}, {8, 0}}},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        Path path = drive(town, rows[i].legs);
        EXPECT_EQ(labels(path, town, 0), rows[i].labels) << "row " << i;
    }
}

TEST(Manoeuvres, StreetRunsAndTheDefaultName) {
    RouteAtlas town;
    Path path = drive(town, {{0, 100}, {0, 50}, {90.5f, 70}, {90.5f, 30}});
    path.parts[0].nameIndex = path.parts[1].nameIndex = town.mainName;
    path.parts[2].nameIndex = path.parts[3].nameIndex = town.ringName;
    path.parts[3].manoeuvre = 18;
    std::vector<StreetRun> rows;
    Path::collectStreetRuns(path, rows);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, u"Station Road");
    EXPECT_EQ(rows[0].lengthMetres, 150u);
    EXPECT_EQ(rows[1].lengthMetres, 70u);
    EXPECT_EQ(rows[2].lengthMetres, 30u);
    EXPECT_EQ(rows[0].start, Map::LevelFrame::of(town.level(0)).toGlobal({1500, 1100}));

    std::u16string name;
    Path::defaultFileName(Path(town.point({1500, 1100}, town.mainName)), name);
    EXPECT_EQ(name, u"");
    path.points.front().nameIndex = town.mainName;
    path.points.back().nameIndex = town.ringName;
    Path::defaultFileName(path, name);
    EXPECT_EQ(name, u"Station Road - Ring_Road_ _A_.kvp");
}

} // namespace

// The words route-atlas prints beside each type agree with what the code
// tells apart by type: a roundabout's numbered exits, its entries, the
// U-turn and the arrival; a type past the table is "unknown".
TEST(Manoeuvres, EachTypeHasItsWords) {
    const char* ordinal[] = {"first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth", "ninth"};
    for (std::uint32_t type = 1; type < 34; ++type) {
        const std::string name(Map::Routing::manoeuvreName(type));
        EXPECT_NE(name, "unknown") << type;
        if (const std::uint32_t exit = roundaboutExitNumber(type)) {
            EXPECT_EQ(name, std::string("roundabout, ") + ordinal[exit - 1] + " exit") << type;
        }
        if (isRoundaboutEntry(type)) {
            EXPECT_NE(name.find("roundabout"), std::string::npos) << type;
        }
    }
    EXPECT_EQ(Map::Routing::manoeuvreName(UTurnManoeuvre), "U-turn");
    EXPECT_EQ(Map::Routing::manoeuvreName(ArrivalManoeuvre), "end of the route");
    EXPECT_EQ(Map::Routing::manoeuvreName(0), "none");
    EXPECT_EQ(Map::Routing::manoeuvreName(34), "unknown");
}
