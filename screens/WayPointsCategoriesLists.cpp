#include "screens/WayPointsCategoriesLists.h"

#include "core/ValueFormat.h"
#include "map/Projection.h"
#include "ui/fdButtonX.h"
#include "ui/fdList.h"
#include "ui/fdPage.h"
#include "userdata/fdWPManager.h"

namespace Screens {

WayPointsCategoriesList::WayPointsCategoriesList(Ui::fdList& list, Map::CategorizedWayPointsProvider& provider)
    : SimpleGroupList(list, false), m_provider(provider) {
    m_provider.addListener(this);
    resetGroups();
}

WayPointsCategoriesList::~WayPointsCategoriesList() { m_provider.removeListener(this); }

void WayPointsCategoriesList::resetGroups() {
    m_groups.assign(m_provider.categoryCount(), Group{});
    if (m_groups.size() == 1)
        m_groups.front().expanded = true;
}

void WayPointsCategoriesList::fillGroupHeader(Ui::fdStatic& text, std::int32_t group) {
    const std::u16string& name = m_provider.category(static_cast<std::size_t>(group)).name;
    text.setText(name == fdWPManager::DefaultCategory && !m_defaultCategoryText.empty() ? m_defaultCategoryText
                                                                                         : name);
}

void WayPointsCategoriesList::fillCheck(Ui::fdCheckedButton& check, std::int32_t group, std::int32_t item) {
    check.setChecked(at(group, item).checked);
}

void WayPointsCategoriesList::fillImage(Ui::fdStatic& image, std::int32_t group, std::int32_t item) {
    image.setImage(m_provider.pointImage(at(group, item).point));
}

void WayPointsCategoriesList::fillText(Ui::fdStatic& text, std::int32_t group, std::int32_t item) {
    const WayPoint& point = m_provider.point(at(group, item).point);
    if (!point.name.empty()) {
        text.setText(point.name);
        return;
    }
    // A point without a name shows where it is.
    const Map::GeoPoint geo = Map::Projection::toGeo(point.position);
    std::u16string where(1, u'[');
    where.append(Core::formatLatitude(0, geo.latitude)).append(u" ").append(Core::formatLongitude(0, geo.longitude));
    text.setText(where.append(u"]"));
}

bool WayPointsCategoriesList::hasDescription(std::int32_t group, std::int32_t item) const {
    const WayPoint& point = m_provider.point(at(group, item).point);
    return !point.comment.empty() || !point.url.empty();
}

void WayPointsCategoriesList::fillDescription(Ui::fdStatic& text, std::int32_t group, std::int32_t item) {
    const WayPoint& point = m_provider.point(at(group, item).point);
    text.setText(point.comment.empty() ? point.url : point.comment);
}

void WayPointsCategoriesList::groupItemClicked(std::int32_t, std::int32_t, std::int32_t) { refill(); }

void WayPointsCategoriesList::onCategoriesChanged() {
    m_groups.resize(m_provider.categoryCount());
    for (Group& group : m_groups)
        group.expanded = false;
    if (m_groups.size() == 1)
        m_groups.front().expanded = true;
}

void WayPointsCategoriesList::removePoint(std::uint32_t point) {
    for (Group& group : m_groups)
        for (auto it = group.items.begin(); it != group.items.end(); ++it)
            if (it->point == point) {
                group.items.erase(it);
                return;
            }
}

void WayPointsCategoriesSingleSelectList::rebuild(const FilterPredicate& filter) {
    resetGroups();
    for (std::size_t i = 0; i < m_provider.pointCount(); ++i) {
        const WayPoint& point = m_provider.point(i);
        if (point.flag != 0 || !filter.accept(point))
            continue;
        const std::size_t category = m_provider.pointCategory(i);
        if (category < m_groups.size())
            m_groups[category].items.push_back({static_cast<std::uint32_t>(i), false});
    }
    refresh();
}

std::int64_t WayPointsCategoriesSingleSelectList::selectedItem() const {
    if (m_group < 0 || m_item < 0)
        return -1;
    return at(m_group, m_item).point;
}

std::int64_t
WayPointsCategoriesSingleSelectList::selectedLivePoint(const Map::CategorizedWayPointsProvider* points) const {
    if (points == nullptr)
        return -1;
    const std::int64_t point = selectedItem();
    if (point < 0 || static_cast<std::size_t>(point) >= points->pointCount() ||
        points->point(static_cast<std::size_t>(point)).deleted())
        return -1;
    return point;
}

std::int32_t WayPointsCategoriesSingleSelectList::selectedIndex() const {
    return m_group < 0 || m_item < 0 ? -1 : rowOf(m_group, m_item);
}

void WayPointsCategoriesSingleSelectList::selectById(std::uint32_t point) {
    for (std::size_t g = 0; g < m_groups.size(); ++g)
        for (std::size_t i = 0; i < m_groups[g].items.size(); ++i)
            if (m_groups[g].items[i].point == point) {
                m_group = static_cast<std::int32_t>(g);
                m_item = static_cast<std::int32_t>(i);
                if (!m_groups[g].expanded)
                    setExpanded(m_group, true);
                ensureVisible(rowOf(m_group, m_item));
                return;
            }
    m_group = m_item = -1;
    refill();
}

void WayPointsCategoriesSingleSelectList::groupItemClicked(std::int32_t, std::int32_t group, std::int32_t item) {
    if (item >= 0) {
        m_group = group;
        m_item = item;
    }
    refill();
}

void WayPointsCategoriesSingleSelectList::refresh() {
    m_group = m_item = -1;
    for (Group& group : m_groups)
        group.expanded = false;
    if (m_groups.size() == 1)
        m_groups.front().expanded = true;
    GroupList::refresh();
}

void WayPointsCategoriesSingleSelectList::onCategoriesChanged() {
    WayPointsCategoriesList::onCategoriesChanged();
    m_group = m_item = -1;
    refill();
}

void WayPointsCategoriesSingleSelectList::removePoint(std::uint32_t point) {
    WayPointsCategoriesList::removePoint(point);
    m_group = m_item = -1;
    markSelection();
}

void WayPointsCategoriesMultiSelectList::groupItemClicked(std::int32_t row, std::int32_t group, std::int32_t item) {
    if (item >= 0) {
        Ui::TemplateWindow* window = list().rowWidget(static_cast<std::size_t>(row - firstVisibleIndex()));
        auto* check = window ? dynamic_cast<Ui::fdCheckedButton*>(window->findChild("check_show")) : nullptr;
        if (check)
            m_groups[std::size_t(group)].items[std::size_t(item)].checked = check->checked();
    }
    // The tapped point is also the chosen one, which the page acts on.
    WayPointsCategoriesSingleSelectList::groupItemClicked(row, group, item);
}

} // namespace Screens
