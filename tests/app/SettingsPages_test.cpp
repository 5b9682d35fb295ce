// The route files, routing, other settings and sensors pages as the engine
// builds them from the demo design, driven by their commands: what they
// show, what they store, and what survives a restart.

#include "app/fdEngine.h"

#include "core/ConfigNode.h"
#include "core/Format.h"
#include "core/Split.h"
#include "core/Text.h"
#include "guidance/KVMapEventsHandler.h"
#include "guidance/ObjWarn.h"
#include "guidance/Sensors.h"
#include "guidance/SoundSystem.h"
#include "map/KVAtlas.h"
#include "positioning/CarTracker.h"
#include "routing/AtlasRoute.h"
#include "screens/fdPagePathListX.h"
#include "screens/fdPageSensors.h"
#include "screens/DemoSpeed.h"
#include "screens/fdPageSettingsOtherX.h"
#include "screens/fdPageSetupRoutingX.h"
#include "tests/support/Damage.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/app/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "tools/demo-atlas/DemoAtlas.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdPage.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <SDL/SDL_keysym.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

using Screens::fdPagePathListX;
using Screens::fdPageSetupRoutingX;

using TestSupport::ProgramFolder;

// One run of the engine on the folder, the main menu showing.
struct Session {
    explicit Session(const ProgramFolder& folder) : e(folder.wide()) {
        EXPECT_EQ(e.init(), 0);
        ui = e.ui();
    }
    ~Session() { e.shutdown(); }
    template <class P> P& open(const char* name) {
        ui->activatePage(ui->findPage("menuMain"));
        ui->goToPageByName(name);
        auto* page = dynamic_cast<P*>(ui->activePage());
        EXPECT_NE(page, nullptr) << name;
        return *page;
    }
    std::u16string text(Ui::fdPage& page, const char* name) {
        auto* widget = dynamic_cast<Ui::fdStatic*>(page.findChild(name));
        return widget ? widget->text() : u"(none)";
    }
    bool checked(Ui::fdPage& page, const char* name) {
        auto* box = dynamic_cast<Ui::fdCheckedButton*>(page.findChild(name));
        return box && box->checked();
    }
    void click(Ui::fdPage& page, const char* name) {
        if (auto* box = dynamic_cast<Ui::fdCheckedButton*>(page.findChild(name))) box->toggle();
        page.childClicked(name);
    }
    const std::u16string& message(const char* name) { return e.messages()->text(name); }
    engine::fdEngine e;
    Ui::fdInterface* ui = nullptr;
};

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// A route of two points across the demo town.
void makeRoute(engine::fdEngine& e) {
    for (const auto& [east, north] : {std::pair{400.0, 500.0}, {-400.0, 500.0}}) {
        const auto [x, y] = DemoAtlas::globalOf(east, north);
        ASSERT_TRUE(e.route()->addPathPointAtLocation(
            *e.atlas(), *e.configRoot(), {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)}));
    }
}

std::u16string boxText(fdPagePathListX& page) {
    Ui::TemplateWindow* box = page.messageBox();
    auto* label = box ? dynamic_cast<Ui::fdStatic*>(box->findChild("msg_text")) : nullptr;
    // The box wraps its text to its width: the lines joined again.
    std::u16string text = label ? label->text() : u"";
    std::replace(text.begin(), text.end(), u'\n', u' ');
    return text;
}

} // namespace

