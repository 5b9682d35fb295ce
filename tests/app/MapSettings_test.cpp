// The render, POI type, polyline and button-binding settings pages on the
// real demo data: what each command changes, what "ok" applies and stores,
// what "back" drops; the key bindings file the page writes is read again at
// the next start (the window test restarts after every page).

#include "app/fdEngine.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/Text.h"
#include "map/AtlasServices.h"
#include "map/CameraFile.h"
#include "map/KVAtlas.h"
#include "map/ObjectAddress.h"
#include "map/Projection.h"
#include "render/MapCamera.h"
#include "render/RenderStyles.h"
#include "render/fdMapRenderer.h"
#include "screens/MapPointLookup.h"
#include "screens/PoisSettingsPage.h"
#include "screens/fdPageMap.h"
#include "screens/PolylinesSettingsPage.h"
#include "screens/fdPageButtonSettingsX.h"
#include "screens/fdPageSettingsX.h"
#include "tests/support/CaptureLogger.h"
#include "tests/app/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "ui/ButtonBindings.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"
#include "ui/Messages.h"
#include "ui/fdPage.h"

#include <gtest/gtest.h>

#include <SDL/SDL_keysym.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using TestSupport::ProgramFolder;

// One engine over the folder at a time; restart() shuts it down and starts
// a new one over the same folder.
struct Program {
    explicit Program(ProgramFolder& f) : folder(f) { start(); }
    ~Program() { engine->shutdown(); }
    void start() {
        engine = std::make_unique<engine::fdEngine>(folder.wide());
        ASSERT_EQ(engine->init(), 0);
        engine->ui()->activatePage(engine->ui()->findPage("menuMain"));
    }
    void restart() {
        engine->shutdown();
        engine.reset();
        start();
    }
    template <class Page> Page* open(const char* name) {
        auto* page = dynamic_cast<Page*>(engine->ui()->findPage(name));
        EXPECT_NE(page, nullptr) << name;
        engine->ui()->goToPage(page);
        return page;
    }
    std::u16string text(Ui::fdPage* page, const char* name) {
        return dynamic_cast<Ui::fdStatic*>(page->findChild(name))->text();
    }
    bool onMenu() const { return engine->ui()->activePage()->name() == "menuMain"; }
    Core::ConfigNode& root() { return *engine->configRoot(); }

    TestSupport::CaptureLogger log{Log::Critical};
    ProgramFolder& folder;
    std::unique_ptr<engine::fdEngine> engine;
};

TEST(RenderSettings, FieldOfViewStepsClampAndRound) {
    const std::pair<float, std::int32_t> rows[] = {{5.0f, 1},  {10.0f, 1}, {60.0f, 6}, {64.9f, 6},
                                                   {69.4f, 6}, {69.5f, 7}, {95.0f, 9}, {-1e9f, 1}};
    for (const auto& [degrees, step] : rows)
        EXPECT_EQ(Screens::fdPageSettingsX::fovStep(degrees), step) << degrees;
}

