#pragma once
// The atlases page ("atlases"): the atlases found at start-up, switching the
// map to another one, and the names of the highlighted atlas's maps on the
// information page.

#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class MapCamera;

namespace Map {
class AtlasFolderList;
class KVAtlas;
} // namespace Map

namespace Guidance {
class KVMapEventsHandler;
}

namespace Ui {
class ButtonBindings;
}

namespace Screens {

class fdPageMap;
class MapNavigation;

// The atlas collection's names, the selection starting at none.
class AtlasesList final : public Ui::SimpleList {
  public:
    AtlasesList(Ui::fdList& list, Map::AtlasFolderList& folders) : SimpleList(list), m_folders(folders) {}

    std::int32_t selectedIndex() const override { return m_selected; }
    std::int32_t count() const override;
    void fillText(Ui::fdStatic& text, std::int32_t index) override;
    // The selection becomes the collection's current atlas, scrolled into
    // view.
    void refresh() override;
    // -1 keeps the selection.
    void itemClicked(std::int32_t index) override;
    // The list highlights the selected row when it is in view.
    void highlight();

  private:
    Map::AtlasFolderList& m_folders;
    std::int32_t m_selected = -1;
};

class AtlasesPage final : public Ui::fdPage {
  public:
    // What switching the atlas touches beyond the atlas itself; any may be
    // null (tests, an atlas without guidance).
    struct Services {
        Map::AtlasFolderList* folders = nullptr;
        Map::KVAtlas* atlas = nullptr;
        Guidance::KVMapEventsHandler* mapEvents = nullptr;
        MapNavigation* navigation = nullptr;
        // Found by name when the page is built, when not given.
        fdPageMap* mapPage = nullptr;
        MapCamera* camera = nullptr;
        const Ui::ButtonBindings* bindings = nullptr;
        // Told the new current index (the engine saves it as "atlas").
        std::function<void(std::uint32_t)> switched;
    };

    AtlasesPage(Ui::fdInterface* ui, Services services);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    AtlasesList* atlases() const { return m_atlases.get(); }

    // Loads the selected atlas with guidance and the map frame held off
    // (both car-state units taken); then goes back.
    void switchAtlas();
    // Loads the current atlas again in the same way, staying on the page
    // shown (a map file of it was damaged while in use: the load skips it).
    void reloadAtlas();
    // The map names of the selected atlas on the information page.
    void showMapNames();

  private:
    void updateUpDown();
    // The load of switchAtlas and reloadAtlas, guidance and frame held off.
    void loadAtlas(const std::u16string& folder);

    Services m_services;
    std::unique_ptr<AtlasesList> m_atlases;
};

} // namespace Screens
