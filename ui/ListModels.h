#pragma once
// List models: what the rows of an fdList show and what a tap means. A
// model owns no rows, only the scroll position (page and offset in it), and
// refills the rows from its data. Rows per page is the list's row count; a
// list without rows has page 0 and the first visible item is the offset.

#include <cstdint>
#include <string>

namespace Ui {

class fdList;
class fdStatic;
class fdCheckedButton;
class TemplateWindow;

class List {
public:
    explicit List(fdList& list) : m_list(list) {}
    virtual ~List() = default;
    List(const List&) = delete;
    List& operator=(const List&) = delete;

    // -1 when nothing is selected.
    virtual std::int32_t selectedIndex() const { return -1; }
    // A model that keeps a chosen item lights its row, and only its row,
    // whenever the rows are filled: the light goes with the item as the
    // list scrolls, and leaves the page with it.
    virtual bool highlightsSelection() const { return false; }
    // Lights the chosen item's row (none when it is off the page or nothing
    // is chosen) in such a model; a row a tap lit for another purpose goes
    // dark again.
    void markSelection();
    virtual std::int32_t count() const = 0;
    virtual void fillEmptyRow(TemplateWindow& row) = 0;
    virtual void fillRow(TemplateWindow& row, std::int32_t index) = 0;
    // Refills every row, keeping the position.
    virtual void refresh();
    // -1: no item.
    virtual void itemClicked(std::int32_t index) = 0;

    std::int32_t rowsPerPage() const;
    std::int32_t firstVisibleIndex() const;
    bool canScrollUp() const { return firstVisibleIndex() != 0; }
    bool canScrollDown() const { return firstVisibleIndex() + rowsPerPage() < count(); }
    // Past the end: ignored; the last page stays full.
    void scrollTo(std::int32_t index);
    void ensureVisible(std::int32_t index);
    void scrollUp();
    void scrollDown();
    void pageUp();
    void pageDown();
    // itemClicked of the highlighted row's item, or -1.
    void activateSelected();

    std::int32_t page() const { return m_page; }
    std::int32_t offset() const { return m_offset; }
    fdList& list() const { return m_list; }

protected:
    void resetPosition() { m_page = m_offset = 0; }
    // Refills every row at the current position. Scrolling refills this
    // way: a model's refresh may also reset its state (a group list goes
    // back to the top), which scrolling must not do.
    void refill();

private:
    fdList& m_list;
    std::int32_t m_page = 0;
    std::int32_t m_offset = 0;
};

// One text per row, in the row's child "text".
class SimpleList : public List {
public:
    using List::List;
    void fillEmptyRow(TemplateWindow& row) override;
    void fillRow(TemplateWindow& row, std::int32_t index) override;
    virtual void fillText(fdStatic& text, std::int32_t index) = 0;
};

// Collapsible groups flattened into rows: a header row per group, then one
// row per item while the group is expanded. With the single-item flag a
// group of exactly one item shows that item in its one row.
class GroupList : public List {
public:
    GroupList(fdList& list, bool singleItem) : List(list), m_singleItem(singleItem) {}

    // item -1 is the header.
    virtual void groupItemClicked(std::int32_t row, std::int32_t group, std::int32_t item) = 0;
    virtual void fillGroupHeader(fdStatic& text, std::int32_t group) = 0;
    virtual void fillEmptyItemRow(TemplateWindow& row) = 0;
    virtual void fillItemRow(TemplateWindow& row, std::int32_t group, std::int32_t item) = 0;
    virtual std::int32_t groupCount() const = 0;
    virtual bool isExpanded(std::int32_t group) const = 0;
    virtual void setExpanded(std::int32_t group, bool expanded) = 0;
    virtual std::int32_t itemCount(std::int32_t group) const = 0;

    std::int32_t count() const override;
    void fillEmptyRow(TemplateWindow& row) override;
    void fillRow(TemplateWindow& row, std::int32_t index) override;
    // Back to the top, then refills.
    void refresh() override;
    void itemClicked(std::int32_t index) override;
    // The group's rows into view: scrolled just enough when they fit one
    // page, else with the header at the top.
    void showGroup(std::int32_t group);

    struct Place {
        std::int32_t group = 0;
        std::int32_t item = -1;
    };
    // (0, -1) past the last group. Walks from the first group: the model's
    // data may have changed since the last lookup.
    Place placeOf(std::int32_t row) const;
    // -1 for an item of a collapsed group and for the header of a group
    // shown as its one item.
    std::int32_t rowOf(std::int32_t group, std::int32_t item) const;

private:
    bool showsAsOneItem(std::int32_t group) const { return m_singleItem && itemCount(group) == 1; }
    std::int32_t rowsOf(std::int32_t group) const;
    // placeOf that starts from the cached group when it lies before the row:
    // rows filled in order walk the groups once.
    Place locate(std::int32_t row) const;
    void clearCache() const { m_cacheGroup = m_cacheRow = -1; }

    bool m_singleItem;
    mutable std::int32_t m_cacheGroup = -1;
    mutable std::int32_t m_cacheRow = -1;
};

// Item rows with a check box ("check_show"), an image ("image") and a text
// ("text", or "text_with_desc" with "desc_text" when the item has a
// description).
class SimpleGroupList : public GroupList {
public:
    using GroupList::GroupList;
    void fillEmptyItemRow(TemplateWindow& row) override;
    void fillItemRow(TemplateWindow& row, std::int32_t group, std::int32_t item) override;

    virtual void fillCheck(fdCheckedButton& check, std::int32_t group, std::int32_t item) = 0;
    virtual void fillImage(fdStatic& image, std::int32_t group, std::int32_t item) = 0;
    virtual void fillText(fdStatic& text, std::int32_t group, std::int32_t item) = 0;
    virtual bool hasDescription(std::int32_t, std::int32_t) const { return false; }
    virtual void fillDescription(fdStatic&, std::int32_t, std::int32_t) {}
};

} // namespace Ui
