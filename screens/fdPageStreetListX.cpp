#include "screens/fdPageStreetListX.h"

#include "core/MessageTable.h"
#include "core/ValueFormat.h"
#include "screens/SearchCallbacks.h"
#include "screens/fdPageMap.h"
#include "ui/ListPage.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

namespace Screens {

void fdPageStreetListX::StreetsList::fillText(Ui::fdStatic& text, std::int32_t index) {
    text.setText(m_page.rowText(rows.at(static_cast<std::size_t>(index))));
}

void fdPageStreetListX::StreetsList::itemClicked(std::int32_t index) {
    if (index < 0 || index >= count() || !list().releaseClick) return;
    showOnMapPage(m_page.ui(), rows[static_cast<std::size_t>(index)].start, false);
}

fdPageStreetListX::fdPageStreetListX(Ui::fdInterface* ui, const Core::MessageTable* messages,
                                     const Ui::ButtonBindings* bindings)
    : fdPage(ui, "pageStreetList", nullptr), m_messages(messages), m_bindings(bindings) {}

std::u16string fdPageStreetListX::rowText(const StreetRun& row) const {
    std::u16string text = row.name + u" ";
    if (m_messages) text += Core::formatDistance(*m_messages, static_cast<std::int32_t>(row.lengthMetres), false);
    return text;
}

void fdPageStreetListX::afterBuild() {
    Ui::ListPage::addUpDownButtons(*this);
    if (auto* list = dynamic_cast<Ui::fdList*>(widget("list"))) m_streets = std::make_unique<StreetsList>(*list, *this);
}

void fdPageStreetListX::setStreets(std::vector<StreetRun> rows) {
    if (!m_streets) return;
    m_streets->rows = std::move(rows);
    m_streets->toTop();
}

void fdPageStreetListX::onShow() {
    if (m_streets) m_streets->refresh();
    Ui::ListPage::updateUpDownButtons(*this, m_streets.get());
}

void fdPageStreetListX::childClicked(const std::string& name) {
    if (Ui::ListPage::pageCommand(*this, m_streets.get(), name))
        return;
    if (handleCommonCommand(name))
        return;
    if (name == "list") {
        if (m_streets) m_streets->activateSelected();
    }
}

bool fdPageStreetListX::keyDown(int key) { return Ui::ListPage::pagingKey(*this, m_streets.get(), m_bindings, key); }

} // namespace Screens
