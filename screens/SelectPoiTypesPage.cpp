#include "screens/SelectPoiTypesPage.h"

#include "ui/ListPage.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL/SDL_keysym.h>

namespace Screens {

SelectPoiTypesPage::SelectPoiTypesPage(Ui::fdInterface* ui, Render::RenderStyles* styles,
                                       const Ui::ButtonBindings* bindings)
    : fdPage(ui, "select_poi_types", nullptr), m_styles(styles), m_bindings(bindings) {}

void SelectPoiTypesPage::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (list != nullptr && m_styles != nullptr)
        m_model = std::make_unique<Ui::PoiTypesGroupsMultiSelectList>(*list, *m_styles);
}

void SelectPoiTypesPage::prepare(bool checked) {
    if (m_model != nullptr) {
        m_model->buildGroups(Ui::PoiTypesGroupsList::AcceptAll());
        m_model->hideGroup();
        m_model->refresh();
        m_model->checkAll(checked);
    }
    if (auto* all = dynamic_cast<Ui::fdCheckedButton*>(findChild("select_all_check")))
        all->setChecked(checked);
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
}

bool SelectPoiTypesPage::keyDown(int key) {
    // The list takes every key; Escape still leads out as "back" does.
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return Ui::ListPage::pagingKey(*this, m_model.get(), m_bindings, key);
}

void SelectPoiTypesPage::childClicked(const std::string& name) {
    if (name == "button_ok") {
        Ui::PoiTypesCheckCollector collector;
        if (m_model != nullptr)
            m_model->applyChecks(collector);
        const std::shared_ptr<SelectPoiTypesResultCallback> callback = std::move(m_callback);
        m_callback.reset();
        ui()->goBack();
        if (callback != nullptr)
            callback->result(collector.types);
    } else if (name == "back") {
        const std::shared_ptr<SelectPoiTypesResultCallback> callback = std::move(m_callback);
        m_callback.reset();
        ui()->goBack();
        if (callback != nullptr)
            callback->cancelled();
    } else if (name == "select_all_check") {
        auto* all = dynamic_cast<Ui::fdCheckedButton*>(findChild("select_all_check"));
        if (m_model != nullptr && all != nullptr)
            m_model->checkAll(all->checked());
        invalidate(1);
    } else if (!listCommand(*this, m_model.get(), m_tap, name)) {
        handleCommonCommand(name);
    }
}

} // namespace Screens
