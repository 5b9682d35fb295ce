#include "screens/fdMainMenuPage.h"

#include "core/AnsiFile.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/MainLoopWake.h"
#include "core/Text.h"
#include "render/Font.h"
#include "screens/InfoPage.h"
#include "ui/EngineServices.h"
#include "ui/SoundPlayer.h"
#include "ui/fdInterface.h"
#include "ui/fdLabel.h"

#include <SDL.h>

#include <cerrno>

namespace Screens {

namespace {

// "© Mirel developers" (18 units), stored scrambled.
constexpr char16_t StoredNotice[] = {0xFCAD, 0xFC23, 0xFC4F, 0xFC6A, 0xFC72, 0xFC64, 0xFC6A, 0xFC1D, 0xFC60,
                                     0xFC60, 0xFC70, 0xFC5E, 0xFC64, 0xFC66, 0xFC66, 0xFC5A, 0xFC66, 0xFC66};

// info.txt as the user wrote it (ANSI code page); empty, logged, when it
// cannot be opened.
std::u16string readInfoText(const std::u16string& path) {
    FileSystem::AnsiFile file(path, u"rb");
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open file '%s' (err %d)", path, Log::Errno{errno});
        return {};
    }
    std::uint32_t size = 0;
    std::unique_ptr<char[]> bytes = FileSystem::readFile(file, &size, path);
    if (!bytes) return {};
    return Core::ansiToWide(std::string_view(bytes.get(), size));
}

} // namespace

fdMainMenuPage::fdMainMenuPage(Ui::fdInterface* ui, Ui::SoundPlayer* sounds, ExtraInfo extraInfo)
    : fdPage(ui, "menuMain", nullptr), m_sounds(sounds), m_extraInfo(std::move(extraInfo)) {}

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

std::u16string fdMainMenuPage::notice() {
    return unscramble(std::u16string(StoredNotice, std::size(StoredNotice)));
}

void fdMainMenuPage::afterBuild() {
    const std::u16string text = notice();
    auto* copyright = dynamic_cast<Ui::fdStatic*>(findChild("copyright"));
    if (!copyright) {
        auto* label = new Ui::fdLabel(this, "copyright", true, ui());
        label->setTextColor(Ui::ColourPair{0xFFFFFFFFu, 0xFFFFFFFFu});
        Render::TextSize size;
        if (!font() || !font()->textSize(size, text.data(), text.data() + text.size())) size = {240, 16};
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
    copyright->setText(text);
    if (auto* version = dynamic_cast<Ui::fdStatic*>(findChild("version"))) {
        version->setColor(0);
        version->invalidate(0);
    }
    m_closing = findChild("closing");
    if (m_closing) m_closing->setVisible(false);
}

void fdMainMenuPage::playMenuSound(int id) {
    if (m_sounds && m_sounds->menuSoundsOn()) m_sounds->play(1, {id});
}

void fdMainMenuPage::openInfo() {
    auto* info = dynamic_cast<InfoPage*>(ui()->findPage("info"));
    if (!info) return;
    Ui::EngineServices* engine = ui()->engine();
    std::u16string text = engine ? readInfoText(engine->dataPath(u"info.txt")) : std::u16string();
    const std::u16string extra = m_extraInfo ? m_extraInfo() : std::u16string();
    if (!extra.empty()) {
        if (!text.empty() && text.back() != u'\n') text += u"\r\n";
        text += extra;
    }
    info->setText(InfoTitle, text);
    ui()->goToPage(info);
}

void fdMainMenuPage::childClicked(const std::string& name) {
    Ui::EngineServices* engine = ui()->engine();
    if (name == "close" || name == "exit") {
        if (m_closing) {
            m_closing->setVisible(true);
            if (engine) engine->drawNow();
        }
        if (engine) engine->setQuit();
        Threading::wakeMainLoop();
    } else if (name == "hide") {
        if (engine) engine->hideToTray();
    } else if (name == "pageMap" || name == "pageMap2") {
        playMenuSound(83);
        ui()->activatePage(ui()->findPage("pageMap"));
    } else if (name == "menuFind") {
        ui()->goToPageByName("menuFind");
    } else if (name == "pageGPS") {
        playMenuSound(84);
        ui()->goToPageByName("pageGPS");
    } else if (name == "btnSetup") {
        ui()->goToPageByName("pageSettingsMain");
    } else if (name == "info") {
        openInfo();
    } else if (name == "back") {
        // The page's own way back to where it was opened from (the map).
        ui()->goBack();
    }
}

} // namespace Screens
