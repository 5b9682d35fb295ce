#include "screens/PoisSettingsPage.h"

#include "render/RenderStyles.h"
#include "screens/LeaveCommand.h"
#include "ui/ListPage.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

namespace Screens {

bool PoiTypesShowCheck::isChecked(std::uint16_t, std::uint16_t type) const {
    return m_styles.isPoiTypeShown(type);
}

bool PoiTypesWarnCheck::isChecked(std::uint16_t, std::uint16_t type) const {
    return m_styles.isPoiTypeWarned(type);
}

void PoiTypesShowApply::apply(std::uint16_t, std::uint16_t type, bool checked) {
    m_styles.setPoiTypeFlags(type, checked, m_styles.isPoiTypeWarned(type));
}

void PoiTypesWarnApply::apply(std::uint16_t, std::uint16_t type, bool checked) {
    m_styles.setPoiTypeFlags(type, m_styles.isPoiTypeShown(type), checked);
}

PoisSettingsPage::PoisSettingsPage(Ui::fdInterface* ui, Core::ConfigNodePtr root, StylesSource styles,
                                   const Ui::ButtonBindings* bindings)
    : fdPage(ui, "pois_settings", nullptr), m_root(std::move(root)), m_stylesSource(std::move(styles)),
      m_bindings(bindings) {}

void PoisSettingsPage::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    m_list.reset();
    m_styles = m_stylesSource ? m_stylesSource() : nullptr;
    if (!list || !m_styles) return;
    m_list = std::make_unique<Ui::PoiTypesGroupsMultiSelectList>(*list, *m_styles);
    m_list->buildGroups(Ui::PoiTypesGroupsList::AcceptAll{});
}

void PoisSettingsPage::onShow() {
    const std::int32_t stored = m_root ? m_root->value("pois_settings_mode", 0) : 0;
    switchMode(stored % 2);
}

void PoisSettingsPage::switchMode(std::int32_t mode) {
    if (mode == m_mode) return;
    m_mode = mode;
    if ((mode != 0 && mode != 1) || !m_styles) return;
    if (auto* button =
            dynamic_cast<Ui::fdCheckedButton*>(findChild(mode == 0 ? "button_show" : "button_warn")))
        button->setChecked(true);
    bool all = false;
    if (m_list) {
        if (mode == 0)
            all = m_list->updateGroupChecks(PoiTypesShowCheck(*m_styles));
        else
            all = m_list->updateGroupChecks(PoiTypesWarnCheck(*m_styles));
    }
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("select_all_check")))
        check->setChecked(all);
    updateScrollButtons();
}

void PoisSettingsPage::updateScrollButtons() {
    Ui::ListPage::updateUpDownButtons(*this, m_list.get());
    invalidate(1);
}

bool PoisSettingsPage::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return Ui::ListPage::pagingKey(*this, m_list.get(), m_bindings, key);
}

void PoisSettingsPage::childClicked(const std::string& name) {
    if (leaveCommand(*this, name))
        return;
    if (Ui::ListPage::pageCommand(*this, m_list.get(), name)) {
        invalidate(1);
    } else if (name == "button_ok") {
        if (m_list && m_styles) {
            if (m_mode == 0) {
                PoiTypesShowApply apply(*m_styles);
                m_list->applyChecks(apply);
            } else if (m_mode == 1) {
                PoiTypesWarnApply apply(*m_styles);
                m_list->applyChecks(apply);
            }
        }
        ui()->goBack();
    } else if (name == "button_show" || name == "button_warn") {
        const std::int32_t mode = name == "button_show" ? 0 : 1;
        switchMode(mode);
        if (m_root) m_root->set("pois_settings_mode", mode);
    } else if (name == "select_all_check") {
        auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("select_all_check"));
        if (m_list && check) m_list->checkAll(check->checked());
    } else if (name == "list" && m_list) {
        m_list->activateSelected();
        updateScrollButtons();
    }
}

} // namespace Screens
