#include "ui/BgRenderers.h"
#include "ui/ClickBehaviors.h"
#include "ui/ListModels.h"
#include "ui/DesignValues.h"
#include "ui/TextRenderers.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include "core/TempSurface.h"
#include "core/FileSystem.h"
#include "core/Text.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace Ui;

namespace {

SDL_Surface* solid(int bpp, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface* s = bpp == 16 ? SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 16, 0xF800, 0x07E0, 0x001F, 0)
                               : SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, r, g, b));
    return s;
}

struct Channels {
    int r, g, b;
};

Channels channels(SDL_Surface* s, int x, int y) {
    const Uint32 v = UiTest::rgbAt(s, x, y);
    return {int(v >> 16), int((v >> 8) & 0xFF), int(v & 0xFF)};
}

// An interface whose data folder holds the test font, with that font as
// "f" at 20 pixels.
struct FontUi {
    FontUi() {
        engine.dataFolder = FileSystem::toWide(std::string(MIREL_FONT_DIR) + "/");
        made = ui.createFont(u"DejaVuSans.ttf", "f", 20, 0);
    }
    UiTest::SdlScreen sdl;
    UiTest::FakeEngine engine;
    fdInterface ui{&engine, nullptr};
    bool made = false;
};

// An edit line on a page of the interface: a one-line label of the font
// "f" at (10, 10), 200 x 50, in white, its caret shown; the interface's
// clock reads `now`.
fdLabel* editLine(FontUi& fonts, std::uint32_t& now) {
    fdInterface& ui = fonts.ui;
    ui.setClock([&now] { return now; });
    auto* page = new fdPage(&ui, "page", nullptr);
    auto* label = new fdLabel(page, "edit", true, &ui);
    label->placeInParent(10, 10, 200, 50);
    label->setFont(ui.fontByName("f"));
    label->setTextColor({0xFFFFFFFFu, 0xFFFFFFFFu});
    label->setLinesMode(1);
    label->showCaret(true);
    return label;
}

} // namespace

TEST(fdStatic, BackgroundOrderAndTranslucentColoursAt16And32Bits) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "page", nullptr);
    auto* s = new fdStatic(page, "s", true, &ui);
    s->placeInParent(0, 0, 8, 8);
    TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
    // Red 255, blue 64: a swap of red and blue shows at once.
    struct Row {
        int bpp;
        Uint32 alpha;
        Channels expected;
    };
    const Row rows[] = {{32, 0, {0, 0, 0}},     {32, 128, {128, 0, 32}}, {32, 255, {255, 0, 64}},
                        {16, 0, {0, 0, 0}},     {16, 128, {128, 0, 32}}, {16, 255, {255, 0, 64}}};
    for (const Row& row : rows) {
        SDL_Surface* target = solid(row.bpp, 0, 0, 0);
        s->setColor((row.alpha << 24) | 0x4000FFu);
        s->draw(target, scratch, true);
        const Channels c = channels(target, 3, 3);
        EXPECT_NEAR(c.r, row.expected.r, 9) << row.bpp << " bpp, alpha " << row.alpha;
        EXPECT_NEAR(c.b, row.expected.b, 9) << row.bpp << " bpp, alpha " << row.alpha;
        EXPECT_EQ(c.g, 0);
        SDL_FreeSurface(target);
    }

    SDL_Surface* blue = solid(32, 0, 0, 255);
    Render::ImageFromSurface blueImage(blue);
    SDL_Surface* target = solid(32, 0, 0, 0);
    s->setImage(&blueImage);
    s->draw(target, scratch, true);
    EXPECT_EQ(UiTest::rgbAt(target, 3, 3), 0x0000FFu) << "an image wins over the colour";
    s->setBgRenderer(std::make_unique<ColorLineBgRenderer>(10));
    s->bgRenderer()->setColor(0x00FF00);
    s->draw(target, scratch, true);
    EXPECT_EQ(UiTest::rgbAt(target, 3, 3), 0x00FF00u) << "a renderer wins over the image";
    SDL_FreeSurface(target);
    SDL_FreeSurface(blue);
}