// Only whole route files of this version are listed, path.kvp never, in
// the order of their names' code units; the header bytes are written here
// by hand, not by the program's writer.
TEST(RouteFilesPage, ListsWholeRouteFilesSortedAndSkipsTheAutomaticOne) {
    ProgramFolder folder;
    const std::string header("KVP\x04\x00", 5);
    const std::string name(202, '\0');
    write(folder.atlas() / "b.kvp", header + name);
    write(folder.atlas() / "a.kvp", header + name + "more");
    write(folder.atlas() / "Path.KVP", header + name);
    write(folder.atlas() / "short.kvp", header + name.substr(1));
    write(folder.atlas() / "other.kvp", std::string("KVQ\x04\x00", 5) + name);
    write(folder.atlas() / "v5.kvp", std::string("KVP\x05\x00", 5) + name);
    write(folder.atlas() / "B.kvp", header + name);
    Session r(folder);
    auto& page = r.open<fdPagePathListX>("pagePathList");
    ASSERT_NE(page.list(), nullptr);
    EXPECT_EQ(page.list()->names(), (std::vector<std::u16string>{u"B.kvp", u"a.kvp", u"b.kvp"}));
    EXPECT_EQ(page.list()->selectedIndex(), 0);
    // A message box takes every tap: neither the row nor "Delete" behind it
    // is reached; its own button closes it.
    page.childClicked("button_add_path");
    ASSERT_NE(page.messageBox(), nullptr);
    const auto tap = [&](const Ui::fdWindowBase& w) {
        const int x = w.rect().x + w.rect().w / 2, y = w.rect().y + w.rect().h / 2;
        r.ui->mouseButtonDown(1, x, y);
        r.ui->mouseButtonUp(1, x, y);
    };
    tap(*dynamic_cast<Ui::fdList*>(page.findChild("list"))->rowWidget(2));
    tap(*page.findChild("button_del_path"));
    EXPECT_EQ(page.list()->selectedIndex(), 0);
    EXPECT_TRUE(fs::exists(folder.atlas() / "B.kvp"));
    tap(*page.messageBox()->findChild("mb"));
    r.ui->applyPendingChanges();
    EXPECT_EQ(page.messageBox(), nullptr);
    // Deleting the last entry selects the new last one.
    page.list()->itemClicked(2);
    page.childClicked("button_del_path");
    EXPECT_FALSE(fs::exists(folder.atlas() / "b.kvp"));
    EXPECT_EQ(page.list()->selectedName(), u"a.kvp");
    page.childClicked("back");
    EXPECT_EQ(r.ui->activePage()->name(), "menuMain");
}

