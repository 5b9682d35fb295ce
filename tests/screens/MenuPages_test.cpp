// The information, keyboard settings and atlases pages built from the
// shipped demo design: lines and scrolling with the slider, the layout and
// language choices with what they store, and the atlases list.

#include "screens/AtlasesPage.h"
#include "screens/InfoPage.h"
#include "screens/KeyboardPropPage.h"
#include "screens/PoisSettingsPage.h"
#include "screens/PolylinesSettingsPage.h"
#include "screens/fdMainMenuPage.h"
#include "screens/fdPageButtonSettingsX.h"
#include "screens/fdPageSettingsOtherX.h"
#include "screens/fdPageSettingsX.h"

#include "core/Config.h"
#include "core/FileSystem.h"
#include "core/TempSurface.h"
#include "core/Text.h"
#include "core/VirtualFs.h"
#include "guidance/ObjWarn.h"
#include "map/AtlasFolderList.h"
#include "map/AtlasServices.h"
#include "render/Image.h"
#include "render/MapCamera.h"
#include "render/RenderStyles.h"
#include "render/StyleSet.h"
#include "core/ResourcesPool.h"
#include "map/KVAtlas.h"
#include "map/CameraFile.h"
#include "render/MapCameraAccess.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ButtonBindings.h"
#include "ui/DesignDescription.h"
#include "ui/KeyboardLayouts.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

using namespace Screens;

namespace {

struct DesignEngine : UiTest::FakeEngine {
    const Ui::DesignDescription* design() const override { return &description; }
    Ui::DesignDescription description;
};

// The demo design read once per test, a menu page to come back to, and the
// page under test built from the design.
struct Rig {
    Rig() {
        const std::string data = MIREL_DATA_DIR;
        EXPECT_TRUE(Ui::readTheme(TestSupport::readAll(data + "/skin/design800x480.xml"), true,
                                  FileSystem::toWide(data + "/skin/kb_layouts.xml"), engine.description,
                                  layouts));
        menu = new Ui::fdPage(&ui, "menuMain", nullptr);
        ui.activatePage(menu);
    }
    template <class Page> Page* build(Page* page) {
        page->setRect(0, 0, 800, 480);
        EXPECT_TRUE(Ui::buildPage(*page, engine.description));
        ui.goToPage(page);
        return page;
    }
    bool enabled(Ui::fdPage* page, const char* name) { return page->findChild(name)->enabled(); }
    std::u16string text(Ui::fdPage* page, const char* name) {
        return dynamic_cast<Ui::fdStatic*>(page->findChild(name))->text();
    }