// A small picture grows by whole factors, each pixel an equal square, and
// stands centred; a larger one shrinks to fit, its proportions kept.
TEST(WholeScaleImageBgRenderer, WholeFactorsCentredAndLargerPicturesShrunk) {
    struct Case {
        int w, h;
        SDL_Rect rect, placed;
    };
    for (const Case& c : {Case{20, 20, {16, 80, 96, 96}, {24, 88, 80, 80}},  // 4, not 4.8
                          Case{20, 10, {0, 0, 96, 96}, {8, 28, 80, 40}},
                          Case{49, 20, {0, 0, 96, 96}, {23, 38, 49, 20}},    // 1: no 1.95
                          Case{96, 96, {0, 0, 96, 96}, {0, 0, 96, 96}},
                          Case{200, 100, {0, 0, 96, 96}, {0, 24, 96, 48}},
                          Case{0, 5, {3, 4, 96, 96}, {3, 4, 0, 0}}}) {
        const SDL_Rect r = WholeScaleImageBgRenderer::placement(c.w, c.h, c.rect);
        EXPECT_EQ(std::tuple(r.x, r.y, r.w, r.h), std::tuple(c.placed.x, c.placed.y, c.placed.w, c.placed.h))
            << c.w << " x " << c.h;
    }
    // Drawn: a 2 x 2 picture in 11 x 11 is four squares of 5.
    SDL_Surface* picture = SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    const Uint32 colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int i = 0; i < 4; ++i) {
        SDL_Rect px{Sint16(i % 2), Sint16(i / 2), 1, 1};
        SDL_FillRect(picture, &px, colours[i]);
    }
    Render::ImageFromSurface image(picture);
    WholeScaleImageBgRenderer renderer;
    renderer.setImage(&image);
    SDL_Surface* large = SDL_CreateRGBSurface(SDL_SWSURFACE, 11, 11, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_FillRect(large, nullptr, 0);
    TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
    renderer.draw(large, {0, 0, 11, 11}, scratch);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x) {
            const Uint32 expected = x == 10 || y == 10 ? 0u : colours[(x / 5) + 2 * (y / 5)];
            EXPECT_EQ(UiTest::rgbAt(large, x, y), expected) << x << ", " << y;
        }
    SDL_FreeSurface(large);
    SDL_FreeSurface(picture);
}

TEST(fdMultiStatic, FramesAdvanceByElapsedTimeAndIgnoreIndexesPastTheList) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "page", nullptr);
    auto* m = new fdMultiStatic(page, "m", true, &ui);
    Render::ImageFromSurface a(nullptr), b(nullptr), c(nullptr);
    m->images() = {&a, &b, &c};
    m->setCurrent(24);
    EXPECT_EQ(m->current(), -1);
    m->setAnimationPeriod(100);
    m->tick(1000);
    m->tick(1350); // three frames later, wrapping
    EXPECT_EQ(m->current(), 0);
    EXPECT_EQ(m->material().image, &a);
    m->tick(1460); // 1300 + 100 < 1460: one more
    EXPECT_EQ(m->current(), 1);
}

TEST(fdLabel, TapLimitsCaretBlinkAndLines) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    std::uint32_t now = 0;
    ui.setClock([&] { return now; });
    std::vector<std::string> j;
    auto* page = new UiTest::JournalPage(&ui, j);
    auto* label = new fdClickableSmartLabel(page, "lbl", true, &ui);
    label->placeInParent(0, 0, 200, 50);
    struct Tap {
        std::uint32_t heldMs;
        int step;
        bool clicks;
    };
    for (const Tap& t : {Tap{100, 0, true}, Tap{1500, 0, true}, Tap{1600, 0, false}, Tap{100, 20, true},
                         Tap{100, 21, false}}) {
        j.clear();
        now = 10000;
        page->mouseButtonDown(1, 50, 20);
        page->mouseMove(50 + t.step, 20);
        now += t.heldMs;
        page->mouseButtonUp(1, 50 + t.step, 20);
        EXPECT_EQ(!j.empty(), t.clicks) << t.heldMs << " ms, step " << t.step;
        EXPECT_EQ(label->offset(), 0) << "text that fits does not move";
    }

    EXPECT_EQ(label->timerPeriod(), TimerPeriod::none());
    label->showCaret(true);
    EXPECT_EQ(label->timerPeriod(), TimerPeriod::every(500));
    label->tick(700);
    EXPECT_TRUE(label->caretPhase());
    label->tick(1000);
    EXPECT_FALSE(label->caretPhase());
    label->setVisible(false);
    EXPECT_EQ(label->timerPeriod(), TimerPeriod::none());

    label->setLinesMode(1);
    label->setText(u"a\nb");
    EXPECT_TRUE(label->lines().empty()) << "one-line mode keeps the text whole";
    label->setLinesMode(3);
    label->setText(u"1\n2\n\n4\n5");
    EXPECT_EQ(label->lines().size(), 5u);
}

// The editing caret is a bar two pixels wide, as high as a line of the
// label's font, in the text colour; an empty line shows only the bar.
TEST(fdLabel, TheCaretIsABarTwoPixelsWide) {
    FontUi fonts;
    ASSERT_TRUE(fonts.made);
    std::uint32_t now = 0;
    fdLabel* label = editLine(fonts, now);
    for (now = 0; !label->caretPhase() && now < 2000; now += 100)
        label->tick(now);
    ASSERT_TRUE(label->caretPhase());
    SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 300, 100, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
    label->draw(target, scratch, true);
    std::vector<int> columns, rows;
    for (int x = 0; x < target->w; ++x)
        for (int y = 0; y < target->h; ++y)
            if (UiTest::rgbAt(target, x, y) == 0xFFFFFFu) {
                if (columns.empty() || columns.back() != x) columns.push_back(x);
                if (std::find(rows.begin(), rows.end(), y) == rows.end()) rows.push_back(y);
            }
    SDL_FreeSurface(target);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[1], columns[0] + 1);
    EXPECT_GE(columns[0], 10);
    EXPECT_GE(rows.size(), 20u) << "a line of a 20-pixel font";
    EXPECT_LE(rows.size(), 30u);
}

