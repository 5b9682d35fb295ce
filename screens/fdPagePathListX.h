#pragma once
// The route files page ("pagePathList"): the stored routes of the current
// atlas (its *.kvp files, the automatic "path.kvp" left out), saving the
// current route as a new file, deleting a file and loading one as the
// current route.

#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <memory>
#include <string>
#include <vector>

class AtlasRoute;
class Messages;

namespace Map {
class KVAtlas;
}
namespace Ui {
class ButtonBindings;
class TemplateWindow;
} // namespace Ui

namespace Screens {

class PathsList : public Ui::SimpleList {
  public:
    PathsList(Ui::fdList& list, Map::KVAtlas& atlas) : SimpleList(list), m_atlas(atlas) {}

    std::int32_t selectedIndex() const override { return m_selected; }
    std::int32_t count() const override { return static_cast<std::int32_t>(m_names.size()); }
    // Rescans the atlas folder.
    void refresh() override;
    void itemClicked(std::int32_t index) override;
    void fillText(Ui::fdStatic& text, std::int32_t index) override;

    // The first entry equal to the name becomes the selection and is
    // scrolled into view; nothing when none is equal.
    void selectByName(const std::u16string& name);
    // Empty without a selection.
    std::u16string selectedName() const;
    std::u16string fullPath(const std::u16string& name) const;
    const std::vector<std::u16string>& names() const { return m_names; }
    // Highlights the selected entry's row when it is in view.
    void showSelection();

    // Whether a file is a route file worth listing: "KVP", version 4 and
    // the whole stored route name behind them.
    static bool isRouteFile(const std::u16string& path);

  private:
    Map::KVAtlas& m_atlas;
    std::vector<std::u16string> m_names;
    std::int32_t m_selected = -1;
};

class fdPagePathListX final : public Ui::fdPage {
  public:
    // The route is the atlas's current one; bindings may be null (no
    // paging keys).
    fdPagePathListX(Ui::fdInterface* ui, const Messages& messages, Map::KVAtlas& atlas, AtlasRoute& route,
                    const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    PathsList* list() const { return m_list.get(); }
    // The open message box, null when none is shown.
    Ui::TemplateWindow* messageBox() const { return m_box; }

    // The name a new route file gets: the route's own file name, or, when
    // a file of that name exists already, the same name with " (2)", " (3)"
    // ... before the extension, so that saving never replaces a stored
    // route. Empty when the route has fewer than two points.
    std::u16string newFileName() const;

  private:
    void updateButtons();
    void savePath();
    void deletePath();
    void loadPath();
    void showMessage(const std::u16string& text);

    const Messages& m_messages;
    Map::KVAtlas& m_atlas;
    AtlasRoute& m_route;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<PathsList> m_list;
    Ui::TemplateWindow* m_box = nullptr;
};

} // namespace Screens
