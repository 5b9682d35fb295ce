#include "ui/ListModels.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include "core/Text.h"
#include "render/Image.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

using namespace Ui;

namespace {

struct Items : SimpleList {
    Items(fdList& l, int n) : SimpleList(l), n(n) {}
    std::int32_t selectedIndex() const override { return -1; }
    std::int32_t count() const override { return n; }
    void itemClicked(std::int32_t index) override { clicked = index; }
    void fillText(fdStatic& text, std::int32_t index) override { text.setText(Core::utf8ToWide(std::to_string(index))); }
    int n;
    int clicked = -2;
};

struct Groups : SimpleGroupList {
    Groups(fdList& l, std::vector<int> sizes, std::vector<bool> open)
        : SimpleGroupList(l, true), sizes(std::move(sizes)), open(std::move(open)) {}
    std::int32_t selectedIndex() const override { return -1; }
    void groupItemClicked(std::int32_t, std::int32_t g, std::int32_t item) override { clicks.push_back({g, item}); }
    void fillGroupHeader(fdStatic& t, std::int32_t g) override { t.setText(u"group " + Core::utf8ToWide(std::to_string(g))); }
    std::int32_t groupCount() const override { return std::int32_t(sizes.size()); }
    bool isExpanded(std::int32_t g) const override { return open[std::size_t(g)]; }
    void setExpanded(std::int32_t g, bool e) override { open[std::size_t(g)] = e; }
    std::int32_t itemCount(std::int32_t g) const override { return sizes[std::size_t(g)]; }
    void fillCheck(fdCheckedButton&, std::int32_t, std::int32_t) override {}
    void fillImage(fdStatic&, std::int32_t, std::int32_t) override {}
    void fillText(fdStatic& t, std::int32_t g, std::int32_t i) override {
        t.setText(u"item " + Core::utf8ToWide(std::to_string(g) + "." + std::to_string(i)));
    }
    std::vector<int> sizes;
    std::vector<bool> open;
    std::vector<std::pair<int, int>> clicks;
};

struct ListFixture {
    // rich: the rows have a picture and a text with its description too.
    explicit ListFixture(std::uint32_t rows, bool rich = false) {
        row.w = 100;
        row.h = 10;
        row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Static, "text", 0, 0, 100, 10));
        row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Static, "group_text", 0, 0, 100, 10));
        row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Checked, "check_expand", 0, 0, 10, 10));
        if (rich)
            for (const char* name : {"image", "text_with_desc", "desc_text"})
                row.creators.push_back(std::make_unique<UiTest::TestCreator>(UiTest::TestCreator::Static, name, 0, 0, 50, 10));
        list = new fdList(page, "list", true, &ui, nullptr);
        list->placeInParent(0, 0, 100, 10 * int(rows));
        list->buildRows(row, rows, Material{});
    }
    std::u16string text(std::size_t r, const char* child = "text") const { return widget(r, child)->text(); }
    fdStatic* widget(std::size_t r, const char* child) const {
        return dynamic_cast<fdStatic*>(list->rowWidget(r)->findChild(child));
    }
    UiTest::FakeEngine engine;
    fdInterface ui{&engine, nullptr};
    fdPage* page = new fdPage(&ui, "page", nullptr);
    TemplateDescription row;
    fdList* list;
};

} // namespace