// An edit line longer than its label shows the caret's end: the caret at
// the end of the text stands at the right edge with an ellipsis and the
// text's tail before it; a caret within the label's width shows the text's
// beginning, also in a label that centres its text.
TEST(fdLabel, AnEditLineLongerThanTheLabelShowsTheCaretsEnd) {
    FontUi fonts;
    ASSERT_TRUE(fonts.made);
    std::uint32_t now = 0;
    fdLabel* label = editLine(fonts, now);
    label->setHorzAlign(1);
    const std::u16string text = u"Rue Grimaldi Rue Grimaldi Rue Grimaldi ab";
    label->setText(text);
    // The white pixels of the label drawn with the caret on and off.
    const auto draw = [&](bool phase) {
        for (now = 0; label->caretPhase() != phase && now < 2000; now += 100)
            label->tick(now);
        SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 300, 60, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
        label->draw(target, scratch, true);
        std::vector<std::vector<bool>> white(300, std::vector<bool>(60));
        for (int x = 0; x < target->w; ++x)
            for (int y = 0; y < target->h; ++y)
                white[x][y] = UiTest::rgbAt(target, x, y) == 0xFFFFFFu;
        SDL_FreeSurface(target);
        return white;
    };
    // (caret, the bar's first column at least, at most): at the end the
    // caret stands within a character's width of the right edge, after an
    // ellipsis and the text's tail; at 4 after "Rue " from the left edge.
    const int head = 10 + measureText(*label, u"Rue ").width;
    for (const auto& [caret, least, most] :
         {std::tuple{int(text.size()), 188, 208}, std::tuple{4, head, head}}) {
        label->setCaret(0, caret);
        const auto on = draw(true), off = draw(false);
        // The bar: the columns the caret lights over most of a line's
        // height (a letter beside it may ink a few of its pixels).
        std::vector<int> bar;
        int before = 0, start = 0, outside = 0;
        for (int x = 0; x < 300; ++x) {
            int lit = 0;
            for (int y = 0; y < 60; ++y) {
                lit += on[x][y] && !off[x][y];
                before += off[x][y] && x >= least - 20 && x < least;
                start += off[x][y] && x >= 10 && x < 16;
                outside += on[x][y] && (x >= 210 || x < 10);
            }
            if (lit >= 10) bar.push_back(x);
        }
        ASSERT_EQ(bar.size(), 2u) << caret;
        EXPECT_EQ(bar[1], bar[0] + 1);
        EXPECT_GE(bar[0], least) << caret;
        EXPECT_LE(bar[0], most) << caret;
        // Ink before the caret (the text's tail, or its head) and at the
        // left edge (the ellipsis, or "R").
        EXPECT_GT(before, 10) << caret;
        EXPECT_GT(start, 0) << caret;
        EXPECT_EQ(outside, 0) << "nothing outside the label";
    }
    // After Home the line shows its start up to a whole letter and an
    // ellipsis, from the left edge: as a label of that text draws it (it
    // ran on, centred, cut mid-letter at both edges before).
    label->setCaret(0, 0);
    const EditLineView start = editLineView(text, 0, 200, [&](std::u16string_view part) {
        return measureText(*label, part).width;
    });
    ASSERT_EQ(start.text.back(), u'\u2026');
    ASSERT_LT(start.text.size(), text.size());
    const auto cut = draw(false);
    label->showCaret(false);
    label->setHorzAlign(0);
    label->setText(start.text);
    EXPECT_TRUE(draw(false) == cut);
}

