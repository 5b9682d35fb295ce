// Every page of the demo design, built by the engine as the program builds
// it, at the design's 800 x 480 and in a 1280 x 720 window: no widget lies
// outside its parent, no two widgets that the design keeps apart overlap on
// the screen, and the way back, "hide" and OK are in one place on every page
// that has them; no picture is cut and a paging button that cannot page
// looks so. With MIREL_PAGE_SHOTS set, each page is saved there as
// <page>_<width>x<height>.bmp.

#include "app/PageFactory.h"
#include "app/fdEngine.h"
#include "screens/fdPageFindX.h"

#include "core/TempSurface.h"
#include "core/Text.h"
#include "tests/app/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DesignDescription.h"
#include "ui/Keyboard.h"
#include "ui/MessageBoxText.h"
#include "ui/Messages.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdPage.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>

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
// ("btn_disabled" drew as "btn", its translucent picture stretched opaque).
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
        std::size_t differing = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x)
                differing += UiTest::rgbAt(canvas[0], x, y) != UiTest::rgbAt(canvas[1], x, y);
        EXPECT_GT(differing * 2, std::size_t(r.w) * r.h)
            << path(*button) << ": " << differing << " of " << r.w * r.h;
    }
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
    std::size_t scrollButtons = 0;
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
    for (SDL_Surface* s : canvas)
        SDL_FreeSurface(s);
    engine.shutdown();
}
