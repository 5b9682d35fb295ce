#include "screens/PolylinesSettingsPage.h"

#include "map/KVAtlas.h"
#include "render/fdMapRenderer.h"
#include "screens/LeaveCommand.h"
#include "screens/ListPageSupport.h"
#include "ui/ListPage.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

namespace Screens {

void PolylinesSettingsPage::PolySettingsList::fillEmptyRow(Ui::TemplateWindow& row) { hideCheckRow(row); }

void PolylinesSettingsPage::PolySettingsList::fillRow(Ui::TemplateWindow& row, std::int32_t index) {
    const Entry& entry = entries[static_cast<std::size_t>(index)];
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(row.widget("check_show"))) {
        check->setChecked(entry.checked != 0);
        check->setVisible(true);
    }
    if (auto* text = dynamic_cast<Ui::fdStatic*>(row.widget("text"))) {
        text->setText(entry.name);
        text->setVisible(true);
    }
}

void PolylinesSettingsPage::PolySettingsList::itemClicked(std::int32_t index) {
    if (index < 0 || index >= count()) return;
    Ui::TemplateWindow* row = list().rowWidget(static_cast<std::size_t>(index - firstVisibleIndex()));
    auto* check = row ? dynamic_cast<Ui::fdCheckedButton*>(row->findChild("check_show")) : nullptr;
    if (!check) return;
    Entry& entry = entries[static_cast<std::size_t>(index)];
    // A tap on the box itself has toggled it already (the box then differs
    // from the entry); a tap elsewhere on the row toggles it here.
    if (check->checked() == (entry.checked != 0)) check->toggle();
    entry.checked = entry.type == FixedType ? 0 : (check->checked() ? 1 : 0);
    if (check->checked() != (entry.checked != 0)) check->setChecked(entry.checked != 0);
}

PolylinesSettingsPage::PolylinesSettingsPage(Ui::fdInterface* ui, Core::ConfigNodePtr root,
                                             RendererSource renderer, Map::KVAtlas* atlas,
                                             const Ui::ButtonBindings* bindings, std::u16string filePath)
    : fdPage(ui, "polylines_settings", nullptr), m_root(std::move(root)), m_renderer(std::move(renderer)),
      m_atlas(atlas), m_bindings(bindings), m_filePath(std::move(filePath)) {}

void PolylinesSettingsPage::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    m_list.reset();
    if (list) m_list = std::make_unique<PolySettingsList>(*list);
}

void PolylinesSettingsPage::ensureEntries() {
    if (!m_list || !m_list->entries.empty()) return;
    std::vector<PolylineEntry> read;
    readPolylinesFile(m_filePath, read);
    for (PolylineEntry& entry : read)
        m_list->entries.push_back({entry.type, std::move(entry.name), 0});
}

std::array<std::uint8_t, 256>* PolylinesSettingsPage::table(std::int32_t mode) const {
    MapDrawing::fdMapRenderer* renderer = m_renderer ? m_renderer() : nullptr;
    if (!renderer) return nullptr;
    if (mode == 0) return &renderer->showPolylineLine();
    if (mode == 1) return &renderer->showPolylineText();
    return nullptr;
}

void PolylinesSettingsPage::onShow() {
    const std::int32_t stored = m_root ? m_root->value("polylines_settings_mode", 0) : 0;
    switchMode(stored % 2);
}

void PolylinesSettingsPage::switchMode(std::int32_t mode) {
    if (mode == m_mode) return;
    m_mode = mode;
    std::array<std::uint8_t, 256>* flags = table(mode);
    if (!flags) return;
    if (auto* button =
            dynamic_cast<Ui::fdCheckedButton*>(findChild(mode == 0 ? "button_show" : "button_text")))
        button->setChecked(true);
    bool all = true;
    if (m_list) {
        ensureEntries();
        for (PolySettingsList::Entry& entry : m_list->entries) {
            entry.checked =
                entry.type == FixedType ? 0 : ((*flags)[static_cast<std::size_t>(entry.type)] ? 1 : 0);
            if (entry.type != FixedType && !entry.checked) all = false;
        }
        if (!m_list->entries.empty())
            m_list->scrollTo(m_list->firstVisibleIndex());
        else
            m_list->refresh();
    }
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("select_all_check")))
        check->setChecked(all);
    updateScrollButtons();
}

void PolylinesSettingsPage::updateScrollButtons() {
    Ui::ListPage::updateUpDownButtons(*this, m_list.get());
    invalidate(1);
}

bool PolylinesSettingsPage::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return Ui::ListPage::pagingKey(*this, m_list.get(), m_bindings, key);
}

void PolylinesSettingsPage::childClicked(const std::string& name) {
    if (leaveCommand(*this, name))
        return;
    if (Ui::ListPage::pageCommand(*this, m_list.get(), name)) {
        invalidate(1);
    } else if (name == "button_ok") {
        if (std::array<std::uint8_t, 256>* flags = table(m_mode)) {
            if (m_list)
                for (const PolySettingsList::Entry& entry : m_list->entries)
                    (*flags)[static_cast<std::size_t>(entry.type)] =
                        entry.type == FixedType ? 0 : entry.checked;
            if (m_root)
                m_root->set(m_mode == 0 ? "show_pl_line" : "show_pl_text", MapDrawing::packTypeFlags(*flags));
            // The map's cached frame still shows the old choice.
            if (m_atlas) m_atlas->requestRedraw();
        }
        ui()->goBack();
    } else if (name == "button_show" || name == "button_text") {
        const std::int32_t mode = name == "button_show" ? 0 : 1;
        switchMode(mode);
        if (m_root) m_root->set("polylines_settings_mode", mode);
    } else if (name == "select_all_check") {
        auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("select_all_check"));
        if (m_list && check) {
            ensureEntries();
            for (PolySettingsList::Entry& entry : m_list->entries)
                entry.checked = entry.type == FixedType ? 0 : (check->checked() ? 1 : 0);
            m_list->refresh();
        }
    } else if (name == "list" && m_list) {
        m_list->activateSelected();
    }
}

} // namespace Screens
