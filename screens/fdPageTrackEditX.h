#pragma once
// The track editor ("pageTrackEdit"): the colour and the shown flag of one
// track, showing it on the map, and deleting it (not while it is being
// recorded).

#include "ui/fdPage.h"

#include <cstdint>

class fdTrackManager;

namespace Screens {

class fdPageTrackEditX : public Ui::fdPage {
  public:
    fdPageTrackEditX(Ui::fdInterface* ui, fdTrackManager* tracks);

    void afterBuild() override;
    void childClicked(const std::string& name) override;

    // Fills the page for track `index` of the manager.
    void setTrack(fdTrackManager* tracks, std::int32_t index);

    std::int32_t index() const { return m_index; }
    std::uint32_t colourIndex() const { return m_colourIndex; }

  private:
    void showColour();

    fdTrackManager* m_tracks;
    std::int32_t m_index = -1;
    std::uint32_t m_colourIndex = 0;
};

} // namespace Screens