TEST(ListModels, ScrollingKeepsTheLastPageFullAndCopesWithoutRows) {
    ListFixture f(10);
    Items items(*f.list, 25);
    struct Step {
        const char* what;
        std::function<void()> run;
        int first, page, offset;
    };
    const Step steps[] = {
        {"scrollTo 20", [&] { items.scrollTo(20); }, 15, 1, 5},
        {"scrollTo 25 ignored", [&] { items.scrollTo(25); }, 15, 1, 5},
        {"scrollTo 10", [&] { items.scrollTo(10); }, 10, 1, 0},
        {"pageDown from 10", [&] { items.pageDown(); }, 15, 1, 5},
        {"pageDown at the end", [&] { items.pageDown(); }, 15, 1, 5},
        {"scrollTo 3", [&] { items.scrollTo(3); }, 3, 0, 3},
        {"pageUp on page 0", [&] { items.pageUp(); }, 0, 0, 0},
        {"scrollUp at the top", [&] { items.scrollUp(); }, 0, 0, 0},
        {"scrollDown", [&] { items.scrollDown(); }, 1, 0, 1},
        {"ensureVisible 14", [&] { items.ensureVisible(14); }, 5, 0, 5},
    };
    for (const Step& s : steps) {
        s.run();
        EXPECT_EQ(items.firstVisibleIndex(), s.first) << s.what;
        EXPECT_EQ(items.page(), s.page) << s.what;
        EXPECT_EQ(items.offset(), s.offset) << s.what;
    }
    EXPECT_EQ(f.text(0), u"5");
    items.ensureVisible(15);
    EXPECT_EQ(items.firstVisibleIndex(), 6) << "the row just below the page comes in as its last";
    EXPECT_EQ(f.list->usedRows, 10u);
    items.scrollTo(15);
    EXPECT_EQ(f.text(9), u"24");
    EXPECT_FALSE(items.canScrollDown());
    EXPECT_TRUE(items.canScrollUp());

    ListFixture empty(0);
    Items few(*empty.list, 25);
    few.scrollTo(7);
    EXPECT_EQ(few.firstVisibleIndex(), 7);
    few.pageDown();
    few.ensureVisible(9);
    few.activateSelected();
    EXPECT_EQ(few.firstVisibleIndex(), 9);
    EXPECT_EQ(few.clicked, -1);
}

TEST(ListModels, GroupRowsWithTheSingleItemFlag) {
    ListFixture f(4);
    Groups groups(*f.list, {3, 1, 2}, {false, true, false});
    EXPECT_EQ(groups.count(), 3);
    struct Mapping {
        int row, group, item;
    };
    for (const Mapping& m : {Mapping{0, 0, -1}, Mapping{1, 1, 0}, Mapping{2, 2, -1}, Mapping{3, 0, -1}}) {
        const GroupList::Place p = groups.placeOf(m.row);
        EXPECT_EQ(p.group, m.group) << "row " << m.row;
        EXPECT_EQ(p.item, m.item) << "row " << m.row;
        if (m.row < 3) {
            EXPECT_EQ(groups.rowOf(m.group, m.item), m.row);
        }
    }
    EXPECT_EQ(groups.rowOf(1, -1), -1);
    EXPECT_EQ(groups.rowOf(0, 1), -1) << "an item of a collapsed group has no row";
    groups.refresh();
    EXPECT_EQ(f.text(1), u"item 1.0");
    EXPECT_EQ(f.text(2, "group_text"), u"group 2");
    EXPECT_FALSE(f.list->rowWidget(3)->findChild("text")->visible());
    groups.itemClicked(1);
    EXPECT_EQ(groups.clicks.back(), (std::pair<int, int>{1, 0}));

    // Opening the first group (5 rows with the others) scrolls its last item
    // into view; closing it again shows every group.
    groups.itemClicked(0);
    EXPECT_EQ(groups.clicks.back(), (std::pair<int, int>{0, -1}));
    EXPECT_TRUE(groups.open[0]);
    EXPECT_EQ(groups.count(), 6);
    EXPECT_EQ(groups.firstVisibleIndex(), 0);
    EXPECT_EQ(f.text(3), u"item 0.2");
    groups.itemClicked(0);
    EXPECT_FALSE(groups.open[0]);
    EXPECT_EQ(groups.count(), 3);
}

