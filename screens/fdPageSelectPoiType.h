#pragma once
// The POI type chooser ("select_poi_type"): the POI types of the map styles
// grouped by category, all of them or only those that waypoints use; the
// chosen type goes to the callback of the page that opened the chooser.

#include "screens/ListPageSupport.h"
#include "screens/PoiTypeCallbacks.h"
#include "ui/PoiTypesLists.h"
#include "ui/fdPage.h"

#include <cstdint>
#include <memory>
#include <optional>

class fdWPManager;

namespace Core {
class MessageTable;
}
namespace Render {
class RenderStyles;
}
namespace Ui {
class ButtonBindings;
}

namespace Screens {

class fdPageSelectPoiType : public Ui::fdPage {
  public:
    // The messages say what comes here while no waypoint is stored (none:
    // no word).
    fdPageSelectPoiType(Ui::fdInterface* ui, Render::RenderStyles* styles, fdWPManager* waypoints,
                        const Ui::ButtonBindings* bindings, const Core::MessageTable* messages = nullptr);

    void afterBuild() override;
    void onShow() override { updatePage(); }
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    // Every type; the one given, when the styles have it, chosen and shown:
    // the type "OK" gives without another choice.
    void showAllTypes(std::optional<std::uint16_t> chosen = std::nullopt);
    // Only the types of the stored waypoints; deleted points do not count.
    // Without any, the page says what comes here; "OK" looks dead until a
    // type is chosen.
    void showUsedTypes();
    // The opener hands its callback over before it goes to the page.
    void setCallback(std::shared_ptr<SelectPoiTypeResultCallback> callback) { m_callback = std::move(callback); }
    const std::shared_ptr<SelectPoiTypeResultCallback>& callback() const { return m_callback; }
    Ui::PoiTypesGroupsSingleSelectList* model() const { return m_model.get(); }

  private:
    // The up and down buttons, "OK" (dead while no type is chosen and the
    // opener wants one) and the notice of an empty list.
    void updatePage();

    Render::RenderStyles* m_styles;
    fdWPManager* m_waypoints;
    const Ui::ButtonBindings* m_bindings;
    const Core::MessageTable* m_messages;
    // The used types are shown (an empty list is then "no waypoints").
    bool m_usedTypes = false;
    std::unique_ptr<Ui::PoiTypesGroupsSingleSelectList> m_model;
    std::shared_ptr<SelectPoiTypeResultCallback> m_callback;
    ListTap m_tap;
};

} // namespace Screens
