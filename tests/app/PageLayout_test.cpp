// Every page of the demo design, built by the engine as the program builds
// it, at the design's 800 x 480 and in a 1280 x 720 window: no widget lies
// outside its parent, no two widgets that the design keeps apart overlap on
// the screen, the way back, "hide" and OK are in one place on every page
// that has them, and the content spreads with the larger window; no
// picture is cut, a paging button that cannot page looks so, every disabled
// control looks alike, and check boxes show what lies under them. With
// MIREL_PAGE_SHOTS set, each page is saved there as
// <page>_<width>x<height>.bmp, with the map lit and the friends' rows
// filled beside them.

#include "app/PageFactory.h"
#include "app/fdEngine.h"
#include "screens/fdPageFindX.h"

#include "core/TempSurface.h"
#include "core/Text.h"
#include "tests/app/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DesignDescription.h"
#include "ui/DesignValues.h"
#include "ui/Keyboard.h"
#include "ui/MessageBoxText.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdPage.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using TestSupport::ProgramFolder;

bool empty(const Ui::WindowRect& r) {
    return r.w == 0 || r.h == 0;
}

bool inside(const Ui::WindowRect& r, const Ui::WindowRect& outer) {
    return r.x >= outer.x && r.y >= outer.y && r.x + r.w <= outer.x + outer.w &&
           r.y + r.h <= outer.y + outer.h;
}