TEST(RouteFilesPage, SavesWithoutReplacingLoadsAndKeepsTheRouteOnABadFile) {
    ProgramFolder folder;
    Session r(folder);
    auto& page = r.open<fdPagePathListX>("pagePathList");
    ASSERT_NE(page.list(), nullptr);
    // Nothing listed: the page says so; loading and deleting look dead and
    // do nothing.
    const Ui::fdWindowBase* empty = page.findChild("empty_notice");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->visible());
    const auto enabled = [&](const char* name) { return page.findChild(name)->enabled(); };
    EXPECT_FALSE(enabled("button_ok"));
    EXPECT_FALSE(enabled("button_del_path"));
    EXPECT_TRUE(enabled("button_add_path"));
    page.childClicked("button_ok");
    page.childClicked("button_del_path");
    EXPECT_EQ(page.messageBox(), nullptr);
    EXPECT_EQ(r.ui->activePage(), &page);

    // A route of one point is no route to save.
    const auto [x, y] = DemoAtlas::globalOf(400.0, 500.0);
    ASSERT_TRUE(r.e.route()->startPathAtLocation(*r.e.atlas(), {std::int32_t(x), std::int32_t(y)}));
    page.childClicked("button_add_path");
    EXPECT_EQ(boxText(page), r.message("paths_no_curpath_err"));
    page.childClicked("mb");
    EXPECT_EQ(page.messageBox(), nullptr);
    EXPECT_TRUE(page.list()->names().empty());

    makeRoute(r.e);
    const Path saved = r.e.route()->path();
    std::u16string name;
    Path::defaultFileName(saved, name);
    ASSERT_FALSE(name.empty());
    page.childClicked("button_add_path");
    ASSERT_EQ(page.list()->names(), std::vector<std::u16string>{name});
    EXPECT_FALSE(empty->visible());
    EXPECT_TRUE(enabled("button_ok"));
    EXPECT_TRUE(enabled("button_del_path"));
    const fs::path first = folder.atlas() / Core::wideToUtf8(name);
    const std::string firstBytes = bytesOf(first);
    // Saving again never replaces the stored route.
    page.childClicked("button_add_path");
    const std::u16string second = name.substr(0, name.size() - 4) + u" (2).kvp";
    EXPECT_EQ(page.list()->selectedName(), second);
    EXPECT_EQ(page.list()->names().size(), 2u);
    EXPECT_EQ(bytesOf(first), firstBytes);
    // A disk that takes nothing: said, with the system's reason.
    {
        TestSupport::FileSizeLimit full(0);
        page.childClicked("button_add_path");
    }
    EXPECT_EQ(boxText(page), r.message("map_path_save_err") + u" (File too large)");
    page.childClicked("mb");
    EXPECT_EQ(page.list()->names().size(), 2u);

    // A damaged copy (whole header, cut parts) and a file of another atlas
    // (a map id no map has) give the message and leave the route.
    std::string cut = firstBytes.substr(0, firstBytes.size() / 2);
    write(folder.atlas() / "cut.kvp", cut);
    std::string foreign = firstBytes;
    for (std::size_t i = 207; i + 4 <= foreign.size() && i < 400; ++i)
        foreign[i] = static_cast<char>(0xEE);
    write(folder.atlas() / "foreign.kvp", foreign);
    page.onShow();
    r.e.route()->path().keepStartOnly();
    const std::size_t points = r.e.route()->path().points.size();
    for (const std::u16string bad : {u"cut.kvp", u"foreign.kvp"}) {
        page.list()->selectByName(bad);
        ASSERT_EQ(page.list()->selectedName(), bad);
        page.childClicked("button_ok");
        EXPECT_EQ(boxText(page), r.message("paths_path_load_err") + bad);
        EXPECT_EQ(r.e.route()->path().points.size(), points);
        EXPECT_TRUE(r.e.route()->path().parts.empty());
        page.childClicked("mb");
    }

    // Damaged copies: each one loads whole or leaves the route as it was.
    TestSupport::Damage damage(49);
    const std::vector<std::uint8_t> good(firstBytes.begin(), firstBytes.end());
    for (std::uint64_t round = 0, rounds = TestSupport::Damage::rounds(40); round < rounds; ++round) {
        const std::vector<std::uint8_t> bad = damage.apply(good, {207, 211, 215});
        write(folder.atlas() / "damaged.kvp", std::string(bad.begin(), bad.end()));
        page.onShow();
        page.list()->selectByName(u"damaged.kvp");
        if (page.list()->selectedName() != u"damaged.kvp") continue; // not even a route file: not listed
        const std::size_t partsBefore = r.e.route()->path().parts.size();
        const std::size_t pointsBefore = r.e.route()->path().points.size();
        page.childClicked("button_ok");
        if (page.messageBox()) {
            EXPECT_EQ(r.e.route()->path().parts.size(), partsBefore) << round;
            EXPECT_EQ(r.e.route()->path().points.size(), pointsBefore) << round;
            page.childClicked("mb");
        }
        r.ui->activatePage(&page);
    }
    fs::remove(folder.atlas() / "damaged.kvp");
    page.onShow();

    // The stored route comes back and the map page shows it.
    page.list()->selectByName(name);
    page.childClicked("button_ok");
    EXPECT_EQ(r.e.route()->path().points.size(), saved.points.size());
    EXPECT_EQ(r.e.route()->path().parts.size(), saved.parts.size());
    EXPECT_EQ(r.ui->activePage()->name(), "pageMap");
}