    TestSupport::CaptureLogger quiet;
    DesignEngine engine;
    Ui::fdInterface ui{&engine, nullptr};
    Ui::KeyboardLayouts layouts;
    Ui::fdPage* menu = nullptr;
    Core::Config config;
};

TEST(InfoPage, TextBecomesLines) {
    const struct {
        std::u16string text;
        std::vector<std::u16string> lines;
    } rows[] = {
        {u"a\r\nb\r\n\r\n", {u"a", u"b"}},
        {u"\n\n\n", {}},
        {u"", {}},
        {u"x", {u"x"}},
        {u"x\n\ny", {u"x", u"", u"y"}},
        {u"\rx\r\r\ny\r", {u"x", u"y"}},
        {u"\r\n\r", {}},
        {u" \n", {u" "}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TextsList::splitLines(row.text), row.lines) << Core::wideToUtf8(row.text);
}

// The main menu's information tile: info.txt of the data folder (ANSI
// text) and then the extra lines; without the file, the extra lines alone
// and the log names the file.
TEST(InfoPage, TheMenuShowsInfoTxtThenTheExtraLines) {
    for (const bool present : {true, false}) {
        SCOPED_TRACE(present);
        Rig rig;
        TestSupport::TempDir dir;
        rig.engine.dataFolder = FileSystem::toWide(dir.path().string() + "/");
        if (present)
            dir.write("info.txt", "\xCC\xE8\xF0 map data\r\nsecond line");
        auto* info = rig.build(new InfoPage(&rig.ui, nullptr));
        auto* menu = new fdMainMenuPage(&rig.ui, nullptr, [] { return std::u16string(u"extra"); });
        rig.ui.activatePage(menu);
        menu->childClicked("info");
        ASSERT_EQ(rig.ui.activePage(), info);
        EXPECT_EQ(rig.text(info, "name"), fdMainMenuPage::InfoTitle);
        const std::vector<std::u16string> expected =
            present ? std::vector<std::u16string>{u"Мир map data", u"second line", u"extra"}
                    : std::vector<std::u16string>{u"extra"};
        EXPECT_EQ(info->texts()->lines(), expected);
        EXPECT_EQ(rig.quiet.contains("Can't open file '" + dir.path().string() + "/info.txt'"), !present);
    }
}

TEST(InfoPage, SliderButtonsAndKeysFollowTheList) {
    Rig rig;
    auto* page = rig.build(new InfoPage(&rig.ui, nullptr));
    std::u16string text;
    for (int i = 0; i < 20; ++i)
        text += u"line " + Core::utf8ToWide(std::to_string(i)) + u"\r\n";
    page->setText(u"Title", text);
    page->onShow();
    const TextsList& texts = *page->texts();
    const std::int32_t rows = texts.rowsPerPage();
    ASSERT_EQ(rows, 8);
    EXPECT_EQ(rig.text(page, "name"), u"Title");
    EXPECT_EQ(rig.text(page, "version"), u"2.9.0.2230");
    EXPECT_EQ(page->slider()->maximum, 20 - rows);
    EXPECT_FALSE(rig.enabled(page, "up"));
    EXPECT_TRUE(rig.enabled(page, "down"));

    page->childClicked("down");
    page->childClicked("down");
    EXPECT_EQ(texts.firstVisibleIndex(), 2);
    EXPECT_EQ(page->slider()->value, 2);
    EXPECT_TRUE(rig.enabled(page, "up"));
    // Keys: the straight screen scrolls up with up, left, kp8 and kp4.
    for (int key : {SDLK_UP, SDLK_LEFT, SDLK_KP8})
        EXPECT_TRUE(page->keyDown(key));
    EXPECT_EQ(texts.firstVisibleIndex(), 0);
    EXPECT_EQ(page->slider()->value, 0);
    for (int key : {SDLK_DOWN, SDLK_RIGHT, SDLK_KP2, SDLK_KP6, SDLK_a})
        EXPECT_TRUE(page->keyDown(key));
    EXPECT_EQ(texts.firstVisibleIndex(), 4);

    // Dragged past the last full page, the last page stays full.
    page->slider()->value = 19;
    page->childClicked("slider");
    EXPECT_EQ(texts.firstVisibleIndex(), 20 - rows);
    EXPECT_EQ(page->slider()->value, 19);
    EXPECT_FALSE(rig.enabled(page, "down"));

    // A shorter text: maximum 0, the value clamped, both buttons off, and
    // the slider shows its track without a thumb (the thumb's place looks
    // as the track's other end does).
    auto sliderPixels = [&] {
        SDL_Surface* screen = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 480, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
        page->slider()->draw(screen, scratch, true);
        const Ui::WindowRect r = page->slider()->rect();
        std::vector<Uint32> top, bottom;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < r.w; ++x) {
                top.push_back(UiTest::rgbAt(screen, r.x + x, r.y + y));
                bottom.push_back(UiTest::rgbAt(screen, r.x + x, r.y + r.h - 24 + y));
            }
        SDL_FreeSurface(screen);
        return top == bottom;
    };
    // The design's thumb is a picture of the data folder; a blue one here.
    SDL_Surface* blue = SDL_CreateRGBSurface(SDL_SWSURFACE, 24, 24, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_FillRect(blue, nullptr, 0x0000FF);
    const std::unique_ptr<Render::ImageFromSurface> thumb = Render::ImageFromSurface::owning(blue);
    page->slider()->thumb = thumb.get();
    page->slider()->thumbWidth = page->slider()->thumbHeight = 24;
    page->slider()->value = 0;
    EXPECT_FALSE(sliderPixels()) << "a thumb at the top of a text that scrolls";
    page->setText(u"Short", u"one\ntwo\n");
    EXPECT_EQ(page->slider()->maximum, 0);
    EXPECT_EQ(page->slider()->value, 0);
    EXPECT_FALSE(rig.enabled(page, "up"));
    EXPECT_FALSE(rig.enabled(page, "down"));
    EXPECT_TRUE(sliderPixels());
    page->slider()->thumb = nullptr;
    page->setText(u"None", u"\n\n");
    EXPECT_EQ(page->texts()->count(), 0);
    EXPECT_EQ(page->slider()->maximum, 0);

    // Escape leaves as "ok" does.
    EXPECT_TRUE(page->keyDown(SDLK_ESCAPE));
    EXPECT_EQ(rig.ui.activePage(), rig.menu);
}

TEST(InfoPage, ARotatedScreenTurnsTheKeys) {
    Rig rig;
    Ui::ButtonBindings bindings(rig.config.root());
    bindings.orientation = 90;
    auto* page = rig.build(new InfoPage(&rig.ui, &bindings));
    page->setText(u"", std::u16string(30, u'\n') + u"x");
    for (int key : {SDLK_DOWN, SDLK_LEFT, SDLK_KP2, SDLK_KP4})
        page->keyDown(key);
    EXPECT_EQ(page->texts()->firstVisibleIndex(), 4);
    for (int key : {SDLK_UP, SDLK_RIGHT, SDLK_KP8})
        page->keyDown(key);
    EXPECT_EQ(page->texts()->firstVisibleIndex(), 1);
}

// Three grids, "digits" flagged against editing (a caption longer than one
// letter), and three languages.
constexpr const char* ThreeLayouts = R"(<kb_layouts>
  <group name="abc"><config id="1" name="abc" cols="2" rows="1"/></group>
  <group name="digits"><config id="2" name="digits" cols="2" rows="1"/></group>
  <group name="xyz"><config id="3" name="xyz" cols="2" rows="1"/></group>
  <language name="One" short_name="1">
    <layout id="1" case="2"><row buttons="a|b|"/></layout>
    <layout id="2" case="2"><row buttons="12|3|"/></layout>
    <layout id="3" case="2"><row buttons="x|y|"/></layout>
  </language>
  <language name="Two" short_name="2"><layout id="1" case="2"><row buttons="c|d|"/></layout></language>
  <language name="Three" short_name="3"><layout id="1" case="2"><row buttons="e|f|"/></layout></language>
</kb_layouts>)";

struct KeyboardRig : Rig {
    KeyboardRig() {
        EXPECT_TRUE(layouts.loadText(ThreeLayouts, [](const std::string&) { return true; }));
    }
    KeyboardPropPage* open(const Ui::KeyboardLayouts* with) {
        page = build(new KeyboardPropPage(&ui, config.root(), with, nullptr));
        page->onShow();
        return page;
    }
    std::string stored(const char* key) {
        return config.root()->child("Keyboard")->value(key, std::string("?"));
    }
    KeyboardPropPage* page = nullptr;
};

TEST(KeyboardPropPage, LayoutChoicesWrapAndAreStoredOnOk) {
    KeyboardRig rig;
    auto* page = rig.open(&rig.layouts);
    const auto& edit = page->editLayouts();
    const auto& find = page->findLayouts();
    ASSERT_EQ(edit, (std::vector<std::string>{"abc", "xyz"}));
    ASSERT_EQ(find, (std::vector<std::string>{"abc", "digits", "xyz"}));
    // Unknown stored names were replaced by the first layouts.
    EXPECT_EQ(rig.stored("edit_layout"), edit.front());
    EXPECT_EQ(page->editIndex(), 0u);
    page->childClicked("edit_kb_prev");
    EXPECT_EQ(page->editIndex(), edit.size() - 1);
    EXPECT_EQ(rig.text(page, "edit_kb"), Core::utf8ToWide(edit.back()));
    page->childClicked("edit_kb_next");
    EXPECT_EQ(page->editIndex(), 0u);
    for (std::size_t i = 0; i < find.size(); ++i)
        page->childClicked("find_kb_next");
    EXPECT_EQ(page->findIndex(), 0u);
    page->childClicked("find_kb_prev");
    EXPECT_EQ(page->findIndex(), find.size() - 1);

    // "back" keeps the stored choice, "button_ok" stores it.
    page->childClicked("back");
    EXPECT_EQ(rig.stored("find_layout"), find.front());
    rig.ui.goToPage(page);
    page->onShow();
    EXPECT_EQ(page->findIndex(), 0u);
    page->childClicked("find_kb_prev");
    page->childClicked("button_ok");
    EXPECT_EQ(rig.ui.activePage(), rig.menu);
    EXPECT_EQ(rig.stored("find_layout"), find.back());
    EXPECT_EQ(rig.stored("edit_layout"), edit.front());
}

TEST(KeyboardPropPage, LanguagesAreCheckedStoredAndAllMeansEvery) {
    KeyboardRig rig;
    const auto& languages = rig.layouts.languages();
    ASSERT_EQ(languages.size(), 3u);
    rig.config.root()->child("Keyboard")->set("used_languages", languages[1].name + ";nowhere");
    auto* page = rig.open(&rig.layouts);
    auto* all = dynamic_cast<Ui::fdCheckedButton*>(page->findChild("select_all_check"));
    EXPECT_EQ(page->languages()->checked(), std::vector<std::int32_t>{1});
    EXPECT_FALSE(all->checked());
    // A tap on the first row checks its language, in order.
    dynamic_cast<Ui::fdList*>(page->findChild("list"))->select(0);
    page->childClicked("list");
    EXPECT_EQ(page->languages()->checked(), (std::vector<std::int32_t>{0, 1}));
    EXPECT_FALSE(all->checked());
    page->childClicked("button_ok");
    std::string expected;
    for (std::size_t i = 0; i < 2; ++i)
        expected += (i ? ";" : "") + languages[i].name;
    EXPECT_EQ(rig.stored("used_languages"), expected);

    // Unchecking all stores nothing, which the keyboard reads as all.
    rig.ui.goToPage(page);
    page->onShow();
    all->setChecked(false);
    page->childClicked("select_all_check");
    EXPECT_TRUE(page->languages()->checked().empty());
    page->childClicked("button_ok");
    EXPECT_EQ(rig.stored("used_languages"), "");
    rig.ui.goToPage(page);
    page->onShow();
    EXPECT_EQ(static_cast<std::size_t>(page->languages()->checked().size()), languages.size());
    EXPECT_TRUE(all->checked());
    // Stored in any order, the languages are checked in the list's order.
    rig.config.root()->child("Keyboard")->set("used_languages", languages[2].name + ";" + languages[0].name);
    page->onShow();
    EXPECT_EQ(page->languages()->checked(), (std::vector<std::int32_t>{0, 2}));
}

TEST(KeyboardPropPage, WithoutLayoutsTheCommandsDoNothing) {
    KeyboardRig rig;
    Ui::KeyboardLayouts none;
    auto* page = rig.open(&none);
    for (const char* command : {"edit_kb_prev", "edit_kb_next", "find_kb_prev", "find_kb_next",
                                "select_all_check", "list", "up", "down", "button_ok"})
        page->childClicked(command);
    EXPECT_EQ(page->editIndex(), 0u);
    EXPECT_EQ(rig.text(page, "edit_kb"), u"");
    EXPECT_EQ(rig.ui.activePage(), rig.menu);
}

TEST(AtlasesPage, ListsTheAtlasesAndShowsTheirMapNames) {
    Rig rig;
    TestSupport::TempDir dir;
    for (const char* name : {"alpha", "beta", "empty"})
        std::filesystem::create_directories(dir.path() / "data" / "maps" / name);
    Map::FolderPaths paths(Core::utf8ToWide(dir.path().string() + "/"));
    Map::AtlasFolderList folders(paths, paths.dataPath(u"maps\\beta"));
    ASSERT_EQ(folders.records().size(), 3u);
    auto* info = new InfoPage(&rig.ui, nullptr);
    info->setRect(0, 0, 800, 480);
    ASSERT_TRUE(Ui::buildPage(*info, rig.engine.description));
    AtlasesPage::Services services;
    services.folders = &folders;
    auto* page = rig.build(new AtlasesPage(&rig.ui, services));
    page->onShow();
    EXPECT_EQ(page->atlases()->selectedIndex(), 1);
    EXPECT_EQ(dynamic_cast<Ui::fdList*>(page->findChild("list"))->selectedRow(), 1);
    auto* row = dynamic_cast<Ui::fdList*>(page->findChild("list"))->rowWidget(2);
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(row->findChild("text"))->text(), u"empty");
    EXPECT_FALSE(rig.enabled(page, "down"));
    page->atlases()->itemClicked(-1);
    EXPECT_EQ(page->atlases()->selectedIndex(), 1);
    page->atlases()->itemClicked(2);
    // An atlas folder without maps: an empty information text.
    page->childClicked("info");
    EXPECT_EQ(rig.ui.activePage(), info);
    EXPECT_EQ(info->texts()->count(), 0);
    EXPECT_EQ(rig.text(info, "name"), u"empty");
    info->childClicked("ok");
    EXPECT_EQ(rig.ui.activePage(), page);
    // Without an atlas object "select" changes nothing.
    page->childClicked("select");
    EXPECT_EQ(folders.current(), 1u);
    EXPECT_TRUE(page->keyDown(SDLK_a));
    EXPECT_TRUE(page->keyDown(SDLK_ESCAPE));
    EXPECT_EQ(rig.ui.activePage(), rig.menu);
}