TEST(RenderSettings, CommandsWrapOkAppliesAndBackDrops) {
    ProgramFolder folder;
    Program p(folder);
    p.root().set("camera_fovy", 95.0f);
    p.engine->bindings()->dayNight().setAutoDayNight(true);
    // The demo atlas opens in 3D: start from a flat view.
    p.engine->camera().setMode(0);
    p.engine->atlas()->view().zoomStep = 0;
    auto* page = p.open<Screens::fdPageSettingsX>("pageRenderSettings");
    MapDrawing::fdMapRenderer& renderer = *p.engine->mapRenderer();
    ASSERT_EQ(renderer.proportion(), 3);
    EXPECT_EQ(p.text(page, "pos"), u"1/3");
    EXPECT_EQ(p.text(page, "fov"), u"90");
    EXPECT_FALSE(page->findChild("day_mode")->visible());
    EXPECT_TRUE(page->findChild("night_mode")->visible());
    EXPECT_TRUE(dynamic_cast<Ui::fdCheckedButton*>(page->findChild("auto_check"))->checked());
    const struct {
        const char* command;
        const char* widget;
        std::u16string shows;
    } rows[] = {
        {"fovUp", "fov", u"10"},      {"fovDown", "fov", u"90"},    {"fovDown", "fov", u"80"},
        {"scPosUp", "pos", u"1/4"},   {"scPosUp", "pos", u"1/2"},   {"scPosUp", "pos", u"1/3"},
        // The view in the map menu's words.
        {"scPosDown", "pos", u"1/2"}, {"dPosUp", "mode", u"3D view"}, {"dPosDown", "mode", u"2D view"},
        {"dPosDown", "mode", u"3D view"}, {"angleDown", "angle", u"2"}, {"angleUp", "angle", u"Flat"},
        {"angleUp", "angle", u"1"},
    };
    for (const auto& row : rows) {
        page->childClicked(row.command);
        EXPECT_EQ(p.text(page, row.widget), row.shows) << row.command;
    }
    // Night chosen by hand turns the automation off at once, even if the
    // page is then left without applying.
    page->childClicked("night_mode");
    EXPECT_FALSE(p.engine->bindings()->dayNight().automatic());
    EXPECT_TRUE(page->findChild("day_mode")->visible());
    page->childClicked("back");
    EXPECT_TRUE(p.onMenu());
    EXPECT_EQ(renderer.proportion(), 3);
    EXPECT_TRUE(renderer.isDay());
    EXPECT_FALSE(p.engine->camera().is3d());

    p.engine->ui()->goToPage(page);
    EXPECT_EQ(p.text(page, "fov"), u"90");
    // The view and the pitch live in the atlas's camera.kvc, which the
    // engine writes only once the view is still and an event comes: "ok"
    // writes it at once, or a kill on the menu after it lost them.
    const std::u16string cameraFile = Map::joinPath(p.engine->atlas()->folder(), u"camera.kvc");
    FileSystem::deleteFile(cameraFile);
    for (const char* command : {"fovDown", "fovDown", "scPosDown", "dPosUp", "angleUp", "night_mode", "ok"})
        page->childClicked(command);
    Map::CameraFields stored;
    std::uint32_t pitch = 0;
    ASSERT_TRUE(Map::CameraFile::read(cameraFile, stored, pitch));
    EXPECT_EQ(stored.mode, 1);
    EXPECT_EQ(pitch, 1u);
    EXPECT_TRUE(p.onMenu());
    EXPECT_EQ(renderer.proportion(), 2);
    EXPECT_FLOAT_EQ(p.engine->camera().anchorFraction(), 0.5f);
    EXPECT_TRUE(p.engine->camera().is3d());
    EXPECT_NEAR(p.engine->camera().halfFieldOfView(), 70.0f * 0.008726646f, 1e-6f);
    EXPECT_FALSE(renderer.isDay());
    EXPECT_EQ(p.engine->atlas()->view().zoomStep, 1u);

}

TEST(RenderSettings, WithAutomaticSwitchingOkAppliesTheAutomaticFlag) {
    ProgramFolder folder;
    Program p(folder);
    Ui::DayNight& dayNight = p.engine->bindings()->dayNight();
    dayNight.setAutoDayNight(false);
    auto* page = p.open<Screens::fdPageSettingsX>("pageRenderSettings");
    page->childClicked("night_mode");
    auto* automatic = dynamic_cast<Ui::fdCheckedButton*>(page->findChild("auto_check"));
    automatic->setChecked(true);
    page->childClicked("auto_check");
    EXPECT_TRUE(dayNight.automatic());
    dayNight.day = true;
    page->childClicked("ok");
    EXPECT_TRUE(p.engine->mapRenderer()->isDay());
}

// The first listed type the styles show.
std::uint16_t firstShownType(const Screens::PoisSettingsPage& page, const Render::RenderStyles& styles) {
    for (const auto& group : page.list()->groups())
        for (const auto& item : group.items)
            for (const std::uint16_t type : item.types)
                if (styles.isPoiTypeShown(type)) return type;
    return 0;
}