// The ladders against a written-out reference: every value steps to its
// neighbour and the ends wrap.
TEST(RoutingPage, DistanceLaddersStepAndWrap) {
    const std::vector<int> stick = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 150, 200, 250, 300, 350, 400};
    const std::vector<int> rebuild = {5, 10, 15, 20, 40, 60, 80, 100, 120, 140, 160, 180, 200};
    for (const auto& [ladder, step] : {std::pair{stick, &fdPageSetupRoutingX::stepStickDistance},
                                       {rebuild, &fdPageSetupRoutingX::stepRebuildDistance}})
        for (std::size_t i = 0; i < ladder.size(); ++i) {
            EXPECT_EQ(step(ladder[i], true), ladder[(i + 1) % ladder.size()]) << ladder[i];
            EXPECT_EQ(step(ladder[i], false), ladder[(i + ladder.size() - 1) % ladder.size()]) << ladder[i];
        }
    // Off the ladder: the step of its range.
    EXPECT_EQ(fdPageSetupRoutingX::stepStickDistance(55, true), 65);
    EXPECT_EQ(fdPageSetupRoutingX::stepRebuildDistance(7, false), 200);
}

TEST(RoutingPage, AppliesOnOkWithinTheSearchRangesAndKeepsThemOverARestart) {
    ProgramFolder folder;
    {
        Session r(folder);
        auto routing = r.e.configRoot()->child("Routing");
        routing->set("best_roads_max", 20);
        routing->set("best_roads", 15);
        routing->set("routing_speed", 9);
    }
    {
        Session r(folder);
        auto& page = r.open<fdPageSetupRoutingX>("pageSetupRouting");
        auto* quality = dynamic_cast<Ui::fdSlider*>(page.findChild("roads_quality_slider"));
        auto* speed = dynamic_cast<Ui::fdSlider*>(page.findChild("routing_speed_slider"));
        ASSERT_TRUE(quality && speed);
        EXPECT_EQ(quality->minimum, 1);
        EXPECT_EQ(quality->maximum, 20);
        EXPECT_EQ(quality->value, 15);
        EXPECT_EQ(speed->value, 9); // shown as stored
        EXPECT_EQ(r.text(page, "opt"), r.message("settings_min_time"));
        EXPECT_EQ(r.text(page, "stick_dist"), u"50 m");
        EXPECT_EQ(r.text(page, "rebuild_dist"), u"50 m");
        // "back" drops what was changed.
        r.click(page, "optleft");
        EXPECT_EQ(r.text(page, "opt"), r.message("settings_min_distance"));
        page.childClicked("back");
        EXPECT_EQ(r.e.configRoot()->child("Routing")->value("routing_mode", 7), 1);

        auto& again = r.open<fdPageSetupRoutingX>("pageSetupRouting");
        r.click(again, "optright");
        r.click(again, "dirt_check");
        r.click(again, "stick_check");
        for (const char* c : {"stick_dist_right", "stick_dist_right", "rebuild_dist_left"})
            again.childClicked(c);
        EXPECT_EQ(r.text(again, "stick_dist"), u"70 m");
        EXPECT_EQ(r.text(again, "rebuild_dist"), u"30 m");
        again.childClicked("ok");
        EXPECT_EQ(r.ui->activePage()->name(), "menuMain");
        auto routing = r.e.configRoot()->child("Routing");
        // The search keeps no weight above its divisor: 15 is stored as 10.
        EXPECT_EQ(routing->value("best_roads", 0), 10);
        EXPECT_EQ(routing->value("best_roads_max", 0), 10);
        EXPECT_EQ(routing->value("routing_speed", 0), 4);
        EXPECT_EQ(routing->value("routing_speed_max", 0), 4);
        EXPECT_EQ(routing->value("routing_mode", 7), 0);
        EXPECT_FALSE(routing->value("avoid_unpaved", true));
        EXPECT_EQ(r.e.mapEvents()->navi().maxDistFromPath(), 30u);
    }
    Session r(folder);
    auto& page = r.open<fdPageSetupRoutingX>("pageSetupRouting");
    EXPECT_EQ(dynamic_cast<Ui::fdSlider*>(page.findChild("roads_quality_slider"))->maximum, 10);
    EXPECT_EQ(r.text(page, "opt"), r.message("settings_min_distance"));
    EXPECT_TRUE(r.checked(page, "dirt_check"));
    EXPECT_FALSE(r.checked(page, "stick_check"));
    EXPECT_EQ(r.text(page, "stick_dist"), u"70 m");
    EXPECT_EQ(r.text(page, "rebuild_dist"), u"30 m");
}