// What an edit line too wide for its label shows, with letters 10 pixels
// wide (the ellipsis too) and the caret's bar 2: whole letters round the
// caret and an ellipsis at each cut end.
TEST(fdLabel, AnEditLineShowsWholeLettersAndAnEllipsisAtEachCut) {
    const auto measure = [](std::u16string_view part) { return std::int32_t(part.size()) * 10; };
    const struct {
        std::u16string text;
        std::size_t caret;
        std::int32_t width;
        std::u16string shown;
        std::int32_t shownCaret;
    } rows[] = {
        {u"abcdefghij", 10, 62, u"\u2026fghij", 6}, // the end: its tail
        {u"abcdefghij", 10, 61, u"\u2026ghij", 5},  // the bar needs its 2 pixels
        {u"abcdefghij", 0, 62, u"abcde\u2026", 0},  // after Home: its start
        {u"abcdefghij", 0, 59, u"abcd\u2026", 0},
        {u"abcdefghij", 5, 62, u"abcde\u2026", 5},
        {u"abcdefghij", 6, 62, u"\u2026cdef\u2026", 5}, // both ends cut
        {u"abcdefghij", 7, 62, u"\u2026defg\u2026", 5},
        {u"abcdefghij", 9, 62, u"\u2026fghij", 5}, // the end's ellipsis goes when the end shows
        {u"abcdefghij", 9, 72, u"\u2026efghij", 6},
        {u"abcdefghij", 25, 62, u"\u2026fghij", 6}, // a caret past the end stands at it
        {u"abc", 1, 62, u"abc", 1},
        {u"abcdefghij", 0, 5, u"\u2026", 0}, // narrower than a letter
    };
    for (const auto& row : rows) {
        const EditLineView view = editLineView(row.text, row.caret, row.width, measure);
        SCOPED_TRACE(testing::Message() << row.caret << " in " << row.width);
        EXPECT_EQ(Core::wideToUtf8(view.text), Core::wideToUtf8(row.shown));
        EXPECT_EQ(view.caret, row.shownCaret);
    }
}

// Lines of a label: stacked at the top, middle or bottom of the label
// (mode 0), or each at the top or bottom of its own slot (mode 2).
TEST(fdLabel, LinesStandWhereTheirModeAndAlignmentPutThem) {
    FontUi fonts;
    ASSERT_TRUE(fonts.made);
    fdInterface& ui = fonts.ui;
    auto* page = new fdPage(&ui, "page", nullptr);
    const struct {
        int mode, vAlign;
        int inkFrom, inkTo; // the rows of the label the ink stays within
    } rows[] = {{0, 0, 0, 60}, {0, 1, 30, 90}, {0, 2, 60, 120}, {2, 0, 0, 90}, {2, 2, 30, 120}};
    for (const auto& row : rows) {
        auto* label = new fdLabel(page, "lines", true, &ui);
        label->placeInParent(0, 0, 200, 120);
        label->setFont(ui.fontByName("f"));
        label->setTextColor({0xFFFFFFFFu, 0xFFFFFFFFu});
        label->setVertAlign(row.vAlign);
        label->setLinesMode(row.mode);
        label->setText(u"A\nB");
        SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 200, 120, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
        label->draw(target, scratch, true);
        int top = 120, bottom = -1;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 200; ++x)
                if ((UiTest::rgbAt(target, x, y) >> 16) > 128) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        SDL_FreeSurface(target);
        page->removeChild(label);
        delete label;
        EXPECT_GE(top, row.inkFrom) << row.mode << "/" << row.vAlign;
        EXPECT_LT(bottom, row.inkTo) << row.mode << "/" << row.vAlign;
        EXPECT_GT(bottom - top, 30) << "two lines";
    }
}

// A text wider than its label is dragged from inside the label, within its
// ends; a press beside the label drags nothing.
TEST(fdSmartLabel, ALongTextIsDraggedFromInsideWithinItsEnds) {
    FontUi fonts;
    ASSERT_TRUE(fonts.made);
    fdInterface& ui = fonts.ui;
    auto* page = new fdPage(&ui, "page", nullptr);
    // The clickable kind drags the same way.
    for (bool clickable : {false, true}) {
        fdSmartLabel* label = clickable ? new fdClickableSmartLabel(page, "smart", true, &ui)
                                        : new fdSmartLabel(page, "smart", true, &ui);
        label->placeInParent(10, 10, 100, 30);
        label->setFont(ui.fontByName("f"));
        label->setText(u"a rather long street name that does not fit");
        ASSERT_GT(label->contentWidth(), 200);
        const struct {
            int pressX, moveX;
            std::int32_t offset;
        } rows[] = {{50, 20, -30}, {50, 90, 0}, {50, -500, 100 - label->contentWidth()},
                    {150, 0, 100 - label->contentWidth()}};
        for (const auto& row : rows) {
            label->press(row.pressX, 20);
            label->mouseMove(row.moveX, 20);
            label->release(row.moveX, 20);
            EXPECT_EQ(label->offset(), row.offset) << clickable << ": " << row.pressX << " -> " << row.moveX;
        }
    }
}