bool overlap(const Ui::WindowRect& a, const Ui::WindowRect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

std::string describe(const Ui::fdWindowBase& w) {
    std::ostringstream out;
    out << '"' << w.name() << "\" (" << w.rect().x << ", " << w.rect().y << ", " << w.rect().w << " x "
        << w.rect().h << ")";
    return out.str();
}

// The path of a window below its page, for the failure messages.
std::string path(const Ui::fdWindowBase& w) {
    std::string p = w.name();
    for (const Ui::fdWindowBase* up = w.parent(); up && up->parent(); up = up->parent())
        p = up->name() + "/" + p;
    return p;
}

void checkTree(const Ui::fdWindowBase& window) {
    const auto& children = window.children();
    for (const Ui::fdWindowBase* child : children) {
        if (!empty(child->rect()) && !empty(window.rect())) {
            EXPECT_TRUE(inside(child->rect(), window.rect()))
                << path(*child) << " " << describe(*child) << " lies outside its parent " << describe(window);
        }
        checkTree(*child);
    }
    for (std::size_t i = 0; i < children.size(); ++i)
        for (std::size_t j = i + 1; j < children.size(); ++j) {
            const Ui::fdWindowBase& a = *children[i];
            const Ui::fdWindowBase& b = *children[j];
            if (empty(a.rect()) || empty(b.rect()) || empty(a.designRect()) || empty(b.designRect()))
                continue;
            if (!overlap(a.designRect(), b.designRect())) {
                EXPECT_FALSE(overlap(a.rect(), b.rect()))
                    << path(a) << " " << describe(a) << " overlaps " << path(b) << " " << describe(b)
                    << ", which the design keeps apart";
            }
        }
}

// Where the design's anchors put one edge (coordinate e against the page's
// design origin o and extent n) on a page at origin po with extent pn: the
// anchor kinds 0 near, 1 centre, 2 far, 3 proportional.
int anchoredEdge(int kind, int e, int o, int n, int po, int pn) {
    switch (kind) {
    case 1:
        return po + int(pn * 0.5 + 0.5) + e - n / 2 - o;
    case 2:
        return po + pn + e - o - n;
    case 3:
        return po + int(pn * double(e - o) / n + 0.5);
    default:
        return po + e - o;
    }
}

// The windows the pages make from design templates at run time, by window
// name, with the template each comes from.
const std::map<std::string, std::string> TemplateWindows = {
    {"ok_dialog", "mb_ok"},
    {"rotate_camera", "buttons_rotate_camera"},
    {"edit_point", "buttons_edit_point"},
    {"path_start", "buttons_path_start"},
    {"path_continue", "buttons_path_continue"},
    {"list_updown", "list_updown"},
};

// Each such window of the page sits where its template's anchors put it.
void checkTemplates(const Ui::fdPage& page, const Ui::DesignDescription& design, int width, int height) {
    for (const Ui::fdWindowBase* child : page.children()) {
        const auto found = TemplateWindows.find(child->name());
        if (found == TemplateWindows.end()) continue;
        const Ui::TemplateDescription& t = *design.templates.at(found->second);
        const int x = anchoredEdge(t.ltHorz, t.x, 0, 800, 0, width);
        const int y = anchoredEdge(t.ltVert, t.y, 0, 480, 0, height);
        const int right = anchoredEdge(t.rbHorz, t.x + t.w, 0, 800, 0, width);
        const int bottom = anchoredEdge(t.rbVert, t.y + t.h, 0, 480, 0, height);
        EXPECT_EQ(child->rect(), (Ui::WindowRect{std::int16_t(x), std::int16_t(y), std::uint16_t(right - x),
                                                 std::uint16_t(bottom - y)}))
            << page.name() << "/" << child->name() << " is not where the anchors of " << t.name << " put it";
    }
}

// The one place of the way back (the top-left icon), of "hide" (the icon
// beside it) and of OK (the top-right button) on every page, at any window
// size.
const Ui::WindowRect BackPlace{0, 0, 64, 62};
const Ui::WindowRect HidePlace{64, 0, 64, 62};
Ui::WindowRect okPlace(int width) {
    return {std::int16_t(width - 128), 0, 128, 62};
}

// Pages that cannot be left: the first page and the map, the root of the
// others.
const std::set<std::string> NoWayBack = {"splash", "pageMap"};

// Pages whose "ok" or "button_ok" is not their OK: a named action of its
// own, or on the about page the way back, which keeps the name its page
// answers to.
const std::map<std::string, std::string> NotOk = {
    {"menuFilter", "ok"},
    {"pageFilterHistory", "button_ok"},
    {"pagePathList", "button_ok"},
    {"select_friends", "button_ok"},
    {"info", "ok"},
};

// Pages that hide the program to the tray: a page missing from the design
// is skipped, one in it must offer "hide".
const std::set<std::string> WithHide = {
    "menuMain", "menuFind", "pageLists", "pageTrackList", "pageTrackEdit", "pageTrackingSettings",
    "select_poi_type", "select_poi_types", "pageImages", "pageWaypointsList", "pageFavorites",
    "pageFvDlg", "select_waypoint", "received_waypoints_list", "monitoring_prop",
    "monitoring_friend_edit", "select_friends", "services_prop", "pageSettingsMain",
    "pageSettingsLists", "info", "keyboard_prop", "atlases", "pageRenderSettings", "pois_settings",
    "polylines_settings", "pageButtonSettings", "pageFind", "pageResults", "pageFilterHistory", "menuFilter",
    "pageStreetList", "pageSearchCoords", "pageSearchCoordsAlt", "pagePOIInfo", "pageWPEdit", "pagePathList",
    "pageSetupRouting", "pageSettingsOther", "sensors", "pageGPS", "pageSetupGPS"};

// Pages whose bar holds the icon that leads to the main menu ("menu").
const std::set<std::string> WithMenuIcon = {"pageSettingsMain", "pageSettingsLists", "keyboard_prop",
                                            "pageRenderSettings", "pageSetupRouting", "pageSettingsOther",
                                            "pageGPS", "pageSetupGPS"};

// The three looks (normal, pressed, disabled) of the two buttons match.
bool sameLooks(Ui::fdButtonX& a, Ui::fdButtonX& b) {
    for (int i = 0; i < 3; ++i) {
        const Ui::fdButtonX::Look& x = a.look(i);
        const Ui::fdButtonX::Look& y = b.look(i);
        if (x.material.image != y.material.image || x.font != y.font || !(x.colours == y.colours))
            return false;
    }
    return true;
}

// The button sits at its place, looks as the first such button met, and no
// other widget of the page but a background lies over part of it.
void checkPlace(Ui::fdPage& page, Ui::fdWindowBase& w, const Ui::WindowRect& place, Ui::fdButtonX*& first) {
    EXPECT_EQ(w.rect(), place) << page.name() << "/" << w.name() << " " << describe(w)
                               << " is not at its place";
    auto* button = dynamic_cast<Ui::fdButtonX*>(&w);
    ASSERT_NE(button, nullptr) << page.name() << "/" << w.name() << " is not a button";
    if (!first)
        first = button;
    else
        EXPECT_TRUE(sameLooks(*button, *first)) << page.name() << "/" << w.name() << " does not look as "
                                                << first->parent()->name() << "/" << first->name();
    for (const Ui::fdWindowBase* other : page.children()) {
        if (other == &w || empty(other->rect()) || !overlap(other->rect(), w.rect())) continue;
        EXPECT_TRUE(inside(w.rect(), other->rect())) << page.name() << "/" << other->name() << " "
                                                     << describe(*other) << " covers part of " << w.name();
    }
}

struct OneLook {
    Ui::fdButtonX* back = nullptr;
    Ui::fdButtonX* hide = nullptr;
    Ui::fdButtonX* ok = nullptr;
    Ui::fdButtonX* menu = nullptr;
};

void checkBarButtons(Ui::fdPage& page, int width, OneLook& looks) {
    const auto notOk = NotOk.find(page.name());
    const std::string backName = notOk != NotOk.end() && page.name() == "info" ? "ok" : "back";
    Ui::fdWindowBase* back = nullptr;
    for (Ui::fdWindowBase* child : page.children())
        if (child->name() == backName) back = child;
    if (NoWayBack.count(page.name()) == 0) {
        EXPECT_NE(back, nullptr) << page.name() << " has no \"" << backName << "\"";
        if (back) checkPlace(page, *back, BackPlace, looks.back);
    }
    Ui::fdWindowBase* hide = nullptr;
    for (Ui::fdWindowBase* child : page.children())
        if (child->name() == "hide") hide = child;
    if (WithHide.count(page.name()) != 0) {
        EXPECT_NE(hide, nullptr) << page.name() << " has no \"hide\"";
    }
    if (hide) checkPlace(page, *hide, HidePlace, looks.hide);
    if (WithMenuIcon.count(page.name()) != 0) {
        Ui::fdWindowBase* menu = page.findChild("menu");
        ASSERT_NE(menu, nullptr) << page.name() << " has no \"menu\" icon";
        checkPlace(page, *menu, {menu->rect().x, 0, 64, 62}, looks.menu);
    }
    for (Ui::fdWindowBase* child : page.children()) {
        if (child->name() != "ok" && child->name() != "button_ok") continue;
        if (notOk != NotOk.end() && notOk->second == child->name()) continue;
        const auto* text = dynamic_cast<const Ui::fdStatic*>(child);
        EXPECT_TRUE(text && text->text() == u"OK")
            << page.name() << "/" << child->name() << " is not captioned OK";
        checkPlace(page, *child, okPlace(width), looks.ok);
    }
}

// The map's two route pop-ups put "To" and "Via" at one place: a driver who
// tapped "To" as on the first grew the stored route by a leg.
void checkRoutePopUps(const Ui::fdPage& map) {
    const Ui::fdWindowBase* start = map.findChild("path_start");
    const Ui::fdWindowBase* more = map.findChild("path_continue");
    ASSERT_TRUE(start && more);
    for (const char* name : {"tiny_to", "set_inter"}) {
        const Ui::fdWindowBase *a = start->findChild(name), *b = more->findChild(name);
        ASSERT_TRUE(a && b) << name;
        EXPECT_EQ(a->rect(), b->rect()) << name;
    }
}

// A picture drawn whole (no borders, not tiled) is cut by a smaller widget:
// the list rows' check boxes were 40 x 40 for pictures of 48 x 48.
void collectCutPictures(Ui::fdWindowBase& window, const std::string& where, std::set<std::string>& cut) {
    std::vector<const Ui::Material*> materials;
    if (auto* button = dynamic_cast<Ui::fdButtonX*>(&window))
        for (int i = 0; i < 3; ++i)
            materials.push_back(&button->look(i).material);
    else if (auto* s = dynamic_cast<Ui::fdStatic*>(&window))
        materials.push_back(&s->material());
    for (const Ui::Material* m : materials) {
        Render::Image* image = m->image;
        if (image && !m->left && !m->top && !m->right && !m->bottom && !m->tileHorizontally &&
            !m->tileVertically && image->isValid() &&
            (window.rect().w < image->width() || window.rect().h < image->height()))
            cut.insert(where + " " + describe(window) + " cuts its picture of " +
                       std::to_string(image->width()) + " x " + std::to_string(image->height()));
    }
    for (Ui::fdWindowBase* child : window.children())
        collectCutPictures(*child, where + "/" + child->name(), cut);
}

// Every "up" and "down" draws mostly other pixels disabled than enabled
// ("btn_disabled" drew as "btn", its translucent picture stretched opaque),
// and no white icon disabled.
void checkScrollButtons(Ui::fdWindowBase& window, SDL_Surface* (&canvas)[2], TempSurface& scratch,
                        std::size_t& count) {
    for (Ui::fdWindowBase* child : window.children()) {
        checkScrollButtons(*child, canvas, scratch, count);
        auto* button = dynamic_cast<Ui::fdButtonX*>(child);
        if (!button || (child->name() != "up" && child->name() != "down")) continue;
        ++count;
        const bool visible = button->visible(), enabled = button->enabled();
        button->setVisible(true);
        for (int look = 0; look < 2; ++look) {
            SDL_FillRect(canvas[look], nullptr,
                         SDL_MapRGB(canvas[look]->format, 0x1B, 0x23, 0x28)); // the pages'
            button->setEnabled(look == 0);
            button->draw(canvas[look], scratch, true);
        }
        button->setEnabled(enabled);
        button->setVisible(visible);
        const Ui::WindowRect& r = button->rect();
        std::size_t differing = 0, white = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x) {
                differing += UiTest::rgbAt(canvas[0], x, y) != UiTest::rgbAt(canvas[1], x, y);
                white += UiTest::rgbAt(canvas[1], x, y) == 0xFFFFFF;
            }
        EXPECT_GT(differing * 2, std::size_t(r.w) * r.h)
            << path(*button) << ": " << differing << " of " << r.w * r.h;
        // Its icon too, in the disabled text colour.
        EXPECT_EQ(white, 0u) << path(*button) << " draws a white icon disabled";
    }
}

