#pragma once
// The root of the window tree ("_ui_"): owns the pages, knows the active
// page and the history, forwards input, ticks and drawing to the active
// page, keeps the fonts, cursors, materials and images that widgets use by
// name, runs the one UI timer that lets the main loop redraw while a widget
// animates, and applies tree changes queued during dispatch. Main thread
// only, except the timer callback (the timer's own thread), which touches
// the redraw-allowed flag and Threading::wakeMainLoop alone. The timer is not SDL's:
// SDL 1.2's timer thread wakes every millisecond while its subsystem runs,
// which on the map page's 50 ms timer was most of the CPU a standing car
// cost.

#include "core/PeriodicTimer.h"
#include "render/ImageList.h"
#include "ui/Material.h"
#include "ui/fdImage.h"
#include "ui/fdWindowBase.h"

#include <SDL/SDL_timer.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace FileSystem {
class VirtualFs;
}

namespace Ui {

class EngineServices;
class fdPage;
class SoundPlayer;

struct CursorRecord {
    fdImage* image = nullptr;
    std::int32_t hotX = 0;
    std::int32_t hotY = 0;
};

class fdInterface : public fdWindowBase, public Render::ImageLoader {
public:
    // Design rectangle: the engine's design size (doubled for a big
    // design); absolute rectangle: the screen surface's size, or the design
    // rectangle when no video mode is set.
    fdInterface(EngineServices* engine, FileSystem::VirtualFs* files);
    // Removes the timer, deletes the pages (while the fonts and images they
    // borrow still exist), then the fonts, last first.
    ~fdInterface() override;

    void tick(std::uint32_t now) override;
    void draw(SDL_Surface* surface, TempSurface& clip, bool force) override;
    // A new size (a resized window) is drawn anew: its first frame is
    // logged as a page's first is.
    void setRect(int x, int y, int w, int h) override;
    bool mouseButtonDown(int button, int x, int y) override;
    bool mouseButtonUp(int button, int x, int y) override;
    bool mouseMove(int x, int y) override;
    bool press(int x, int y) override;
    // Forwarded, but always false.
    bool release(int x, int y) override;
    // A key the active page leaves unhandled: Escape goes back (as "back"
    // does) when there is a page to go back to.
    bool keyDown(int key) override;
    bool keyUp(int key) override;

    // The modifier keys (SDL's KMOD_ bits) and the character of the key
    // event being dispatched, for widgets that type text.
    void setKeyEvent(int modifiers, char16_t unicode) {
        m_keyModifiers = modifiers;
        m_keyUnicode = unicode;
    }
    int keyModifiers() const { return m_keyModifiers; }
    char16_t keyUnicode() const { return m_keyUnicode; }

    fdPage* findPage(const std::string& name) const;
    void activatePage(fdPage* page);
    // Pushes the active page (when there is one) on the history first.
    void goToPage(fdPage* page);
    // A name that no page has is logged once and ignored.
    void goToPageByName(const std::string& name);
    void goBack();
    void clearHistory() { m_history.clear(); }
    fdPage* activePage() const { return m_active; }
    const std::vector<fdPage*>& history() const { return m_history; }

    // The font file is a data file of the engine; false when it cannot be
    // opened or is no font.
    bool createFont(const std::u16string& fileName, const std::string& name, std::int32_t size, std::int32_t style);
    // The first font of that name, else the system font.
    Render::Font* fontByName(const std::string& name) const;
    void setSystemFont(Render::Font* font) { m_systemFont = font; }
    Render::Font* systemFont() const { return m_systemFont; }

    // False when the image does not load; an existing name keeps its first
    // record (and gives false).
    bool registerCursor(const std::string& name, const std::string& imageName, std::int32_t hotX, std::int32_t hotY);
    const CursorRecord* findCursor(const std::string& name) const;
    bool registerMaterial(const std::string& name, const std::string& imageName, std::int32_t left,
                          std::int32_t top, std::int32_t right, std::int32_t bottom, bool horizontalTile,
                          bool verticalTile);
    const Material* findMaterial(const std::string& name) const;

