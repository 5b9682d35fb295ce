#include "screens/fdMainMenuPage.h"

#include "render/Font.h"
#include "ui/EngineServices.h"
#include "ui/SoundPlayer.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"

#include <SDL.h>

namespace Screens {

namespace {

// "Map data © OpenStreetMap contributors", scrambled.
const std::u16string& storedNotice() {
    static const std::u16string stored =
        fdMainMenuPage::scramble(u"Map data \u00A9 OpenStreetMap contributors");
    return stored;
}

} // namespace

fdMainMenuPage::fdMainMenuPage(Ui::fdInterface* ui, Ui::SoundPlayer* sounds)
    : fdPage(ui, "menuMain", nullptr), m_sounds(sounds) {}

std::u16string fdMainMenuPage::scramble(const std::u16string& text) {
    std::u16string out = text;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(out[i] - 0x3FC - i);
    return out;
}

std::u16string fdMainMenuPage::unscramble(const std::u16string& stored) {
    std::u16string out = stored;
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(out[i] + 0x3FC + i);
    return out;
}

const std::u16string& fdMainMenuPage::notice() {
    static const std::u16string text = unscramble(storedNotice());
    return text;
}

void fdMainMenuPage::afterBuild() {
    auto* copyright = dynamic_cast<Ui::fdStatic*>(findChild("copyright"));
    if (!copyright) {
        auto* label = new Ui::fdLabel(this, "copyright", true, ui());
        label->setTextColor(Ui::ColourPair{0xFFFFFFFFu, 0xFFFFFFFFu});
        Render::TextSize size;
        const std::u16string& text = notice();
        if (!font() || !font()->textSize(size, text.data(), text.data() + text.size()))
            size = {400, 16};
        const int width = size.width + 8;
        const int height = size.height + 4;
        // Centred above the bottom edge of the design, and kept there when
        // the window changes size.
        const Ui::WindowRect& design = designRect();
        label->placeInParent((design.w - width) / 2, design.h - 12 - height, width, height);
        label->setAnchors(1, 2, 1, 2);
        label->relayout();
        copyright = label;
    }
    copyright->setText(notice());
    if (auto* version = dynamic_cast<Ui::fdStatic*>(findChild("version"))) {
        version->setColor(0);
        version->invalidate(0);
    }
    m_closing = findChild("closing");
    if (m_closing)
        m_closing->setVisible(false);
}

void fdMainMenuPage::playMenuSound(int id) {
    if (m_sounds && m_sounds->menuSoundsOn())
        m_sounds->play(1, {id});
}

void fdMainMenuPage::open(const std::string& name, bool history) {
    Ui::fdPage* page = ui()->findPage(name);
    if (!page || !page->built()) {
        ui()->logMissingOnce("Page " + name + " is not part of this design");
        return;
    }
    if (history)
        ui()->goToPage(page);
    else
        ui()->activatePage(page);
}

void fdMainMenuPage::childClicked(const std::string& name) {
    Ui::EngineServices* engine = ui()->engine();
    if (name == "close" || name == "exit") {
        if (m_closing) {
            m_closing->setVisible(true);
            if (engine)
                engine->drawNow();
        }
        if (engine)
            engine->setQuit();
        SDL_Event event{};
        event.type = SDL_VIDEOEXPOSE;
        SDL_PushEvent(&event);
    } else if (name == "hide") {
        if (engine)
            engine->hideToTray();
    } else if (name == "pageMap" || name == "pageMap2") {
        playMenuSound(83);
        open("pageMap", false);
    } else if (name == "menuFind") {
        open("menuFind", true);
    } else if (name == "pageGPS") {
        playMenuSound(84);
        open("pageGPS", true);
    } else if (name == "btnSetup") {
        open("pageSettingsMain", true);
    } else if (name == "info") {
        open("info", true);
    } else {
        fdPage::childClicked(name);
    }
}

} // namespace Screens
