#pragma once
// The POI type settings page ("pois_settings"): the POI types of the map
// styles in their groups, each with a check box, in one of two columns:
// whether the type's icons are drawn ("show") or the driver is warned when
// approaching one ("warn"). Both flags live in the styles' show/warn table;
// the list's checks are applied on "button_ok".

#include "core/ConfigNode.h"
#include "ui/PoiTypesLists.h"
#include "ui/fdPage.h"

#include <functional>
#include <memory>

namespace Render {
class RenderStyles;
}

namespace Ui {
class ButtonBindings;
}

namespace Screens {

// The four ways the page reads and writes the table, one column each.
class PoiTypesShowCheck final : public Ui::PoiTypesGroupsMultiSelectList::CheckPredicate {
  public:
    explicit PoiTypesShowCheck(const Render::RenderStyles& styles) : m_styles(styles) {}
    bool isChecked(std::uint16_t category, std::uint16_t type) const override;

  private:
    const Render::RenderStyles& m_styles;
};

class PoiTypesWarnCheck final : public Ui::PoiTypesGroupsMultiSelectList::CheckPredicate {
  public:
    explicit PoiTypesWarnCheck(const Render::RenderStyles& styles) : m_styles(styles) {}
    bool isChecked(std::uint16_t category, std::uint16_t type) const override;

  private:
    const Render::RenderStyles& m_styles;
};

// Show flag := checked, the warn flag kept.
class PoiTypesShowApply final : public Ui::PoiTypesGroupsMultiSelectList::CheckApply {
  public:
    explicit PoiTypesShowApply(Render::RenderStyles& styles) : m_styles(styles) {}
    void apply(std::uint16_t category, std::uint16_t type, bool checked) override;

  private:
    Render::RenderStyles& m_styles;
};

// Warn flag := checked, the show flag kept.
class PoiTypesWarnApply final : public Ui::PoiTypesGroupsMultiSelectList::CheckApply {
  public:
    explicit PoiTypesWarnApply(Render::RenderStyles& styles) : m_styles(styles) {}
    void apply(std::uint16_t category, std::uint16_t type, bool checked) override;

  private:
    Render::RenderStyles& m_styles;
};

class PoisSettingsPage final : public Ui::fdPage {
  public:
    // The styles (the renderer's, made after the pages) are asked for when
    // the page is built; none gives no list. bindings may be null (the
    // default keys).
    using StylesSource = std::function<Render::RenderStyles*()>;
    PoisSettingsPage(Ui::fdInterface* ui, Core::ConfigNodePtr root, StylesSource styles,
                     const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    std::int32_t mode() const { return m_mode; }
    Ui::PoiTypesGroupsMultiSelectList* list() const { return m_list.get(); }

  private:
    void switchMode(std::int32_t mode);
    void updateScrollButtons();

    Core::ConfigNodePtr m_root;
    StylesSource m_stylesSource;
    Render::RenderStyles* m_styles = nullptr;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<Ui::PoiTypesGroupsMultiSelectList> m_list;
    std::int32_t m_mode = -1;
};

} // namespace Screens
