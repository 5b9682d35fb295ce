#include "screens/fdPageFindFilterX.h"

#include "core/MessageTable.h"
#include "map/KVAtlas.h"
#include "screens/PlaceRecords.h"
#include "screens/SearchHistoryPage.h"
#include "screens/fdPageFindX.h"
#include "screens/fdPageMap.h"
#include "search/Engine.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include <algorithm>
#include <array>

#include <SDL/SDL_keysym.h>

namespace Screens {

namespace {

using Filter = fdPageFindFilterX::Filter;
using LevelChain = fdPageFindFilterX::LevelChain;

constexpr std::array<int, 4> kKinds{TextSearch::CountriesKind, TextSearch::RegionsKind, TextSearch::DistrictsKind,
                                    TextSearch::CitiesKind};
constexpr std::array<const char*, 4> kPrompts{"filter_country", "filter_region", "filter_district", "filter_city"};
constexpr std::array<const char*, 4> kLabels{"country_label", "region_label", "neigh_label", "city_label"};

Filter newestFilter(TextSearch::Engine* engine) {
    Filter filter;
    if (!engine || !engine->history().lastFilter(filter.level, filter.objects)) filter = Filter{};
    return filter;
}

// A level picked on the find page: recorded, then the user is back on the
// filter page. Cities, streets, POIs and houses are found objects too.
class FindFilterItemCallback final : public SearchResultCallback {
  public:
    FindFilterItemCallback(TextSearch::Engine* engine, std::shared_ptr<LevelChain> chain, Ui::fdInterface* ui)
        : m_engine(engine), m_chain(std::move(chain)), m_ui(ui) {}
    void onResult(const TextSearch::ResultItem& item) override {
        const int kind = m_engine->kind();
        const auto level = std::find(kKinds.begin(), kKinds.end(), kind);
        if (level != kKinds.end()) {
            const auto* objects = std::get_if<0>(&item.objects);
            if (objects && !objects->empty()) {
                fdPageFindFilterX::setLevel(*m_engine, *m_chain, std::uint32_t(level - kKinds.begin()) + 1, *objects);
                m_ui->goBack();
            }
        }
        if (kind == TextSearch::CitiesKind || kind == TextSearch::StreetsKind || kind == TextSearch::PoisKind ||
            kind == TextSearch::HousesKind)
            m_engine->history().addFoundObject(kind, item);
    }
    void onBack() override {}

  private:
    TextSearch::Engine* m_engine;
    std::shared_ptr<LevelChain> m_chain;
    Ui::fdInterface* m_ui;
};

// A filter chosen on the filter history page becomes the newest; leaving
// it without a choice puts back the filter the page was opened with.
class SelectHistoryFilterCallback final : public FilterSelectCallback {
  public:
    SelectHistoryFilterCallback(TextSearch::Engine* engine, Filter opened, std::shared_ptr<LevelChain> chain)
        : m_engine(engine), m_opened(std::move(opened)), m_chain(std::move(chain)) {}
    void filterSelected(std::uint32_t level, const std::vector<Map::MapAndOffset>& objects) override {
        m_engine->history().addFilter(level, objects);
        m_chain->clear();
    }
    void cancelled() override {
        if (newestFilter(m_engine) != m_opened) m_engine->history().addFilter(m_opened.level, m_opened.objects);
    }

