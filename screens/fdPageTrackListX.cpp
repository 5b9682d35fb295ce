#include "screens/fdPageTrackListX.h"

#include "screens/fdPageTrackEditX.h"

#include "core/MessageTable.h"
#include "core/ValueFormat.h"
#include "ui/ListPage.h"
#include "ui/BgRenderers.h"
#include "ui/fdButtonX.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"
#include "userdata/fdTrackManager.h"

#include <algorithm>

#include <SDL/SDL_keysym.h>

namespace Screens {

namespace {

Ui::fdStatic* staticChild(Ui::TemplateWindow& row, const char* name) {
    return dynamic_cast<Ui::fdStatic*>(row.findChild(name));
}

void clear(Ui::fdStatic* text) {
    if (text == nullptr)
        return;
    text->setText(u"");
    text->setVisible(false);
}

void show(Ui::fdStatic* text, const std::u16string& value) {
    text->setText(value);
    text->setVisible(true);
    text->invalidate(0);
}

} // namespace

TracksList::TracksList(Ui::fdList& list, const Core::MessageTable* messages, fdTrackManager& tracks)
    : List(list), m_messages(messages), m_tracks(tracks) {}

std::int32_t TracksList::count() const { return static_cast<std::int32_t>(m_tracks.trackCount()); }

void TracksList::fillEmptyRow(Ui::TemplateWindow& row) {
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(row.findChild("check_show"))) {
        check->setChecked(false);
        // The model decides what a tap on the box does.
        check->setToggleOnClick(false);
    }
    if (Ui::fdStatic* colour = staticChild(row, "color"); colour != nullptr && colour->bgRenderer() == nullptr) {
        colour->setBgRenderer(std::make_unique<Ui::ColorLineBgRenderer>(1));
    }
    clear(staticChild(row, "text"));
    clear(staticChild(row, "text_with_desc"));
    clear(staticChild(row, "desc_text"));
    for (const char* name : {"check_show", "color"})
        if (Ui::fdWindowBase* w = row.findChild(name))
            w->setVisible(false);
}

void TracksList::fillRow(Ui::TemplateWindow& row, std::int32_t index) {
    fillEmptyRow(row);
    if (index < 0 || static_cast<std::size_t>(index) >= m_tracks.trackCount())
        return;
    const fdTrackManager::TrackInfo track = m_tracks.track(static_cast<std::size_t>(index));
    if (auto* check = dynamic_cast<Ui::fdCheckedButton*>(row.findChild("check_show"))) {
        check->setChecked(track.shown);
        check->setVisible(true);
    }
    if (Ui::fdStatic* colour = staticChild(row, "color")) {
        // The line is drawn about as thick as the track on the map (the renderer
        // takes half the thickness).
        colour->setBgRenderer(std::make_unique<Ui::ColorLineBgRenderer>(static_cast<std::uint16_t>((std::max<std::uint16_t>(track.lineSize, 1) + 1) / 2)));
        colour->setColor(track.colour | 0xFF000000u);
        colour->setVisible(true);
    }
    Ui::fdStatic* described = staticChild(row, "text_with_desc");
    Ui::fdStatic* description = staticChild(row, "desc_text");
    if (track.pointCount > 0 && description != nullptr && m_messages != nullptr)
        show(description, Core::formatCount(track.pointCount, *m_messages, "points_1", "points_2", "points_5"));
    if (track.pointCount > 0 && described != nullptr)
        show(described, track.name);
    else if (Ui::fdStatic* text = staticChild(row, "text"))
        show(text, track.name);
}

void TracksList::itemClicked(std::int32_t index) {
    if (index < 0 || index >= count())
        return;
    Ui::TemplateWindow* row = list().rowWidget(static_cast<std::size_t>(index - firstVisibleIndex()));
    auto* check = row != nullptr ? dynamic_cast<Ui::fdCheckedButton*>(row->findChild("check_show")) : nullptr;
    bool onCheck = !m_pointerKnown;
    if (check != nullptr && m_pointerKnown) {
        const Ui::WindowRect& r = check->rect();
        onCheck = m_pointerX >= r.x && m_pointerX <= r.x + r.w && m_pointerY >= r.y && m_pointerY <= r.y + r.h;
    }
    if (onCheck) {
        if (check != nullptr) {
            check->toggle();
            m_tracks.setTrackShown(static_cast<std::size_t>(index), check->checked());
        } else {
            const bool shown = m_tracks.track(static_cast<std::size_t>(index)).shown;
            m_tracks.setTrackShown(static_cast<std::size_t>(index), !shown);
        }
        refill();
        return;
    }
    Ui::fdInterface* ui = list().ui();
    auto* editor = ui != nullptr ? dynamic_cast<fdPageTrackEditX*>(ui->findPage("pageTrackEdit")) : nullptr;
    if (editor == nullptr)
        return;
    editor->setTrack(&m_tracks, index);
    ui->goToPage(editor);
}

fdPageTrackListX::fdPageTrackListX(Ui::fdInterface* ui, fdTrackManager* tracks, const Core::MessageTable* messages,
                                   const Ui::ButtonBindings* bindings)
    : fdPage(ui, "pageTrackList", nullptr), m_tracks(tracks), m_messages(messages), m_bindings(bindings) {}

void fdPageTrackListX::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    if (list != nullptr && m_tracks != nullptr)
        m_model = std::make_unique<TracksList>(*list, m_messages, *m_tracks);
}

void fdPageTrackListX::onShow() {
    if (m_model != nullptr)
        m_model->refresh();
    Ui::ListPage::updateUpDownButtons(*this, m_model.get());
    Ui::ListPage::updateEmptyNotice(*this, m_model.get(),
                                    m_messages != nullptr ? m_messages->text("tracks_none") : u"");
}

bool fdPageTrackListX::press(int x, int y) {
    m_pressed = true;
    m_pressX = x;
    m_pressY = y;
    return fdPage::press(x, y);
}

bool fdPageTrackListX::keyDown(int key) {
    // The list takes every key; Escape still leads out as "back" does.
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    return Ui::ListPage::pagingKey(*this, m_model.get(), m_bindings, key);
}

void fdPageTrackListX::childClicked(const std::string& name) {
    if (Ui::ListPage::pageCommand(*this, m_model.get(), name))
        return;
    if (name == "list") {
        if (m_model == nullptr || !m_tap.accept(m_model->list()))
            return;
        m_model->setPointer(m_pressed, m_pressX, m_pressY);
        m_pressed = false;
        m_model->activateSelected();
        Ui::ListPage::updateUpDownButtons(*this, m_model.get());
    } else {
        handleCommonCommand(name);
    }
}

} // namespace Screens