// The disabled looks of the buttons met: by text colours, and by normal
// picture the disabled pictures, each with where it was met first.
struct DisabledLooks {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> colours;
    std::map<const Render::Image*, std::map<const Render::Image*, std::string>> pictures;
};

// One look for a disabled control: every disabled look of every button
// gives the design's one disabled text colour, for captions and icons alike
// ("up" and "down" drew their icons white on some pages), and one disabled
// picture for each normal one (steppers drawn with "btn" went "key_disabled").
void collectDisabledLooks(Ui::fdWindowBase& window, const std::string& where, DisabledLooks& found) {
    if (auto* button = dynamic_cast<Ui::fdButtonX*>(&window); button && button->look(2).material.image) {
        const Ui::ColourPair& c = button->look(2).colours;
        found.colours.emplace(std::pair{c.day, c.night}, where);
        found.pictures[button->look(0).material.image].emplace(button->look(2).material.image, where);
    }
    for (Ui::fdWindowBase* child : window.children())
        collectDisabledLooks(*child, where + "/" + child->name(), found);
}

// A checked button swaps only its materials when it toggles, so the text
// colour of its normal look is also that of its lit one: both looks must
// give one colour (the map's GPS and NAV were grey on blue when lit).
void checkToggledTexts(Ui::fdWindowBase& window, const std::string& where) {
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(&window)) {
        EXPECT_TRUE(check->look(0).colours == check->look(1).colours && check->look(0).font == check->look(1).font)
            << where << " shows another text colour or font when it is lit";
    }
    for (Ui::fdWindowBase* child : window.children())
        checkToggledTexts(*child, where + "/" + child->name());
}

