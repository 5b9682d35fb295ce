#include "ui/PoiTypesLists.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include "core/Text.h"
#include "render/RenderStyles.h"
#include "render/StyleSet.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

using namespace Ui;

namespace {

struct PoiFixture {
    PoiFixture() {
        // Two "Fuel" types in one category merge; 0x0D00 is the hidden one;
        // category 0x0300 has no name.
        const std::tuple<std::uint16_t, std::uint16_t, const char16_t*> types[] = {
            {0x2A01, 0x2A00, u"Fuel"}, {0x2A02, 0x2A00, u"Fuel"}, {0x2A03, 0x2A00, u"Cafe"},
            {0x0D01, 0x0D00, u"Camera"}, {0x0301, 0x0300, u"Spring"}};
        for (const auto& [type, group, name] : types) {
            Render::PoiStyle style;
            style.groupId = group;
            style.name = name;
            styles.daySet().poiStyles[type] = style;
        }
        for (const auto& [group, name] : {std::pair{0x2A00, u"Services"}, std::pair{0x0D00, u"Danger"}})
            const_cast<std::map<std::uint16_t, std::u16string>&>(styles.poiGroupNames())[std::uint16_t(group)] = name;
        row.w = 100;
        row.h = 10;
        for (const char* child : {"text", "group_text", "check_show", "check_expand"})
            row.creators.push_back(std::make_unique<UiTest::TestCreator>(
                child[0] == 'c' ? UiTest::TestCreator::Checked : UiTest::TestCreator::Static, child, 0, 0, 100, 10));
        list = new fdList(page, "list", true, &ui, nullptr);
        list->placeInParent(0, 0, 100, 60);
        list->buildRows(row, 6, Material{});
    }
    UiTest::FakeEngine engine;
    fdInterface ui{&engine, nullptr};
    fdPage* page = new fdPage(&ui, "page", nullptr);
    Render::RenderStyles styles;
    TemplateDescription row;
    fdList* list;
};

struct Only : PoiTypesGroupsList::FilterPredicate {
    explicit Only(std::uint16_t group) : group(group) {}
    bool accept(std::uint16_t type) const override { return (type & 0xFF00) == group; }
    std::uint16_t group;
};

struct Warned : PoiTypesGroupsMultiSelectList::CheckPredicate {
    bool isChecked(std::uint16_t, std::uint16_t type) const override { return type == 0x2A02 || type == 0x0301; }
};

TEST(PoiTypesLists, GroupsMergeHideAndCheck) {
    PoiFixture f;
    PoiTypesGroupsMultiSelectList list(*f.list, f.styles);
    list.buildGroups(PoiTypesGroupsList::AcceptAll());
    ASSERT_EQ(list.groups().size(), 3u);
    EXPECT_EQ(list.groups()[0].category, 0x0300);
    EXPECT_EQ(list.groups()[2].items[0].types, (std::vector<std::uint16_t>{0x2A01, 0x2A02}));
    list.hideGroup();
    EXPECT_EQ(list.groupCount(), 2);
    list.refresh();
    // Rows: the nameless group shown as its one item, then the services.
    auto text = [&](std::size_t r) {
        return Core::wideToUtf8(dynamic_cast<fdStatic*>(f.list->rowWidget(r)->findChild("text"))->text());
    };
    EXPECT_EQ(text(0), "Spring (<без имени>)");
    // Fuel is checked through its second type; Cafe is not.
    EXPECT_FALSE(list.updateGroupChecks(Warned()));
    EXPECT_TRUE(list.groups()[2].items[0].checked);
    EXPECT_FALSE(list.groups()[2].items[1].checked);
    PoiTypesCheckCollector collector;
    list.applyChecks(collector);
    EXPECT_EQ(collector.types, (std::vector<std::uint16_t>{0x0301, 0x2A01, 0x2A02}));
    list.checkAll(true);
    EXPECT_TRUE(std::all_of(list.groups().begin(), list.groups().end(), [](const auto& g) {
        return std::all_of(g.items.begin(), g.items.end(), [](const auto& i) { return i.checked; });
    }));
}

TEST(PoiTypesLists, SingleChoiceAndFilters) {
    PoiFixture f;
    PoiTypesGroupsSingleSelectList list(*f.list, f.styles);
    list.buildGroups(Only(0x7700));
    EXPECT_EQ(list.groupCount(), 0);
    list.buildGroups(Only(0x2A00));
    ASSERT_EQ(list.groupCount(), 1);
    EXPECT_TRUE(list.isExpanded(0));
    list.refresh();
    EXPECT_FALSE(list.selectedType());
    EXPECT_EQ(list.selectedIndex(), -1) << "nothing chosen yet";
    list.itemClicked(2); // header, Fuel, Cafe
    ASSERT_TRUE(list.selectedType());
    EXPECT_EQ(list.selectedType()->style->name, u"Cafe");
    EXPECT_EQ(list.selectedIndex(), 2);
    list.setExpanded(0, false);
    EXPECT_EQ(list.selectedIndex(), -1);

    // A type chosen by its code: its group opens and its row is lit (rows:
    // Spring, Camera, the services, Fuel, Cafe); an unknown code chooses
    // nothing.
    list.buildGroups(PoiTypesGroupsList::AcceptAll());
    list.refresh();
    ASSERT_TRUE(list.selectType(0x2A02));
    ASSERT_TRUE(list.selectedType());
    EXPECT_EQ(list.selectedType()->style->name, u"Fuel");
    EXPECT_EQ(list.selectedIndex(), 3);
    EXPECT_EQ(f.list->selectedRow(), 3);
    EXPECT_TRUE(list.isExpanded(2));
    EXPECT_FALSE(list.selectType(0x2A04));
    EXPECT_FALSE(list.selectedType());
    EXPECT_EQ(f.list->selectedRow(), -1);
}

} // namespace
