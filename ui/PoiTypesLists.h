#pragma once
// The POI types of the map styles, grouped by category, as a list with one
// choice or with check boxes: where the user picks types to search for, to
// show on the map or to be warned about. Types of one category that share
// a name are one item.

#include "ui/ListModels.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace Render {
class RenderStyles;
struct PoiStyle;
} // namespace Render

namespace Ui {

class PoiTypesGroupsList : public SimpleGroupList {
  public:
    class FilterPredicate {
      public:
        virtual ~FilterPredicate() = default;
        virtual bool accept(std::uint16_t type) const = 0;
    };
    class AcceptAll final : public FilterPredicate {
      public:
        bool accept(std::uint16_t) const override { return true; }
    };

    struct Item {
        std::vector<std::uint16_t> types;
        const Render::PoiStyle* style = nullptr;
        bool checked = false;
    };
    struct Group {
        std::uint16_t category = 0;
        bool expanded = false;
        std::vector<Item> items;
    };

    // The styles' active set (the day set before one is selected) gives
    // the types; the styles outlive the list.
    PoiTypesGroupsList(fdList& list, Render::RenderStyles& styles);

    // Groups in the order of their category codes; one group only is open.
    void buildGroups(const FilterPredicate& filter);
    const std::vector<Group>& groups() const { return m_groups; }

    std::int32_t groupCount() const override;
    bool isExpanded(std::int32_t group) const override;
    void setExpanded(std::int32_t group, bool expanded) override;
    std::int32_t itemCount(std::int32_t group) const override;
    void fillGroupHeader(fdStatic& text, std::int32_t group) override;
    void fillCheck(fdCheckedButton& check, std::int32_t group, std::int32_t item) override;
    void fillImage(fdStatic& image, std::int32_t group, std::int32_t item) override;
    void fillText(fdStatic& text, std::int32_t group, std::int32_t item) override;

  protected:
    // The stored group of a shown group index (the multi-choice list may
    // hide one).
    virtual std::size_t stored(std::int32_t group) const { return static_cast<std::size_t>(group); }
    std::u16string categoryName(std::uint16_t category) const;

    Render::RenderStyles& m_styles;
    std::vector<Group> m_groups;
};

class PoiTypesGroupsSingleSelectList : public PoiTypesGroupsList {
  public:
    using PoiTypesGroupsList::PoiTypesGroupsList;

    void groupItemClicked(std::int32_t row, std::int32_t group, std::int32_t item) override;
    std::int32_t selectedIndex() const override;
    bool highlightsSelection() const override { return true; }
    void refresh() override;
    // The chosen item, none when nothing is chosen.
    std::optional<Item> selectedType() const;
    // Chooses the item that holds the type, its group opened and its row
    // brought into view and lit; false, and nothing chosen, when no item
    // holds it.
    bool selectType(std::uint16_t type);

  private:
    std::int32_t m_group = -1;
    std::int32_t m_item = -1;
};

class PoiTypesGroupsMultiSelectList : public PoiTypesGroupsList {
  public:
    class CheckApply {
      public:
        virtual ~CheckApply() = default;
        virtual void apply(std::uint16_t category, std::uint16_t type, bool checked) = 0;
    };
    class CheckPredicate {
      public:
        virtual ~CheckPredicate() = default;
        virtual bool isChecked(std::uint16_t category, std::uint16_t type) const = 0;
    };

    using PoiTypesGroupsList::PoiTypesGroupsList;

    std::int32_t groupCount() const override;
    void groupItemClicked(std::int32_t row, std::int32_t group, std::int32_t item) override;
    void refresh() override;

    // Hides the first group of the category 0x0D00, if any.
    void hideGroup();
    void applyChecks(CheckApply& apply) const;
    // True when every item ended checked.
    bool updateGroupChecks(const CheckPredicate& predicate);
    void checkAll(bool checked);

  protected:
    std::size_t stored(std::int32_t group) const override;

  private:
    std::int32_t m_hidden = -1;
};

// Collects every type code it is told about.
class PoiTypesCheckCollector final : public PoiTypesGroupsMultiSelectList::CheckApply {
  public:
    void apply(std::uint16_t, std::uint16_t type, bool checked) override {
        if (checked)
            types.push_back(type);
    }
    std::vector<std::uint16_t> types;
};

} // namespace Ui