// The demo speed has one default and one unit for the page and the demo
// drive (DemoSpeed): a missing key shows, and is stored as, 60 km/h; a
// stored value out of range shows as the speed the demo would use.
TEST(OtherSettingsPage, TheDemoSpeedShowsInKmhAsTheDemoDrivesIt) {
    ProgramFolder folder;
    Session r(folder);
    ASSERT_FALSE(r.e.configRoot()->has("demo_speed"));
    for (const auto& [stored, shown] :
         {std::pair{-1, u"60 km/h"}, {25, u"25 km/h"}, {5, u"20 km/h"}, {500, u"200 km/h"}}) {
        if (stored >= 0)
            r.e.configRoot()->set("demo_speed", stored);
        auto& page = r.open<Screens::fdPageSettingsOtherX>("pageSettingsOther");
        EXPECT_EQ(r.text(page, "speed"), shown) << stored;
        EXPECT_EQ(page.demoSpeed(), Screens::DemoSpeed::readKmh(*r.e.configRoot())) << stored;
        page.childClicked("back");
        if (stored < 0) {
            EXPECT_EQ(r.e.configRoot()->value("demo_speed", 0), 60);
        }
    }
    EXPECT_EQ(r.e.configRoot()->value("demo_speed", 0), 500) << "only the page's ok stores a speed";
}

TEST(OtherSettingsPage, StepsWrapBackRestoresTheClickSoundOkStores) {
    using Screens::fdPageSettingsOtherX;
    const struct {
        int value, step, bottom, top, expected;
    } rows[] = {{200, 10, 20, 200, 20},     {20, -10, 20, 200, 200}, {25, 10, 20, 200, 35},
                {1000, 50, 150, 1000, 150}, {50, -10, 50, 150, 150}, {140, 10, 50, 150, 150}};
    for (const auto& row : rows)
        EXPECT_EQ(fdPageSettingsOtherX::stepWrapped(row.value, row.step, row.bottom, row.top), row.expected)
            << row.value << " " << row.step;

    ProgramFolder folder;
    {
        Session r(folder);
        ASSERT_NE(r.e.sound(), nullptr);
        r.e.configRoot()->set("demo_speed", 25);
        auto& page = r.open<fdPageSettingsOtherX>("pageSettingsOther");
        EXPECT_EQ(r.text(page, "speed"), u"25 km/h");
        EXPECT_EQ(r.text(page, "dist"), u"150");
        EXPECT_EQ(r.text(page, "dist2"), u"1000");
        ASSERT_TRUE(r.checked(page, "menu_sound_check"));
        // The click sound goes off at once and comes back with "back";
        // nothing else was applied.
        r.click(page, "menu_sound_check");
        EXPECT_FALSE(r.e.sound()->menuOn());
        r.click(page, "navi_sound_check");
        page.childClicked("speedUp");
        EXPECT_EQ(r.text(page, "speed"), u"35 km/h");
        page.childClicked("back");
        EXPECT_TRUE(r.e.sound()->menuOn());
        EXPECT_TRUE(r.e.sound()->naviOn());
        EXPECT_EQ(r.e.configRoot()->value("demo_speed", 0), 25);

        auto& again = r.open<fdPageSettingsOtherX>("pageSettingsOther");
        r.click(again, "menu_sound_check");
        r.click(again, "navi_sound_check");
        r.click(again, "map_start_check");
        for (const char* c : {"speedDown", "dist2Up", "distDown"})
            again.childClicked(c);
        again.childClicked("ok");
        EXPECT_FALSE(r.e.sound()->menuOn());
        EXPECT_FALSE(r.e.sound()->naviOn());
        EXPECT_EQ(Guidance::ObjWarn::settings().incomingDistance, 150);
        EXPECT_EQ(Guidance::ObjWarn::settings().outgoingDistance, 140);
        EXPECT_EQ(r.e.configRoot()->value("obj_warn_distance", 0), 150);
        EXPECT_EQ(r.e.configRoot()->value("obj_warn_distance_out", 0), 140);
    }
    Session r(folder);
    auto& page = r.open<fdPageSettingsOtherX>("pageSettingsOther");
    EXPECT_EQ(r.text(page, "speed"), u"200 km/h"); // 25 - 10 wraps
    EXPECT_TRUE(r.checked(page, "map_start_check"));
    EXPECT_FALSE(r.checked(page, "menu_sound_check"));
    EXPECT_FALSE(r.checked(page, "navi_sound_check"));
    EXPECT_EQ(r.text(page, "dist2"), u"150");
    EXPECT_EQ(r.text(page, "dist"), u"140");
}