// A text wider than its sliding label is drawn, while not dragged, as its
// longest beginning that fits followed by an ellipsis; a text that fits is
// drawn whole.
TEST(fdSmartLabel, ACutTextEndsInAnEllipsis) {
    FontUi fonts;
    ASSERT_TRUE(fonts.made);
    fdInterface& ui = fonts.ui;
    auto* page = new fdPage(&ui, "page", nullptr);
    fdSmartLabel* label = new fdSmartLabel(page, "smart", true, &ui);
    label->placeInParent(10, 10, 120, 30);
    label->setFont(ui.fontByName("f"));
    label->setLinesMode(1);
    for (const std::u16string text : {u"Parking", u"La Villa, Address: Rue Suffren Remond, La Condamine",
                                      u"Boulevard des Moulins, Monte-Carlo"}) {
        label->setText(text);
        const std::u16string shown = label->restingText();
        if (label->contentWidth() <= 120) {
            EXPECT_EQ(shown, text);
            continue;
        }
        ASSERT_GE(shown.size(), 2u);
        EXPECT_EQ(shown.back(), u'\u2026') << Core::wideToUtf8(text);
        const std::u16string kept = shown.substr(0, shown.size() - 1);
        EXPECT_EQ(text.compare(0, kept.size(), kept), 0) << "a beginning of the text";
        EXPECT_LE(measureText(*label, shown).width, 120);
        // One more letter would not fit.
        std::u16string longer = text.substr(0, kept.size() + 1) + u"\u2026";
        if (kept.size() + 1 < text.size() && text[kept.size()] != u' ' && text[kept.size()] != u',') {
            EXPECT_GT(measureText(*label, longer).width, 120) << Core::wideToUtf8(shown);
        }
    }
}

// A one-line label too narrow for its text, as a long waypoint name in a
// list row, draws its longest beginning that fits with an ellipsis (it was
// cut mid-letter at the edge); a text that fits is drawn whole.
TEST(fdLabel, ACutLineEndsInAnEllipsis) {
    FontUi fonts;
    ASSERT_TRUE(fonts.made);
    std::uint32_t now = 0;
    fdLabel* label = editLine(fonts, now);
    label->showCaret(false);
    const auto drawn = [&](const std::u16string& text) {
        label->setText(text);
        SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 300, 60, 32, 0xFF0000, 0xFF00, 0xFF, 0);
        TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
        label->draw(target, scratch, true);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < target->h; ++y)
            for (int x = 0; x < target->w; ++x) pixels.push_back(UiTest::rgbAt(target, x, y));
        SDL_FreeSurface(target);
        return pixels;
    };
    for (const std::u16string text : {u"Parking", u"Maison de l\u2019ami \u00E0\u00E9\u00FC\u00E7 Mont Agel"}) {
        label->setText(text);
        const std::u16string resting = label->restingText();
        const bool cut = measureText(*label, text).width > 200;
        EXPECT_EQ(resting.back() == u'\u2026', cut) << Core::wideToUtf8(text);
        EXPECT_EQ(resting == text, !cut);
        EXPECT_TRUE(drawn(text) == drawn(resting)) << Core::wideToUtf8(text);
    }
}

// The effect renderer leaves a pixel of room for its halo or shadow on each
// side: it measures 2 pixels larger each way than the plain one.
TEST(TextRenderers, TheEffectRendererMeasuresTwoPixelsLargerEachWay) {
    FontUi fonts;
    ASSERT_TRUE(fonts.made);
    fdInterface& ui = fonts.ui;
    SimpleTxtRenderer plain;
    EffectTxtRenderer effect(0, {0, 0});
    plain.setFont(ui.fontByName("f"));
    effect.setFont(ui.fontByName("f"));
    for (std::u16string_view text : {u"", u"A", u"Street name"}) {
        const Render::TextSize a = plain.measure(text), b = effect.measure(text);
        EXPECT_EQ(b.width, a.width + 2) << Core::wideToUtf8(std::u16string(text));
        EXPECT_EQ(b.height, a.height + 2) << Core::wideToUtf8(std::u16string(text));
    }
}