TEST(PoiSettings, ShowAndWarnAreIndependent) {
    ProgramFolder folder;
    Program p(folder);
    auto* page = p.open<Screens::PoisSettingsPage>("pois_settings");
    ASSERT_NE(page->list(), nullptr);
    Render::RenderStyles& styles = p.engine->mapRenderer()->styles();
    const std::uint16_t type = firstShownType(*page, styles);
    ASSERT_TRUE(styles.isPoiTypeShown(type));
    const bool warned = styles.isPoiTypeWarned(type);
    auto* all = dynamic_cast<Ui::fdCheckedButton*>(page->findChild("select_all_check"));

    // An open group's marker is not a closed one's, and a closed group's
    // comes back when it closes (a group of one type shows as that type).
    auto* rows = dynamic_cast<Ui::fdList*>(page->findChild("list"));
    std::int32_t header = 0;
    while (header < page->list()->rowsPerPage() && !rows->rowWidget(std::size_t(header))->findChild("check_expand")->visible())
        ++header;
    ASSERT_LT(header, page->list()->rowsPerPage());
    const auto marker = [&] { // the header's row, wherever opening scrolled it
        const auto row = std::size_t(header - page->list()->firstVisibleIndex());
        return dynamic_cast<Ui::fdStatic*>(rows->rowWidget(row)->findChild("check_expand"))->material().image;
    };
    const Render::Image* closed = marker();
    page->list()->itemClicked(header);
    ASSERT_TRUE(page->list()->isExpanded(page->list()->placeOf(header).group));
    EXPECT_NE(closed, nullptr);
    EXPECT_NE(marker(), nullptr);
    EXPECT_NE(marker(), closed);
    page->list()->itemClicked(header);
    EXPECT_EQ(marker(), closed);
    // Show column: nothing shown; the warnings stay.
    EXPECT_EQ(page->mode(), 0);
    all->setChecked(false);
    page->childClicked("select_all_check");
    page->childClicked("button_ok");
    EXPECT_FALSE(styles.isPoiTypeShown(type));
    EXPECT_EQ(styles.isPoiTypeWarned(type), warned);
    // Warn column: every type warned; nothing shown still.
    p.engine->ui()->goToPage(page);
    page->childClicked("button_warn");
    EXPECT_EQ(p.root().value("pois_settings_mode", -1), 1);
    all->setChecked(true);
    page->childClicked("select_all_check");
    // A switch to the other column and back drops the unconfirmed checks.
    page->childClicked("button_show");
    page->childClicked("button_warn");
    EXPECT_EQ(all->checked(), warned);
    all->setChecked(true);
    page->childClicked("select_all_check");
    page->childClicked("button_ok");
    EXPECT_FALSE(styles.isPoiTypeShown(type));
    EXPECT_TRUE(styles.isPoiTypeWarned(type));

}

