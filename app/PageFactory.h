#pragma once
// Turning the loaded design into the running user interface: fonts, cursors
// and materials, the splash page, then one page object for every page of
// the program in a fixed order, with the subsystems later pages need made
// between them, and finally every page built from its design description.

#include <cstdint>
#include <memory>
#include <string>

namespace engine {

class fdEngine;
class SplashPage;

class PageFactory {
  public:
    explicit PageFactory(fdEngine& engine) : m_engine(engine) {}

    bool initInterface();
    bool applyInterface(SplashPage& splash);

    // What happens between the page objects (the rows without a page).
    enum class Step { TrackManager, AtlasContents, MapRenderer, Waypoints, DangerPoints };
    struct Row {
        // Either a page (design name, log line) or a subsystem step.
        const char* designName;
        const char* logLine;
        Step step;
        // The splash progress after the row; -1 none.
        std::int32_t progress;
    };
    static const Row kRows[];
    static const std::size_t kRowCount;

  private:
    bool runStep(Step step);
    bool loadAtlasContents();
    bool createMapRenderer();
    bool loadDangerPoints();
    bool createTrackManager();
    bool loadWaypoints();
    void createPage(const Row& row);
    void progress(SplashPage& splash, std::int32_t value);

    fdEngine& m_engine;
};

// Draws the splash when it asks for it (or always with force) and flips the
// screen.
void updateSplash(fdEngine& engine, SplashPage& splash, bool force);

} // namespace engine
