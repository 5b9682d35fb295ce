#include "screens/SearchHistoryPage.h"

#include "screens/FoundObject.h"

#include "core/MessageTable.h"
#include "screens/PlaceRecords.h"
#include "screens/SearchCallbacks.h"
#include "screens/fdPageMap.h"
#include "search/Engine.h"
#include "ui/ListPage.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <array>

#include <SDL/SDL_keysym.h>

namespace Screens {

void SearchHistoryPage::HistoryListBase::refresh() {
    reload();
    m_selected = count() > 0 ? 0 : -1;
    resetPosition();
    refill();
    showSelection();
}

void SearchHistoryPage::HistoryListBase::itemClicked(std::int32_t index) {
    if (index != -1) m_selected = index;
}

void SearchHistoryPage::HistoryListBase::showSelection() {
    const std::int32_t row = m_selected - firstVisibleIndex();
    list().select(m_selected >= 0 && row >= 0 && row < rowsPerPage() ? row : -1);
}

void SearchHistoryPage::FilterHistoryList::reload() {
    m_filters.clear();
    if (m_engine) m_engine->history().filters(m_filters);
}

void SearchHistoryPage::FilterHistoryList::fillText(Ui::fdStatic& text, std::int32_t index) {
    const auto& [level, refs] = m_filters.at(static_cast<std::size_t>(index));
    std::u16string name;
    PlaceRecord place;
    const std::size_t mapCount = m_engine ? m_engine->maps().size() : 0;
    if (!refs.empty() && refs.front().map < mapCount &&
        readPlace(*m_engine->maps().at(refs.front().map), level, refs.front().offset, place))
        name = place.name;
    else if (m_messages && level >= 1 && level <= 4)
        name = m_messages->text(std::array{"filter_country", "filter_region", "filter_district", "filter_city"}[level - 1]);
    text.setText(name);
}

void SearchHistoryPage::FilterHistoryList::activate() {
    if (m_selected < 0 || m_selected >= count()) return;
    const TextSearch::SearchHistory::Filter chosen = m_filters[static_cast<std::size_t>(m_selected)];
    std::shared_ptr<FilterSelectCallback> callback = std::move(m_callback);
    if (callback) callback->filterSelected(chosen.first, chosen.second);
    m_ui->goBack();
}

void SearchHistoryPage::FilterHistoryList::cancel() {
    std::shared_ptr<FilterSelectCallback> callback = std::move(m_callback);
    if (callback) callback->cancelled();
}

bool SearchHistoryPage::FilterHistoryList::remove() {
    if (m_selected < 0 || m_selected >= count() || !m_engine) return false;
    const auto& [level, refs] = m_filters[static_cast<std::size_t>(m_selected)];
    return m_engine->history().removeFilter(level, refs);
}

void SearchHistoryPage::SearchHistoryList::reload() {
    m_items.clear();
    m_kinds.clear();
    if (m_engine) m_engine->history().foundObjects(m_items, &m_kinds);
}

void SearchHistoryPage::SearchHistoryList::fillText(Ui::fdStatic& text, std::int32_t index) {
    // The name with its place: one street has a record per place it runs
    // through, and two rows of one name are two of them.
    const TextSearch::ResultItem& item = m_items.at(static_cast<std::size_t>(index));
    const int kind = m_kinds.at(static_cast<std::size_t>(index));
    Render::RenderStyles* styles = m_styles ? m_styles() : nullptr;
    const std::u16string name = m_engine ? shownName(kind, item, m_engine->maps(), styles) : item.text;
    const std::u16string place = m_engine ? placeOf(kind, item, m_engine->maps()) : std::u16string();
    text.setText(place.empty() ? name : name + u", " + place);
}

void SearchHistoryPage::SearchHistoryList::activate() {
    if (m_selected < 0 || m_selected >= count()) return;
    const TextSearch::ResultItem item = m_items[static_cast<std::size_t>(m_selected)];
    const int kind = m_kinds[static_cast<std::size_t>(m_selected)];
    if (m_engine) m_engine->history().addFoundObject(kind, item);
    showFoundOnMapPage(m_ui, m_engine, kind, item);
}

bool SearchHistoryPage::SearchHistoryList::remove() {
    if (m_selected < 0 || m_selected >= count() || !m_engine) return false;
    return m_engine->history().removeFoundObject(m_items[static_cast<std::size_t>(m_selected)]);
}

SearchHistoryPage::SearchHistoryPage(Ui::fdInterface* ui, TextSearch::Engine* engine,
                                     const Core::MessageTable* messages, const Ui::ButtonBindings* bindings,
                                     StylesSource styles)
    : fdPage(ui, "pageFilterHistory", nullptr), m_engine(engine), m_messages(messages), m_bindings(bindings),
      m_styles(std::move(styles)) {}

void SearchHistoryPage::afterBuild() {
    Ui::ListPage::addUpDownButtons(*this);
    m_list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (m_list) m_model = std::make_unique<SearchHistoryList>(*m_list, m_engine, ui(), m_styles);
}

void SearchHistoryPage::showFilters(std::shared_ptr<FilterSelectCallback> callback) {
    if (!m_list) return;
    auto model = std::make_unique<FilterHistoryList>(*m_list, m_engine, std::move(callback), ui());
    model->setMessages(m_messages);
    m_model = std::move(model);
    m_model->refresh();
    updatePage();
}

void SearchHistoryPage::showFoundObjects() {
    if (!m_list) return;
    if (m_model && m_model->isFoundList())
        m_model->refresh();
    else {
        m_model = std::make_unique<SearchHistoryList>(*m_list, m_engine, ui(), m_styles);
        m_model->refresh();
    }
    updatePage();
}

void SearchHistoryPage::updatePage() {
    Ui::ListPage::updateScrollButtons(*this, m_model.get());
    // "Show" and "Delete" act on the chosen entry: without one they look
    // dead, and an empty history says what comes here.
    Ui::ListPage::enableButtons(*this, {"button_ok", "button_delete"},
                                m_model && m_model->selectedIndex() >= 0);
    const bool found = !m_model || m_model->isFoundList();
    Ui::ListPage::updateEmptyNotice(*this, m_model.get(),
                                    m_messages ? m_messages->text(found ? "history_none" : "filter_history_none")
                                               : std::u16string());
}

void SearchHistoryPage::onShow() {
    if (m_model) m_model->refresh();
    updatePage();
}

void SearchHistoryPage::childClicked(const std::string& name) {
    if (Ui::ListPage::pageCommand(*this, m_model.get(), name))
        return;
    if (name == "close" || name == "hide") {
        handleCommonCommand(name);
    } else if (name == "back") {
        if (m_model) m_model->cancel();
        ui()->goBack();
    } else if (name == "button_ok") {
        if (m_model) m_model->activate();
    } else if (name == "button_delete") {
        if (m_model && m_model->remove()) m_model->refresh();
        updatePage();
    } else if (name == "list") {
        if (m_model) m_model->activateSelected();
    }
}

bool SearchHistoryPage::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return Ui::ListPage::pagingKey(*this, m_model.get(), m_bindings, key);
}

} // namespace Screens
