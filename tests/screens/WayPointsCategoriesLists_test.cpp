#include "screens/WayPointsCategoriesLists.h"

#include "core/Text.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Ui;

namespace {

struct Provider : Map::CategorizedWayPointsProvider {
    std::size_t categoryCount() const override { return categories.size(); }
    const WayPointCategory& category(std::size_t i) const override { return categories[i]; }
    std::size_t pointCount() const override { return points.size(); }
    const WayPoint& point(std::size_t i) const override { return points[i]; }
    std::size_t pointCategory(std::size_t i) const override { return points[i].category; }
    Render::Image* pointImage(std::size_t) override { return nullptr; }
    void addListener(Map::WayPointsCategoriesListener* l) override { listeners.push_back(l); }
    void removeListener(Map::WayPointsCategoriesListener* l) override { std::erase(listeners, l); }
    std::vector<WayPointCategory> categories;
    std::vector<StoredWayPoint> points;
    std::vector<Map::WayPointsCategoriesListener*> listeners;
};

StoredWayPoint point(const char16_t* name, std::uint8_t category, std::uint8_t flag = 0) {
    StoredWayPoint p;
    p.name = name;
    p.category = category;
    p.flag = flag;
    return p;
}

TEST(WayPointsCategoriesLists, RebuildSelectAndFollowTheProvider) {
    UiTest::FakeEngine engine;
    fdInterface ui{&engine, nullptr};
    auto* page = new fdPage(&ui, "page", nullptr);
    TemplateDescription row;
    row.w = 100;
    row.h = 10;
    for (const char* child : {"text", "group_text", "check_expand"})
        row.creators.push_back(std::make_unique<UiTest::TestCreator>(
            child[0] == 'c' ? UiTest::TestCreator::Checked : UiTest::TestCreator::Static, child, 0, 0, 100, 10));
    auto* widget = new fdList(page, "list", true, &ui, nullptr);
    widget->placeInParent(0, 0, 100, 40);
    widget->buildRows(row, 4, Material{});

    Provider provider;
    provider.categories = {{u"Home"}, {u"Work"}};
    provider.points = {point(u"a", 0), point(u"gone", 1, 1), point(u"b", 1), point(u"", 1)};
    {
        Screens::WayPointsCategoriesSingleSelectList list(*widget, provider);
        ASSERT_EQ(provider.listeners.size(), 1u);
        // Shown before any point is sorted in, it lists the categories.
        list.refresh();
        EXPECT_EQ(list.groupCount(), 2);
        EXPECT_EQ(dynamic_cast<fdStatic*>(widget->rowWidget(1)->findChild("group_text"))->text(), u"Work");
        list.rebuildAll();
        ASSERT_EQ(list.groups().size(), 2u);
        EXPECT_EQ(list.groups()[1].items.size(), 2u); // the deleted point is left out
        EXPECT_EQ(list.selectedItem(), -1);
        list.selectById(3);
        EXPECT_EQ(list.selectedItem(), 3);
        EXPECT_TRUE(list.isExpanded(1));
        // The nameless point shows where it is.
        const auto text = dynamic_cast<fdStatic*>(widget->rowWidget(3)->findChild("text"))->text();
        EXPECT_EQ(text.front(), u'[');
        list.selectById(1);
        EXPECT_EQ(list.selectedItem(), -1);
        list.selectById(2);
        list.removePoint(2);
        EXPECT_EQ(list.selectedItem(), -1);
        EXPECT_EQ(list.groups()[1].items.size(), 1u);
        provider.categories.push_back({u"Trips"});
        list.onCategoriesChanged();
        EXPECT_EQ(list.groupCount(), 3);
    }
    EXPECT_TRUE(provider.listeners.empty());
}

} // namespace
