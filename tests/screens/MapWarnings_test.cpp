// The warning windows over templates built in the test: picture tables,
// the guard for pictures the design lacks, texts and colours.

#include "screens/MapWarnings.h"

#include "tests/support/CaptureLogger.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include <gtest/gtest.h>

#include <map>

using namespace Screens;

namespace {

// A static that counts the frames it asks for.
struct CountingStatic : Ui::fdStatic {
    using Ui::fdStatic::fdStatic;
    void invalidate(int arg) override {
        ++invalidations;
        Ui::fdStatic::invalidate(arg);
    }
    int invalidations = 0;
};

// Statics (-2: counting ones), or picture lists of `pictures` entries.
struct Creator : Ui::IWidgetCreator {
    Creator(std::string n, int p) : name(std::move(n)), pictures(p) {}
    Ui::fdWindowBase* create(Ui::fdWindowBase* parent, Ui::fdInterface& ui, Ui::DesignContext*, bool) override {
        if (pictures == -2)
            return new CountingStatic(parent, name, true, &ui);
        if (pictures < 0)
            return new Ui::fdStatic(parent, name, true, &ui);
        auto* w = new Ui::fdMultiStatic(parent, name, true, &ui);
        w->images().assign(static_cast<std::size_t>(pictures), nullptr);
        return w;
    }
    std::string name;
    int pictures;
};

Ui::TemplateDescription group(std::vector<std::pair<std::string, int>> children) {
    Ui::TemplateDescription t;
    for (auto& [name, pictures] : children)
        t.creators.push_back(std::make_unique<Creator>(name, pictures));
    return t;
}

struct Rig {
    Rig() { messages.loadText(R"(<messages><message name="meter" text="m"/><message name="kilo_meter" text="km"/></messages>)"); }
    TestSupport::CaptureLogger quiet;
    UiTest::FakeEngine engine;
    Ui::fdInterface ui{&engine, nullptr};
    Ui::fdPage* page = new Ui::fdPage(&ui, "pageMap", nullptr);
    Messages messages;
};

std::u16string textOf(Ui::fdWindowBase& w, const char* child) {
    return dynamic_cast<Ui::fdStatic*>(w.findChild(child))->text();
}
std::int32_t picture(Ui::fdWindowBase& w, const char* child) {
    return dynamic_cast<Ui::fdMultiStatic*>(w.findChild(child))->current();
}

} // namespace

TEST(MapWarnings, PictureTablesAgainstTheirRanges) {
    // Every known type maps into 0..23 but never to the off-route or the
    // unused pictures; types 0 and 34 on are unknown.
    const std::map<std::uint32_t, int> spot{{1, 0},  {2, 1},  {3, 5},  {5, 6},   {7, 7},   {16, 5},  {17, 2},
                                            {18, 3}, {19, 5}, {21, 9}, {22, 15}, {27, 20}, {28, 12}, {33, 23}};
    for (std::uint32_t t = 0; t < 40; ++t) {
        const int p = maneuverPicture(t);
        EXPECT_EQ(p < 0, t == 0 || t > 33) << t;
        EXPECT_TRUE(p != OffRoutePicture && p != 10 && p != 11 && (!spot.count(t) || spot.at(t) == p)) << t;
    }
    // Speeds in 0.1 m/s: 13.9 m/s is 50 km/h (picture 5); 0 and above
    // 115 km/h are picture 12.
    const std::pair<std::uint32_t, int> speeds[] = {{0, 12}, {1, 0}, {14, 0}, {28, 1}, {139, 5}, {331, 11}, {332, 12}, {65535, 12}};
    for (const auto& [s, p] : speeds)
        EXPECT_EQ(speedPicture(s), p) << s;
}

