#pragma once
// The chooser of several POI types ("select_poi_types"): check boxes on the
// types of the map styles; "ok" hands the checked types to the callback.

#include "screens/ListPageSupport.h"
#include "screens/PoiTypeCallbacks.h"
#include "screens/SearchCallbacks.h"
#include "ui/PoiTypesLists.h"
#include "ui/fdPage.h"

#include <memory>

namespace Render {
class RenderStyles;
}
namespace Ui {
class ButtonBindings;
}

namespace Screens {

class SelectPoiTypesPage : public Ui::fdPage, public PoiTypesChooser {
  public:
    SelectPoiTypesPage(Ui::fdInterface* ui, Render::RenderStyles* styles, const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // Before the opener goes to the page: every type checked or not.
    void prepare(bool checked) override;
    void setCallback(std::shared_ptr<SelectPoiTypesResultCallback> callback) override {
        m_callback = std::move(callback);
    }
    Ui::PoiTypesGroupsMultiSelectList* model() const { return m_model.get(); }

  private:
    Render::RenderStyles* m_styles;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<Ui::PoiTypesGroupsMultiSelectList> m_model;
    std::shared_ptr<SelectPoiTypesResultCallback> m_callback;
    ListTap m_tap;
};

} // namespace Screens