// A check box (a checked button named for it, with neither icon nor
// caption) shows the check pictures, unchecked and checked (the friends'
// rows showed the button's), and whatever lies under its corners: drawn on
// a colour, its corners keep it (the pictures' opaque square showed on
// panels and highlighted rows, and a stretched picture keeps no
// transparency).
void checkCheckBoxes(Ui::fdWindowBase& window, const std::string& where, Ui::fdInterface& ui, SDL_Surface* canvas,
                     TempSurface& scratch, std::size_t& count) {
    for (Ui::fdWindowBase* child : window.children())
        checkCheckBoxes(*child, where + "/" + child->name(), ui, canvas, scratch, count);
    auto* check = dynamic_cast<Ui::fdCheckedButton*>(&window);
    if (!check || check->name().find("check") == std::string::npos ||
        (check->textRenderer() && check->textRenderer()->kind() == 3) ||
        check->text().find_first_not_of(u' ') != std::u16string::npos)
        return;
    ++count;
    const bool checked = check->checked();
    const Render::Image* pictures[2] = {ui.findMaterial("check_off")->image, ui.findMaterial("check_on")->image};
    const bool visible = check->visible();
    check->setVisible(true);
    // A group's expander shows its own two pictures (closed, open).
    const bool expander = check->name() == "check_expand";
    for (const bool on : {false, true}) {
        check->setChecked(on);
        if (!expander) {
            EXPECT_EQ(check->material().image, pictures[on]) << where << (on ? " checked" : " unchecked");
        }
        const Ui::WindowRect& r = check->rect();
        const Uint32 under = SDL_MapRGB(canvas->format, 0x02, 0x77, 0xBD); // a highlighted row's
        SDL_FillRect(canvas, nullptr, under);
        check->draw(canvas, scratch, true);
        for (const auto& [x, y] : {std::pair<int, int>{r.x, r.y}, std::pair<int, int>{r.x + r.w - 1, r.y + r.h - 1}})
            EXPECT_EQ(UiTest::rgbAt(canvas, x, y), 0x0277BDu)
                << where << " " << describe(*check) << (on ? " checked" : " unchecked") << " covers (" << x << ", "
                << y << ")";
    }
    check->setChecked(checked);
    check->setVisible(visible);
}