TEST(fdButtonX, StateMachineSensitivityRoundLongPressDisabledAndRadio) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    std::uint32_t now = 0;
    ui.setClock([&] { return now; });
    std::vector<std::string> j;
    auto* page = new UiTest::JournalPage(&ui, j);
    auto* b = new fdButtonX(page, "btn", true, &ui);
    b->placeInParent(100, 100, 40, 20);
    Render::ImageFromSurface looks[3] = {Render::ImageFromSurface(nullptr), Render::ImageFromSurface(nullptr),
                                         Render::ImageFromSurface(nullptr)};
    for (int i = 0; i < 3; ++i)
        b->setStateMaterial(wholeImage(&looks[i]), i);

    // Slide off and back on, then release on: one click.
    EXPECT_TRUE(page->mouseButtonDown(1, 110, 110));
    EXPECT_EQ(b->material().image, &looks[1]);
    page->mouseMove(200, 200);
    EXPECT_EQ(b->state(), 2);
    page->mouseMove(120, 110);
    page->mouseButtonUp(1, 120, 110);
    EXPECT_EQ(j, (std::vector<std::string>{"pressed btn", "released btn", "pressed btn", "released btn", "clicked btn"}));
    // Released off the button: no click.
    j.clear();
    page->mouseButtonDown(1, 110, 110);
    page->mouseMove(300, 110);
    page->mouseButtonUp(1, 300, 110);
    EXPECT_EQ(j, (std::vector<std::string>{"pressed btn", "released btn"}));
    // With sensitivity 20, a release 15 pixels outside still clicks.
    j.clear();
    b->setSensitivity(20);
    page->mouseButtonDown(1, 139, 110);
    page->mouseMove(154, 110);
    page->mouseButtonUp(1, 154, 110);
    EXPECT_EQ(j.back(), "clicked btn");
    // A round 40 x 20 button ignores its corners.
    b->setRound(true);
    EXPECT_FALSE(b->hitTest(101, 101));
    EXPECT_TRUE(b->hitTest(120, 110));
    b->setRound(false);
    // Disabled: look 2 and no presses.
    b->setEnabled(false);
    EXPECT_EQ(b->material().image, &looks[2]);
    EXPECT_FALSE(page->mouseButtonDown(1, 110, 110));
    b->setEnabled(true);

    // Long press: the pop-up blinks while held, shows on release without a
    // click, and the next tap anywhere hides it.
    auto* tip = new fdStatic(page, "tip", true, &ui);
    tip->setBehavior(std::make_unique<HideOnClickBehavior>(tip));
    tip->setVisible(false);
    b->setLongPressWidget(tip);
    EXPECT_EQ(b->timerPeriod(), TimerPeriod::every(500));
    j.clear();
    now = 1000;
    page->mouseButtonDown(1, 110, 110);
    b->tick(now = 2600);
    EXPECT_FALSE(tip->visible());
    b->tick(now = 3100);
    EXPECT_TRUE(tip->visible());
    b->tick(now = 3600);
    EXPECT_FALSE(tip->visible());
    page->mouseButtonUp(1, 110, 110);
    EXPECT_TRUE(tip->visible());
    EXPECT_EQ(b->state(), 3);
    EXPECT_EQ(b->timerPeriod(), TimerPeriod::every(10));
    EXPECT_EQ(j, (std::vector<std::string>{"pressed btn", "released btn"}));
    b->tick(now);
    EXPECT_TRUE(page->mouseButtonDown(1, 5, 5));
    EXPECT_FALSE(tip->visible());

    // Radio group: a checked member stays checked, checking one unchecks
    // the others.
    CheckedGroupRecord record{"g"};
    fdCheckedButton* radios[3];
    for (int i = 0; i < 3; ++i) {
        radios[i] = new fdCheckedButton(page, std::string(1, 'r').append(std::to_string(i)), true, &ui);
        radios[i]->placeInParent(10 + 50 * i, 300, 40, 20);
        radios[i]->joinGroup(record);
    }
    auto click = [&](int i) {
        page->mouseButtonDown(1, 20 + 50 * i, 310);
        page->mouseButtonUp(1, 20 + 50 * i, 310);
    };
    click(0);
    click(0);
    EXPECT_TRUE(radios[0]->checked());
    click(2);
    EXPECT_FALSE(radios[0]->checked());
    EXPECT_TRUE(radios[2]->checked());
    EXPECT_FALSE(radios[1]->checked());
    // A member that goes leaves the group; the others go on as one.
    page->removeChild(radios[1]);
    delete radios[1];
    EXPECT_EQ(radios[0]->group()->members, (std::vector<fdCheckedButton*>{radios[0], radios[2]}));
    click(0);
    EXPECT_TRUE(radios[0]->checked());
    EXPECT_FALSE(radios[2]->checked());
}

