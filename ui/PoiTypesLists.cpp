#include "ui/PoiTypesLists.h"

#include "render/RenderStyles.h"
#include "render/StyleSet.h"
#include "ui/fdButtonX.h"
#include "ui/fdList.h"
#include "ui/fdPage.h"

#include <algorithm>

namespace Ui {

namespace {

const std::u16string kNoName = u"<\u0431\u0435\u0437 \u0438\u043c\u0435\u043d\u0438>";

} // namespace

PoiTypesGroupsList::PoiTypesGroupsList(fdList& list, Render::RenderStyles& styles)
    : SimpleGroupList(list, true), m_styles(styles) {}

std::u16string PoiTypesGroupsList::categoryName(std::uint16_t category) const {
    const auto& names = m_styles.poiGroupNames();
    const auto found = names.find(category);
    return found == names.end() || found->second.empty() ? kNoName : found->second;
}

void PoiTypesGroupsList::buildGroups(const FilterPredicate& filter) {
    m_groups.clear();
    const Render::StyleSet* set = m_styles.activeSet() ? m_styles.activeSet() : &m_styles.daySet();
    for (const auto& entry : set->poiStyles) {
        const std::uint16_t type = entry.first;
        const Render::PoiStyle& style = entry.second;
        if (!filter.accept(type))
            continue;
        auto group = std::find_if(m_groups.begin(), m_groups.end(),
                                  [&](const Group& g) { return g.category == style.groupId; });
        if (group == m_groups.end()) {
            m_groups.push_back({style.groupId, false, {}});
            group = m_groups.end() - 1;
        }
        auto item = std::find_if(group->items.begin(), group->items.end(),
                                 [&](const Item& i) { return i.style->name == style.name; });
        if (item != group->items.end())
            item->types.push_back(type);
        else
            group->items.push_back({{type}, &style, false});
    }
    std::stable_sort(m_groups.begin(), m_groups.end(),
                     [](const Group& a, const Group& b) { return a.category < b.category; });
    if (m_groups.size() == 1)
        m_groups.front().expanded = true;
}

std::int32_t PoiTypesGroupsList::groupCount() const { return static_cast<std::int32_t>(m_groups.size()); }

bool PoiTypesGroupsList::isExpanded(std::int32_t group) const { return m_groups[stored(group)].expanded; }

void PoiTypesGroupsList::setExpanded(std::int32_t group, bool expanded) { m_groups[stored(group)].expanded = expanded; }

std::int32_t PoiTypesGroupsList::itemCount(std::int32_t group) const {
    return static_cast<std::int32_t>(m_groups[stored(group)].items.size());
}

void PoiTypesGroupsList::fillGroupHeader(fdStatic& text, std::int32_t group) {
    text.setText(categoryName(m_groups[stored(group)].category));
}

void PoiTypesGroupsList::fillCheck(fdCheckedButton& check, std::int32_t group, std::int32_t item) {
    check.setChecked(m_groups[stored(group)].items[static_cast<std::size_t>(item)].checked);
}

void PoiTypesGroupsList::fillImage(fdStatic& image, std::int32_t group, std::int32_t item) {
    image.setImage(m_groups[stored(group)].items[static_cast<std::size_t>(item)].style->icon);
}

void PoiTypesGroupsList::fillText(fdStatic& text, std::int32_t group, std::int32_t item) {
    const Group& g = m_groups[stored(group)];
    std::u16string name = g.items[static_cast<std::size_t>(item)].style->name;
    // A group of one item shows as that item: the row names the category.
    if (g.items.size() == 1) {
        const std::u16string category = categoryName(g.category);
        if (category != name)
            name += u" (" + category + u")";
    }
    text.setText(name);
}

void PoiTypesGroupsSingleSelectList::groupItemClicked(std::int32_t, std::int32_t group, std::int32_t item) {
    if (item >= 0) {
        m_group = static_cast<std::int32_t>(stored(group));
        m_item = item;
    }
    refill();
}

std::int32_t PoiTypesGroupsSingleSelectList::selectedIndex() const {
    if (m_group < 0 || m_item < 0)
        return -1;
    return rowOf(m_group, m_item);
}

void PoiTypesGroupsSingleSelectList::refresh() {
    m_group = m_item = -1;
    GroupList::refresh();
}

std::optional<PoiTypesGroupsList::Item> PoiTypesGroupsSingleSelectList::selectedType() const {
    if (m_group < 0 || m_item < 0 || static_cast<std::size_t>(m_group) >= m_groups.size())
        return std::nullopt;
    const auto& items = m_groups[static_cast<std::size_t>(m_group)].items;
    if (static_cast<std::size_t>(m_item) >= items.size())
        return std::nullopt;
    return items[static_cast<std::size_t>(m_item)];
}

bool PoiTypesGroupsSingleSelectList::selectType(std::uint16_t type) {
    m_group = m_item = -1;
    for (std::size_t g = 0; g < m_groups.size() && m_group < 0; ++g) {
        const auto& items = m_groups[g].items;
        for (std::size_t i = 0; i < items.size() && m_group < 0; ++i)
            if (std::find(items[i].types.begin(), items[i].types.end(), type) != items[i].types.end()) {
                m_group = static_cast<std::int32_t>(g);
                m_item = static_cast<std::int32_t>(i);
            }
    }
    if (m_group < 0) {
        refill();
        return false;
    }
    setExpanded(m_group, true);
    ensureVisible(rowOf(m_group, m_item));
    return true;
}

std::size_t PoiTypesGroupsMultiSelectList::stored(std::int32_t group) const {
    return static_cast<std::size_t>(m_hidden < 0 || group < m_hidden ? group : group + 1);
}

std::int32_t PoiTypesGroupsMultiSelectList::groupCount() const {
    return static_cast<std::int32_t>(m_groups.size()) - (m_hidden >= 0 ? 1 : 0);
}

void PoiTypesGroupsMultiSelectList::groupItemClicked(std::int32_t row, std::int32_t group, std::int32_t item) {
    if (item < 0) {
        refill();
        return;
    }
    TemplateWindow* window = list().rowWidget(static_cast<std::size_t>(row - firstVisibleIndex()));
    auto* check = window ? dynamic_cast<fdCheckedButton*>(window->findChild("check_show")) : nullptr;
    if (check)
        m_groups[stored(group)].items[static_cast<std::size_t>(item)].checked = check->checked();
}

void PoiTypesGroupsMultiSelectList::refresh() {
    for (Group& g : m_groups)
        g.expanded = false;
    if (groupCount() == 1)
        m_groups[stored(0)].expanded = true;
    GroupList::refresh();
}

void PoiTypesGroupsMultiSelectList::hideGroup() {
    m_hidden = -1;
    for (std::size_t i = 0; i < m_groups.size(); ++i)
        if (m_groups[i].category == 0x0D00) {
            m_hidden = static_cast<std::int32_t>(i);
            return;
        }
}

void PoiTypesGroupsMultiSelectList::applyChecks(CheckApply& apply) const {
    for (const Group& g : m_groups)
        for (const Item& item : g.items)
            for (const std::uint16_t type : item.types)
                apply.apply(g.category, type, item.checked);
}

bool PoiTypesGroupsMultiSelectList::updateGroupChecks(const CheckPredicate& predicate) {
    bool all = true;
    for (Group& g : m_groups)
        for (Item& item : g.items) {
            item.checked = std::any_of(item.types.begin(), item.types.end(),
                                       [&](std::uint16_t type) { return predicate.isChecked(g.category, type); });
            all = all && item.checked;
        }
    refill();
    return all;
}

void PoiTypesGroupsMultiSelectList::checkAll(bool checked) {
    for (Group& g : m_groups)
        for (Item& item : g.items)
            item.checked = checked;
    refill();
}

} // namespace Ui
