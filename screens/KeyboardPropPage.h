#pragma once
// The keyboard settings page ("keyboard_prop"): the on-screen keyboard's
// grid layout for editing text, its grid layout for searching, and the
// languages it cycles through, stored in the configuration node "Keyboard"
// on "button_ok".

#include "core/ConfigNode.h"
#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class ButtonBindings;
class KeyboardLayouts;
} // namespace Ui

namespace Screens {

class KeyboardPropPage final : public Ui::fdPage {
  public:
    // The collection's languages with a check each.
    class LanguagesList final : public Ui::List {
      public:
        LanguagesList(Ui::fdList& list, std::vector<std::u16string> names)
            : List(list), m_names(std::move(names)) {}

        std::int32_t count() const override { return static_cast<std::int32_t>(m_names.size()); }
        void fillEmptyRow(Ui::TemplateWindow& row) override;
        void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
        // Toggles the language.
        void itemClicked(std::int32_t index) override;

        bool isChecked(std::int32_t index) const;
        void setChecked(std::vector<std::int32_t> ascending) { m_checked = std::move(ascending); }
        void checkAll(bool on);
        // Ascending indices.
        const std::vector<std::int32_t>& checked() const { return m_checked; }

      private:
        std::vector<std::u16string> m_names;
        std::vector<std::int32_t> m_checked;
    };

    // layouts may be null (no layouts: the layout commands do nothing).
    KeyboardPropPage(Ui::fdInterface* ui, Core::ConfigNodePtr root, const Ui::KeyboardLayouts* layouts,
                     const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    void onShow() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    const std::vector<std::string>& editLayouts() const { return m_editLayouts; }
    const std::vector<std::string>& findLayouts() const { return m_findLayouts; }
    std::size_t editIndex() const { return m_editIndex; }
    std::size_t findIndex() const { return m_findIndex; }
    LanguagesList* languages() const { return m_languages.get(); }

  private:
    void save();
    void refreshControls();
    // index := (index + n + step) mod n; nothing for an empty list.
    static void step(std::size_t& index, std::size_t n, int step);

    Core::ConfigNodePtr m_root;
    const Ui::KeyboardLayouts* m_layouts;
    const Ui::ButtonBindings* m_bindings;
    std::vector<std::string> m_editLayouts;
    std::vector<std::string> m_findLayouts;
    std::size_t m_editIndex = 0;
    std::size_t m_findIndex = 0;
    std::unique_ptr<LanguagesList> m_languages;
};

} // namespace Screens