// From the top, "down" shows every configured sensor in turn, its name over
// its value, in rows of one or of two cells and at either window size, and
// goes out exactly when the last one is in view; "up" leads back to the
// first.
TEST(SensorsPage, DownReachesEverySensorAndStopsAtTheLast) {
    using Screens::fdPageSensors;
    ProgramFolder folder;
    Session r(folder);
    auto& page = r.open<fdPageSensors>("sensors");
    ASSERT_NE(page.list(), nullptr);
    fdPageSensors::SensorsList& list = *page.list();
    ASSERT_EQ(list.sensors().size(), 10u);
    Ui::fdWindowBase* down = page.findChild("down");
    ASSERT_NE(down, nullptr);
    for (const auto& [width, height] : {std::pair{800, 480}, std::pair{1280, 720}}) {
        r.e.onResize(width, height);
        for (const std::int32_t cells : {1, 2}) {
            SCOPED_TRACE(testing::Message() << width << " x " << height << ", " << cells << " cells a row");
            list.setCellsPerRow(cells);
            list.scrollTo(0);
            page.onShow();
            std::set<std::size_t> seen;
            for (int pages = 0; pages < 12; ++pages) {
                const auto first = static_cast<std::size_t>(list.firstVisibleIndex());
                for (std::size_t row = 0; row < list.list().usedRows; ++row)
                    for (std::int32_t k = 0; k < cells; ++k) {
                        const std::size_t i = (first + row) * std::size_t(cells) + std::size_t(k);
                        const auto* title = dynamic_cast<const Ui::fdStatic*>(
                            list.list().rowWidget(row)->findChild(Core::format("title_%d", k)));
                        ASSERT_NE(title, nullptr);
                        if (i >= list.sensors().size()) {
                            EXPECT_FALSE(title->visible());
                            continue;
                        }
                        EXPECT_TRUE(title->visible());
                        EXPECT_EQ(title->text(), list.sensors()[i]->caption());
                        // Each name with its value under it.
                        const auto* value = dynamic_cast<const Ui::fdStatic*>(
                            list.list().rowWidget(row)->findChild(Core::format("text_%d", k)));
                        ASSERT_NE(value, nullptr);
                        EXPECT_TRUE(value->visible());
                        // The clock's second may turn between the fill and
                        // this look (it did, under the sanitizers): filled
                        // again, the row shows the value of now.
                        if (value->text() != list.sensors()[i]->valueText())
                            list.refreshValues();
                        EXPECT_EQ(value->text(), list.sensors()[i]->valueText());
                        seen.insert(i);
                    }
                if (!down->enabled()) break;
                page.childClicked("down");
            }
            EXPECT_EQ(seen.size(), list.sensors().size());
            EXPECT_TRUE(seen.count(list.sensors().size() - 1));
            EXPECT_FALSE(down->enabled());
            for (int pages = 0; pages < 12 && list.firstVisibleIndex() > 0; ++pages)
                page.childClicked("up");
            EXPECT_EQ(list.firstVisibleIndex(), 0);
        }
    }
}