    // An empty name logs and gives null; a known name gives its image; a new
    // one that does not load gives null (and is tried again next time).
    fdImage* loadImage(const std::string& fileName) override;
    // Frees every image's pixels (they load again on use).
    void releaseImages();
    // Deletes every image; gives the bytes of the pixels they held.
    std::uint64_t deleteImages();
    std::size_t imageCount() const { return m_images.size(); }

    // Runs the timer at the period, or none; a timer already running at it
    // is left alone.
    void updateUiTimer(TimerPeriod period);
    // The period of the running timer; none when none runs.
    TimerPeriod uiTimer() const { return m_timer ? TimerPeriod::every(m_timerPeriod) : TimerPeriod::none(); }
    bool timerRunning() const { return m_timer != nullptr; }
    bool redrawAllowed() const { return m_redrawAllowed.load(); }
    // True once after the timer pushed its expose event or a page was
    // activated: the expose that may draw a page whose frames the timer
    // paces (fdPage::framesPacedByUiTimer).
    bool takeFrameDue() { return m_frameDue.exchange(false); }
    // The expose events the timer pushed since the start.
    std::uint64_t timerExposes() const { return m_timerExposes.load(); }
    // The timer's work, on the timer's thread: one expose event while the
    // main loop has ticked since the last one.
    static Uint32 timerCallback(Uint32 interval, void* param);

    void applyPendingChanges();
    void queueDelete(fdWindowBase* window) { m_pendingDelete.push_back(window); }
    void queueAttach(fdWindowBase* window) { m_pendingAttach.push_back(window); }
    const std::vector<fdWindowBase*>& pendingAttach() const { return m_pendingAttach; }
    // Active page none, history empty, pending changes applied, pages
    // deleted.
    void shutdown();

    // Milliseconds of the widgets' press and long-press timing: SDL_GetTicks
    // unless a clock is injected.
    std::uint32_t now() const { return m_clock ? m_clock() : SDL_GetTicks(); }
    void setClock(std::function<std::uint32_t()> clock) { m_clock = std::move(clock); }

    // The player of click sounds; null plays nothing.
    SoundPlayer* soundPlayer() const { return m_sound; }
    void setSoundPlayer(SoundPlayer* sound) { m_sound = sound; }

    EngineServices* engine() const { return m_engine; }
    FileSystem::VirtualFs* files() const { return m_files; }
    // Logs the text at Critical the first time it is reported; a missing
    // page or widget name so shows once in the log, not on every key press.
    void logMissingOnce(const std::string& text);

    // Tick passes in which the active page may switch before the switching
    // is stopped.
    static constexpr int MaxPageSwitchesPerTick = 8;

private:
    void removeTimer();

    fdPage* m_active = nullptr;
    // The page whose first frame since it was shown has been drawn.
    const fdPage* m_drawnPage = nullptr;
    std::vector<fdPage*> m_history;
    std::vector<std::unique_ptr<fdImage>> m_images;
    std::vector<fdWindowBase*> m_pendingAttach;
    std::vector<fdWindowBase*> m_pendingDelete;
    EngineServices* m_engine;
    FileSystem::VirtualFs* m_files;
    struct FontRecord {
        std::string name;
        std::shared_ptr<Render::Font> font;
    };
    std::vector<FontRecord> m_fonts;
    Render::Font* m_systemFont = nullptr;
    std::map<std::string, CursorRecord> m_cursors;
    std::map<std::string, Material> m_materials;
    std::unique_ptr<Threading::PeriodicTimer> m_timer;
    std::uint32_t m_timerPeriod = 0;
    // Written by the main thread and the timer thread.
    std::atomic<bool> m_redrawAllowed{false};
    std::atomic<bool> m_frameDue{false};
    std::atomic<std::uint64_t> m_timerExposes{0};
    std::set<std::string> m_reportedMissing;
    int m_keyModifiers = 0;
    char16_t m_keyUnicode = 0;
    std::function<std::uint32_t()> m_clock;
    SoundPlayer* m_sound = nullptr;
};

} // namespace Ui
