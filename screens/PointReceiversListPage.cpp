#include "screens/PointReceiversListPage.h"

#include "core/Log.h"
#include "core/MessageTable.h"
#include "screens/ListPageSupport.h"
#include "screens/detail/OnlineLists.h"
#include "ui/Keyboard.h"
#include "ui/ListPage.h"
#include "ui/MessageBoxText.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <SDL.h>

#include <algorithm>

namespace Screens {

void PointReceiversListPage::FriendsList::fillEmptyRow(Ui::TemplateWindow& row) { hideCheckRow(row); }

void PointReceiversListPage::FriendsList::fillRow(Ui::TemplateWindow& row, std::int32_t index) {
    const auto& [token, f] = m_friends[static_cast<std::size_t>(index)];
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(row.findChild("check_show"))) {
        check->setChecked(isSelected(token));
        check->setVisible(true);
    }
    if (auto* text = dynamic_cast<Ui::fdStatic*>(row.findChild("text"))) {
        text->setText(f.name);
        text->setVisible(true);
    }
}

void PointReceiversListPage::FriendsList::reload() {
    detail::replaceFriends(m_friends, detail::sortedFriends(m_service), *this);
}

bool PointReceiversListPage::FriendsList::isSelected(std::uint32_t token) const {
    return std::binary_search(m_selected.begin(), m_selected.end(), token);
}

void PointReceiversListPage::FriendsList::select(std::uint32_t token, bool selected) {
    const auto at = std::lower_bound(m_selected.begin(), m_selected.end(), token);
    const bool present = at != m_selected.end() && *at == token;
    if (selected && !present)
        m_selected.insert(at, token);
    else if (!selected && present)
        m_selected.erase(at);
}

void PointReceiversListPage::FriendsList::itemClicked(std::int32_t index) {
    if (index < 0 || index >= count())
        return;
    const std::uint32_t token = m_friends[static_cast<std::size_t>(index)].first;
    Ui::TemplateWindow* row = list().rowWidget(static_cast<std::size_t>(index - firstVisibleIndex()));
    auto* check = row != nullptr ? dynamic_cast<Ui::fdCheckedButton*>(row->findChild("check_show")) : nullptr;
    bool selected = !isSelected(token);
    if (check != nullptr) {
        // A tap on the box has toggled it already; a tap elsewhere on the
        // row toggles it here.
        if (check->checked() == isSelected(token))
            check->toggle();
        selected = check->checked();
    }
    select(token, selected);
}

void PointReceiversListPage::FriendsList::selectAll(bool checked) {
    m_selected.clear();
    if (checked) {
        if (m_friends.empty())
            m_friends = detail::sortedFriends(m_service);
        for (const auto& [token, f] : m_friends)
            if (f.sendPoints)
                select(token, true);
    }
    refresh();
}

bool PointReceiversListPage::FriendsList::allSelected() const {
    bool any = false;
    for (const auto& [token, f] : m_friends) {
        if (!f.sendPoints)
            continue;
        if (!isSelected(token))
            return false;
        any = true;
    }
    return any;
}

PointReceiversListPage::PointReceiversListPage(Ui::fdInterface* ui, Monitoring::System* service,
                                               const Core::MessageTable* messages, WayPoint point,
                                               const Ui::ButtonBindings* bindings)
    : fdPage(ui, "select_friends", nullptr), m_service(service), m_messages(messages), m_point(std::move(point)),
      m_bindings(bindings) {
    if (m_service != nullptr)
        m_service->addListener(this);
}

PointReceiversListPage::~PointReceiversListPage() {
    if (m_service != nullptr)
        m_service->removeListener(this);
}

void PointReceiversListPage::afterBuild() {
    if (auto* list = dynamic_cast<Ui::fdList*>(findChild("list")))
        m_model = std::make_unique<FriendsList>(*list, m_service);
}

void PointReceiversListPage::refresh() {
    if (m_model != nullptr)
        m_model->reload();
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
    showSelection();
    invalidate(1);
}

void PointReceiversListPage::showSelection() {
    const bool chosen = m_model != nullptr && !m_model->selection().empty();
    if (Ui::fdWindowBase* send = findChild("button_ok"))
        send->setEnabled(m_service != nullptr && chosen);
    if (auto* all = dynamic_cast<Ui::fdCheckedButton*>(findChild("select_all_check")))
        all->setChecked(m_model != nullptr && m_model->allSelected());
}

void PointReceiversListPage::send() {
    if (m_service == nullptr || m_model == nullptr || m_model->selection().empty())
        return;
    m_service->sendPoint(m_point, m_model->selection());
    // What went to whom: the point's name and the names of the chosen
    // friends the page knows (one the service dropped meanwhile is sent to
    // all the same, but has no name left to show).
    std::u16string names;
    for (const auto& [token, f] : m_model->friends())
        if (m_model->isSelected(token))
            names += (names.empty() ? u"" : u", ") + f.name;
    const std::u16string said = m_messages != nullptr ? m_messages->text("point_sent_to") : std::u16string();
    const std::u16string text = u"\u201C" + m_point.name + u"\u201D " + said + (said.empty() ? u"" : u" ") + names;
    Log::log(Log::Normal, u"Point '%s' sent to %d friends", m_point.name, int(m_model->selection().size()));
    m_box = Ui::createTemplateWindow(*this, "mb_ok", "mb");
    if (m_box == nullptr) {
        ui()->goBack();
        return;
    }
    Ui::setMessageText(*m_box, text);
    setCapture(m_box);
}

void PointReceiversListPage::onShow() {
    forgetFriendsChanged();
    refresh();
}

void PointReceiversListPage::tick(std::uint32_t now) {
    if (takeFriendsChanged())
        refresh();
    fdPage::tick(now);
}

bool PointReceiversListPage::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked(m_box != nullptr ? "mb" : "back");
        return true;
    }
    return Ui::ListPage::pagingKey(*this, m_model.get(), m_bindings, key);
}

void PointReceiversListPage::childClicked(const std::string& name) {
    if (Ui::ListPage::rowCommand(*this, m_model.get(), name)) {
        // Moved; the page redraws below.
    } else if (name == "button_ok") {
        send();
    } else if (name == "mb") {
        // The box said what was sent: the page is done.
        setCapture(nullptr);
        if (m_box != nullptr)
            Ui::removeTemplateWindow(*this, m_box);
        ui()->goBack();
    } else if (name == "select_all_check") {
        const auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild(name));
        if (m_model != nullptr && check != nullptr)
            m_model->selectAll(check->checked());
        showSelection();
    } else if (name == "list") {
        if (m_model != nullptr)
            m_model->activateSelected();
        showSelection();
    } else {
        handleCommonCommand(name);
        return;
    }
    invalidate(1);
}

} // namespace Screens
