#pragma once
// The polyline settings page ("polylines_settings"): per line type of
// polylines.xml, whether its lines ("show" column) or its captions ("text"
// column) are drawn. The choices are the renderer's two 256-entry tables,
// stored as the blobs show_pl_line and show_pl_text on "button_ok".

#include "core/ConfigNode.h"
#include "screens/PolylinesFile.h"
#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <array>
#include <functional>
#include <memory>

namespace Map {
class KVAtlas;
}

namespace MapDrawing {
class fdMapRenderer;
}

namespace Ui {
class ButtonBindings;
}

namespace Screens {

class PolylinesSettingsPage final : public Ui::fdPage {
  public:
    // Type 180 is never drawn by choice: always unchecked, never checked,
    // and not part of the all-checked test.
    static constexpr std::int32_t FixedType = 180;

    class PolySettingsList final : public Ui::List {
      public:
        struct Entry {
            std::int32_t type = 0;
            std::u16string name;
            std::uint8_t checked = 0;
        };

        using List::List;
        std::int32_t count() const override { return static_cast<std::int32_t>(entries.size()); }
        void fillEmptyRow(Ui::TemplateWindow& row) override;
        void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
        void itemClicked(std::int32_t index) override;

        std::vector<Entry> entries;
    };

    // The renderer (made after the pages) is asked for when needed; none,
    // and a null atlas or bindings, leave nothing to edit, no map to
    // redraw, the default keys. filePath: polylines.xml.
    using RendererSource = std::function<MapDrawing::fdMapRenderer*()>;
    PolylinesSettingsPage(Ui::fdInterface* ui, Core::ConfigNodePtr root, RendererSource renderer,
                          Map::KVAtlas* atlas, const Ui::ButtonBindings* bindings, std::u16string filePath);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    std::int32_t mode() const { return m_mode; }
    PolySettingsList* list() const { return m_list.get(); }

  private:
    void switchMode(std::int32_t mode);
    // Reads polylines.xml while the list is empty.
    void ensureEntries();
    void updateScrollButtons();
    std::array<std::uint8_t, 256>* table(std::int32_t mode) const;

    Core::ConfigNodePtr m_root;
    RendererSource m_renderer;
    Map::KVAtlas* m_atlas;
    const Ui::ButtonBindings* m_bindings;
    std::u16string m_filePath;
    std::unique_ptr<PolySettingsList> m_list;
    std::int32_t m_mode = -1;
};

} // namespace Screens
