#pragma once
// The settings menu: one page class for the two design pages
// "pageSettingsMain" and "pageSettingsLists", which act as two tabs. Its
// buttons lead to every settings page.

#include "core/Shell.h"
#include "ui/fdPage.h"

#include <optional>
#include <string>

namespace Screens {

class fdSettingsMenuPage final : public Ui::fdPage {
  public:
    // The page's address of the traffic service, opened by "traffic_jams".
    static constexpr const char16_t* TrafficAddress = u"https://traffic.mirel.example.org/";
    // The message box's notice when no browser opens it.
    static constexpr const char16_t* TrafficNotice =
        u"The traffic service opens in a web browser, and none could be started.";

    fdSettingsMenuPage(const std::string& designName, Ui::fdInterface* ui);

    void afterBuild() override;
    void childClicked(const std::string& name) override;
    // Shows the notice when the traffic service's opener failed after the
    // tap (it is never waited for: see core/Shell.h).
    void tick(std::uint32_t now) override;
    // A notice of a page the driver left is not shown later.
    void onHide() override { m_traffic.reset(); }
    // Every key goes to the interface's own handling.
    bool keyDown(int) override { return false; }

    Ui::TemplateWindow* messageBox() const { return m_messageBox; }
    // Shows a notice in the page's message box at once (a setting that
    // could not be stored, after the page that applied it went back here).
    void notice(const std::u16string& text) { showMessage(text); }

  private:
    void showMessage(const std::u16string& text);
    // Shows the notice once the opener's verdict is a failure.
    void followTraffic();
    // Opens a page by name (logged once when the interface lacks it).
    void open(const std::string& page);
    // Goes to a page with a history entry when the interface has it.
    void openIfPresent(const std::string& page);

    Ui::TemplateWindow* m_messageBox = nullptr;
    std::optional<Core::ShellOpening> m_traffic;
};

} // namespace Screens