// "select" switches the atlas: the leaving atlas keeps the view it was left
// at, and the view follows the atlas that comes.
TEST(AtlasesPage, SwitchingKeepsEachAtlasItsView) {
    Rig rig;
    TestSupport::TempDir dir;
    const std::filesystem::path maps = std::filesystem::path(MIREL_DEMO_ATLAS_DIR).parent_path();
    std::filesystem::create_directories(dir / "data" / "maps");
    for (const char* name : {"demo", "monaco"})
        std::filesystem::copy(maps / name, dir / "data" / "maps" / name, std::filesystem::copy_options::recursive);
    Core::ResourcesPool pool{10};
    Map::AtlasServices atlasServices;
    atlasServices.paths = std::make_shared<Map::FolderPaths>(Core::utf8ToWide(dir.path().string() + "/"));
    Map::KVAtlas atlas(rig.config.root(), pool, std::move(atlasServices));
    Map::FolderPaths paths(Core::utf8ToWide(dir.path().string() + "/"));
    Map::AtlasFolderList folders(paths, paths.dataPath(u"maps\\demo"));
    ASSERT_TRUE(atlas.load(folders.records()[folders.current()].path));
    MapCamera camera;
    AtlasesPage::Services services;
    services.folders = &folders;
    services.atlas = &atlas;
    services.camera = &camera;
    auto* page = rig.build(new AtlasesPage(&rig.ui, services));
    const Map::Point left{atlas.camera().centreX + 5000, atlas.camera().centreY};
    camera.setCentre(left);
    for (const std::uint32_t to : {1u, 0u}) {
        rig.ui.goToPage(page);
        page->atlases()->itemClicked(std::int32_t(to));
        page->childClicked("select");
        EXPECT_EQ(folders.current(), to);
        EXPECT_EQ(camera.centre() == left, to == 0) << to;
    }
}

