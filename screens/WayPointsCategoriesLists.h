#pragma once
// The stored waypoints grouped by category, as a list with one choice or
// with check boxes; the list follows the categories of its provider.

#include "ui/ListModels.h"
#include "userdata/CategorizedWayPointsProvider.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Screens {

class WayPointsCategoriesList : public Ui::SimpleGroupList, public Map::WayPointsCategoriesListener {
  public:
    struct Item {
        std::uint32_t point = 0;
        bool checked = false;
    };
    struct Group {
        bool expanded = false;
        std::vector<Item> items;
    };

    // Registers with the provider (which outlives the list) and makes its
    // groups, one per category.
    WayPointsCategoriesList(Ui::fdList& list, Map::CategorizedWayPointsProvider& provider);
    ~WayPointsCategoriesList() override;

    std::int32_t groupCount() const override { return static_cast<std::int32_t>(m_groups.size()); }
    bool isExpanded(std::int32_t group) const override { return m_groups[std::size_t(group)].expanded; }
    void setExpanded(std::int32_t group, bool expanded) override { m_groups[std::size_t(group)].expanded = expanded; }
    std::int32_t itemCount(std::int32_t group) const override {
        return static_cast<std::int32_t>(m_groups[std::size_t(group)].items.size());
    }
    void fillGroupHeader(Ui::fdStatic& text, std::int32_t group) override;
    void fillCheck(Ui::fdCheckedButton& check, std::int32_t group, std::int32_t item) override;
    void fillImage(Ui::fdStatic& image, std::int32_t group, std::int32_t item) override;
    void fillText(Ui::fdStatic& text, std::int32_t group, std::int32_t item) override;
    bool hasDescription(std::int32_t group, std::int32_t item) const override;
    void fillDescription(Ui::fdStatic& text, std::int32_t group, std::int32_t item) override;
    void groupItemClicked(std::int32_t row, std::int32_t group, std::int32_t item) override;
    void onCategoriesChanged() override;

    // The header text of the category the manager makes when none exists:
    // its stored name is fixed (files and peers know it), what a driver
    // reads follows the interface's language. Empty: the stored name.
    void setDefaultCategoryText(std::u16string text) { m_defaultCategoryText = std::move(text); }

    // Takes the first item of that point out of its group.
    virtual void removePoint(std::uint32_t point);
    const std::vector<Group>& groups() const { return m_groups; }

  protected:
    // One empty, collapsed group per category (a single one open).
    void resetGroups();
    const Item& at(std::int32_t group, std::int32_t item) const {
        return m_groups[std::size_t(group)].items[std::size_t(item)];
    }

    Map::CategorizedWayPointsProvider& m_provider;
    std::vector<Group> m_groups;
    std::u16string m_defaultCategoryText;
};

class WayPointsCategoriesSingleSelectList : public WayPointsCategoriesList {
  public:
    class FilterPredicate {
      public:
        virtual ~FilterPredicate() = default;
        virtual bool accept(const WayPoint& point) const = 0;
    };
    class AcceptAll final : public FilterPredicate {
      public:
        bool accept(const WayPoint&) const override { return true; }
    };

    using WayPointsCategoriesList::WayPointsCategoriesList;

    void rebuild(const FilterPredicate& filter);
    void rebuildAll() { rebuild(AcceptAll()); }
    // The chosen point, -1 when none.
    std::int64_t selectedItem() const;
    // The chosen point when it is one of those points and not deleted; -1
    // otherwise (also without points).
    std::int64_t selectedLivePoint(const Map::CategorizedWayPointsProvider* points) const;
    // Chooses the point, opening its group and scrolling it into view;
    // a point the list lacks clears the choice.
    void selectById(std::uint32_t point);
    std::int32_t selectedIndex() const override;
    bool highlightsSelection() const override { return true; }
    void groupItemClicked(std::int32_t row, std::int32_t group, std::int32_t item) override;
    void refresh() override;
    void onCategoriesChanged() override;
    void removePoint(std::uint32_t point) override;

  private:
    std::int32_t m_group = -1;
    std::int32_t m_item = -1;
};

// Check boxes on the items.
class WayPointsCategoriesMultiSelectList : public WayPointsCategoriesSingleSelectList {
  public:
    using WayPointsCategoriesSingleSelectList::WayPointsCategoriesSingleSelectList;
    void groupItemClicked(std::int32_t row, std::int32_t group, std::int32_t item) override;
};

} // namespace Screens