// The two paging buttons of a list have one size.
void checkPagingPairs(const Ui::fdWindowBase& window, const std::string& where) {
    const Ui::fdWindowBase* up = nullptr;
    const Ui::fdWindowBase* down = nullptr;
    for (const Ui::fdWindowBase* child : window.children()) {
        if (child->name() == "up") up = child;
        if (child->name() == "down") down = child;
        checkPagingPairs(*child, where + "/" + child->name());
    }
    if (up && down) {
        EXPECT_TRUE(up->rect().w == down->rect().w && up->rect().h == down->rect().h)
            << where << ": " << describe(*up) << " and " << describe(*down);
    }
}

// In a larger window a page's content spreads with it: every widget below
// the bar keeps its place across the page (its centre within a fifth of the
// width of where the design's proportions put it), and the buttons along
// the design's bottom edge stay along the window's (Map view, GPS setup,
// Routing and Other settings kept their rows in the top-left quarter, Search
// area and History their buttons on the left half).
void checkSpread(const Ui::fdPage& page, int width, int height) {
    for (const Ui::fdWindowBase* child : page.children()) {
        const Ui::WindowRect& d = child->designRect();
        const Ui::WindowRect& r = child->rect();
        if (empty(d) || d.y < 64 || TemplateWindows.count(child->name())) continue;
        const double expected = (d.x + d.w / 2.0) * width / 800.0;
        EXPECT_LE(std::abs(r.x + r.w / 2.0 - expected), width / 5.0)
            << path(*child) << " " << describe(*child) << " stays where the design put it, at " << expected;
        if (d.y + d.h >= 480 - 16 && dynamic_cast<const Ui::fdButtonX*>(child)) {
            EXPECT_GE(r.y + r.h, height - 24) << path(*child) << " " << describe(*child) << " leaves the bottom edge";
        }
    }
}

// In a larger window a page's rows and columns hold together: controls
// whose design left edges are one column keep within a few pixels of one
// left edge, and a widget that goes down with the window's bottom edge lies
// along that edge (or in one row with a widget that does), rather than
// leaving the rows it belongs to (GPS setup's check box sat 40 px right of
// its column, the account page's "Refresh every" 330 px below its rows).
void checkRowsAndColumns(const Ui::fdPage& page, int height) {
    std::vector<const Ui::fdWindowBase*> body;
    for (const Ui::fdWindowBase* child : page.children())
        if (!empty(child->designRect()) && child->designRect().y >= 64 && !TemplateWindows.count(child->name()))
            body.push_back(child);
    const auto alongBottom = [](const Ui::WindowRect& d) { return d.y + d.h >= 480 - 24; };
    for (const Ui::fdWindowBase* a : body)
        for (const Ui::fdWindowBase* b : body) {
            const Ui::WindowRect &da = a->designRect(), &db = b->designRect();
            if (a < b && da.x == db.x && da.x > 0) {
                EXPECT_LE(std::abs(a->rect().x - b->rect().x), 12)
                    << path(*a) << " " << describe(*a) << " and " << path(*b) << " " << describe(*b)
                    << " leave their column";
            }
        }
    // The map's buttons float over the map, which has no rows.
    if (page.name() == "pageMap") return;
    for (const Ui::fdWindowBase* w : body) {
        const Ui::WindowRect& d = w->designRect();
        if (w->rect().y - d.y != height - 480 || alongBottom(d)) continue;
        // In one row with a widget along the bottom, or beside one that
        // grows with the window over its height (a list's lower paging
        // button).
        const bool placed = std::any_of(body.begin(), body.end(), [&](const Ui::fdWindowBase* o) {
            const Ui::WindowRect& od = o->designRect();
            return (od.y == d.y && alongBottom(od)) ||
                   (o != w && od.y <= d.y && od.y + od.h >= d.y + d.h && o->rect().h > od.h);
        });
        EXPECT_TRUE(placed) << path(*w) << " " << describe(*w) << " goes down with the bottom edge, away from its rows";
    }
}

