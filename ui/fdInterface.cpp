#include "ui/fdInterface.h"

#include "core/FileRW.h"
#include "core/Log.h"
#include "core/MainLoopWake.h"
#include "core/Text.h"
#include "core/RWops.h"
#include "core/WinFile.h"
#include "render/TtfFont.h"
#include "ui/EngineServices.h"
#include "ui/fdImage.h"
#include "ui/fdPage.h"
#include "ui/fdStatic.h"

#include <SDL/SDL_events.h>
#include <SDL/SDL_keysym.h>

#include <algorithm>
#include <system_error>

namespace Ui {

namespace {

std::uint16_t designExtent(EngineServices* engine, bool width) {
    if (!engine)
        return 0;
    std::int32_t v = width ? engine->designWidth() : engine->designHeight();
    if (engine->doubleSize())
        v *= 2;
    return static_cast<std::uint16_t>(std::clamp(v, 0, 0xFFFF));
}

// The text of a page's top box: the designs call it "title", or, where the
// page's code fills it with a name of its own, "page_name" (the find page),
// "name" (the information page) or "name_label" (a friend's options). Only
// the page's own widgets count, not those of its list rows.
std::string titleOf(const fdPage& page) {
    for (const char* name : {"title", "page_name", "name", "name_label"}) {
        const fdWindowBase* found = page.findChild(name);
        if (const auto* text = dynamic_cast<const fdStatic*>(found); text && found->parent() == &page)
            return Core::wideToUtf8(text->text());
    }
    return {};
}

} // namespace

fdInterface::fdInterface(EngineServices* engine, FileSystem::VirtualFs* files)
    : fdWindowBase("_ui_", this), m_engine(engine), m_files(files) {
    m_textColors = {0xFFFFFFFFu, 0xFFFFFFFFu};
    m_designRect = {0, 0, designExtent(engine, true), designExtent(engine, false)};
    if (const SDL_Surface* screen = SDL_GetVideoSurface())
        m_rect = {0, 0, static_cast<std::uint16_t>(screen->w), static_cast<std::uint16_t>(screen->h)};
    else
        m_rect = {0, 0, m_designRect.w, m_designRect.h};
}

fdInterface::~fdInterface() {
    removeTimer();
    // The pages (queued windows included) go while the registries they
    // borrow from still stand.
    shutdown();
    while (!m_fonts.empty())
        m_fonts.pop_back();
}

void fdInterface::tick(std::uint32_t now) {
    for (int passes = 0; m_active; ++passes) {
        if (passes == MaxPageSwitchesPerTick) {
            Log::log(Log::Critical, "Pages keep switching in one tick; stopped at page %s", m_active->name());
            break;
        }
        fdPage* before = m_active;
        before->tick(now);
        if (m_active == before)
            break;
    }
    updateUiTimer(m_active ? m_active->timerPeriod() : TimerPeriod::none());
    m_redrawAllowed = true;
    applyPendingChanges();
}

void fdInterface::setRect(int x, int y, int w, int h) {
    fdWindowBase::setRect(x, y, w, h);
    m_drawnPage = nullptr;
}

void fdInterface::draw(SDL_Surface* surface, TempSurface& clip, bool) {
    m_dirty = false;
    if (!m_active)
        return;
    m_active->draw(surface, clip, true);
    // The first frame of a page shown, once per showing and per window
    // size: from here on the driver sees it (the window tests wait for this
    // line, not a pause).
    if (m_drawnPage != m_active) {
        m_drawnPage = m_active;
        Log::log(Log::Info, "Page %s drawn", m_active->name());
    }
}

bool fdInterface::mouseButtonDown(int button, int x, int y) {
    return m_active && m_active->mouseButtonDown(button, x, y);
}
bool fdInterface::mouseButtonUp(int button, int x, int y) { return m_active && m_active->mouseButtonUp(button, x, y); }
bool fdInterface::mouseMove(int x, int y) { return m_active && m_active->mouseMove(x, y); }
bool fdInterface::press(int x, int y) { return m_active && m_active->press(x, y); }
bool fdInterface::release(int x, int y) {
    if (m_active)
        m_active->release(x, y);
    return false;
}
bool fdInterface::keyDown(int key) {
    if (!m_active)
        return false;
    if (m_active->keyDown(key))
        return true;
    // Escape, when the page leaves it, leads back where "back" does.
    if (key == SDLK_ESCAPE && !m_history.empty()) {
        goBack();
        return true;
    }
    return false;
}
bool fdInterface::keyUp(int key) { return m_active && m_active->keyUp(key); }

fdPage* fdInterface::findPage(const std::string& name) const {
    for (fdWindowBase* child : m_children)
        if (child->name() == name)
            return dynamic_cast<fdPage*>(child);
    return nullptr;
}

void fdInterface::activatePage(fdPage* page) {
    if (!page)
        return;
    if (m_active) {
        m_active->onHide();
        m_active->setVisible(false);
    }
    m_redrawAllowed = false;
    m_active = page;
    m_drawnPage = nullptr;
    page->setVisible(true);
    page->invalidate(0);
    invalidate(1);
    page->onShow();
    // What the driver now sees, for whoever follows the program from its
    // log: the page and the text of its top box, as onShow left it.
    Log::log(Log::Info, "Page %s shown, titled \"%s\"", page->name(), titleOf(*page));
    updateUiTimer(page->timerPeriod());
    m_frameDue = true;
    Threading::wakeMainLoop();
}

void fdInterface::goToPage(fdPage* page) {
    if (!page)
        return;
    if (m_active)
        m_history.push_back(m_active);
    activatePage(page);
}

void fdInterface::goToPageByName(const std::string& name) {
    fdPage* page = findPage(name);
    if (!page) {
        logMissingOnce(Core::format("Can't find page %s", name));
        return;
    }
    goToPage(page);
}

void fdInterface::goBack() {
    if (m_history.empty())
        return;
    fdPage* page = m_history.back();
    m_history.pop_back();
    activatePage(page);
}

bool fdInterface::createFont(const std::u16string& fileName, const std::string& name, std::int32_t size,
                             std::int32_t style) {
    const std::u16string path = m_engine ? m_engine->dataPath(fileName) : fileName;
    auto file = std::make_unique<FileSystem::WinFileForRead>(path);
    if (!file->isOpen()) {
        Log::log(Log::Critical, u"Can't open font file '%s' (err %d)", path, file->lastError());
        return false;
    }
    SDL_RWops* stream = FileSystem::createRWops(std::move(file));
    std::shared_ptr<Render::Font> font = stream ? Render::TtfFont::create(stream, size) : nullptr;
    if (!font) {
        // The font engine's line above knows only a stream.
        Log::log(Log::Critical, u"filename = '%s'", path);
        return false;
    }
    font->setStyle(style);
    m_fonts.push_back({name, std::move(font)});
    return true;
}

Render::Font* fdInterface::fontByName(const std::string& name) const {
    for (const FontRecord& f : m_fonts)
        if (f.name == name)
            return f.font.get();
    return m_systemFont;
}

bool fdInterface::registerCursor(const std::string& name, const std::string& imageName, std::int32_t hotX,
                                 std::int32_t hotY) {
    fdImage* image = loadImage(imageName);
    if (!image)
        return false;
    return m_cursors.try_emplace(name, CursorRecord{image, hotX, hotY}).second;
}

const CursorRecord* fdInterface::findCursor(const std::string& name) const {
    auto it = m_cursors.find(name);
    return it == m_cursors.end() ? nullptr : &it->second;
}

bool fdInterface::registerMaterial(const std::string& name, const std::string& imageName, std::int32_t left,
                                   std::int32_t top, std::int32_t right, std::int32_t bottom, bool horizontalTile,
                                   bool verticalTile) {
    fdImage* image = loadImage(imageName);
    if (!image)
        return false;
    Material m;
    m.image = image;
    m.left = left;
    m.top = top;
    m.right = right;
    m.bottom = bottom;
    m.tileHorizontally = horizontalTile;
    m.tileVertically = verticalTile;
    return m_materials.try_emplace(name, m).second;
}

const Material* fdInterface::findMaterial(const std::string& name) const {
    auto it = m_materials.find(name);
    return it == m_materials.end() ? nullptr : &it->second;
}

fdImage* fdInterface::loadImage(const std::string& fileName) {
    if (fileName.empty()) {
        Log::log(Log::Normal, "Load image warning: no file name provided");
        return nullptr;
    }
    for (const auto& image : m_images)
        if (image->fileName() == fileName)
            return image.get();
    auto image = std::make_unique<fdImage>(fileName, m_files);
    if (!image->isValid())
        return nullptr;
    m_images.push_back(std::move(image));
    return m_images.back().get();
}

void fdInterface::releaseImages() {
    for (const auto& image : m_images)
        image->releaseSurface();
}

std::uint64_t fdInterface::deleteImages() {
    std::uint64_t bytes = 0;
    for (const auto& image : m_images)
        if (const SDL_Surface* s = image->surface())
            bytes += static_cast<std::uint64_t>(s->pitch) * static_cast<std::uint64_t>(s->h);
    m_images.clear();
    return bytes;
}

void fdInterface::removeTimer() {
    if (!m_timer)
        return;
    m_timer.reset();
    Log::log(Log::Info, "Ui timer %dms removed", m_timerPeriod);
    m_timerPeriod = 0;
}

void fdInterface::updateUiTimer(TimerPeriod period) {
    if (!period.wanted()) {
        removeTimer();
        m_redrawAllowed = false;
        return;
    }
    const std::uint32_t periodMs = period.ms();
    if (m_timer && m_timerPeriod != periodMs)
        removeTimer();
    if (m_timer)
        return;
    try {
        m_timer = std::make_unique<Threading::PeriodicTimer>(periodMs,
                                                             [this, periodMs] { timerCallback(periodMs, this); });
    } catch (const std::system_error&) {
        Log::log(Log::Critical, "Can't create ui timer %dms", periodMs);
        return;
    }
    m_timerPeriod = periodMs;
    m_redrawAllowed = true;
    Log::log(Log::Info, "Ui timer %dms created", m_timerPeriod);
}

Uint32 fdInterface::timerCallback(Uint32 interval, void* param) {
    auto* self = static_cast<fdInterface*>(param);
    if (self->m_redrawAllowed.exchange(false)) {
        // Counted before the frame is due: a frame drawn for this tick is
        // never seen ahead of the tick that allowed it.
        ++self->m_timerExposes;
        self->m_frameDue = true;
        Threading::wakeMainLoop();
    }
    return interval;
}

void fdInterface::applyPendingChanges() {
    for (std::size_t i = 0; i < m_pendingAttach.size(); ++i)
        if (fdWindowBase* parent = m_pendingAttach[i]->parent())
            parent->addChild(m_pendingAttach[i]);
    if (m_pendingAttach.size() > 100)
        std::vector<fdWindowBase*>().swap(m_pendingAttach);
    else
        m_pendingAttach.clear();

    // A window and one of its ancestors may both be queued: every window
    // leaves its parent first, so that deleting the ancestor no longer
    // reaches it, and each window is deleted once.
    std::vector<fdWindowBase*> doomed;
    doomed.swap(m_pendingDelete);
    std::sort(doomed.begin(), doomed.end());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    for (fdWindowBase* w : doomed)
        if (w->parent())
            w->parent()->removeChild(w);
    for (fdWindowBase* w : doomed) {
        if (w == m_active)
            m_active = nullptr;
        std::erase(m_history, w);
        delete w;
    }
}

void fdInterface::shutdown() {
    m_active = nullptr;
    m_history.clear();
    applyPendingChanges();
    while (!m_children.empty()) {
        fdWindowBase* page = m_children.back();
        m_children.pop_back();
        delete page;
    }
    // Windows a page let go of as it went (a keyboard it held) were queued
    // for deletion by then.
    applyPendingChanges();
}

void fdInterface::logMissingOnce(const std::string& text) {
    if (m_reportedMissing.insert(text).second)
        Log::log(Log::Critical, "%s", text);
}

} // namespace Ui