TEST(MapWarnings, ShowOrLeaveOutByTheDesignsPictures) {
    // Pictures in the design's lists, type, picture shown (-1: left out; a
    // first unknown type has no picture to keep).
    for (const auto& [pictures, type, shown] : {std::tuple{24, 33u, 23}, std::tuple{24, 99u, -1},
                                                std::tuple{20, 33u, -1}}) {
        Rig r;
        // The page owns its windows.
        auto& warn = *new ManeuverWarn(group({{"rotate_image", pictures}, {"rotate_textbox", -1}}), r.page, &r.ui,
                                       nullptr, r.messages);
        EXPECT_EQ(warn.show(type, 1234), shown >= 0) << type;
        EXPECT_EQ(warn.visible(), shown >= 0);
        EXPECT_EQ(picture(warn, "rotate_image"), shown);
        if (shown >= 0) {
            EXPECT_EQ(textOf(warn, "rotate_textbox"), u"1 km");
            EXPECT_TRUE(warn.show(99, 40)); // unknown later: picture kept, text updated
            EXPECT_EQ(picture(warn, "rotate_image"), shown);
            EXPECT_EQ(textOf(warn, "rotate_textbox"), u"40 m");
            // In a driver's steps, as the sensor shows it: 232 m is not "200 m".
            EXPECT_TRUE(warn.show(1, 232));
            EXPECT_EQ(textOf(warn, "rotate_textbox"), u"250 m");
            EXPECT_TRUE(warn.show(1, 187));
            EXPECT_EQ(textOf(warn, "rotate_textbox"), u"190 m");
            EXPECT_EQ(warn.showOffRoute(1234), pictures > OffRoutePicture);
        }
        auto& prox = *new ProximityWarn(group({{"type_image", -1}, {"speed_image", pictures}, {"distance_label", -1}}),
                                        r.page, &r.ui, nullptr, r.messages);
        Map::Proximity::ProximityEvent event;
        event.point.packed = Map::Proximity::Point::pack(1, 139, 0, 0); // 50 km/h: picture 5
        event.flags = 5555 | Map::Proximity::ProximityEvent::OverSpeed;
        EXPECT_EQ(prox.show(event, nullptr), pictures > 5);
        EXPECT_EQ(prox.visible(), pictures > 5);
        if (pictures > 5) {
            EXPECT_EQ(picture(prox, "speed_image"), 5);
            EXPECT_EQ(textOf(prox, "distance_label"), u"555 m");
            EXPECT_EQ(prox.findChild("distance_label")->textColors().day, ProximityWarn::WarningColour);
        }
    }
    // A speed the design has no picture for hides a shown warning.
    Rig r;
    // The roundabout's exit shows with its manoeuvre and goes off the route.
    auto& turn = *new ManeuverWarn(group({{"rotate_image", 24}, {"rotate_textbox", -1}, {"rotate_exit", -1}}), r.page,
                                   &r.ui, nullptr, r.messages);
    turn.show(33, 1234, 2);
    EXPECT_EQ(textOf(turn, "rotate_exit"), u"2");
    turn.showOffRoute(1234);
    EXPECT_EQ(textOf(turn, "rotate_exit"), u"");
    auto& few = *new ProximityWarn(group({{"type_image", -1}, {"speed_image", 8}, {"distance_label", -1}}), r.page,
                                   &r.ui, nullptr, r.messages);
    Map::Proximity::ProximityEvent event;
    for (const auto& [speed, shown] : {std::pair{139u, true}, std::pair{332u, false}}) {
        event.point.packed = Map::Proximity::Point::pack(1, speed, 0, 0);
        EXPECT_EQ(few.show(event, nullptr), shown);
        EXPECT_EQ(few.visible(), shown) << speed;
    }
}

// The map page draws only when something it shows changed: a turn shown
// again at the same distance, on or off the route, asks for no frame; a
// new distance asks for one.
TEST(MapWarnings, AnUnchangedTurnAsksForNoFrame) {
    Rig r;
    auto& warn = *new ManeuverWarn(group({{"rotate_image", 24}, {"rotate_textbox", -2}}), r.page, &r.ui, nullptr,
                                   r.messages);
    auto& text = *dynamic_cast<CountingStatic*>(warn.findChild("rotate_textbox"));
    struct Row {
        bool offRoute;
        std::int32_t metres;
        const char16_t* shown;
        bool asks;
    };
    for (const Row& row :
         {Row{false, 232, u"250 m", true}, Row{false, 232, u"250 m", false}, Row{false, 228, u"250 m", false},
          Row{false, 187, u"190 m", true}, Row{true, 1234, u"1.234 km", true}, Row{true, 1234, u"1.234 km", false},
          Row{false, 1234, u"1 km", true}, Row{false, 1234, u"1 km", false}}) {
        SCOPED_TRACE(row.metres);
        const int before = text.invalidations;
        EXPECT_TRUE(row.offRoute ? warn.showOffRoute(row.metres) : warn.show(1, row.metres));
        EXPECT_EQ(textOf(warn, "rotate_textbox"), row.shown);
        EXPECT_EQ(text.invalidations > before, row.asks);
    }
}

TEST(MapWarnings, PassedPoiIsShownWithItsDistanceInWhite) {
    Rig r;
    auto& warn = *new fdPoiWarn(group({{"poi_image", -1}, {"poi_textbox", -1}}), r.page, &r.ui, nullptr, r.messages);
    warn.show(nullptr, 250);
    EXPECT_EQ(warn.findChild("poi_textbox")->textColors().day, fdPoiWarn::AheadColour);
    warn.show(nullptr, -1500);
    EXPECT_EQ(textOf(warn, "poi_textbox"), u"1.500 km");
    EXPECT_EQ(warn.findChild("poi_textbox")->textColors().day, 0xFFFFFFFFu);
}