// "ok" on the Map view page puts the view and the pitch into the atlas's
// camera.kvc at once; a disk that takes nothing leaves the file as it was
// and the page says why, so that the driver can be told.
TEST(MapViewPage, OkWritesTheViewToTheAtlasOrSaysWhyItCouldNot) {
    Rig rig;
    TestSupport::TempDir dir;
    std::filesystem::create_directories(dir / "data" / "maps");
    std::filesystem::copy(MIREL_DEMO_ATLAS_DIR, dir / "data" / "maps" / "demo",
                          std::filesystem::copy_options::recursive);
    Core::ResourcesPool pool{10};
    MapCamera camera;
    Map::AtlasServices atlasServices;
    atlasServices.paths = std::make_shared<Map::FolderPaths>(Core::utf8ToWide(dir.path().string() + "/"));
    atlasServices.camera = std::make_shared<MapDrawing::MapCameraAccess>(camera);
    Map::KVAtlas atlas(rig.config.root(), pool, std::move(atlasServices));
    ASSERT_TRUE(atlas.load(Core::utf8ToWide((dir / "data" / "maps" / "demo").string())));
    const std::filesystem::path file = dir / "data" / "maps" / "demo" / "camera.kvc";
    std::vector<int> told;
    fdPageSettingsX::Services services;
    services.atlas = &atlas;
    services.camera = &camera;
    services.viewNotStored = [&told](int error) { told.push_back(error); };
    auto* page = rig.build(new fdPageSettingsX(&rig.ui, services));
    const struct {
        bool full;
        std::uint8_t mode;
        std::uint32_t pitch;
    } rows[] = {{false, 0, 2}, {true, 1, 0}, {false, 1, 1}};
    for (const auto& row : rows) {
        if (rig.ui.activePage() != page) rig.ui.goToPage(page);
        while (page->view3d() != (row.mode != 0))
            page->childClicked("dPosUp");
        while (page->angle() != static_cast<std::int32_t>(row.pitch))
            page->childClicked("angleUp");
        Map::CameraFields before;
        std::uint32_t beforePitch = 9;
        const bool existed = Map::CameraFile::read(Core::utf8ToWide(file.string()), before, beforePitch);
        told.clear();
        {
            std::optional<TestSupport::FileSizeLimit> limit;
            if (row.full) limit.emplace(0);
            page->childClicked("ok");
        }
        rig.ui.applyPendingChanges();
        EXPECT_EQ(rig.ui.activePage(), rig.menu);
        EXPECT_EQ(camera.is3d(), row.mode != 0) << "the view shows either way";
        Map::CameraFields stored;
        std::uint32_t pitch = 9;
        ASSERT_TRUE(Map::CameraFile::read(Core::utf8ToWide(file.string()), stored, pitch));
        if (row.full) {
            ASSERT_TRUE(existed);
            EXPECT_EQ(told, std::vector<int>{223}) << "File too large";
            EXPECT_EQ(stored, before);
            EXPECT_EQ(pitch, beforePitch);
        } else {
            EXPECT_TRUE(told.empty());
            EXPECT_EQ(stored.mode, row.mode);
            EXPECT_EQ(pitch, row.pitch);
        }
    }
}

} // namespace

