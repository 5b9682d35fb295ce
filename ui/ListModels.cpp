#include "ui/ListModels.h"

#include "ui/BgRenderers.h"
#include "ui/fdButtonX.h"
#include "ui/fdList.h"
#include "ui/fdPage.h"

#include <algorithm>

namespace Ui {

namespace {

template <class T> T* optionalChild(TemplateWindow& row, const char* name) {
    return dynamic_cast<T*>(row.findChild(name));
}

template <class T> T* requiredChild(TemplateWindow& row, const char* name) {
    return dynamic_cast<T*>(row.widget(name));
}

void show(fdWindowBase* w, bool visible) {
    if (w)
        w->setVisible(visible);
}

void clearText(fdStatic* text) {
    if (!text)
        return;
    text->setText(u"");
    text->setVisible(false);
}

// An image child gets an aligned renderer, so that icons of any size sit
// centred in it.
void useAlignedRenderer(fdStatic* s) {
    if (s && (!s->bgRenderer() || s->bgRenderer()->kind() != 4))
        s->setBgRenderer(std::make_unique<AlignedImageBgRenderer>());
}

} // namespace

std::int32_t List::rowsPerPage() const { return static_cast<std::int32_t>(m_list.rowCount()); }

std::int32_t List::firstVisibleIndex() const { return m_page * rowsPerPage() + m_offset; }

void List::refresh() { refill(); }

void List::refill() {
    const std::int32_t first = firstVisibleIndex();
    const std::int32_t total = count();
    std::uint32_t used = 0;
    for (std::size_t r = 0; r < m_list.rowCount(); ++r) {
        TemplateWindow* row = m_list.rowWidget(r);
        const std::int32_t i = first + static_cast<std::int32_t>(r);
        if (i < total) {
            fillRow(*row, i);
            ++used;
        } else {
            fillEmptyRow(*row);
        }
    }
    m_list.usedRows = used;
    markSelection();
    m_list.invalidate(0);
}

void List::markSelection() {
    if (!highlightsSelection())
        return;
    const std::int32_t selected = selectedIndex();
    const std::int32_t row = selected - firstVisibleIndex();
    m_list.select(selected >= 0 && row >= 0 && row < rowsPerPage() ? row : -1);
}

void List::scrollTo(std::int32_t index) {
    const std::int32_t total = count();
    if (index < 0 || index >= total)
        return;
    const std::int32_t rows = rowsPerPage();
    if (total <= rows)
        index = 0;
    else if (index > total - rows)
        index = total - rows;
    // Without rows there are no pages: the offset alone says where the
    // list stands.
    m_page = rows > 0 ? index / rows : 0;
    m_offset = rows > 0 ? index % rows : index;
    refill();
}

void List::ensureVisible(std::int32_t index) {
    if (index < 0 || index >= count())
        return;
    const std::int32_t first = firstVisibleIndex();
    const std::int32_t rows = rowsPerPage();
    if (index < first || rows == 0)
        scrollTo(index);
    else if (index >= first + rows)
        scrollTo(index - rows + 1);
    else
        refill();
}

void List::scrollUp() {
    if (m_offset > 0) {
        --m_offset;
    } else if (m_page > 0) {
        --m_page;
        m_offset = rowsPerPage() - 1;
    } else {
        return;
    }
    refill();
}

void List::scrollDown() {
    const std::int32_t rows = rowsPerPage();
    if (rows > 0 && firstVisibleIndex() + rows < count()) {
        if (++m_offset == rows) {
            m_offset = 0;
            ++m_page;
        }
    }
    refill();
}

void List::pageUp() {
    if (m_page > 0)
        --m_page;
    else if (m_offset > 0)
        m_offset = 0;
    else
        return;
    refill();
}

void List::pageDown() {
    const std::int32_t rows = rowsPerPage();
    const std::int32_t total = count();
    if (rows == 0 || firstVisibleIndex() + rows >= total)
        return;
    ++m_page;
    if (firstVisibleIndex() + rows > total)
        scrollTo(total - rows);
    else
        refill();
}

void List::activateSelected() {
    const std::int32_t row = m_list.selectedRow();
    const std::int32_t index = row < 0 ? -1 : firstVisibleIndex() + row;
    itemClicked(index >= 0 && index < count() ? index : -1);
}

void SimpleList::fillEmptyRow(TemplateWindow& row) { clearText(requiredChild<fdStatic>(row, "text")); }

void SimpleList::fillRow(TemplateWindow& row, std::int32_t index) {
    if (auto* text = requiredChild<fdStatic>(row, "text")) {
        text->setVisible(true);
        fillText(*text, index);
    }
}

std::int32_t GroupList::rowsOf(std::int32_t group) const {
    if (showsAsOneItem(group))
        return 1;
    return 1 + (isExpanded(group) ? std::max(itemCount(group), 0) : 0);
}

std::int32_t GroupList::count() const {
    std::int32_t total = 0;
    for (std::int32_t g = 0; g < groupCount(); ++g)
        total += rowsOf(g);
    return total;
}

GroupList::Place GroupList::placeOf(std::int32_t row) const {
    clearCache();
    return locate(row);
}

GroupList::Place GroupList::locate(std::int32_t row) const {
    std::int32_t g = 0, first = 0;
    if (m_cacheGroup >= 0 && m_cacheRow <= row) {
        g = m_cacheGroup;
        first = m_cacheRow;
    }
    for (; g < groupCount(); ++g) {
        const std::int32_t n = rowsOf(g);
        if (row < first + n) {
            m_cacheGroup = g;
            m_cacheRow = first;
            if (showsAsOneItem(g))
                return {g, 0};
            return {g, row - first - 1};
        }
        first += n;
    }
    return {0, -1};
}

std::int32_t GroupList::rowOf(std::int32_t group, std::int32_t item) const {
    std::int32_t first = 0;
    for (std::int32_t g = 0; g < group && g < groupCount(); ++g)
        first += rowsOf(g);
    if (group < 0 || group >= groupCount())
        return -1;
    if (showsAsOneItem(group))
        return item == 0 ? first : -1;
    if (item < 0)
        return first;
    if (!isExpanded(group) || item >= itemCount(group))
        return -1;
    return first + 1 + item;
}

void GroupList::fillEmptyRow(TemplateWindow& row) {
    // The expander keeps the design's look (its material framed to its
    // size) on every fill, empty rows included.
    if (auto* check = requiredChild<fdCheckedButton>(row, "check_expand")) {
        check->setChecked(false);
        check->setVisible(false);
    }
    clearText(requiredChild<fdStatic>(row, "group_text"));
    fillEmptyItemRow(row);
}

void GroupList::fillRow(TemplateWindow& row, std::int32_t index) {
    // The cache serves one pass over the visible rows: between passes the
    // model may have opened, closed, filled or emptied any group.
    if (index == firstVisibleIndex())
        clearCache();
    const Place p = locate(index);
    auto* check = requiredChild<fdCheckedButton>(row, "check_expand");
    auto* text = requiredChild<fdStatic>(row, "group_text");
    if (p.item >= 0) {
        show(check, false);
        clearText(text);
        fillItemRow(row, p.group, p.item);
        return;
    }
    fillEmptyItemRow(row);
    if (check) {
        check->setChecked(isExpanded(p.group));
        check->setVisible(true);
    }
    if (text) {
        fillGroupHeader(*text, p.group);
        text->setVisible(true);
    }
}

void GroupList::refresh() {
    clearCache();
    resetPosition();
    refill();
}

void GroupList::itemClicked(std::int32_t index) {
    if (index < 0 || index >= count())
        return;
    const Place p = placeOf(index);
    if (p.item >= 0) {
        groupItemClicked(index, p.group, p.item);
        return;
    }
    bool expanded = !isExpanded(p.group);
    const std::int32_t visibleRow = index - firstVisibleIndex();
    TemplateWindow* row = visibleRow >= 0 ? list().rowWidget(std::size_t(visibleRow)) : nullptr;
    if (auto* check = row ? optionalChild<fdCheckedButton>(*row, "check_expand") : nullptr) {
        // A tap on the box itself has toggled it already.
        if (row->lastChild() != "check_expand")
            check->toggle();
        expanded = check->checked();
    }
    setExpanded(p.group, expanded);
    clearCache();
    groupItemClicked(index, p.group, -1);
    if (expanded)
        showGroup(p.group);
    else
        ensureVisible(index);
}

void GroupList::showGroup(std::int32_t group) {
    const std::int32_t header = showsAsOneItem(group) ? rowOf(group, 0) : rowOf(group, -1);
    if (header < 0)
        return;
    const std::int32_t n = rowsOf(group);
    if (n <= rowsPerPage())
        ensureVisible(header + n - 1);
    else
        scrollTo(header);
}

void SimpleGroupList::fillEmptyItemRow(TemplateWindow& row) {
    if (auto* check = optionalChild<fdCheckedButton>(row, "check_show")) {
        check->setChecked(false);
        check->setVisible(false);
    }
    if (auto* image = optionalChild<fdStatic>(row, "image")) {
        useAlignedRenderer(image);
        image->setImage(nullptr);
        image->setVisible(false);
    }
    clearText(requiredChild<fdStatic>(row, "text"));
    clearText(optionalChild<fdStatic>(row, "text_with_desc"));
    clearText(optionalChild<fdStatic>(row, "desc_text"));
}

void SimpleGroupList::fillItemRow(TemplateWindow& row, std::int32_t group, std::int32_t item) {
    if (auto* check = optionalChild<fdCheckedButton>(row, "check_show")) {
        check->setVisible(true);
        fillCheck(*check, group, item);
    }
    if (auto* image = optionalChild<fdStatic>(row, "image")) {
        // Icons are drawn at their own size, centred, on every fill: not
        // stretched on the first fill and natural after an empty one.
        useAlignedRenderer(image);
        image->setVisible(true);
        fillImage(*image, group, item);
    }
    auto* text = requiredChild<fdStatic>(row, "text");
    auto* withDesc = optionalChild<fdStatic>(row, "text_with_desc");
    auto* desc = optionalChild<fdStatic>(row, "desc_text");
    if (hasDescription(group, item) && withDesc && desc) {
        desc->setVisible(true);
        fillDescription(*desc, group, item);
        withDesc->setVisible(true);
        fillText(*withDesc, group, item);
        clearText(text);
    } else if (text) {
        text->setVisible(true);
        fillText(*text, group, item);
        clearText(withDesc);
        clearText(desc);
    }
}

} // namespace Ui
