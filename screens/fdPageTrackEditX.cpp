#include "screens/fdPageTrackEditX.h"

#include "screens/fdPageMap.h"

#include "ui/ClickBehaviors.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "userdata/TrackFile.h"
#include "userdata/fdTrackManager.h"

namespace Screens {

fdPageTrackEditX::fdPageTrackEditX(Ui::fdInterface* ui, fdTrackManager* tracks)
    : fdPage(ui, "pageTrackEdit", nullptr), m_tracks(tracks) {}

void fdPageTrackEditX::afterBuild() {
    for (const char* name : {"dist_name", "dist_box", "dist_label"})
        if (Ui::fdWindowBase* w = findChild(name))
            w->setVisible(false);
    if (auto* box = dynamic_cast<Ui::fdStatic*>(findChild("track_color")))
        box->setBehavior(std::make_unique<Ui::OnClickBehavior>(box));
}

void fdPageTrackEditX::setTrack(fdTrackManager* tracks, std::int32_t index) {
    m_tracks = tracks;
    m_index = index;
    if (m_tracks == nullptr || index < 0 || static_cast<std::size_t>(index) >= m_tracks->trackCount())
        return;
    const fdTrackManager::TrackInfo track = m_tracks->track(static_cast<std::size_t>(index));
    if (Ui::fdWindowBase* go = findChild("button_go"))
        go->setEnabled(track.pointCount > 0);
    // The track being recorded cannot be deleted: its button says so.
    if (Ui::fdWindowBase* remove = findChild("delete"))
        remove->setEnabled(!track.recording);
    if (auto* name = dynamic_cast<Ui::fdStatic*>(findChild("track_name")))
        name->setText(track.name);
    const std::uint32_t opaque = track.colour | 0xFF000000u;
    m_colourIndex = 0;
    for (std::uint32_t i = 0; i < trackPalette.size(); ++i)
        if (trackPalette[i] == opaque) {
            m_colourIndex = i;
            break;
        }
    if (auto* box = dynamic_cast<Ui::fdStatic*>(findChild("track_color")))
        box->setColor(opaque);
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("show_check")))
        check->setChecked(track.shown);
    invalidate(1);
}

void fdPageTrackEditX::showColour() {
    if (auto* box = dynamic_cast<Ui::fdStatic*>(findChild("track_color")))
        box->setColor(trackPalette[m_colourIndex]);
    invalidate(1);
}

void fdPageTrackEditX::childClicked(const std::string& name) {
    const bool valid = m_tracks != nullptr && m_index >= 0 && static_cast<std::size_t>(m_index) < m_tracks->trackCount();
    const auto index = static_cast<std::size_t>(m_index);
    if (name == "track_color") {
        m_colourIndex = (m_colourIndex + 1) % trackPalette.size();
        showColour();
    } else if (name == "ok") {
        if (valid) {
            m_tracks->setTrackColour(index, trackPalette[m_colourIndex]);
            auto* check = dynamic_cast<Ui::fdCheckedButton*>(findChild("show_check"));
            m_tracks->setTrackShown(index, check != nullptr && check->checked());
        }
        ui()->goBack();
    } else if (name == "button_go") {
        if (!valid)
            return;
        const fdTrackManager::TrackInfo track = m_tracks->track(index);
        if (track.pointCount == 0) {
            if (Ui::fdWindowBase* go = findChild("button_go"))
                go->setEnabled(false);
            invalidate(1);
            return;
        }
        auto* map = dynamic_cast<fdPageMap*>(ui()->findPage("pageMap"));
        if (map == nullptr)
            return;
        ui()->activatePage(map);
        map->showPoint(Map::Point{track.firstPoint.x, track.firstPoint.y}, false);
    } else if (name == "delete") {
        // The track being recorded stays: its file is still being written.
        if (!valid || m_tracks->track(index).recording)
            return;
        m_tracks->deleteTrack(index);
        m_index = -1;
        ui()->goBack();
    } else {
        handleCommonCommand(name);
    }
}

} // namespace Screens