// Every POI icon the Monaco map draws is one of a type "Places shown"
// shows, and a tap on it names it, not a neighbour, and offers its
// information: in 2D and 3D, at 50, 100 and 200 m per 40 pixels, north up
// and turned as for a car heading east. A tap named the POI whose point lay
// nearest on the map: in 3D (and for icons set beside their points) that
// was often a neighbour's ("Hôtel de Paris" for the grey star under the
// finger, its own icon 16 pixels off) or nothing. With every type
// switched off the map draws no icon.
TEST(PoiSettings, EveryIconTheMapDrawsIsNamedByATapAndGoesWithItsType) {
    ProgramFolder folder("monaco");
    TestSupport::CaptureLogger log{Log::Critical};
    engine::fdEngine engine{folder.wide()};
    engine.setScreenSize(1440, 900); // room for the larger window
    ASSERT_EQ(engine.init(), 0);
    auto* map = dynamic_cast<Screens::fdPageMap*>(engine.ui()->findPage("pageMap"));
    ASSERT_NE(map, nullptr);
    Render::RenderStyles& styles = engine.mapRenderer()->styles();
    // (window, 3D, pixels per map unit, view centre, rotation)
    const auto draw = [&](std::pair<int, int> size, int mode, float scale, Map::Point centre = {},
                          float rotation = 0.0f) {
        engine.onResize(size.first, size.second);
        engine.ui()->activatePage(map);
        map->showPoint(centre, false);
        map->closePopup();
        engine.camera().setMode(mode);
        engine.camera().setScale(scale);
        engine.camera().setRotation(engine.atlas()->view(), rotation);
        engine.ui()->applyPendingChanges();
        engine.drawNow();
        EXPECT_EQ(engine.screen()->w, size.first);
        return engine.mapRenderer()->drawnIcons();
    };
    const auto name = [&](std::uint32_t mapIndex, std::uint32_t object) {
        Map::ObjectAddress address;
        if (mapIndex >= engine.atlas()->maps().size() ||
            !Map::readObjectAddress(*engine.atlas()->maps()[mapIndex], object, address))
            return std::string("?");
        return Core::wideToUtf8(address.texts[0]);
    };
    const struct {
        Map::Point centre;
        float rotation;
    } places[] = {
        {Map::Projection::fromGeo(43.7384f, 7.4246f), 0.0f},       // the casino
        {Map::Projection::fromGeo(43.7356f, 7.4220f), 1.5707964f}, // a car there heading east
        {Map::Projection::fromGeo(43.7395f, 7.4275f), 0.0f},
    };
    for (const auto& place : places)
        for (const auto& size : {std::pair{800, 480}, std::pair{1280, 720}})
            for (const int mode : {0, 1})
                for (const float scale : {0.0054f, 0.0027f, 0.00135f}) { // 50, 100, 200 m per 40 pixels
                    SCOPED_TRACE(testing::Message() << size.first << " x " << size.second << (mode ? " 3D " : " 2D ")
                                                    << scale << " turned " << place.rotation);
                    const std::vector<Render::IconBox> icons =
                        draw(size, mode, scale, place.centre, place.rotation);
                    EXPECT_GT(icons.size(), 10u);
                    for (const Render::IconBox& icon : icons) {
                        if (icon.object == 0 || icon.box.centreX < 0 || icon.box.centreY < 0 ||
                            icon.box.centreX >= size.first || icon.box.centreY >= size.second)
                            continue; // the car, or drawn outside the window
                        Map::Point under;
                        ASSERT_TRUE(engine.camera().screenToMap(
                            xe::Point{static_cast<std::int32_t>(icon.box.centreX),
                                      static_cast<std::int32_t>(icon.box.centreY)},
                            under));
                        map->mapPointAction(under);
                        const Screens::MapPointFind& found = map->tappedFind();
                        EXPECT_EQ(found.kind, Screens::MapPointFind::Kind::Poi)
                            << "the icon at " << icon.box.centreX << "," << icon.box.centreY;
                        EXPECT_TRUE(map->findChild("edit_point")->findChild("info")->visible());
                        map->closePopup();
                        // Another POI's icon on the same pixels could be
                        // the one meant.
                        const bool alone = std::none_of(icons.begin(), icons.end(), [&](const Render::IconBox& other) {
                            return (other.object != icon.object || other.mapIndex != icon.mapIndex) &&
                                   other.object != 0 && std::fabs(other.box.centreX - icon.box.centreX) <= 2.0f &&
                                   std::fabs(other.box.centreY - icon.box.centreY) <= 2.0f;
                        });
                        if (alone) {
                            EXPECT_EQ(name(found.mapIndex, found.object), name(icon.mapIndex, icon.object))
                                << "the icon at " << icon.box.centreX << "," << icon.box.centreY;
                        }
                    }
                }

    // Nothing shown: no icon, in 2D or 3D.
    auto* page = dynamic_cast<Screens::PoisSettingsPage*>(engine.ui()->findPage("pois_settings"));
    ASSERT_NE(page, nullptr);
    engine.ui()->goToPage(page);
    auto* all = dynamic_cast<Ui::fdCheckedButton*>(page->findChild("select_all_check"));
    all->setChecked(false);
    page->childClicked("select_all_check");
    page->childClicked("button_ok");
    EXPECT_FALSE(styles.isPoiTypeShown(0x2C00));
    for (const int mode : {0, 1})
        EXPECT_TRUE(draw({800, 480}, mode, 0.00135f, places[0].centre).empty()) << mode;
    engine.shutdown();
}

