#include "screens/fdPagePathListX.h"

#include "core/FileFinder.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "map/KVAtlas.h"
#include "map/LevelFrame.h"
#include "routing/AtlasRoute.h"
#include "routing/PathFile.h"
#include "screens/fdPageMap.h"
#include "ui/ButtonBindings.h"
#include "ui/Keyboard.h"
#include "ui/ListPage.h"
#include "ui/MessageBoxText.h"
#include "ui/Messages.h"
#include "ui/fdInterface.h"
#include "ui/fdList.h"

#include <SDL.h>

#include <algorithm>

namespace Screens {

namespace {

bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}


} // namespace

bool PathsList::isRouteFile(const std::u16string& path) {
    std::u16string name;
    return ::PathsList::readName(path, name);
}

void PathsList::refresh() {
    m_names.clear();
    const std::u16string& folder = m_atlas.folder();
    if (!folder.empty()) {
        auto finder = FileSystem::FileFinder::create(folder, u"*.kvp");
        for (bool more = !finder->atEnd(); more; more = finder->next()) {
            const std::u16string name = finder->name();
            if (finder->isDirectory() || equalsIgnoringAsciiCase(name, u"path.kvp")) continue;
            if (isRouteFile(fullPath(name))) m_names.push_back(name);
        }
    }
    std::sort(m_names.begin(), m_names.end());
    if (m_names.empty()) {
        m_selected = -1;
        resetPosition();
        refill();
        showSelection();
        return;
    }
    if (m_selected < 0) m_selected = 0;
    if (m_selected >= count()) m_selected = count() - 1;
    refill();
    ensureVisible(m_selected);
    showSelection();
}

void PathsList::itemClicked(std::int32_t index) {
    if (index >= 0 && index < count()) m_selected = index;
    showSelection();
}

void PathsList::showSelection() {
    const std::int32_t row = m_selected - firstVisibleIndex();
    list().select(m_selected >= 0 && row >= 0 && row < rowsPerPage() ? row : -1);
}

void PathsList::fillText(Ui::fdStatic& text, std::int32_t index) {
    text.setText(m_names.at(static_cast<std::size_t>(index)));
}

void PathsList::selectByName(const std::u16string& name) {
    const auto it = std::find(m_names.begin(), m_names.end(), name);
    if (it == m_names.end()) return;
    m_selected = static_cast<std::int32_t>(it - m_names.begin());
    refill();
    ensureVisible(m_selected);
    showSelection();
}

std::u16string PathsList::selectedName() const {
    return m_selected >= 0 && m_selected < count() ? m_names[static_cast<std::size_t>(m_selected)]
                                                   : std::u16string();
}

std::u16string PathsList::fullPath(const std::u16string& name) const {
    return m_atlas.folder() + u"\\" + name;
}

fdPagePathListX::fdPagePathListX(Ui::fdInterface* ui, const Messages& messages, Map::KVAtlas& atlas,
                                 AtlasRoute& route, const Ui::ButtonBindings* bindings)
    : fdPage(ui, "pagePathList", nullptr), m_messages(messages), m_atlas(atlas), m_route(route),
      m_bindings(bindings) {}

void fdPagePathListX::afterBuild() {
    m_list.reset();
    if (auto* list = dynamic_cast<Ui::fdList*>(widget("list")))
        m_list = std::make_unique<PathsList>(*list, m_atlas);
}

void fdPagePathListX::onShow() {
    if (!m_list) return;
    m_list->refresh();
    updateButtons();
}

void fdPagePathListX::updateButtons() {
    if (!m_list) return;
    if (fdWindowBase* up = findChild("up")) up->setEnabled(m_list->canScrollUp());
    if (fdWindowBase* down = findChild("down")) down->setEnabled(m_list->canScrollDown());
    // Deleting and loading need a chosen file: without one they look dead.
    Ui::ListPage::enableButtons(*this, {"button_del_path", "button_ok"}, m_list->selectedIndex() >= 0);
    // An empty list says that there is nothing yet, and how to add a route.
    Ui::ListPage::updateEmptyNotice(*this, m_list.get(), m_messages.text("paths_none"));
}

