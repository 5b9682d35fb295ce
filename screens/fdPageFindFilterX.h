#pragma once
// The search filter page ("menuFilter"): narrows later searches to a
// country, region, district or city. The filter itself is the newest filter
// of the atlas's search history; the page shows its four levels, picks any
// level through the find page, clears it, takes an older one from the
// filter history, and centres the map on a chosen city. The level chain
// remembers what was picked here, so that picking a higher level again keeps
// the levels above it; a change of the atlas forgets it.

#include "map/Atlas.h"
#include "map/TextSearchTypes.h"
#include "screens/SearchCallbacks.h"
#include "ui/fdPage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Core {
class MessageTable;
}
namespace Map {
class KVAtlas;
}

namespace Screens {

class fdPageFindFilterX final : public Ui::fdPage, public Map::AtlasListener {
  public:
    struct Filter {
        std::uint32_t level = 0;
        std::vector<Map::MapAndOffset> objects;
        bool operator==(const Filter&) const = default;
    };
    using LevelChain = std::vector<Filter>;

    // Registers with the atlas (when there is one) until destruction.
    fdPageFindFilterX(Ui::fdInterface* ui, TextSearch::Engine* engine, Map::KVAtlas* atlas,
                      const Core::MessageTable* messages);
    ~fdPageFindFilterX() override;

    void onShow() override;
    void childClicked(const std::string& name) override;
    // Escape leaves the page as "back" does.
    bool keyDown(int key) override;
    void onAtlasChanged() override;

    // The newest filter of the history, level 0 without one.
    Filter currentFilter() const;
    void refreshLabels();
    // Picks level 1 (country) to 4 (city) through the find page.
    void pickLevel(std::uint32_t level);
    // The filter one level up: the parents of its objects, each read in
    // its own map; level 0 when they are not all known.
    Filter lift(const Filter& filter) const;
    // Records the level as the newest filter and trims the chain below it.
    static void setLevel(TextSearch::Engine& engine, LevelChain& chain, std::uint32_t level,
                         const std::vector<Map::MapAndOffset>& objects);
    const std::shared_ptr<LevelChain>& chain() const { return m_chain; }

  private:
    void setLabel(const char* name, const std::u16string& text);
    std::u16string prompt(std::uint32_t level) const;
    std::u16string nameOf(std::uint32_t map, std::uint32_t level, std::uint32_t offset) const;

    TextSearch::Engine* m_engine;
    Map::KVAtlas* m_atlas;
    const Core::MessageTable* m_messages;
    // Shared with the callbacks handed to the find and history pages.
    std::shared_ptr<LevelChain> m_chain = std::make_shared<LevelChain>();
};

} // namespace Screens