namespace {

// The pages of the menus drawn from the built data folder (read only) at
// 800 x 480 and doubled: every picture, material and font they name exists,
// the doubled page lies where the plain one does at twice the size.
// MIREL_SKIN_SHOTS=<folder> keeps the pictures.
// "ok" on the other settings stores the warning distances for the warner and
// under the configuration's own names; "back" stores nothing.
TEST(OtherSettingsPage, OkStoresTheWarningDistances) {
    const Guidance::ObjWarn::Settings before = Guidance::ObjWarn::settings();
    Rig rig;
    Messages messages;
    auto* page = rig.build(new fdPageSettingsOtherX(&rig.ui, rig.config.root(), nullptr, messages));
    const std::int32_t out = page->outgoingDistance(), in = page->incomingDistance();
    page->childClicked("distUp");
    page->childClicked("dist2Down");
    page->childClicked("back");
    EXPECT_EQ(rig.config.root()->value("obj_warn_distance_out", -1), -1);
    rig.ui.goToPage(page);
    EXPECT_EQ(page->outgoingDistance(), out);
    page->childClicked("distUp");
    page->childClicked("dist2Down");
    page->childClicked("ok");
    EXPECT_EQ(rig.config.root()->value("obj_warn_distance_out", -1), page->outgoingDistance());
    EXPECT_EQ(rig.config.root()->value("obj_warn_distance", -1), page->incomingDistance());
    EXPECT_NE(page->outgoingDistance(), out);
    EXPECT_NE(page->incomingDistance(), in);
    EXPECT_EQ(rig.config.root()->child("ObjWarn")->value("outgoing_distance", -1), page->outgoingDistance());
    Guidance::ObjWarn::setDistances(nullptr, before.incomingDistance, before.outgoingDistance);
}

// The view settings' angle steps round its three values either way; the POI
// settings switch between showing and warning and remember which.
TEST(SettingsPages, AngleStepsRoundAndThePoiPageRemembersItsMode) {
    Rig rig;
    auto* view = rig.build(new fdPageSettingsX(&rig.ui, {}));
    const std::int32_t start = view->angle();
    for (const auto& [command, step] : {std::pair{"angleUp", 1}, std::pair{"angleUp", 2}, std::pair{"angleUp", 0},
                                        std::pair{"angleDown", 2}, std::pair{"angleDown", 1}}) {
        view->childClicked(command);
        EXPECT_EQ(view->angle(), (start + step) % 3) << command;
    }

    // Two types of one group, both shown, the second warned.
    constexpr std::uint16_t fuel = 0x2A01, cafe = 0x2A03;
    Render::RenderStyles styles;
    for (const auto& [type, name] : {std::pair{fuel, u"Fuel"}, std::pair{cafe, u"Cafe"}}) {
        Render::PoiStyle style;
        style.groupId = 0x2A00;
        style.name = name;
        styles.daySet().poiStyles[type] = style;
    }
    const_cast<std::map<std::uint16_t, std::u16string>&>(styles.poiGroupNames())[0x2A00] = u"Services";
    styles.setPoiTypeFlags(fuel, true, false);
    styles.setPoiTypeFlags(cafe, true, true);
    const auto open = [&] {
        return rig.build(new PoisSettingsPage(&rig.ui, rig.config.root(), [&] { return &styles; }, nullptr));
    };
    const auto checked = [](Ui::fdPage* page, const char* name) {
        return dynamic_cast<Ui::fdCheckedButton*>(page->findChild(name))->checked();
    };
    const auto flags = [&] {
        return std::array{styles.isPoiTypeShown(fuel), styles.isPoiTypeWarned(fuel), styles.isPoiTypeShown(cafe),
                          styles.isPoiTypeWarned(cafe)};
    };
    const auto tapAll = [](Ui::fdPage* page, bool on) {
        dynamic_cast<Ui::fdCheckedButton*>(page->findChild("select_all_check"))->setChecked(on);
        page->childClicked("select_all_check");
    };
    auto* pois = open();
    ASSERT_NE(pois->list(), nullptr);
    ASSERT_EQ(pois->list()->groups().size(), 1u);
    EXPECT_EQ(pois->list()->groups()[0].items.size(), 2u);
    EXPECT_EQ(pois->mode(), 0);
    EXPECT_TRUE(checked(pois, "button_show"));
    EXPECT_TRUE(checked(pois, "select_all_check")) << "every type shown";
    // The show column cleared and confirmed hides both; the warning stays.
    tapAll(pois, false);
    EXPECT_EQ(flags(), (std::array{true, false, true, true})) << "nothing changes before OK";
    pois->childClicked("button_ok");
    EXPECT_NE(rig.ui.activePage(), pois);
    EXPECT_EQ(flags(), (std::array{false, false, false, true}));
    // The warn column shows the warned types; everything warned and
    // confirmed keeps the types hidden.
    pois = open();
    pois->childClicked("button_warn");
    EXPECT_EQ(pois->mode(), 1);
    EXPECT_EQ(rig.config.root()->value("pois_settings_mode", -1), 1);
    EXPECT_TRUE(checked(pois, "button_warn"));
    EXPECT_FALSE(checked(pois, "select_all_check")) << "fuel is not warned";
    tapAll(pois, true);
    pois->childClicked("button_ok");
    EXPECT_EQ(flags(), (std::array{false, true, false, true}));
    // Opened again it remembers the warn column.
    pois = open();
    EXPECT_EQ(pois->mode(), 1);
    EXPECT_TRUE(checked(pois, "select_all_check"));
    pois->childClicked("button_show");
    EXPECT_EQ(rig.config.root()->value("pois_settings_mode", -1), 0);
    EXPECT_FALSE(checked(pois, "select_all_check")) << "nothing shown";
}

// The list settings pages keep every key but Escape, which leads out.
TEST(ListSettingsPages, OnlyEscapeLeaves) {
    Rig rig;
    Ui::ButtonBindings bindings(rig.config.root());
    for (Ui::fdPage* page : {static_cast<Ui::fdPage*>(new PoisSettingsPage(&rig.ui, rig.config.root(), {}, &bindings)),
                             static_cast<Ui::fdPage*>(new PolylinesSettingsPage(&rig.ui, rig.config.root(), {},
                                                                                nullptr, &bindings, u""))}) {
        rig.build(page);
        for (const int key : {int(SDLK_DOWN), int(SDLK_UP), int('x')}) {
            EXPECT_TRUE(rig.ui.keyDown(key));
            EXPECT_EQ(rig.ui.activePage(), page) << page->name() << " " << key;
        }
        EXPECT_TRUE(rig.ui.keyDown(SDLK_ESCAPE));
        EXPECT_EQ(rig.ui.activePage(), rig.menu) << page->name();
    }
}

// The hardware keys page: a tapped row, "button_set", a key and
// "button_set" again bind the key in the bindings and the file; "Unbind"
// clears it; while waiting for a key even Escape is the key; then Escape
// leads out.
TEST(ButtonSettingsPage, BindsTheTappedActionToThePressedKey) {
    UiTest::SdlScreen sdl; // SDL knows the key names once its video runs
    Rig rig;
    TestSupport::TempDir dir;
    const auto file = dir / "buttons.xml";
    const auto save = [&](const std::vector<ButtonBindingsList::Entry>& entries) {
        std::ofstream(file, std::ios::binary) << ButtonBindingsList::fileText(entries);
    };
    save({{"up", 273, 273}, {"menuMain", 0, 0}, {"zoom", 97, 97}});
    const auto read = [&] {
        std::ifstream in(file, std::ios::binary);
        std::vector<ButtonBindingsList::Entry> entries;
        EXPECT_TRUE(ButtonBindingsList::parse({std::istreambuf_iterator<char>(in), {}}, entries));
        std::vector<std::int32_t> keys;
        for (const auto& entry : entries)
            keys.push_back(entry.key);
        return keys;
    };
    Ui::ButtonBindings bindings(rig.config.root());
    auto* page = rig.build(new fdPageButtonSettingsX(&rig.ui, &bindings, FileSystem::toWide(file.string())));
    auto* list = dynamic_cast<Ui::fdList*>(page->findChild("list"));
    const auto code = [&](std::size_t row) {
        return dynamic_cast<Ui::fdStatic*>(list->rowWidget(row)->findChild("code"))->text();
    };
    EXPECT_EQ(code(1), u"-");
    page->childClicked("button_set");
    EXPECT_FALSE(dynamic_cast<Ui::fdCheckedButton*>(page->findChild("button_set"))->checked()) << "no row chosen";
    list->select(1);
    page->childClicked("list");
    page->childClicked("button_set");
    EXPECT_TRUE(dynamic_cast<Ui::fdCheckedButton*>(page->findChild("button_set"))->checked());
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(page->findChild("key_name"))->text(), u"-") << "row 1 has no key";
    EXPECT_TRUE(page->keyDown('q'));
    EXPECT_EQ(code(1), u"113");
    // The row keeps the stored code; the line under the list names the key.
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(page->findChild("key_name"))->text(), u"q");
    // One key per wait: Escape after it neither leaves nor replaces it.
    EXPECT_TRUE(page->keyDown(SDLK_ESCAPE));
    EXPECT_EQ(rig.ui.activePage(), page);
    EXPECT_EQ(code(1), u"113");
    page->childClicked("back"); // ignored while waiting
    EXPECT_EQ(rig.ui.activePage(), page);
    page->childClicked("button_set");
    EXPECT_FALSE(dynamic_cast<Ui::fdCheckedButton*>(page->findChild("button_set"))->checked());
    EXPECT_EQ(code(1), u"113");
    EXPECT_EQ(read(), (std::vector<std::int32_t>{273, 113, 97}));
    EXPECT_EQ(bindings.actions().at('q'), "menuMain");

    list->select(0); // the first row in view binds as well
    page->childClicked("list");
    page->childClicked("button_set");
    EXPECT_TRUE(dynamic_cast<Ui::fdCheckedButton*>(page->findChild("button_set"))->checked());
    page->childClicked("button_cancel");
    EXPECT_EQ(code(0), u"273");
    EXPECT_EQ(dynamic_cast<Ui::fdStatic*>(page->findChild("key_name"))->text(), u"up");
    list->select(2);
    page->childClicked("list");
    page->childClicked("button_cancel");
    EXPECT_EQ(code(2), u"-");
    EXPECT_EQ(read(), (std::vector<std::int32_t>{273, 113, 0}));
    EXPECT_TRUE(rig.ui.keyDown(SDLK_ESCAPE));
    EXPECT_EQ(rig.ui.activePage(), rig.menu);
}