bool fdPagePathListX::keyDown(int key) {
    if (key == SDLK_ESCAPE) {
        childClicked(m_box ? "mb" : "back");
        return true;
    }
    if (!m_list) return true;
    const SDL_keysym keysym = Ui::keysymOf(key);
    if (m_bindings && m_bindings->isUpKey(keysym))
        m_list->pageUp();
    else if (m_bindings && m_bindings->isDownKey(keysym))
        m_list->pageDown();
    m_list->showSelection();
    updateButtons();
    invalidate(0);
    return true;
}

void fdPagePathListX::childClicked(const std::string& name) {
    if (handleCommonCommand(name))
        return;
    if (name == "up" || name == "down") {
        if (m_list) {
            if (name == "up")
                m_list->pageUp();
            else
                m_list->pageDown();
            m_list->showSelection();
            updateButtons();
        }
    } else if (name == "list") {
        if (m_list) m_list->activateSelected();
    } else if (name == "button_add_path") {
        savePath();
    } else if (name == "button_del_path") {
        deletePath();
    } else if (name == "button_ok") {
        loadPath();
        return; // the map page may be showing now
    } else if (name == "mb") {
        setCapture(nullptr);
        if (m_box) ui()->queueDelete(m_box);
        m_box = nullptr;
    } else {
        return;
    }
    invalidate(1);
}

std::u16string fdPagePathListX::newFileName() const {
    std::u16string name;
    Path::defaultFileName(m_route.path(), name);
    if (name.empty()) return name;
    // Numbered as the map page numbers its saved routes.
    const std::u16string path = fdPageMap::freeRouteFile(m_atlas.folder(), name);
    return path.substr(path.find_last_of(u"/\\") + 1);
}

void fdPagePathListX::savePath() {
    if (!m_list) return;
    if (m_route.path().points.size() < 2) {
        showMessage(m_messages.text("paths_no_curpath_err"));
        return;
    }
    const std::u16string name = newFileName();
    // The stored route name is the file's stem, cut to what the field holds.
    const std::u16string routeName = name.substr(0, std::min(name.size() - 4, PathFile::MaxNameLength));
    int error = 0;
    if (!PathFile::write(routeName, m_list->fullPath(name), m_route.path(), &error)) {
        showMessage(Ui::withSystemReason(m_messages.text("map_path_save_err"), error));
        return;
    }
    Log::log(Log::Normal, u"Route saved as '%s'", name);
    m_list->refresh();
    m_list->selectByName(name);
    updateButtons();
}

void fdPagePathListX::deletePath() {
    if (!m_list || m_list->selectedIndex() < 0) return;
    const std::u16string name = m_list->selectedName();
    if (!FileSystem::deleteFile(m_list->fullPath(name))) {
        showMessage(m_messages.text("paths_path_del_err") + name);
        return;
    }
    m_list->refresh();
    updateButtons();
}

void fdPagePathListX::loadPath() {
    if (!m_list || m_list->selectedIndex() < 0) return;
    const std::u16string name = m_list->selectedName();
    // The reader replaces the route only when the whole file reads back
    // against this atlas's maps, so a bad file leaves the route as it was.
    if (!m_route.read(m_list->fullPath(name), m_atlas)) {
        Log::log(Log::Normal, u"Can't load route file '%s'", name);
        showMessage(m_messages.text("paths_path_load_err") + name);
        invalidate(1);
        return;
    }
    Log::log(Log::Normal, u"Route loaded from '%s'", name);
    const Path& path = m_route.path();
    if (path.points.empty() || path.points.front().roadPoint.level == nullptr) return;
    const PathPoint& first = path.points.front();
    const Map::Point start =
        Map::LevelFrame::of(*first.roadPoint.level).toGlobal({first.roadPoint.x, first.roadPoint.y});
    if (auto* map = dynamic_cast<fdPageMap*>(ui()->findPage("pageMap"))) {
        map->showPoint(start, false);
        ui()->activatePage(map);
    }
}

void fdPagePathListX::showMessage(const std::u16string& text) {
    if (m_box) ui()->queueDelete(m_box);
    m_box = Ui::createTemplateWindow(*this, "mb_ok", "mb");
    if (!m_box) {
        Log::log(Log::Normal, u"%s", text);
        return;
    }
    Ui::setMessageText(*m_box, text);
    setCapture(m_box);
    invalidate(1);
}

} // namespace Screens