// The map with its indicators lit (GPS with a fix, guidance, recording),
// as <shot>_lit.
template <class Save> void saveLit(Ui::fdPage& map, const Save& save) {
    const char* names[] = {"gps_indicator", "navi_indicator", "track_indicator"};
    for (const char* name : names)
        if (auto* indicator = dynamic_cast<Ui::fdCheckedButton*>(map.findChild(name))) indicator->setChecked(true);
    save("pageMap_lit");
    for (const char* name : names)
        if (auto* indicator = dynamic_cast<Ui::fdCheckedButton*>(map.findChild(name))) indicator->setChecked(false);
}

// The friends to send to as their rows show them, the first chosen and
// highlighted, Send lit (the demo names no online service, so the list is
// empty).
template <class Save> void saveFriendRows(Ui::fdPage& page, const Save& save) {
    auto* list = dynamic_cast<Ui::fdList*>(page.findChild("list"));
    ASSERT_TRUE(list && list->rowCount() >= 2);
    const char16_t* friends[] = {u"Ann", u"Boris"};
    for (std::size_t row = 0; row < 2; ++row) {
        Ui::TemplateWindow& window = *list->rowWidget(row);
        auto* check = dynamic_cast<Ui::fdCheckedButton*>(window.findChild("check_show"));
        auto* text = dynamic_cast<Ui::fdStatic*>(window.findChild("text"));
        ASSERT_TRUE(check && text);
        check->setChecked(row == 0);
        check->setVisible(true);
        text->setText(friends[row]);
        text->setVisible(true);
    }
    list->usedRows = 2;
    list->select(0);
    // A friend chosen: Send is lit, as the page lights it.
    Ui::fdWindowBase* send = page.findChild("button_ok");
    ASSERT_TRUE(send);
    send->setEnabled(true);
    save("select_friends_rows");
    send->setEnabled(false);
    list->select(-1);
    list->usedRows = 0;
}

} // namespace

