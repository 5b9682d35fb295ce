#include "screens/OnlineFriendsListPage.h"

#include "ui/MessageBoxText.h"

#include "core/ValueFormat.h"
#include "screens/OnlineFriendOptionsPage.h"
#include "screens/detail/OnlineLists.h"
#include "ui/ListPage.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "ui/fdStatic.h"

#include <SDL.h>

namespace Screens {

namespace {

constexpr std::uint32_t AnimationFrameMs = 100;

template <class T> T* rowChild(Ui::TemplateWindow& row, const char* name) {
    return dynamic_cast<T*>(row.findChild(name));
}

void showText(Ui::fdStatic* text, const std::u16string& value) {
    if (text == nullptr)
        return;
    text->setText(value);
    text->setVisible(!value.empty());
}

} // namespace

OnlineFriendsListPage::FriendsList::FriendsList(Ui::fdList& list, Monitoring::System* service,
                                                const Core::MessageTable& messages)
    : List(list), m_service(service), m_messages(messages) {}

void OnlineFriendsListPage::FriendsList::fillEmptyRow(Ui::TemplateWindow& row) {
    if (auto* check = rowChild<Ui::fdCheckedButton>(row, "check_show")) {
        check->setChecked(false);
        check->setVisible(false);
    }
    if (auto* colour = rowChild<Ui::fdStatic>(row, "color"))
        colour->setVisible(false);
    for (const char* name : {"text", "text_with_desc", "desc_text"})
        showText(rowChild<Ui::fdStatic>(row, name), u"");
}

void OnlineFriendsListPage::FriendsList::fillRow(Ui::TemplateWindow& row, std::int32_t index) {
    const Monitoring::Friend& f = m_friends[static_cast<std::size_t>(index)].second;
    if (auto* check = rowChild<Ui::fdCheckedButton>(row, "check_show")) {
        check->setChecked(f.showTrack != 0 || f.sendPoints != 0);
        check->setVisible(true);
    }
    if (auto* colour = rowChild<Ui::fdStatic>(row, "color")) {
        colour->setColor(f.color | 0xFF000000u);
        colour->setVisible(true);
    }
    const std::uint32_t t = f.track ? static_cast<std::uint32_t>(f.track->count()) : 0;
    const std::uint32_t p = f.points ? static_cast<std::uint32_t>(f.points->count()) : 0;
    auto* text = rowChild<Ui::fdStatic>(row, "text");
    auto* withDesc = rowChild<Ui::fdStatic>(row, "text_with_desc");
    auto* desc = rowChild<Ui::fdStatic>(row, "desc_text");
    if (t > 0 || p > 0) {
        std::u16string counts;
        if (t > 0)
            counts = Core::formatCount(t, m_messages, "points_1", "points_2", "points_5");
        if (t > 0 && p > 0)
            counts += u", ";
        if (p > 0)
            counts += Core::formatCount(p, m_messages, "points_1", "points_2", "points_5");
        showText(desc, counts);
        showText(withDesc, f.name);
        showText(text, u"");
    } else {
        showText(desc, u"");
        showText(withDesc, u"");
        showText(text, f.name);
    }
}

void OnlineFriendsListPage::FriendsList::reload() {
    detail::replaceFriends(m_friends, detail::sortedFriends(m_service), *this);
}

void OnlineFriendsListPage::FriendsList::itemClicked(std::int32_t index) {
    if (index < 0 || index >= count() || m_service == nullptr)
        return;
    auto& [token, f] = m_friends[static_cast<std::size_t>(index)];
    Ui::TemplateWindow* row = list().rowWidget(static_cast<std::size_t>(index - firstVisibleIndex()));
    auto* check = row != nullptr ? rowChild<Ui::fdCheckedButton>(*row, "check_show") : nullptr;
    const bool shown = f.showTrack != 0 || f.sendPoints != 0;
    // The rows are filled from the friends, so a check box that no longer
    // shows the friend's state was toggled by this tap.
    if (check != nullptr && check->visible() && check->checked() != shown) {
        const std::uint8_t on = check->checked() ? 1 : 0;
        m_service->setFriendShowTrack(token, on);
        m_service->setFriendSendPoints(token, on);
        f.showTrack = f.sendPoints = on;
        return;
    }
    Ui::fdInterface* ui = list().ui();
    auto* options = ui != nullptr ? dynamic_cast<OnlineFriendOptionsPage*>(ui->findPage("monitoring_friend_edit"))
                                  : nullptr;
    if (options != nullptr && options->built() && options->open(token))
        ui->goToPage(options);
}

OnlineFriendsListPage::OnlineFriendsListPage(Ui::fdInterface* ui, const Core::MessageTable& messages,
                                             Monitoring::System* service, const Ui::ButtonBindings* bindings)
    : fdPage(ui, "monitoring_prop", nullptr), m_messages(messages), m_service(service), m_bindings(bindings) {
    if (m_service != nullptr)
        m_service->addListener(this);
}

OnlineFriendsListPage::~OnlineFriendsListPage() {
    if (m_service != nullptr)
        m_service->removeListener(this);
}

void OnlineFriendsListPage::afterBuild() {
    if (auto* list = dynamic_cast<Ui::fdList*>(findChild("list")))
        m_model = std::make_unique<FriendsList>(*list, m_service, m_messages);
}

void OnlineFriendsListPage::setListMode(int mode) {
    if (mode == 1 && m_listMode == 1)
        return;
    m_listMode = mode;
    m_listShown = mode == 1;
    for (const char* name : {"up", "down", "list"})
        if (Ui::fdWindowBase* w = findChild(name))
            w->setVisible(mode == 1);
    if (Ui::fdWindowBase* w = findChild("button2"))
        w->setVisible(mode == 0);
}

void OnlineFriendsListPage::update(bool showing) {
    const bool running = m_service != nullptr && m_service->isRunning();
    const bool connected = running && m_service->isConnected();
    setListMode(connected ? 1 : 0);
    // Without an address of the service (no `online_url`) the switch can do
    // nothing: the page says why.
    if (auto* notice = dynamic_cast<Ui::fdStatic*>(findChild("service_notice"))) {
        notice->setText(Ui::wrapText(*notice, m_messages.text("online_not_set_up"), notice->rect().w));
        notice->setVisible(m_service == nullptr);
    }
    if (showing) {
        if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("enable_check")))
            check->setChecked(running);
        if (auto* animation = dynamic_cast<Ui::fdMultiStatic*>(findChild("connect_animation"))) {
            animation->setVisible(running && !connected);
            if (running && !connected)
                animation->setAnimationPeriod(AnimationFrameMs);
        }
    }
    if (m_model != nullptr)
        m_model->reload();
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
    invalidate(1);
}