// A model opens a group on its own (as a page that selects a point by its
// id does) after the rows were filled further down: the rows and a click
// on them see the new layout, not the groups remembered from before.
TEST(ListModels, GroupRowsFollowChangesMadeBetweenRefills) {
    ListFixture f(2);
    Groups groups(*f.list, {3, 3, 3, 3, 3}, std::vector<bool>(5, false));
    groups.refresh();
    groups.scrollTo(3);
    EXPECT_EQ(f.text(1, "group_text"), u"group 4");
    groups.open[3] = true; // rows: 3 header, 4-6 items 3.0-3.2, 7 group 4
    groups.ensureVisible(6);
    EXPECT_EQ(groups.firstVisibleIndex(), 5);
    EXPECT_EQ(f.text(0), u"item 3.1");
    EXPECT_EQ(f.text(1), u"item 3.2");
    f.list->select(1);
    groups.activateSelected();
    EXPECT_EQ(groups.clicks.back(), (std::pair<int, int>{3, 2})) << "an item click, not a group toggle";
    EXPECT_TRUE(groups.open[3]);

    // Items taken away: the same rows now show what follows.
    groups.sizes[3] = 1; // one item: shown as that item's row alone
    groups.scrollTo(2);
    EXPECT_EQ(f.text(0, "group_text"), u"group 2");
    EXPECT_EQ(f.text(1), u"item 3.0");
}

// An item with a description shows its text above the description, one
// without shows its plain text; every item row shows its picture, and a row
// left empty keeps no picture of the item it showed.
TEST(ListModels, ItemRowsShowPicturesAndDescriptions) {
    struct Described : Groups {
        using Groups::Groups;
        bool hasDescription(std::int32_t, std::int32_t item) const override { return item == 0; }
        void fillDescription(fdStatic& t, std::int32_t g, std::int32_t i) override {
            t.setText(u"about " + Core::utf8ToWide(std::to_string(g) + "." + std::to_string(i)));
        }
        void fillImage(fdStatic& image, std::int32_t, std::int32_t) override { image.setImage(&picture); }
        Render::ImageFromSurface picture{nullptr};
    };
    ListFixture f(4, true);
    Described groups(*f.list, {2, 2}, {true, false});
    groups.refresh(); // header 0, items 0.0 and 0.1, header 1
    EXPECT_TRUE(f.widget(1, "desc_text")->visible());
    EXPECT_EQ(f.text(1, "desc_text"), u"about 0.0");
    EXPECT_TRUE(f.widget(1, "text_with_desc")->visible());
    EXPECT_EQ(f.text(1, "text_with_desc"), u"item 0.0");
    EXPECT_FALSE(f.widget(1, "text")->visible());
    EXPECT_EQ(f.text(2), u"item 0.1");
    EXPECT_FALSE(f.widget(2, "desc_text")->visible());
    EXPECT_EQ(f.text(2, "desc_text"), u"");
    // One size always: icons sit centred at their own size from the first
    // fill on (kind 4, the aligned renderer), and the expander keeps the
    // design's framed look (no aligned renderer) also after empty fills.
    const auto rendererKind = [&](std::size_t r, const char* child) {
        const auto* renderer = f.widget(r, child)->bgRenderer();
        return renderer ? renderer->kind() : -1;
    };
    for (std::size_t r : {1u, 2u}) {
        EXPECT_TRUE(f.widget(r, "image")->visible()) << r;
        EXPECT_EQ(f.widget(r, "image")->material().image, &groups.picture) << r;
        EXPECT_EQ(rendererKind(r, "image"), 4) << r;
    }
    groups.itemClicked(0); // closes group 0: two rows stay empty
    EXPECT_EQ(groups.count(), 2);
    for (std::size_t r : {2u, 3u}) {
        EXPECT_FALSE(f.widget(r, "image")->visible()) << r;
        EXPECT_EQ(f.widget(r, "image")->material().image, nullptr) << r;
    }
    for (std::size_t r = 0; r < 4; ++r)
        EXPECT_NE(rendererKind(r, "check_expand"), 4) << r;
    groups.itemClicked(1); // opens group 1: its first item in a row left empty
    EXPECT_EQ(f.text(2, "text_with_desc"), u"item 1.0");
    EXPECT_TRUE(f.widget(2, "desc_text")->visible());
    EXPECT_EQ(f.text(2, "desc_text"), u"about 1.0");
}