TEST(PageLayout, EveryPageAtTheDesignSizeAndLarger) {
    ProgramFolder folder(ProgramFolder::Atlases::All);
    // The pictures kept in docs/screenshots show the day colours.
    folder.keepDayColours();
    engine::fdEngine engine{folder.wide()};
    engine.setScreenSize(1440, 900);
    ASSERT_EQ(engine.init(), 0);
    Ui::fdInterface* ui = engine.ui();
    const char* shots = std::getenv("MIREL_PAGE_SHOTS");
    const SDL_PixelFormat& format = *engine.screen()->format;
    SDL_Surface* canvas[2];
    for (SDL_Surface*& s : canvas)
        s = SDL_CreateRGBSurface(SDL_SWSURFACE, 1280, 720, 32, format.Rmask, format.Gmask, format.Bmask, 0);
    TempSurface scratch(32, format.Rmask, format.Gmask, format.Bmask, format.Amask);
    std::set<std::string> cut;
    std::size_t scrollButtons = 0, checkBoxes = 0;
    DisabledLooks disabledLooks;
    for (const auto& [width, height] : {std::pair{800, 480}, std::pair{1280, 720}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        engine.onResize(width, height);
        ASSERT_EQ(ui->rect(), (Ui::WindowRect{0, 0, std::uint16_t(width), std::uint16_t(height)}));
        const auto save = [&, width = width, height = height](const std::string& shot) {
            engine.drawNow();
            const std::string file = std::string(shots) + "/" + shot + "_" + std::to_string(width) + "x" +
                                     std::to_string(height) + ".bmp";
            SDL_SaveBMP(engine.screen(), file.c_str());
        };
        std::size_t pages = 0;
        OneLook looks;
        for (std::size_t i = 0; i < engine::PageFactory::kRowCount; ++i) {
            const char* name = engine::PageFactory::kRows[i].designName;
            Ui::fdPage* page = name ? ui->findPage(name) : nullptr;
            if (!page) continue;
            SCOPED_TRACE(name);
            ++pages;
            EXPECT_EQ(page->rect(), ui->rect());
            checkTree(*page);
            checkTemplates(*page, *engine.design(), width, height);
            checkBarButtons(*page, width, looks);
            collectCutPictures(*page, name, cut);
            checkScrollButtons(*page, canvas, scratch, scrollButtons);
            collectDisabledLooks(*page, name, disabledLooks);
            checkToggledTexts(*page, name);
            checkCheckBoxes(*page, name, *ui, canvas[0], scratch, checkBoxes);
            checkPagingPairs(*page, name);
            if (width != 800) checkSpread(*page, width, height);
            if (width != 800) checkRowsAndColumns(*page, height);
            if (page->name() == "pageMap") checkRoutePopUps(*page);
            if (const Ui::fdWindowBase* title =
                    page->name() == "menuFind" ? page->findChild("title") : nullptr) {
                EXPECT_EQ(2 * title->rect().x + title->rect().w, width) << "without Online, mid-bar";
            }
            if (shots) {
                ui->clearHistory();
                ui->activatePage(page);
                // The map's scale ruler writes its label at the page's tick.
                if (std::string(name) == "pageMap") page->tick(SDL_GetTicks());
                save(name);
                if (std::string(name) == "pageMap") saveLit(*page, save);
                if (std::string(name) == "select_friends") saveFriendRows(*page, save);
                // The search keyboard's Russian letters in upper case too.
                auto* find = dynamic_cast<Screens::fdPageFindX*>(page);
                if (Ui::Keyboard* keyboard = find ? find->keyboard() : nullptr) {
                    for (std::size_t n = 0;
                         n < keyboard->languageCount() && keyboard->languageName() != "Russian"; ++n)
                        keyboard->nextLanguage();
                    keyboard->setCase(1);
                    save(std::string(name) + "_russian");
                    find->openKeyboard();
                }
            }
        }
        EXPECT_GT(pages, 40u);
        Ui::fdPage* host = ui->findPage("menuMain");
        for (const auto& [name, description] : engine.design()->templates) {
            auto window = std::make_unique<Ui::TemplateWindow>(*description, host, name, ui, nullptr);
            window->relayout();
            collectCutPictures(*window, "template " + name, cut);
            collectDisabledLooks(*window, "template " + name, disabledLooks);
            checkToggledTexts(*window, "template " + name);
            checkCheckBoxes(*window, "template " + name, *ui, canvas[0], scratch, checkBoxes);
            checkPagingPairs(*window, "template " + name);
            host->removeChild(window.get());
        }
        if (shots) {
            // The map's message box, open over the dimmed map.
            Ui::fdPage* map = ui->findPage("pageMap");
            Ui::fdWindowBase* box = map ? map->findChild("ok_dialog") : nullptr;
            ASSERT_NE(box, nullptr);
            Ui::setMessageText(*box, engine.messages()->text("coords_out_of_range"));
            box->setVisible(true);
            ui->activatePage(map);
            save("message_box");
            box->setVisible(false);
        }
    }
    EXPECT_EQ(cut, std::set<std::string>{});
    EXPECT_GT(scrollButtons, 20u);
    EXPECT_GT(checkBoxes, 20u);
    // One look for a disabled control (docs/ui-framework.md).
    const Ui::ColourPair disabled = *Ui::parseTextColor("#90A4AE/#78909C");
    for (const auto& [colours, where] : disabledLooks.colours)
        EXPECT_EQ(colours, std::pair(disabled.day, disabled.night)) << where << " has another disabled colour";
    for (const auto& [normal, looks] : disabledLooks.pictures)
        EXPECT_EQ(looks.size(), 1u) << looks.begin()->second << " and " << looks.rbegin()->second
                                    << " look otherwise disabled";
    for (SDL_Surface* s : canvas)
        SDL_FreeSurface(s);
    engine.shutdown();
}
