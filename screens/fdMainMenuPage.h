#pragma once
// The main menu ("menuMain"): the hub that leads to the map, search, GPS,
// settings and information pages, and quits or hides the program.

#include "ui/fdPage.h"

#include <string>

namespace Ui {
class SoundPlayer;
}

namespace Screens {

class fdMainMenuPage final : public Ui::fdPage {
  public:
    // The sound player may be null (no sounds).
    fdMainMenuPage(Ui::fdInterface* ui, Ui::SoundPlayer* sounds);

    void afterBuild() override;
    void childClicked(const std::string& name) override;
    bool keyDown(int) override { return false; }

    // The menu's notice, kept scrambled in the program so that it is not
    // found or changed as plain text: each unit lowered by 0x3FC plus its
    // index.
    static std::u16string scramble(const std::u16string& text);
    static std::u16string unscramble(const std::u16string& stored);
    static const std::u16string& notice();

  private:
    // Goes to a page that was built from the design; a page of this build
    // that the design does not describe would show nothing to leave by, so
    // it is logged once and not opened.
    void open(const std::string& page, bool history);
    void playMenuSound(int id);

    Ui::SoundPlayer* m_sounds;
    fdWindowBase* m_closing = nullptr;
};

} // namespace Screens
