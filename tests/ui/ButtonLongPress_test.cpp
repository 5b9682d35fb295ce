// A button's long-press mark: hidden for the first 1,500 ms of a press, then
// blinking every 500 ms while held; a release before 1,500 ms is a click.

#include "ui/ClickBehaviors.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"

#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

using namespace Ui;

namespace {

TEST(ButtonLongPress, TheMarkWaitsFifteenHundredMillisecondsThenBlinks) {
    const std::pair<std::uint32_t, bool> ticks[] = {{0, false},    {1, false},    {499, false},  {500, false},
                                                    {1000, false}, {1499, false}, {1500, false}, {1999, false},
                                                    {2000, true},  {2499, true},  {2500, false}, {3000, true}};
    for (const auto& [held, shown] : ticks) {
        UiTest::FakeEngine engine;
        fdInterface ui(&engine, nullptr);
        std::uint32_t now = 7000;
        ui.setClock([&] { return now; });
        std::vector<std::string> journal;
        auto* page = new UiTest::JournalPage(&ui, journal);
        auto* b = new fdButtonX(page, "btn", true, &ui);
        b->placeInParent(100, 100, 40, 20);
        auto* mark = new fdStatic(page, "mark", true, &ui);
        mark->setBehavior(std::make_unique<HideOnClickBehavior>(mark));
        mark->setVisible(false);
        b->setLongPressWidget(mark);
        page->mouseButtonDown(1, 110, 110);
        b->tick(now += held);
        EXPECT_EQ(mark->visible(), shown) << held;
        page->mouseButtonUp(1, 110, 110);
        // Let go before 1,500 ms: a click; from then on: the mark stays up.
        const bool longPress = held >= 1500;
        EXPECT_EQ(journal.back() == "clicked btn", !longPress) << held;
        EXPECT_EQ(mark->visible(), longPress) << held;
        EXPECT_EQ(b->state(), longPress ? 3 : 0) << held;
    }
}

} // namespace
