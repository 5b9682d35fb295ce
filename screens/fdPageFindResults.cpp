#include "screens/fdPageFindResults.h"

#include "core/Format.h"
#include "core/MessageTable.h"
#include "core/ValueFormat.h"
#include "ui/ListPage.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <algorithm>

#include <SDL/SDL_keysym.h>

namespace Screens {

namespace {

void setShown(Ui::TemplateWindow& row, const char* name, const std::u16string& text, bool shown) {
    if (auto* label = dynamic_cast<Ui::fdStatic*>(row.findChild(name))) {
        label->setText(shown ? text : std::u16string());
        label->setVisible(shown);
    }
}

} // namespace

void fdPageFindResults::ResultsList::clear() {
    m_rows.clear();
    m_hasDistances = false;
    resetPosition();
    // A row tapped in an earlier list is no row of this one.
    list().select(-1);
    refresh();
}

void fdPageFindResults::ResultsList::addRow(const TextSearch::ResultItem& item, std::int32_t distance,
                                            std::u16string shown) {
    m_rows.push_back({item, distance, shown.empty() ? item.text : std::move(shown)});
    if (distance != -1) m_hasDistances = true;
}

void fdPageFindResults::ResultsList::finish(bool showDistances) {
    // Equal names in the order of their details: one street has a record
    // per place it runs through, and they keep their places search after
    // search.
    std::sort(m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) {
        return a.shown != b.shown ? a.shown < b.shown : a.item.detail < b.item.detail;
    });
    if (m_hasDistances && showDistances)
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [](const Row& a, const Row& b) { return a.distance < b.distance; });
    resetPosition();
    list().select(-1);
    refresh();
}

void fdPageFindResults::ResultsList::fillEmptyRow(Ui::TemplateWindow& row) {
    for (const char* name : {"text", "address", "distance"})
        setShown(row, name, u"", false);
}

void fdPageFindResults::ResultsList::fillRow(Ui::TemplateWindow& row, std::int32_t index) {
    const Row& r = m_rows.at(static_cast<std::size_t>(index));
    setShown(row, "text", r.shown, true);
    setShown(row, "address", r.item.detail, true);
    const bool known = r.distance != -1 && m_page.m_messages;
    setShown(row, "distance", known ? Core::formatDistance(*m_page.m_messages, r.distance, true) : u"", known);
}

void fdPageFindResults::ResultsList::itemClicked(std::int32_t index) {
    if (index < 0 || index >= count() || !list().releaseClick) return;
    m_page.choose(m_rows[static_cast<std::size_t>(index)]);
}

fdPageFindResults::fdPageFindResults(Ui::fdInterface* ui, const Core::MessageTable* messages,
                                     const Ui::ButtonBindings* bindings)
    : fdPage(ui, "pageResults", nullptr), m_messages(messages), m_bindings(bindings) {}

void fdPageFindResults::afterBuild() {
    Ui::ListPage::addUpDownButtons(*this);
    if (auto* list = dynamic_cast<Ui::fdList*>(widget("list"))) m_results = std::make_unique<ResultsList>(*list, *this);
}

std::u16string fdPageFindResults::pageLabel(std::int32_t firstVisible, std::int32_t rowsPerPage, std::int32_t count) {
    // Nothing found has no pages: the empty list says so on its own.
    if (count <= 0) return {};
    if (rowsPerPage <= 0) return u"1/1";
    const std::int32_t page = (firstVisible + rowsPerPage - 1) / rowsPerPage + 1;
    const std::int32_t pages = std::max((count + rowsPerPage - 1) / rowsPerPage, 1);
    std::u16string text = Core::format(u"%d/%d", page, pages);
    if (text.size() > 32) text.resize(32);
    return text;
}

void fdPageFindResults::updatePosition() {
    if (auto* label = dynamic_cast<Ui::fdStatic*>(findChild("index_label"))) {
        label->setText(m_results ? pageLabel(m_results->firstVisibleIndex(), m_results->rowsPerPage(), m_results->count())
                                 : std::u16string());
        label->invalidate(0);
    }
    Ui::ListPage::updateUpDownButtons(*this, m_results.get());
    // An empty list says so instead of showing empty rows.
    if (auto* empty = dynamic_cast<Ui::fdStatic*>(findChild("empty_label"))) {
        const bool none = !m_results || m_results->count() == 0;
        empty->setText(none && m_messages ? m_messages->text("find_nothing") : std::u16string());
        empty->setVisible(none);
        empty->invalidate(0);
    }
}

void fdPageFindResults::onShow() {
    if (m_results) m_results->refresh();
    updatePosition();
}

void fdPageFindResults::choose(const Row& row) {
    const TextSearch::ResultItem item = row.item;
    SearchResultCallbackPtr callback = std::move(m_callback);
    ui()->goBack();
    if (callback) callback->onResult(item);
    if (m_results) m_results->clear();
}

void fdPageFindResults::childClicked(const std::string& name) {
    if (name == "close" || name == "hide") {
        handleCommonCommand(name);
    } else if (name == "back") {
        if (m_results) m_results->clear();
        SearchResultCallbackPtr callback = std::move(m_callback);
        ui()->goBack();
        if (callback) callback->onBack();
    } else if (name == "up") {
        if (m_results) m_results->pageUp();
        updatePosition();
    } else if (name == "down") {
        if (m_results) m_results->pageDown();
        updatePosition();
    } else if (name == "list") {
        if (m_results) m_results->activateSelected();
    }
}

bool fdPageFindResults::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    Ui::ListPage::pagingKey(*this, m_results.get(), m_bindings, key, true);
    updatePosition();
    return true;
}

} // namespace Screens
