#pragma once
// Shared pieces of the user-interface tests: SDL with the dummy video
// driver and a screen surface, and an engine stand-in.

#include "core/MainLoopWake.h"
#include "ui/EngineServices.h"

#include <SDL/SDL.h>

#include <string>

namespace UiTest {

// SDL video and timers on the dummy driver with an 800 x 480 32-bit screen.
class SdlScreen {
public:
    explicit SdlScreen(int bitsPerPixel = 32, int width = 800, int height = 480) {
        SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_NOPARACHUTE);
        screen = SDL_SetVideoMode(width, height, bitsPerPixel, SDL_SWSURFACE);
        Threading::openMainLoopWakeUps();
    }
    ~SdlScreen() {
        Threading::closeMainLoopWakeUps();
        SDL_Quit();
    }
    SDL_Surface* screen = nullptr;
};

struct FakeEngine : Ui::EngineServices {
    void setQuit() override { quit = true; }
    bool hideToTray() override {
        hidden = true;
        return true;
    }
    std::u16string dataPath(std::u16string_view name) const override { return dataFolder + std::u16string(name); }
    bool isDay() const override { return day; }
    bool doubleSize() const override { return big; }
    std::int32_t designWidth() const override { return width; }
    std::int32_t designHeight() const override { return height; }
    const Ui::DesignDescription* design() const override { return nullptr; }

    bool quit = false, hidden = false, day = true, big = false;
    std::int32_t width = 800, height = 480;
    std::u16string dataFolder;
};

inline Uint32 pixelAt(SDL_Surface* s, int x, int y) {
    SDL_LockSurface(s);
    const auto* row = static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    Uint32 v = 0;
    switch (s->format->BytesPerPixel) {
    case 2: v = *reinterpret_cast<const Uint16*>(row); break;
    case 4: v = *reinterpret_cast<const Uint32*>(row); break;
    default: v = row[0]; break;
    }
    SDL_UnlockSurface(s);
    return v;
}

// Red, green and blue of a pixel, as 0xRRGGBB.
inline Uint32 rgbAt(SDL_Surface* s, int x, int y) {
    Uint8 r, g, b;
    SDL_GetRGB(pixelAt(s, x, y), s->format, &r, &g, &b);
    return (Uint32(r) << 16) | (Uint32(g) << 8) | b;
}

} // namespace UiTest

#include "ui/DesignTypes.h"
#include "ui/fdButtonX.h"
#include "ui/fdPage.h"

#include <vector>

namespace UiTest {

// A widget creator for tests: a static, a button or a checked button at a
// rectangle relative to its parent.
struct TestCreator : Ui::IWidgetCreator {
    enum Kind { Static, Button, Checked };
    TestCreator(Kind k, std::string n, int x, int y, int w, int h) : kind(k), name(std::move(n)), rect{x, y, w, h} {}
    Ui::fdWindowBase* create(Ui::fdWindowBase* parent, Ui::fdInterface& ui, Ui::DesignContext*, bool) override {
        Ui::fdWindowBase* w = nullptr;
        if (kind == Static)
            w = new Ui::fdStatic(parent, name, true, &ui);
        else if (kind == Button)
            w = new Ui::fdButtonX(parent, name, true, &ui);
        else
            w = new Ui::fdCheckedButton(parent, name, true, &ui);
        w->placeInParent(rect[0], rect[1], rect[2], rect[3]);
        return w;
    }
    Kind kind;
    std::string name;
    int rect[4];
};

// A page that writes what its children report into a journal.
struct JournalPage : Ui::fdPage {
    JournalPage(Ui::fdInterface* ui, std::vector<std::string>& j) : fdPage(ui, "page", nullptr), journal(j) {}
    void childClicked(const std::string& n) override { journal.push_back("clicked " + n); }
    void childPressed(const std::string& n) override { journal.push_back("pressed " + n); }
    void childReleased(const std::string& n) override { journal.push_back("released " + n); }
    std::vector<std::string>& journal;
};

} // namespace UiTest