  private:
    TextSearch::Engine* m_engine;
    Filter m_opened;
    std::shared_ptr<LevelChain> m_chain;
};

} // namespace

fdPageFindFilterX::fdPageFindFilterX(Ui::fdInterface* ui, TextSearch::Engine* engine, Map::KVAtlas* atlas,
                                     const Core::MessageTable* messages)
    : fdPage(ui, "menuFilter", nullptr), m_engine(engine), m_atlas(atlas), m_messages(messages) {
    if (m_atlas) m_atlas->addListener(this);
}

fdPageFindFilterX::~fdPageFindFilterX() {
    if (m_atlas) m_atlas->removeListener(this);
}

void fdPageFindFilterX::onAtlasChanged() { m_chain->clear(); }

fdPageFindFilterX::Filter fdPageFindFilterX::currentFilter() const { return newestFilter(m_engine); }

std::u16string fdPageFindFilterX::prompt(std::uint32_t level) const {
    return m_messages && level >= 1 && level <= 4 ? m_messages->text(kPrompts[level - 1]) : std::u16string();
}

std::u16string fdPageFindFilterX::nameOf(std::uint32_t map, std::uint32_t level, std::uint32_t offset) const {
    if (!m_engine || map >= m_engine->maps().size() || offset == 0) return {};
    return placeName(*m_engine->maps().at(map), level, offset);
}

void fdPageFindFilterX::setLabel(const char* name, const std::u16string& text) {
    if (auto* label = dynamic_cast<Ui::fdStatic*>(findChild(name))) {
        label->setText(text);
        label->invalidate(0);
    }
}

void fdPageFindFilterX::refreshLabels() {
    const Filter filter = currentFilter();
    if (filter.level == 0 || filter.level > 4 || filter.objects.empty()) {
        for (std::uint32_t level = 1; level <= 4; ++level)
            setLabel(kLabels[level - 1], prompt(level));
        return;
    }
    const Map::MapAndOffset first = filter.objects.front();
    PlaceRecord place;
    if (!m_engine || first.map >= m_engine->maps().size() ||
        !readPlace(*m_engine->maps().at(first.map), filter.level, first.offset, place))
        return;
    // The chosen level's name, its parents' names above it and the prompts
    // below it; a parent the place does not have ("Any country" on a map
    // without countries) offers its prompt like a level not chosen.
    const std::array<std::uint32_t, 3> parents{place.country, place.region, place.district};
    for (std::uint32_t level = 1; level <= 4; ++level) {
        std::u16string text;
        if (level == filter.level)
            text = place.name;
        else if (level < filter.level)
            text = nameOf(first.map, level, parents[level - 1]);
        if (level != filter.level && text.empty())
            text = prompt(level);
        setLabel(kLabels[level - 1], text);
    }
}

void fdPageFindFilterX::onShow() {
    refreshLabels();
    invalidate(0);
}

fdPageFindFilterX::Filter fdPageFindFilterX::lift(const Filter& filter) const {
    if (filter.level <= 1 || filter.level > 4 || !m_engine) return Filter{};
    // Candidate parents of each level above, tried from the nearest level.
    std::array<std::vector<Map::MapAndOffset>, 3> candidates;
    std::array<bool, 3> complete{true, true, true};
    for (const Map::MapAndOffset& object : filter.objects) {
        PlaceRecord place;
        if (object.map >= m_engine->maps().size() ||
            !readPlace(*m_engine->maps().at(object.map), filter.level, object.offset, place))
            return Filter{};
        const std::array<std::uint32_t, 3> parents{place.country, place.region, place.district};
        bool any = false;
        for (std::uint32_t level = 1; level < filter.level; ++level) {
            if (!complete[level - 1]) continue;
            if (parents[level - 1] == 0)
                complete[level - 1] = false;
            else
                candidates[level - 1].push_back({object.map, parents[level - 1]});
            any = any || complete[level - 1];
        }
        if (!any) return Filter{};
    }
    for (std::uint32_t level = filter.level - 1; level >= 1; --level)
        if (complete[level - 1] && !candidates[level - 1].empty()) return Filter{level, candidates[level - 1]};
    return Filter{};
}

void fdPageFindFilterX::setLevel(TextSearch::Engine& engine, LevelChain& chain, std::uint32_t level,
                                 const std::vector<Map::MapAndOffset>& objects) {
    engine.history().addFilter(level, objects);
    const auto from = std::find_if(chain.begin(), chain.end(), [&](const Filter& f) { return f.level >= level; });
    chain.erase(from, chain.end());
    chain.push_back(Filter{level, objects});
}

void fdPageFindFilterX::pickLevel(std::uint32_t level) {
    if (!m_engine || level < 1 || level > 4) return;
    Filter parent = currentFilter();
    if (parent.level >= level) {
        const auto found = std::find_if(m_chain->rbegin(), m_chain->rend(), [&](const Filter& f) { return f.level < level; });
        if (found != m_chain->rend()) {
            parent = *found;
        } else {
            while (parent.level >= level)
                parent = lift(parent);
        }
    }
    const int kind = kKinds[level - 1];
    m_engine->search(kind, parent.level, parent.objects);
    auto* find = dynamic_cast<fdPageFindX*>(ui()->findPage("pageFind"));
    if (!find) return;
    find->setTitleForKind(kind);
    find->setCallback(std::make_shared<FindFilterItemCallback>(m_engine, m_chain, ui()));
    if (ui()->activePage())
        ui()->goToPage(find);
    else
        ui()->activatePage(find);
}

void fdPageFindFilterX::childClicked(const std::string& name) {
    if (handleCommonCommand(name))
        return;
    if (name == "menu") {
        ui()->activatePage(ui()->findPage("menuMain"));
    } else if (name == "ok") {
        // "Show city" shows it: the map page named and zoomed to the city;
        // without a city it only goes back.
        const Filter filter = currentFilter();
        if (filter.level == 4 && !filter.objects.empty() && m_engine &&
            filter.objects.front().map < m_engine->maps().size()) {
            PlaceRecord city;
            if (readPlace(*m_engine->maps().at(filter.objects.front().map), 4, filter.objects.front().offset, city)) {
                TextSearch::ResultItem item;
                item.text = city.name;
                const std::array<std::uint32_t, 3> parents{city.district, city.region, city.country};
                for (std::uint32_t level = 3; level >= 1; --level) {
                    const std::u16string parent = nameOf(filter.objects.front().map, level, parents[3 - level]);
                    if (parent.empty() || parent == city.name) continue;
                    item.detail += (item.detail.empty() ? u"" : u", ") + parent;
                }
                item.point = Map::Point{city.x, city.y};
                item.objects = filter.objects;
                if (showFoundOnMapPage(ui(), m_engine, TextSearch::CitiesKind, item)) return;
            }
        }
        ui()->goBack();
    } else if (name == "clear") {
        if (m_engine) m_engine->history().addFilter(0, {});
        m_chain->clear();
        refreshLabels();
    } else if (name == "history") {
        if (auto* history = dynamic_cast<SearchHistoryPage*>(ui()->findPage("pageFilterHistory"))) {
            history->showFilters(std::make_shared<SelectHistoryFilterCallback>(m_engine, currentFilter(), m_chain));
            ui()->goToPage(history);
        }
    } else if (name == "country") {
        pickLevel(1);
    } else if (name == "region") {
        pickLevel(2);
    } else if (name == "neigh") {
        pickLevel(3);
    } else if (name == "city") {
        pickLevel(4);
    }
}

bool fdPageFindFilterX::keyDown(int key) {
    if (key != SDLK_ESCAPE) return false;
    childClicked("back");
    return true;
}

} // namespace Screens
