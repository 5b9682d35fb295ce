#include "screens/AtlasesPage.h"

#include "guidance/KVMapEventsHandler.h"
#include "map/AtlasFolderList.h"
#include "map/KVAtlas.h"
#include "map/MapFileName.h"
#include "render/MapCamera.h"
#include "render/ViewPreparation.h"
#include "screens/InfoPage.h"
#include "screens/LeaveCommand.h"
#include "screens/MapNavigation.h"
#include "screens/PageKeys.h"
#include "screens/fdPageMap.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

namespace Screens {

std::int32_t AtlasesList::count() const {
    return static_cast<std::int32_t>(m_folders.records().size());
}

void AtlasesList::fillText(Ui::fdStatic& text, std::int32_t index) {
    text.setText(m_folders.records()[static_cast<std::size_t>(index)].name);
}

void AtlasesList::refresh() {
    const std::uint32_t current = m_folders.current();
    m_selected = current < m_folders.records().size() ? static_cast<std::int32_t>(current) : -1;
    refill();
    if (m_selected >= 0) ensureVisible(m_selected);
    highlight();
}

void AtlasesList::itemClicked(std::int32_t index) {
    if (index != -1) m_selected = index;
}

void AtlasesList::highlight() {
    const std::int32_t row = m_selected - firstVisibleIndex();
    list().select(m_selected >= 0 && row >= 0 && row < rowsPerPage() ? row : -1);
}

AtlasesPage::AtlasesPage(Ui::fdInterface* ui, Services services)
    : fdPage(ui, "atlases", nullptr), m_services(std::move(services)) {}

void AtlasesPage::afterBuild() {
    auto* list = dynamic_cast<Ui::fdList*>(widget("list"));
    m_atlases.reset();
    if (list && m_services.folders) m_atlases = std::make_unique<AtlasesList>(*list, *m_services.folders);
    if (!m_services.mapPage) m_services.mapPage = dynamic_cast<fdPageMap*>(ui()->findPage("pageMap"));
}

void AtlasesPage::updateUpDown() {
    if (Ui::fdWindowBase* up = findChild("up")) up->setEnabled(m_atlases && m_atlases->canScrollUp());
    if (Ui::fdWindowBase* down = findChild("down")) down->setEnabled(m_atlases && m_atlases->canScrollDown());
    invalidate(0);
}

void AtlasesPage::onShow() {
    if (m_atlases) m_atlases->refresh();
    updateUpDown();
}

bool AtlasesPage::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked("back");
        return true;
    }
    const PageKeys keys = PageKeys::of(m_services.bindings);
    if (m_atlases && (keys.isUp(key) || keys.isDown(key))) {
        if (keys.isUp(key))
            m_atlases->pageUp();
        else
            m_atlases->pageDown();
        m_atlases->highlight();
        updateUpDown();
    }
    return true;
}

void AtlasesPage::childClicked(const std::string& name) {
    if (leaveCommand(*this, name))
        return;
    if ((name == "up" || name == "down") && m_atlases) {
        if (name == "up")
            m_atlases->pageUp();
        else
            m_atlases->pageDown();
        m_atlases->highlight();
        updateUpDown();
    } else if (name == "list" && m_atlases) {
        m_atlases->activateSelected();
    } else if (name == "select") {
        switchAtlas();
    } else if (name == "info") {
        showMapNames();
    }
}

void AtlasesPage::switchAtlas() {
    const std::int32_t selected = m_atlases ? m_atlases->selectedIndex() : -1;
    if (selected < 0 || !m_services.folders || !m_services.atlas) return;
    const auto index = static_cast<std::uint32_t>(selected);
    m_services.folders->setCurrent(index);
    if (m_services.switched) m_services.switched(index);
    loadAtlas(m_services.folders->records()[index].path);
    ui()->goBack();
}

void AtlasesPage::reloadAtlas() {
    if (!m_services.atlas || !m_services.atlas->loaded()) return;
    // A copy: the atlas forgets its folder while it unloads.
    const std::u16string folder = m_services.atlas->folder();
    loadAtlas(folder);
}

void AtlasesPage::loadAtlas(const std::u16string& folder) {
    Guidance::KVMapEventsHandler* events = m_services.mapEvents;
    // Both units: neither the GPS thread's fix handling nor the map page's
    // frame touches the car while its maps change under it.
    if (events) events->lock().takeAll();
    if (m_services.navigation && m_services.navigation->demoRunning()) m_services.navigation->stopDemo();
    if (events) events->resetNavigation();
    if (m_services.mapPage)
        m_services.mapPage->resetViewState(events ? events->shownCarState() : Positioning::CarState{});
    ui()->releaseImages();
    // The live camera is the leaving atlas's view: it is saved with it.
    if (m_services.camera) {
        Map::CameraFields fields = m_services.atlas->camera();
        MapDrawing::ViewPreparation::cameraToAtlas(*m_services.camera, fields);
        m_services.atlas->setCamera(fields);
    }
    m_services.atlas->load(folder);
    if (m_services.camera && m_services.atlas->loaded())
        MapDrawing::ViewPreparation::cameraFromAtlas(*m_services.camera, *m_services.atlas);
    if (events) events->lock().releaseAll();
}

void AtlasesPage::showMapNames() {
    const std::int32_t selected = m_atlases ? m_atlases->selectedIndex() : -1;
    if (selected < 0 || !m_services.folders) return;
    const std::vector<std::u16string> names =
        Map::atlasMapNames(m_services.folders->records()[static_cast<std::size_t>(selected)].path);
    auto* info = dynamic_cast<InfoPage*>(ui()->findPage("info"));
    if (!info) return;
    std::u16string text;
    for (const std::u16string& name : names) {
        if (!text.empty()) text += u'\n';
        text += name;
    }
    info->setText(m_services.folders->records()[static_cast<std::size_t>(selected)].name, text);
    ui()->goToPage(info);
}

} // namespace Screens
