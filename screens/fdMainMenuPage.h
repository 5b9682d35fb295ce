#pragma once
// The main menu ("menuMain"): the hub that leads to the map, search, GPS,
// settings and information pages, and quits or hides the program.

#include "ui/fdPage.h"

#include <functional>
#include <string>

namespace Ui {
class SoundPlayer;
}

namespace Screens {

class fdMainMenuPage final : public Ui::fdPage {
  public:
    // Lines the information page shows after "info.txt" (the map data
    // credits of the atlases); empty for none.
    using ExtraInfo = std::function<std::u16string()>;

    // The sound player may be null (no sounds).
    fdMainMenuPage(Ui::fdInterface* ui, Ui::SoundPlayer* sounds, ExtraInfo extraInfo = {});

    void afterBuild() override;
    void childClicked(const std::string& name) override;
    // Every key goes to the interface's own handling.
    bool keyDown(int) override { return false; }

    // The menu's notice, kept scrambled in the program so that it is not
    // found or changed as plain text: each unit lowered by 0x3FC plus its
    // index.
    static std::u16string scramble(const std::u16string& text);
    static std::u16string unscramble(const std::u16string& stored);
    static std::u16string notice();
    // The information page's title line.
    static constexpr const char16_t* InfoTitle = u"Mirel car navigator";

  private:
    void playMenuSound(int id);
    void openInfo();

    Ui::SoundPlayer* m_sounds;
    ExtraInfo m_extraInfo;
    fdWindowBase* m_closing = nullptr;
};

} // namespace Screens
