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
    // The chosen atlas, else the first other that loads (the driver told
    // on the map page, the choice kept); false, with the chosen atlas's
    // failure box, when none does.
    bool loadAtlasContents();
    // Why the atlas's last load of the folder failed.
    struct AtlasFailure {
        // The start's failure box: "atlas_bad_atlas_err", then each map
        // file gone or refused with its path and reason, or the folder
        // when none is named.
        std::u16string box;
        bool named = false;
        // The first reason for the map page's notice ("NAME: reason", or
        // the folder's own reason); empty when none is named.
        std::u16string reason;
    };
    AtlasFailure atlasFailure(const std::u16string& folder) const;
    bool createMapRenderer();
    bool loadDangerPoints();
    // The map events handler over the atlas's route, listening to the fixes,
    // and the map page's views of it.
    bool createMapEvents();
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
