#include "screens/fdPageSelectPoiType.h"

#include "core/MessageTable.h"
#include "ui/ListPage.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "userdata/fdWPManager.h"

#include <algorithm>
#include <vector>

#include <SDL/SDL_keysym.h>

namespace Screens {

namespace {

// Accepts the types of a sorted list.
class UsedTypesFilter final : public Ui::PoiTypesGroupsList::FilterPredicate {
  public:
    explicit UsedTypesFilter(std::vector<std::uint16_t> types) : m_types(std::move(types)) {}
    bool accept(std::uint16_t type) const override {
        return std::binary_search(m_types.begin(), m_types.end(), type);
    }

  private:
    std::vector<std::uint16_t> m_types;
};

} // namespace

fdPageSelectPoiType::fdPageSelectPoiType(Ui::fdInterface* ui, Render::RenderStyles* styles,
                                         fdWPManager* waypoints, const Ui::ButtonBindings* bindings,
                                         const Core::MessageTable* messages)
    : fdPage(ui, "select_poi_type", nullptr), m_styles(styles), m_waypoints(waypoints), m_bindings(bindings),
      m_messages(messages) {}

void fdPageSelectPoiType::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (list != nullptr && m_styles != nullptr)
        m_model = std::make_unique<Ui::PoiTypesGroupsSingleSelectList>(*list, *m_styles);
}

void fdPageSelectPoiType::showAllTypes(std::optional<std::uint16_t> chosen) {
    m_usedTypes = false;
    if (m_model != nullptr) {
        m_model->buildGroups(Ui::PoiTypesGroupsList::AcceptAll());
        m_model->refresh();
        if (chosen)
            m_model->selectType(*chosen);
    }
    updatePage();
}

void fdPageSelectPoiType::showUsedTypes() {
    std::vector<std::uint16_t> types;
    if (m_waypoints != nullptr)
        for (std::size_t i = 0; i < m_waypoints->pointCount(); ++i) {
            const WayPoint& point = m_waypoints->point(i);
            if (point.deleted())
                continue;
            const auto at = std::lower_bound(types.begin(), types.end(), point.type);
            if (at == types.end() || *at != point.type)
                types.insert(at, point.type);
        }
    m_usedTypes = true;
    if (m_model != nullptr) {
        m_model->buildGroups(UsedTypesFilter(std::move(types)));
        m_model->refresh();
    }
    updatePage();
}

void fdPageSelectPoiType::updatePage() {
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
    const bool empty = m_model == nullptr || m_model->count() == 0;
    const auto chosen = m_model != nullptr ? m_model->selectedType() : std::nullopt;
    Ui::ListPage::enableButtons(*this, {"button_ok"},
                                (chosen && !chosen->types.empty()) ||
                                    (m_callback != nullptr && m_callback->allowsNone()));
    Ui::ListPage::updateEmptyNotice(*this, m_usedTypes && empty,
                                    m_messages != nullptr ? m_messages->text("waypoints_none") : u"");
}

bool fdPageSelectPoiType::keyDown(int key) {
    // The list takes every key; Escape still leads out as "back" does.
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    const bool taken = Ui::ListPage::pagingKey(*this, m_model.get(), m_bindings, key);
    updatePage();
    return taken;
}

void fdPageSelectPoiType::childClicked(const std::string& name) {
    if (name == "button_ok") {
        const auto chosen = m_model != nullptr ? m_model->selectedType() : std::nullopt;
        std::uint16_t type = SelectPoiTypeResultCallback::NoType;
        if (chosen && !chosen->types.empty())
            type = chosen->types.front();
        else if (m_callback == nullptr || !m_callback->allowsNone())
            return;
        // Released before it reports: the callback may hand the page a new one.
        const std::shared_ptr<SelectPoiTypeResultCallback> callback = std::move(m_callback);
        m_callback.reset();
        ui()->goBack();
        if (callback != nullptr)
            callback->result(type);
    } else if (name == "back") {
        const std::shared_ptr<SelectPoiTypeResultCallback> callback = std::move(m_callback);
        m_callback.reset();
        ui()->goBack();
        if (callback != nullptr)
            callback->cancelled();
    } else if (listCommand(*this, m_model.get(), m_tap, name)) {
        updatePage();
    } else {
        handleCommonCommand(name);
    }
}

} // namespace Screens