TEST(fdSliderAndProgressBar, ValueMathsIncludingAnEmptyRange) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "page", nullptr);
    auto* slider = new fdSlider(page, "s", true, &ui);
    slider->placeInParent(20, 0, 110, 10);
    struct SliderRow {
        int min, max, x, expected;
    };
    for (const SliderRow& r : {SliderRow{0, 100, 24, 0}, SliderRow{0, 100, 126, 100}, SliderRow{0, 100, 75, 50},
                               SliderRow{5, 5, 75, 5}, SliderRow{0, 100, 500, 42}}) {
        slider->minimum = r.min;
        slider->maximum = r.max;
        slider->value = 42;
        EXPECT_EQ(slider->valueAt(r.x, 5), r.expected) << r.min << ".." << r.max << " at " << r.x;
    }
    // Only a press drags: a move before it or after the release leaves the value.
    slider->minimum = 0;
    slider->maximum = 100;
    slider->value = 42;
    std::vector<int> values;
    slider->mouseMove(75, 5);
    values.push_back(slider->value);
    EXPECT_TRUE(slider->press(24, 5));
    values.push_back(slider->value);
    slider->mouseMove(75, 5);
    values.push_back(slider->value);
    slider->release(126, 5);
    values.push_back(slider->value);
    slider->mouseMove(24, 5);
    values.push_back(slider->value);
    EXPECT_EQ(values, (std::vector<int>{42, 0, 50, 100, 100}));
    // The thumb is drawn when the slider changed or a draw is forced, and
    // left alone otherwise (at 100 it stands at x 120..129).
    SDL_Surface* blue = solid(32, 0, 0, 255);
    Render::ImageFromSurface thumb(blue);
    slider->thumb = &thumb;
    slider->invalidate(0);
    TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 140, 10, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    std::vector<Uint32> drawn;
    for (const bool force : {false, false, true}) {
        SDL_FillRect(target, nullptr, 0);
        slider->draw(target, scratch, force);
        drawn.push_back(UiTest::rgbAt(target, 125, 5));
    }
    EXPECT_EQ(drawn, (std::vector<Uint32>{0x0000FFu, 0u, 0x0000FFu}));
    // Nothing to move along (a text that all fits): the track alone, the
    // thumb neither at the start nor at the end.
    for (const auto& [min, max] : {std::pair{0, 0}, std::pair{5, 5}, std::pair{7, 3}}) {
        slider->minimum = min;
        slider->maximum = max;
        slider->value = min;
        SDL_FillRect(target, nullptr, 0);
        slider->draw(target, scratch, true);
        EXPECT_EQ(UiTest::rgbAt(target, 24, 5), 0u) << min << ".." << max;
        EXPECT_EQ(UiTest::rgbAt(target, 125, 5), 0u) << min << ".." << max;
    }
    SDL_FreeSurface(target);
    slider->thumb = nullptr;
    SDL_FreeSurface(blue);
    auto* bar = new fdProgressBar(page, "p", true, &ui);
    struct BarRow {
        int min, max, value, length, expected;
    };
    for (const BarRow& r : {BarRow{0, 100, 50, 200, 100}, BarRow{0, 100, 150, 200, 200}, BarRow{0, 100, -10, 200, 0},
                            BarRow{7, 7, 7, 200, 0}, BarRow{10, 20, 15, 30, 15}}) {
        bar->minimum = r.min;
        bar->maximum = r.max;
        bar->value = r.value;
        EXPECT_EQ(bar->fillLength(r.length), r.expected);
    }
}

// Only the release of the pressed row repeats the press; a press released
// on another row and a button's click in a row are reports of their own.
TEST(fdList, OnlyThePressedRowsReleaseRepeatsThePress) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    struct Page : fdPage {
        using fdPage::fdPage;
        void childClicked(const std::string&) override { repeats.push_back(list->rowRelease); }
        fdList* list = nullptr;
        std::vector<bool> repeats;
    };
    auto* page = new Page(&ui, "page", nullptr);
    TemplateDescription row;
    row.w = 200;
    row.h = 40;
    row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Static, "bg_image", 0, 0, 200, 40));
    row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Button, "btn", 160, 0, 40, 40));
    page->list = new fdList(page, "list", true, &ui, nullptr);
    page->list->placeInParent(0, 0, 200, 120);
    page->list->buildRows(row, 3, Material{});
    page->list->usedRows = 3;
    for (const auto& [x, y, upY] : {std::tuple{10, 10, 10}, std::tuple{10, 10, 90}, std::tuple{180, 10, 10}}) {
        page->mouseButtonDown(1, x, y);
        page->mouseButtonUp(1, x, upY);
    }
    EXPECT_EQ(page->repeats, (std::vector<bool>{false, true, false, false}));
}

TEST(fdList, PressReleaseClicksUsedRowsAndButtonsInRows) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    std::vector<std::string> j;
    auto* page = new UiTest::JournalPage(&ui, j);
    TemplateDescription row;
    row.w = 200;
    row.h = 40;
    row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Static, "bg_image", 0, 0, 200, 40));
    row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Button, "btn", 160, 0, 40, 40));
    auto* list = new fdList(page, "list", true, &ui, nullptr);
    list->placeInParent(0, 0, 200, 120);
    Render::ImageFromSurface selection(nullptr);
    list->buildRows(row, 3, wholeImage(&selection));
    ASSERT_EQ(list->rowCount(), 3u);
    list->setRect(0, 0, 200, 240); // twice as high: so is every row
    EXPECT_EQ(list->rowWidget(1)->rect(), (WindowRect{0, 80, 200, 80}));
    list->usedRows = 2;
    std::vector<bool> releaseClicks;
    auto tap = [&](int x0, int y0, int x1, int y1) {
        j.clear();
        page->mouseButtonDown(1, x0, y0);
        releaseClicks.push_back(list->releaseClick);
        page->mouseButtonUp(1, x1, y1);
        releaseClicks.push_back(list->releaseClick);
    };
    tap(10, 10, 10, 10);
    EXPECT_EQ(j, (std::vector<std::string>{"clicked list", "clicked list"}));
    EXPECT_EQ(releaseClicks, (std::vector<bool>{false, true}));
    EXPECT_EQ(list->selectedRow(), 0);
    auto* bg0 = dynamic_cast<fdStatic*>(list->rowWidget(0)->background());
    EXPECT_EQ(bg0->material().image, &selection);

    tap(10, 170, 10, 170);
    EXPECT_TRUE(j.empty()) << "row 2 shows no item";
    tap(10, 10, 10, 90);
    EXPECT_EQ(j, std::vector<std::string>{"clicked list"}) << "a release on another row does not click";
    j.clear();
    page->mouseButtonDown(1, 180, 90);
    EXPECT_TRUE(j.empty()) << "the button in the row takes the press";
    EXPECT_EQ(list->selectedRow(), 0);
    page->mouseButtonUp(1, 180, 90);
    // Another button's release on the pressed row clicks nothing.
    j.clear();
    page->mouseButtonDown(1, 10, 10);
    page->mouseButtonUp(3, 10, 10);
    EXPECT_EQ(j, std::vector<std::string>{"clicked list"}) << "the press's click alone";

    // Rows built again replace the old ones.
    list->buildRows(row, 2, Material{});
    EXPECT_EQ(list->rowCount(), 2u);
    EXPECT_EQ(list->rowWidget(1)->rect(), (WindowRect{0, 40, 200, 40})) << "placed as the template says";
}