TEST(SensorsPage, ParsesTheNamesFillsTheGridAndRefreshesTwiceASecond) {
    using Screens::fdPageSensors;
    ProgramFolder folder;
    {
        // A stored list of nine names does not parse: the page falls back.
        Session first(folder);
        first.e.configRoot()->set("sensors_names",
                                  "memory;battery;avg_speed;heading;time;date;time_from_start;altitude;hdop");
    }
    Session r(folder);
    const auto names = [](const fdPageSensors::SensorsList& list) {
        std::vector<std::string> out;
        for (const Guidance::Sensor* s : list.sensors())
            out.push_back(s->name());
        return out;
    };
    const std::vector<std::string> defaults = Core::splitNarrow(fdPageSensors::kDefaultNames);
    auto& page = r.open<fdPageSensors>("sensors");
    ASSERT_NE(page.list(), nullptr);
    fdPageSensors::SensorsList& list = *page.list();
    EXPECT_EQ(list.cellsPerRow(), 2);
    EXPECT_EQ(names(list), defaults);
    const struct {
        const char* text;
        bool parses;
    } rows[] = {
        {"memory;battery;avg_speed;heading;time;date;time_from_start;altitude;dist_to_finish", false},
        {"memory;battery;avg_speed;heading;time;date;time_from_start;altitude;dist_to_finish;nosuch", false},
        {"speed;speed;avg_speed;heading;time;date;time_from_start;altitude;dist_to_finish;hdop;", false},
        {"speed;speed;avg_speed;heading;time;date;time_from_start;altitude;dist_to_finish;hdop", true}};
    for (const auto& row : rows)
        EXPECT_EQ(list.parse(row.text), row.parses) << row.text;
    ASSERT_EQ(list.sensors().size(), 10u);
    EXPECT_EQ(names(list)[0], "speed");
    EXPECT_EQ(list.sensors()[0], list.sensors()[1]);

    // Ten sensors in rows of three: four rows, the last with one cell.
    list.parse(fdPageSensors::kDefaultNames);
    list.setCellsPerRow(3);
    EXPECT_EQ(list.count(), 4);
    Ui::TemplateWindow& row = *list.list().rowWidget(0);
    list.fillRow(row, 3);
    EXPECT_TRUE(row.findChild("bg_0")->visible());
    EXPECT_FALSE(row.findChild("bg_1")->visible());
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(row.findChild("title_0"))->text(),
              r.message("sensors_dist_from_start"));
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(row.findChild("text_1"))->text(), u"");
    list.setCellsPerRow(2);
    list.refresh();

    // The bound down key pages down, every key is taken, Escape leaves.
    ASSERT_EQ(list.firstVisibleIndex(), 0);
    EXPECT_TRUE(page.keyDown(SDLK_DOWN));
    EXPECT_GT(list.firstVisibleIndex(), 0);
    EXPECT_TRUE(page.findChild("up")->enabled());
    EXPECT_TRUE(page.keyDown(SDLK_UP));
    EXPECT_EQ(list.firstVisibleIndex(), 0);
    EXPECT_FALSE(page.findChild("up")->enabled());
    EXPECT_TRUE(page.keyDown(SDLK_a));

    // The value of the ninth sensor (dist_to_finish, row 4 cell 0) follows
    // the route only at each half second of the page's clock.
    Guidance::SensorFrame frame;
    frame.routeActive = true;
    frame.distToFinish = 1000;
    r.e.sensors()->updateAll(frame);
    list.ensureVisible(4);
    const auto shown = [&] {
        const std::int32_t at = 4 - list.firstVisibleIndex();
        return dynamic_cast<Ui::fdStatic*>(list.list().rowWidget(std::size_t(at))->findChild("text_0"))
            ->text();
    };
    page.tick(10000);
    const std::u16string before = shown();
    frame.distToFinish = 5000;
    r.e.sensors()->updateAll(frame);
    page.tick(10499);
    EXPECT_EQ(shown(), before);
    page.tick(10500);
    EXPECT_NE(shown(), before);
    EXPECT_TRUE(page.keyDown(SDLK_ESCAPE));
    EXPECT_EQ(r.ui->activePage()->name(), "menuMain");
}