void OnlineFriendsListPage::onShow() {
    m_refresh = false;
    update(true);
}

void OnlineFriendsListPage::tick(std::uint32_t now) {
    if (m_hideAnimation.exchange(false))
        if (Ui::fdWindowBase* animation = findChild("connect_animation")) {
            animation->setVisible(false);
            invalidate(1);
        }
    if (m_stateChanged.exchange(false))
        if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("enable_check")))
            check->setChecked(m_service != nullptr && m_service->isRunning());
    if (m_refresh.exchange(false))
        update(false);
    fdPage::tick(now);
}

void OnlineFriendsListPage::onConnected() {
    m_hideAnimation = true;
    // The list appears with the connection.
    m_refresh = true;
}

void OnlineFriendsListPage::onStateChanged() {
    m_stateChanged = true;
    m_hideAnimation = true;
}

void OnlineFriendsListPage::onDisconnected() {
    m_hideAnimation = true;
    m_refresh = true;
}

void OnlineFriendsListPage::onFriendsChanged() { m_refresh = true; }

void OnlineFriendsListPage::onTracksReceived() {
    if (m_listShown)
        m_refresh = true;
}

void OnlineFriendsListPage::onPointsReceived() {
    if (m_listShown)
        m_refresh = true;
}

void OnlineFriendsListPage::onPointsSeenChanged() {
    if (m_listShown)
        m_refresh = true;
}

void OnlineFriendsListPage::enableCommand() {
    auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("enable_check"));
    if (check == nullptr)
        return;
    if (m_service == nullptr) {
        check->setChecked(false);
        return;
    }
    if (check->checked() == m_service->isRunning())
        return;
    if (auto* animation = dynamic_cast<Ui::fdMultiStatic*>(findChild("connect_animation"))) {
        animation->setCurrent(0);
        animation->setAnimationPeriod(AnimationFrameMs);
        animation->setVisible(true);
    }
    if (check->checked())
        m_service->start();
    else
        m_service->stop();
    m_refresh = true;
}

bool OnlineFriendsListPage::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    if (m_listMode == 1 && detail::scrollByKey(m_bindings, key, m_model.get())) {
        Ui::ListPage::updateUpDownButtons(*this, m_model.get());
        return true;
    }
    return false;
}

void OnlineFriendsListPage::childClicked(const std::string& name) {
    if (Ui::ListPage::rowCommand(*this, m_model.get(), name)) {
        // Moved; the page redraws below.
    } else if (name == "enable_check") {
        enableCommand();
    } else if (name == "button2") {
        // Offered while there is no connection: the account may be wrong.
        ui()->goToPageByName("services_prop");
    } else if (name == "list") {
        if (m_model != nullptr)
            m_model->activateSelected();
    } else {
        handleCommonCommand(name);
        return;
    }
    invalidate(1);
}

} // namespace Screens