// A list of R rows showing 0..R items draws the decorations of exactly the
// filled rows: the template's widgets that no model touches (here a marker
// beside the text) stay undrawn in the empty rows, as in a list that no
// model has filled yet.
TEST(fdList, DrawsTheUsedRowsOnly) {
    UiTest::FakeEngine engine;
    fdInterface ui(&engine, nullptr);
    auto* page = new fdPage(&ui, "page", nullptr);
    TemplateDescription row;
    row.w = 200;
    row.h = 40;
    row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Static, "mark", 10, 5, 20, 20));
    row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Static, "text", 40, 5, 150, 20));
    auto* list = new fdList(page, "list", true, &ui, nullptr);
    list->placeInParent(0, 0, 200, 160);
    list->buildRows(row, 4, Material{});
    for (std::size_t r = 0; r < list->rowCount(); ++r)
        dynamic_cast<fdStatic*>(list->rowWidget(r)->findChild("mark"))->setColor(0xFF0000FFu);
    struct Items : SimpleList {
        using SimpleList::SimpleList;
        std::int32_t count() const override { return n; }
        void itemClicked(std::int32_t) override {}
        void fillText(fdStatic& text, std::int32_t) override { text.setText(u"x"); }
        std::int32_t n = 0;
    };
    TempSurface scratch(32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Surface* target = SDL_CreateRGBSurface(SDL_SWSURFACE, 200, 160, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    auto drawnRows = [&] {
        SDL_FillRect(target, nullptr, 0);
        list->draw(target, scratch, true);
        std::vector<bool> drawn;
        for (int r = 0; r < 4; ++r)
            drawn.push_back(UiTest::rgbAt(target, 20, 40 * r + 15) == 0xFF0000u);
        return drawn;
    };
    EXPECT_EQ(drawnRows(), std::vector<bool>(4, false)) << "no model has filled the rows";
    Items items(*list);
    for (std::int32_t n = 0; n <= 6; ++n) {
        items.n = n;
        items.refresh();
        std::vector<bool> expected;
        for (int r = 0; r < 4; ++r)
            expected.push_back(r < n);
        EXPECT_EQ(drawnRows(), expected) << n << " items";
    }
    SDL_FreeSurface(target);
}

// An icon drawn in a design colour (a disabled button's "#78909C/#607D8B")
// takes that colour by day and by night, on the blue-first pixels of a
// picture loaded from a BMP as on others.
TEST(CursorTxtRenderer, TintsTheIconInTheDesignColour) {
    const std::optional<ColourPair> colours = parseTextColor("#78909C/#607D8B");
    ASSERT_TRUE(colours.has_value());
    for (const bool blueFirst : {true, false}) {
        SDL_Surface* white = blueFirst
                                 ? SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
                                 : SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
        SDL_FillRect(white, nullptr, SDL_MapRGBA(white->format, 255, 255, 255, 255));
        Render::ImageFromSurface icon(white);
        CursorTxtRenderer renderer(&icon, 4, 4);
        renderer.setColors(*colours);
        SDL_Surface* target = solid(32, 0, 0, 0);
        for (const auto& [day, expected] : {std::pair{true, Channels{0x78, 0x90, 0x9C}},
                                            std::pair{false, Channels{0x60, 0x7D, 0x8B}}}) {
            renderer.draw(target, SDL_Rect{0, 0, 8, 8}, u"", 0, 0, day);
            // SDL's blending of an opaque pixel may round one step up.
            const Channels c = channels(target, 3, 3);
            EXPECT_NEAR(c.r, expected.r, 1) << blueFirst << day;
            EXPECT_NEAR(c.g, expected.g, 1) << blueFirst << day;
            EXPECT_NEAR(c.b, expected.b, 1) << blueFirst << day;
        }
        SDL_FreeSurface(target);
        SDL_FreeSurface(white);
    }
}