TEST(PolylineSettings, ChecksGoToTheTableAndTheBlobType180NeverChecked) {
    ProgramFolder folder;
    std::ofstream(folder.data("polylines.xml"))
        << "<polylines><group><polyline><type id=\"b4\" name=\"Fixed\"/><type id=\"01\" name=\"Motorways\"/>"
           "<type id=\"0x1a\" name=\"Ferries\"/></polyline></group></polylines>";
    Program p(folder);
    auto* page = p.open<Screens::PolylinesSettingsPage>("polylines_settings");
    auto& list = *page->list();
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[0].type, 1);
    EXPECT_EQ(list.entries[2].type, 180);
    EXPECT_EQ(list.entries[2].checked, 0);
    auto* all = dynamic_cast<Ui::fdCheckedButton*>(page->findChild("select_all_check"));
    EXPECT_TRUE(all->checked());
    // A tap on a row toggles it; type 180 never becomes checked.
    list.itemClicked(0);
    list.itemClicked(2);
    EXPECT_EQ(list.entries[0].checked, 0);
    EXPECT_EQ(list.entries[2].checked, 0);
    all->setChecked(true);
    page->childClicked("select_all_check");
    EXPECT_EQ(list.entries[2].checked, 0);
    // A tap on the box itself has toggled it: the entry follows the box.
    auto* box = dynamic_cast<Ui::fdCheckedButton*>(
        dynamic_cast<Ui::fdList*>(page->findChild("list"))->rowWidget(0)->findChild("check_show"));
    box->toggle();
    list.itemClicked(0);
    EXPECT_FALSE(box->checked());
    EXPECT_EQ(list.entries[0].checked, 0);
    page->childClicked("button_ok");
    const auto& lines = p.engine->mapRenderer()->showPolylineLine();
    EXPECT_EQ(lines[1], 0);
    EXPECT_EQ(lines[0x1A], 1);
    EXPECT_EQ(lines[180], 0);
    std::vector<std::uint8_t> blob;
    ASSERT_TRUE(p.root().get("show_pl_line", blob));
    ASSERT_EQ(blob.size(), 32u);
    EXPECT_EQ(blob[0], 0xBF);       // type 1 is bit 6 of byte 0
    EXPECT_EQ(blob[3], 0xFF);       // type 0x1A
    EXPECT_EQ(blob[180 / 8], 0xF7); // type 180 is bit 3 of byte 22

    // The caption column is the other table.
    p.engine->ui()->goToPage(page);
    page->childClicked("button_text");
    EXPECT_EQ(list.entries[0].checked, 1);
    list.itemClicked(1);
    page->childClicked("back");
    EXPECT_EQ(p.engine->mapRenderer()->showPolylineText()[0x1A], 1);

}

TEST(PolylineSettings, StoredModesOutOfRange) {
    const std::pair<int, int> rows[] = {{3, 1}, {-1, -1}, {2, 0}};
    for (const auto& [stored, mode] : rows) {
        ProgramFolder folder;
        Program p(folder);
        p.root().set("polylines_settings_mode", stored);
        auto* page = p.open<Screens::PolylinesSettingsPage>("polylines_settings");
        EXPECT_EQ(page->mode(), mode) << stored;
        const auto before = p.engine->mapRenderer()->showPolylineLine();
        page->list()->itemClicked(0);
        page->childClicked("button_ok");
        if (mode == -1) {
            EXPECT_EQ(p.engine->mapRenderer()->showPolylineLine(), before);
        }
    }
}

SDL_keysym keysym(int key) {
    SDL_keysym k{};
    k.sym = static_cast<SDLKey>(key);
    return k;
}

