#include "screens/fdSettingsMenuPage.h"

#include "core/Log.h"
#include "core/LoggedText.h"
#include "core/Shell.h"
#include "screens/LeaveCommand.h"
#include "ui/EngineServices.h"
#include "ui/Keyboard.h"
#include "ui/MessageBoxText.h"
#include "ui/fdInterface.h"
#include "ui/fdStatic.h"

#include <utility>

namespace Screens {

fdSettingsMenuPage::fdSettingsMenuPage(const std::string& designName, Ui::fdInterface* ui)
    : fdPage(ui, designName, nullptr) {}

void fdSettingsMenuPage::afterBuild() {
    // The online pages are optional: without them their buttons go.
    const std::pair<const char*, std::string> optional[] = {{"services_prop", "services"},
                                                            {"monitoring_prop", "monitoring"}};
    for (const auto& [page, button] : optional) {
        if (ui()->findPage(page)) continue;
        for (const char* suffix : {"", "_image", "_label"})
            if (fdWindowBase* w = findChild(button + suffix)) w->setVisible(false);
    }
}

void fdSettingsMenuPage::open(const std::string& page) {
    ui()->goToPageByName(page);
}

void fdSettingsMenuPage::openIfPresent(const std::string& page) {
    if (Ui::fdPage* found = ui()->findPage(page)) ui()->goToPage(found);
}

void fdSettingsMenuPage::showMessage(const std::u16string& text) {
    if (!m_messageBox) {
        m_messageBox = Ui::createTemplateWindow(*this, "mb_ok", "mb");
        if (!m_messageBox) return;
        m_messageBox->setVisible(false);
    }
    // The log names what the driver was told, as the map page's notices do,
    // its lines joined by " / ".
    Log::log(Log::Normal, u"Notice shown: %s", Log::linesJoined(text));
    Ui::setMessageText(*m_messageBox, text);
    setCapture(m_messageBox);
    m_messageBox->setVisible(true);
    invalidate(1);
}

void fdSettingsMenuPage::followTraffic() {
    if (!m_traffic) return;
    const Core::ShellOpening::Verdict verdict = m_traffic->verdict();
    if (verdict != Core::ShellOpening::Verdict::Pending) m_traffic.reset();
    if (verdict == Core::ShellOpening::Verdict::Failed) showMessage(TrafficNotice);
}

void fdSettingsMenuPage::tick(std::uint32_t now) {
    followTraffic();
    fdPage::tick(now);
}

void fdSettingsMenuPage::childClicked(const std::string& name) {
    if (leaveCommand(*this, name))
        return;
    if (name == "tab_main") {
        ui()->activatePage(ui()->findPage("pageSettingsMain"));
    } else if (name == "tab_lists") {
        ui()->activatePage(ui()->findPage("pageSettingsLists"));
    } else if (name == "menu") {
        ui()->activatePage(ui()->findPage("menuMain"));
    } else if (name == "search") {
        open("menuFind");
    } else if (name == "services") {
        openIfPresent("services_prop");
    } else if (name == "btnSetupRenderer") {
        open("pageRenderSettings");
    } else if (name == "btnSetupGPS") {
        open("pageSetupGPS");
    } else if (name == "btnSetupNavigation") {
        open("pageSetupRouting");
    } else if (name == "btnSetupTracking") {
        open("pageTrackingSettings");
    } else if (name == "btnSetupAtlases") {
        open("atlases");
    } else if (name == "other") {
        open("pageSettingsOther");
    } else if (name == "pageMap") {
        ui()->activatePage(ui()->findPage("pageMap"));
    } else if (name == "polylines") {
        open("polylines_settings");
    } else if (name == "poi") {
        open("pois_settings");
    } else if (name == "buttons") {
        open("pageButtonSettings");
    } else if (name == "keyboard") {
        open("keyboard_prop");
    } else if (name == "monitoring") {
        openIfPresent("monitoring_prop");
    } else if (name == "traffic_jams") {
        m_traffic = Core::shellOpen(TrafficAddress);
        // A missing opener is known at once; its end comes later.
        followTraffic();
    } else if (name == "mb" && m_messageBox) {
        setCapture(nullptr);
        m_messageBox->setVisible(false);
        invalidate(1);
    }
}

} // namespace Screens