TEST(MenuPagesSkin, DrawnAtBothSizesWithEveryPictureFound) {
    const std::filesystem::path data =
        std::filesystem::path(MIREL_DEMO_ATLAS_DIR).parent_path().parent_path();
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big);
        const int k = big ? 2 : 1;
        UiTest::SdlScreen sdl(32, 800 * k, 480 * k);
        TestSupport::CaptureLogger log(Log::Critical);
        DesignEngine engine;
        engine.big = big;
        engine.dataFolder = FileSystem::toWide(data.string() + "/");
        FileSystem::VirtualFs files(engine.dataFolder);
        Ui::KeyboardLayouts layouts;
        std::string text = TestSupport::readAll(data / "skin/design800x480.xml");
        if (big) text.replace(text.find("big=\"0\""), 7, "big=\"1\"");
        ASSERT_TRUE(Ui::readTheme(text, true, engine.dataFolder + u"skin/kb_layouts.xml", engine.description,
                                  layouts));
        Ui::fdInterface ui(&engine, &files);
        ASSERT_TRUE(Ui::initFonts(engine.description, ui));
        ASSERT_TRUE(Ui::loadCursors(engine.description, ui));
        ASSERT_TRUE(Ui::loadMaterials(engine.description, ui));
        ui.setSystemFont(ui.fontByName(engine.description.systemFont));
        Core::Config config;
        Map::FolderPaths paths(engine.dataFolder.substr(0, engine.dataFolder.size() - 5));
        Map::AtlasFolderList folders(paths, u"");
        AtlasesPage::Services services;
        services.folders = &folders;
        std::vector<Ui::fdPage*> pages = {
            new Ui::fdPage(&ui, "menuMain", nullptr),
            new Ui::fdPage(&ui, "pageSettingsMain", nullptr),
            new Ui::fdPage(&ui, "pageSettingsLists", nullptr),
            new InfoPage(&ui, nullptr),
            new KeyboardPropPage(&ui, config.root(), &layouts, nullptr),
            new AtlasesPage(&ui, services),
            new fdPageSettingsX(&ui, {}),
            new PoisSettingsPage(&ui, config.root(), {}, nullptr),
            new PolylinesSettingsPage(&ui, config.root(), {}, nullptr, nullptr, u""),
            new fdPageButtonSettingsX(&ui, nullptr, engine.dataFolder + u"skin/buttons.xml"),
        };
        for (Ui::fdPage* page : pages) {
            page->setRect(0, 0, 800 * k, 480 * k);
            ASSERT_TRUE(Ui::buildPage(*page, engine.description)) << page->name();
        }
        auto* standIn = new Ui::fdPage(&ui, "pageGPS", nullptr);
        standIn->setRect(0, 0, 800 * k, 480 * k);
        standIn->buildStandIn(*engine.description.templates.at("page_stand_in"), "normal");
        pages.push_back(standIn);
        dynamic_cast<InfoPage*>(pages[3])->setText(u"Mirel", u"A line\nAnother line\n\nThe last line");

        TempSurface scratch(32, sdl.screen->format->Rmask, sdl.screen->format->Gmask,
                            sdl.screen->format->Bmask, 0);
        for (Ui::fdPage* page : pages) {
            ui.activatePage(page);
            ui.draw(sdl.screen, scratch, true);
            if (const char* shots = std::getenv("MIREL_SKIN_SHOTS"))
                SDL_SaveBMP(sdl.screen,
                            (std::string(shots) + "/" + page->name() + (big ? "_big" : "") + ".bmp").c_str());
        }
        EXPECT_EQ(pages[1]->findChild("btnSetupAtlases")->rect(),
                  (Ui::WindowRect{std::int16_t(276 * k), std::int16_t(312 * k), std::uint16_t(248 * k),
                                  std::uint16_t(156 * k)}));
        EXPECT_EQ(standIn->findChild("back")->rect(),
                  (Ui::WindowRect{0, 0, std::uint16_t(64 * k), std::uint16_t(62 * k)}));
        for (const std::string& line : log.lines())
            ADD_FAILURE() << line;
    }
}

} // namespace
