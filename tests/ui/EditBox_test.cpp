#include "ui/EditBox.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"

#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <SDL/SDL_keysym.h>

using namespace Ui;

TEST(EditBox, KeysEditAtTheCaretWithinTheLimit) {
    UiTest::FakeEngine engine;
    fdInterface ui{&engine, nullptr};
    auto* page = new fdPage(&ui, "page", nullptr);
    auto* label = new fdLabel(page, "edit", true, &ui);
    EditBox box(label, 6);
    // (key or caret key, text afterwards, caret, changed)
    struct Step {
        std::string key;
        int caretKey;
        std::u16string text;
        std::size_t caret;
        bool changed;
    };
    const Step steps[] = {
        {"[bsp]", 0, u"", 0, false},
        {"ab", 0, u"ab", 2, true},
        {"\xD0\xB6", 0, u"ab\u0436", 3, true},
        {"", SDLK_LEFT, u"ab\u0436", 2, true},
        {" ", 0, u"ab \u0436", 3, true},
        {"", SDLK_HOME, u"ab \u0436", 0, true},
        {"[bsp]", 0, u"ab \u0436", 0, false},
        {"", SDLK_DELETE, u"b \u0436", 0, true},
        {"", SDLK_LEFT, u"b \u0436", 0, true},
        {"", SDLK_END, u"b \u0436", 3, true},
        {"", SDLK_RIGHT, u"b \u0436", 3, true},
        {"xyz", 0, u"b \u0436xyz", 6, true},
        {"q", 0, u"b \u0436xyz", 6, false},
        {"[bsp]", 0, u"b \u0436xy", 5, true},
        {"qr", 0, u"b \u0436xy", 5, false},
        {"", SDLK_a, u"b \u0436xy", 5, false},
    };
    for (const Step& s : steps) {
        const bool changed = s.caretKey ? box.caretKey(s.caretKey) : box.typeKey(s.key);
        EXPECT_EQ(changed, s.changed) << s.key << s.caretKey;
        EXPECT_EQ(box.text(), s.text) << s.key << s.caretKey;
        EXPECT_EQ(box.caret(), s.caret) << s.key << s.caretKey;
        EXPECT_EQ(label->text(), s.text);
    }
    EXPECT_EQ(label->linesMode(), 1);
    EXPECT_EQ(label->timerPeriod(), TimerPeriod::every(500));
    box.setFocused(false);
    EXPECT_EQ(label->timerPeriod(), TimerPeriod::none());
    box.setText(u"0123456789");
    EXPECT_EQ(box.text(), u"012345");
    EXPECT_EQ(box.caret(), 6u);
    // A box without a label still edits.
    EditBox bare;
    EXPECT_TRUE(bare.typeKey("x"));
    EXPECT_EQ(bare.text(), u"x");
}
