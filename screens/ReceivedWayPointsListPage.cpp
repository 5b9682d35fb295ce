#include "screens/ReceivedWayPointsListPage.h"

#include "screens/fdPageMap.h"

#include "core/MessageTable.h"
#include "render/StyleSet.h"
#include "ui/ListPage.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "userdata/WaypointStyles.h"
#include "userdata/fdWPManager.h"

#include <algorithm>

namespace Screens {

namespace {

bool samePoint(const WayPoint& a, const WayPoint& b) {
    return a.name == b.name && a.comment == b.comment && a.type == b.type && a.position == b.position;
}

} // namespace

using Provider = ReceivedWayPointsListPage::ReceivedPointsBySenderProvider;

Provider::ReceivedPointsBySenderProvider(const ReceivedPointsSource& source, std::int32_t recentSize,
                                         std::u16string recentName, WaypointStyles* styles)
    : m_source(source), m_recentSize(std::max(recentSize, 0)), m_recentName(std::move(recentName)),
      m_styles(styles) {}

void Provider::rebuild(const std::vector<ReceivedWayPoint>& removedWithoutId) {
    m_groups.clear();
    m_records.clear();
    m_recentIds.clear();
    m_open = -1;
    std::vector<std::pair<std::uint32_t, Monitoring::Friend>> friends;
    m_source.getFriends(friends);
    std::stable_sort(friends.begin(), friends.end(),
                     [](const auto& a, const auto& b) { return a.second.name < b.second.name; });
    if (m_recentSize > 0)
        m_groups.push_back({WayPointCategory{m_recentName, 0}, NoSender});
    std::uint32_t greatest = 0;
    for (const auto& [token, friendRecord] : friends) {
        if (!friendRecord.points || friendRecord.points->count() == 0)
            continue;
        const auto group = static_cast<std::uint32_t>(m_groups.size());
        m_groups.push_back({WayPointCategory{friendRecord.name, 0}, token});
        const std::vector<WayPoint> points = friendRecord.points->points();
        for (auto it = points.rbegin(); it != points.rend(); ++it) {
            if (it->deleted())
                continue;
            ReceivedWayPoint record;
            static_cast<WayPoint&>(record) = *it;
            record.flag = 0;
            record.sender = group;
            if (record.id == 0 &&
                std::any_of(removedWithoutId.begin(), removedWithoutId.end(), [&](const ReceivedWayPoint& r) {
                    return r.sender == token && samePoint(r, record);
                }))
                continue;
            if (record.id != 0 && m_recentSize > 0)
                m_recentIds.push_back(record.id);
            if (record.id != 0 && (m_open < 0 || record.id > greatest)) {
                greatest = record.id;
                m_open = static_cast<std::int32_t>(group);
            }
            m_records.push_back(std::move(record));
        }
    }
    if (m_recentSize <= 0)
        return;
    std::sort(m_recentIds.begin(), m_recentIds.end());
    m_recentIds.erase(std::unique(m_recentIds.begin(), m_recentIds.end()), m_recentIds.end());
    if (m_recentIds.size() > std::size_t(m_recentSize))
        m_recentIds.erase(m_recentIds.begin(), m_recentIds.end() - m_recentSize);
    const std::size_t originals = m_records.size();
    for (auto id = m_recentIds.rbegin(); id != m_recentIds.rend(); ++id)
        for (std::size_t i = 0; i < originals; ++i)
            if (m_records[i].id == *id) {
                ReceivedWayPoint copy = m_records[i];
                copy.name = m_groups[copy.sender].category.name + u": " + copy.name;
                copy.sender = 0;
                m_records.push_back(std::move(copy));
                break;
            }
    m_open = 0;
}

std::size_t Provider::original(std::size_t index) const {
    const ReceivedWayPoint& r = m_records.at(index);
    if (!hasRecentGroup() || r.sender != 0 || r.id == 0)
        return index;
    for (std::size_t i = 0; i < m_records.size(); ++i)
        if (m_records[i].id == r.id && m_records[i].sender != 0)
            return i;
    return index;
}

std::int32_t Provider::groupOfToken(std::int64_t token) const {
    for (std::size_t g = 0; g < m_groups.size(); ++g)
        if (m_groups[g].token == token)
            return static_cast<std::int32_t>(g);
    return -1;
}

Render::Image* Provider::pointImage(std::size_t index) {
    const Render::PoiStyle* style = m_styles != nullptr ? m_styles->poiStyle(m_records.at(index).type) : nullptr;
    return style != nullptr ? style->icon : nullptr;
}

ReceivedWayPointsListPage::ReceivedWayPointsListPage(Ui::fdInterface* ui, std::unique_ptr<ReceivedPointsSource> source,
                                                     fdWPManager* waypoints, WaypointStyles* styles,
                                                     Core::ConfigNodePtr config, const Core::MessageTable* messages,
                                                     const Ui::ButtonBindings* bindings)
    : fdPage(ui, "received_waypoints_list", nullptr), m_source(std::move(source)), m_waypoints(waypoints),
      m_styles(styles), m_config(std::move(config)), m_messages(messages), m_bindings(bindings) {}

// The list model goes before the provider it reads.
ReceivedWayPointsListPage::~ReceivedWayPointsListPage() { m_model.reset(); }

void ReceivedWayPointsListPage::onShow() {
    auto* list = dynamic_cast<Ui::fdList*>(findChild("list"));
    m_model.reset();
    m_provider.reset();
    if (list == nullptr || m_source == nullptr) {
        updateButtons();
        return;
    }
    const int recent = m_config ? m_config->value("online_recent_group_size", 20) : 20;
    const std::u16string name = m_messages != nullptr ? m_messages->text("online_recent_group_name") : u"";
    m_provider = std::make_unique<ReceivedPointsBySenderProvider>(*m_source, recent, name, m_styles);
    m_provider->rebuild(m_removedWithoutId);
    m_model = std::make_unique<WayPointsCategoriesSingleSelectList>(*list, *m_provider);
    m_model->rebuildAll();
    if (m_pending != NoSender) {
        openGroup(m_provider->groupOfToken(m_pending));
        m_pending = NoSender;
    } else {
        openGroup(m_provider->groupToOpen());
    }
    updateButtons();
}

void ReceivedWayPointsListPage::rebuild() {
    if (m_provider == nullptr || m_model == nullptr)
        return;
    m_provider->rebuild(m_removedWithoutId);
    m_model->rebuildAll();
    openGroup(m_provider->groupToOpen());
    updateButtons();
}

void ReceivedWayPointsListPage::updateButtons() {
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
    // "On the map", "Keep" and "Delete" act on the chosen point: without
    // one (nothing received, a sender's row chosen) they look dead.
    Ui::ListPage::enableButtons(*this, {"button_go", "add", "del"}, selectedRecord() >= 0);
    // Nothing received (or no online service at all): the page says so.
    Ui::ListPage::updateEmptyNotice(*this, m_provider == nullptr || m_provider->pointCount() == 0,
                                    m_messages != nullptr ? m_messages->text("received_points_none") : u"");
}

void ReceivedWayPointsListPage::openGroup(std::int32_t group) {
    if (m_model == nullptr || group < 0 || group >= m_model->groupCount())
        return;
    m_model->setExpanded(group, true);
    m_model->showGroup(group);
}

void ReceivedWayPointsListPage::showSender(std::int64_t token) {
    m_pending = token;
    if (m_model != nullptr && m_provider != nullptr && token != NoSender) {
        const std::int32_t group = m_provider->groupOfToken(token);
        if (group < 0)
            m_pending = NoSender;
        else
            openGroup(group);
    }
    updateButtons();
}

std::int64_t ReceivedWayPointsListPage::selectedRecord() const {
    if (m_model == nullptr || m_provider == nullptr)
        return -1;
    const std::int64_t record = m_model->selectedItem();
    return record >= 0 && static_cast<std::size_t>(record) < m_provider->pointCount() ? record : -1;
}

void ReceivedWayPointsListPage::remove(std::size_t record) {
    const ReceivedWayPoint& r = m_provider->record(m_provider->original(record));
    if (r.id == 0) {
        // The service cannot tell points without an id apart: the page
        // leaves this one out for the rest of the run.
        ReceivedWayPoint removed = r;
        removed.sender = static_cast<std::uint32_t>(m_provider->groups().at(r.sender).token);
        m_removedWithoutId.push_back(std::move(removed));
    } else {
        m_source->addSeenPointId(r.id);
    }
}

bool ReceivedWayPointsListPage::keyDown(int key) {
    const bool handled = moveHighlightByKey(*this, m_model.get(), m_bindings, key);
    if (handled) updateButtons();
    return handled;
}

void ReceivedWayPointsListPage::childClicked(const std::string& name) {
    if (name == "button_go" || name == "add") {
        const std::int64_t selected = selectedRecord();
        auto* map = dynamic_cast<fdPageMap*>(ui()->findPage("pageMap"));
        if (selected < 0)
            return;
        const std::size_t index = m_provider->original(static_cast<std::size_t>(selected));
        const ReceivedWayPoint record = m_provider->record(index);
        const auto& group = m_provider->groups().at(record.sender);
        m_pending = group.token;
        if (name == "add") {
            if (m_waypoints == nullptr)
                return;
            const std::int32_t category = m_waypoints->addCategory(group.category.name);
            if (category < 0)
                return;
            const fdWPManager::ChangeBatch batch(*m_waypoints);
            const std::int32_t stored = m_waypoints->addPoint(record.name, record.position, record.comment,
                                                              static_cast<std::uint8_t>(category));
            if (stored >= 0) {
                m_waypoints->setType(static_cast<std::size_t>(stored), record.type);
                m_waypoints->setId(static_cast<std::size_t>(stored), record.id);
            }
            remove(index);
            rebuild();
        }
        if (map == nullptr)
            return;
        map->showPoint(record.position, true);
        ui()->activatePage(map);
    } else if (name == "del") {
        const std::int64_t selected = selectedRecord();
        if (selected < 0)
            return;
        remove(static_cast<std::size_t>(selected));
        rebuild();
    } else if (listCommand(*this, m_model.get(), m_tap, name)) {
        updateButtons();
    } else {
        handleCommonCommand(name);
    }
}

} // namespace Screens