TEST(ButtonSettings, BindingAKeyMovesItAndUnbindingRemovesIt) {
    ProgramFolder folder;
    Program p(folder);
    auto* page = p.open<Screens::fdPageButtonSettingsX>("pageButtonSettings");
    auto& list = *page->list();
    Ui::ButtonBindings& bindings = *p.engine->bindings();
    std::int32_t menu = -1;
    for (std::size_t i = 0; i < list.entries.size(); ++i)
        if (list.entries[i].name == "menuMain") menu = static_cast<std::int32_t>(i);
    ASSERT_GE(menu, 0);
    auto* set = dynamic_cast<Ui::fdCheckedButton*>(page->findChild("button_set"));
    // The bound keys page the list; "up" follows.
    EXPECT_TRUE(page->keyDown(SDLK_DOWN));
    EXPECT_EQ(list.firstVisibleIndex(), list.rowsPerPage());
    EXPECT_TRUE(page->findChild("up")->enabled());
    EXPECT_TRUE(page->keyDown(SDLK_UP));
    EXPECT_EQ(list.firstVisibleIndex(), 0);
    EXPECT_FALSE(page->findChild("up")->enabled());
    const std::string before = TestSupport::readAll(folder.data("skin/buttons.xml"));

    // Without a selection, or with it off the page, no waiting starts.
    page->childClicked("button_set");
    EXPECT_FALSE(page->waiting());
    EXPECT_FALSE(set->checked());
    list.itemClicked(menu);
    page->childClicked("button_set");
    EXPECT_FALSE(page->waiting());
    list.ensureVisible(menu);
    page->childClicked("button_set");
    ASSERT_TRUE(page->waiting());
    EXPECT_TRUE(set->checked());
    // A second "set" without a key writes nothing.
    page->childClicked("button_set");
    EXPECT_FALSE(page->waiting());
    EXPECT_EQ(TestSupport::readAll(folder.data("skin/buttons.xml")), before);

    page->childClicked("button_set");
    EXPECT_TRUE(page->keyDown(SDLK_x));
    // One key per wait: a second key, Escape to leave above all, is taken
    // and changes nothing.
    EXPECT_TRUE(page->keyDown(SDLK_ESCAPE));
    EXPECT_EQ(list.entries[static_cast<std::size_t>(menu)].key, SDLK_x);
    EXPECT_EQ(p.engine->ui()->activePage(), page);
    page->childClicked("back"); // ignored while waiting
    page->childClicked("button_set");
    std::string name;
    EXPECT_TRUE(bindings.actionForKey(keysym(SDLK_x), name));
    EXPECT_EQ(name, "menuMain");
    EXPECT_FALSE(bindings.actionForKey(keysym(SDLK_m), name = ""));
    std::string file = TestSupport::readAll(folder.data("skin/buttons.xml"));
    EXPECT_EQ(file.rfind("\xEF\xBB\xBF<?xml", 0), 0u);
    EXPECT_NE(file.find("\t<action name=\"menuMain\" key=\"120\" />\r\n"), std::string::npos) << file;

    // Unbinding: the action keeps no key, in memory and in the file.
    page->childClicked("button_cancel");
    EXPECT_FALSE(bindings.actionForKey(keysym(SDLK_x), name));
    file = TestSupport::readAll(folder.data("skin/buttons.xml"));
    EXPECT_NE(file.find("\t<action name=\"menuMain\" key=\"\" />\r\n"), std::string::npos) << file;
    EXPECT_EQ(list.entries[static_cast<std::size_t>(menu)].key, 0);

    // A cancelled wait puts the shown key back.
    page->childClicked("button_set");
    page->keyDown(SDLK_y);
    EXPECT_EQ(list.entries[static_cast<std::size_t>(menu)].key, SDLK_y);
    page->childClicked("button_cancel");
    EXPECT_FALSE(page->waiting());
    EXPECT_EQ(list.entries[static_cast<std::size_t>(menu)].key, 0);

    const std::size_t entries = list.entries.size();
    p.restart();
    EXPECT_FALSE(p.engine->bindings()->actionForKey(keysym(SDLK_m), name));
    page = p.open<Screens::fdPageButtonSettingsX>("pageButtonSettings");
    EXPECT_EQ(page->list()->entries.size(), entries);
    EXPECT_EQ(page->list()->entries[static_cast<std::size_t>(menu)].key, 0);
}

TEST(ButtonSettings, AFileThatCannotBeWrittenKeepsTheBindingAndTheChange) {
    ProgramFolder folder;
    Program p(folder);
    auto* page = p.open<Screens::fdPageButtonSettingsX>("pageButtonSettings");
    // A folder now stands where the file was: the new file cannot replace it.
    fs::remove(folder.data("skin/buttons.xml"));
    fs::create_directories(folder.data("skin/buttons.xml/in the way"));
    page->list()->itemClicked(0);
    page->childClicked("button_set");
    page->keyDown(SDLK_u);
    page->childClicked("button_set");
    EXPECT_EQ(p.engine->bindings()->up, SDLK_u);
    EXPECT_TRUE(page->list()->entries[0].changed());
    bool logged = false;
    for (const std::string& line : p.log.linesAt(Log::Critical))
        logged = logged || line.rfind("Can't create bindings file '", 0) == 0;
    EXPECT_TRUE(logged);
    // The driver is told on the page, with the system's reason; "mb"
    // closes the box.
    ASSERT_NE(page->messageBox(), nullptr);
    const auto* box = dynamic_cast<Ui::fdStatic*>(page->messageBox()->findChild("msg_text"));
    ASSERT_NE(box, nullptr);
    const auto unwrapped = [](std::u16string text) {
        std::erase_if(text, [](char16_t c) { return c == u'\n' || c == u' '; });
        return Core::wideToUtf8(text);
    };
    EXPECT_EQ(unwrapped(box->text()),
              unwrapped(p.engine->messages()->text("buttons_write_err") + u"(Permission denied)"));
    page->childClicked("mb");
    EXPECT_EQ(page->messageBox(), nullptr);
}

} // namespace
