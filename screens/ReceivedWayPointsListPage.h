#pragma once
// The waypoints friends sent ("received_waypoints_list"), grouped by
// sender, with a first group of the most recent ones. A chosen point is
// shown on the map, added to the stored waypoints (in a category named like
// its sender) or removed.

#include "core/ConfigNode.h"
#include "screens/ListPageSupport.h"
#include "screens/WayPointsCategoriesLists.h"
#include "ui/fdPage.h"
#include "userdata/CategorizedWayPointsProvider.h"
#include "userdata/MonitoringSystem.h"

#include <memory>
#include <utility>
#include <vector>

class fdWPManager;
class WaypointStyles;

namespace Core {
class MessageTable;
}
namespace Ui {
class ButtonBindings;
}

namespace Screens {

// What the page needs of the online service.
class ReceivedPointsSource {
  public:
    virtual ~ReceivedPointsSource() = default;
    virtual void getFriends(std::vector<std::pair<std::uint32_t, Monitoring::Friend>>& out) const = 0;
    // The user removed the point of that id: it is not shown nor taken again.
    virtual void addSeenPointId(std::uint32_t id) = 0;
};

class MonitoringPointsSource final : public ReceivedPointsSource {
  public:
    explicit MonitoringPointsSource(Monitoring::System& system) : m_system(system) {}
    void getFriends(std::vector<std::pair<std::uint32_t, Monitoring::Friend>>& out) const override {
        m_system.getFriends(out);
    }
    void addSeenPointId(std::uint32_t id) override { m_system.addSeenPointId(id); }

  private:
    Monitoring::System& m_system;
};

struct ReceivedWayPoint : WayPoint {
    std::uint32_t sender = 0; // the group the record belongs to
};

class ReceivedWayPointsListPage : public Ui::fdPage {
  public:
    static constexpr std::int64_t NoSender = -1;

    class ReceivedPointsBySenderProvider : public Map::CategorizedWayPointsProvider {
      public:
        struct Group {
            WayPointCategory category;
            std::int64_t token = NoSender; // none for the recent group
        };

        ReceivedPointsBySenderProvider(const ReceivedPointsSource& source, std::int32_t recentSize,
                                       std::u16string recentName, WaypointStyles* styles);

        // Rebuilds the groups from the friends' received points, leaving
        // out the points of id 0 that the user removed here.
        void rebuild(const std::vector<ReceivedWayPoint>& removedWithoutId);

        std::size_t categoryCount() const override { return m_groups.size(); }
        const WayPointCategory& category(std::size_t index) const override { return m_groups.at(index).category; }
        std::size_t pointCount() const override { return m_records.size(); }
        const WayPoint& point(std::size_t index) const override { return m_records.at(index); }
        std::size_t pointCategory(std::size_t index) const override { return m_records.at(index).sender; }
        Render::Image* pointImage(std::size_t index) override;
        void addListener(Map::WayPointsCategoriesListener*) override {}
        void removeListener(Map::WayPointsCategoriesListener*) override {}

        const std::vector<Group>& groups() const { return m_groups; }
        const ReceivedWayPoint& record(std::size_t index) const { return m_records.at(index); }
        // A record of the recent group stands for the first record of the
        // same id, the one in its sender's group.
        std::size_t original(std::size_t index) const;
        std::int32_t groupToOpen() const { return m_open; }
        std::int32_t groupOfToken(std::int64_t token) const;
        bool hasRecentGroup() const { return m_recentSize > 0; }

      private:
        const ReceivedPointsSource& m_source;
        std::int32_t m_recentSize;
        std::u16string m_recentName;
        WaypointStyles* m_styles;
        std::vector<Group> m_groups;
        std::vector<ReceivedWayPoint> m_records;
        std::int32_t m_open = -1;
        std::vector<std::uint32_t> m_recentIds;
    };

    // source and waypoints may be null (no online service: an empty list).
    ReceivedWayPointsListPage(Ui::fdInterface* ui, std::unique_ptr<ReceivedPointsSource> source,
                              fdWPManager* waypoints, WaypointStyles* styles, Core::ConfigNodePtr config,
                              const Core::MessageTable* messages, const Ui::ButtonBindings* bindings);
    ~ReceivedWayPointsListPage() override;

    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // Opens that sender's group now, or at the next show.
    void showSender(std::int64_t token);

    ReceivedPointsBySenderProvider* provider() const { return m_provider.get(); }
    WayPointsCategoriesSingleSelectList* model() const { return m_model.get(); }
    std::int64_t pendingSender() const { return m_pending; }

  private:
    void rebuild();
    // The up and down buttons, those of the chosen point and the notice of
    // an empty list.
    void updateButtons();
    void openGroup(std::int32_t group);
    // The chosen record, -1 when none.
    std::int64_t selectedRecord() const;
    void remove(std::size_t record);

    std::unique_ptr<ReceivedPointsSource> m_source;
    fdWPManager* m_waypoints;
    WaypointStyles* m_styles;
    Core::ConfigNodePtr m_config;
    const Core::MessageTable* m_messages;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<WayPointsCategoriesSingleSelectList> m_model;
    std::unique_ptr<ReceivedPointsBySenderProvider> m_provider;
    std::int64_t m_pending = NoSender;
    std::vector<ReceivedWayPoint> m_removedWithoutId;
    ListTap m_tap;
};

} // namespace Screens
