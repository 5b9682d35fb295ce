#pragma once
// The track list ("pageTrackList"): one row per track of the track manager
// with its shown box, its colour and line width, its name and the number of
// points in memory. A tap on the box shows or hides the track on the map; a
// tap elsewhere on the row opens the track editor.

#include "screens/ListPageSupport.h"
#include "ui/ListModels.h"
#include "ui/fdPage.h"

#include <memory>

class fdTrackManager;

namespace Core {
class MessageTable;
}
namespace Ui {
class ButtonBindings;
}

namespace Screens {

class TracksList : public Ui::List {
  public:
    TracksList(Ui::fdList& list, const Core::MessageTable* messages, fdTrackManager& tracks);

    std::int32_t count() const override;
    void fillEmptyRow(Ui::TemplateWindow& row) override;
    void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
    void itemClicked(std::int32_t index) override;

    // Where the pointer went down last, in screen pixels; none for an
    // activation by key or command.
    void setPointer(bool known, int x, int y) {
        m_pointerKnown = known;
        m_pointerX = x;
        m_pointerY = y;
    }

  private:
    const Core::MessageTable* m_messages;
    fdTrackManager& m_tracks;
    bool m_pointerKnown = false;
    int m_pointerX = 0, m_pointerY = 0;
};

class fdPageTrackListX : public Ui::fdPage {
  public:
    fdPageTrackListX(Ui::fdInterface* ui, fdTrackManager* tracks, const Core::MessageTable* messages,
                     const Ui::ButtonBindings* bindings);

    void afterBuild() override;
    void onShow() override;
    bool press(int x, int y) override;
    bool keyDown(int key) override;
    void childClicked(const std::string& name) override;

    TracksList* model() const { return m_model.get(); }

  private:
    fdTrackManager* m_tracks;
    const Core::MessageTable* m_messages;
    const Ui::ButtonBindings* m_bindings;
    std::unique_ptr<TracksList> m_model;
    ListTap m_tap;
    bool m_pressed = false;
    int m_pressX = 0, m_pressY = 0;
};

} // namespace Screens
