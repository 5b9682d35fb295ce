#include "userdata/fdWPManager.h"

#include "core/FileFinder.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/Text.h"
#include "core/WinFile.h"
#include "platform/AtomicFile.h"
#include "platform/Directory.h"
#include "platform/File.h"
#include "platform/Error.h"
#include "platform/Path.h"
#include "render/Font.h"
#include "render/Image.h"
#include "render/MapCamera.h"
#include "render/Pixels.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace {

std::int32_t clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

Core::RTree<std::uint32_t>::Box boxAround(Map::Point p, std::int64_t half) {
    auto clamp = clamp32;
    return {clamp(p.x - half), clamp(p.y - half), clamp(p.x + half), clamp(p.y + half)};
}

void createFolder(const std::u16string& folder) {
    std::error_code ignored;
    std::filesystem::create_directories(Platform::toNativePath(folder), ignored);
}

std::u16string joined(const std::u16string& folder, const std::u16string& name) {
    if (!folder.empty() && (folder.back() == u'/' || folder.back() == u'\\')) return folder + name;
    return folder + u"/" + name;
}

} // namespace

fdWPManager::fdWPManager(WaypointStyles* styles, std::u16string iconsListPath)
    : m_styles(styles), m_iconsListPath(std::move(iconsListPath)) {}

void fdWPManager::load(const std::u16string& folder) {
    m_unreadable.clear();
    m_points.clear();
    m_tree.clear();
    m_categories.clear();
    const auto finder = FileSystem::FileFinder::create(folder, u"*.gpx");
    for (; !finder->atEnd(); finder->next()) {
        const std::u16string name = finder->name();
        if (finder->isDirectory() || name.empty() || name.front() == u'.') continue;
        if (m_categories.size() >= MaxCategories - 1) break;
        m_categories.push_back(WayPointCategory{FileSystem::fileTitle(name), 0});
        try {
            readGpx(finder->path(), static_cast<std::uint8_t>(m_categories.size() - 1));
        } catch (const std::exception& e) {
            Log::log(Log::Critical, u"Error: %hs on parsing file '%s'", std::string(e.what()),
                     finder->path());
            m_unreadable.push_back(finder->path());
            m_categories.pop_back();
        }
    }
    if (m_categories.empty()) m_categories.push_back(WayPointCategory{DefaultCategory, 0});
    if (m_points.empty()) createFolder(folder);
    loadIcons();
    notify();
}

void fdWPManager::readGpx(const std::u16string& path, std::uint8_t category) {
    Log::log(Log::Info, u"Loading '%s'", path);
    FileSystem::WinFileForRead file(path);
    if (!file.isOpen()) throw std::runtime_error("Can't open GPX file");
    std::uint32_t size = 0;
    const auto bytes = FileSystem::readFile(file, &size, path);
    if (!bytes) throw std::runtime_error("Can't read GPX file");
    std::string text(bytes.get(), size);
    // Every point of the file or none: the reader throws before any is kept.
    for (Gpx::ReadPoint& read : Gpx::readWaypoints(text, m_styles, category)) {
        insert(read.point, read.boxHalfSize);
    }
}

void fdWPManager::insert(const StoredWayPoint& point, std::int32_t halfSize) {
    m_tree.insert(boxAround(point.position, halfSize), static_cast<std::uint32_t>(m_points.size()));
    m_points.push_back(point);
}

std::u16string fdWPManager::categoryPath(const std::u16string& folder, std::size_t category) const {
    // Names are file names from the listing or were made safe when added.
    return joined(folder, m_categories.at(category).name + u".gpx");
}

bool fdWPManager::writeGpx(const std::u16string& path, const std::vector<const StoredWayPoint*>& points) {
    const std::string text = Gpx::writeWaypoints(points, m_styles);
    if (Platform::writeFileAtomically(path, text)) return true;
    Log::log(Log::Critical, u"Can't create GPX file '%s' (err %d)", path, Platform::lastError());
    return false;
}

void fdWPManager::save(const std::u16string& folder) {
    for (std::size_t c = 0; c < m_categories.size(); ++c)
        if (m_categories[c].modified != 0) saveCategory(folder, c);
}

bool fdWPManager::saveCategory(const std::u16string& folder, std::size_t c) {
    createFolder(folder);
    const std::u16string path = categoryPath(folder, c);
    // The listing's path and the category's may differ in separators only.
    const auto unreadable = std::find_if(m_unreadable.begin(), m_unreadable.end(), [&](const std::u16string& u) {
        return Platform::toNativePath(u) == Platform::toNativePath(path);
    });
    if (unreadable != m_unreadable.end() && Platform::fileExists(path)) {
        const std::u16string backup = path + u".bak";
        if (!Platform::renameEntry(path, backup)) {
            Log::log(Log::Critical, u"Can't keep unreadable GPX file '%s' as '%s' (err %d)", path, backup,
                     Platform::lastError());
            return false;
        }
        Log::log(Log::Critical, u"Unreadable GPX file kept as '%s'", backup);
    }
    if (unreadable != m_unreadable.end()) m_unreadable.erase(unreadable);
    // Points keep their record order; a category whose points were all
    // deleted is written empty, so they stay deleted.
    std::vector<const StoredWayPoint*> points;
    for (const StoredWayPoint& p : m_points)
        if (!p.deleted() && p.category == c) points.push_back(&p);
    if (!writeGpx(path, points)) return false;
    m_categories[c].modified = 0;
    return true;
}

StoredWayPoint* fdWPManager::edit(std::size_t index) {
    return index < m_points.size() ? &m_points[index] : nullptr;
}

bool fdWPManager::changed(std::size_t category) {
    if (category >= m_categories.size()) return true;
    m_categories[category].modified = 1;
    if (m_batches == 0)
        writeChange(category);
    else if (std::find(m_batched.begin(), m_batched.end(), category) == m_batched.end())
        m_batched.push_back(category);
    return true;
}

void fdWPManager::writeChange(std::size_t category) {
    if (!m_changesFolder.empty() && !saveCategory(m_changesFolder, category))
        m_writeError = Platform::lastError() != 0 ? Platform::lastError() : 1;
}

fdWPManager::ChangeBatch::~ChangeBatch() {
    if (--m_manager.m_batches > 0) return;
    for (const std::size_t category : std::exchange(m_manager.m_batched, {}))
        m_manager.writeChange(category);
}

std::int32_t fdWPManager::addPoint(const std::u16string& name, Map::Point position,
                                   const std::u16string& comment, std::uint8_t category) {
    if (category >= m_categories.size()) return -1;
    StoredWayPoint p;
    p.name = name;
    p.comment = comment;
    p.position = position;
    p.category = category;
    insert(p, 1);
    changed(category);
    return static_cast<std::int32_t>(m_points.size() - 1);
}

bool fdWPManager::deletePoint(std::size_t index) {
    StoredWayPoint* p = edit(index);
    if (p == nullptr) return false;
    p->flag = 1;
    m_tree.removeValue(static_cast<std::uint32_t>(index), true);
    return changed(p->category);
}

bool fdWPManager::setNameAndComment(std::size_t index, const std::u16string& name,
                                    const std::u16string& comment) {
    StoredWayPoint* p = edit(index);
    if (p == nullptr) return false;
    p->name = name;
    p->comment = comment;
    return changed(p->category);
}

bool fdWPManager::setType(std::size_t index, std::uint16_t type) {
    StoredWayPoint* p = edit(index);
    if (p == nullptr) return false;
    p->type = type;
    p->imageIndex = -1;
    return changed(p->category);
}

bool fdWPManager::setUrl(std::size_t index, const std::u16string& url) {
    StoredWayPoint* p = edit(index);
    if (p == nullptr) return false;
    p->url = url;
    return changed(p->category);
}

bool fdWPManager::setId(std::size_t index, std::uint32_t id) {
    StoredWayPoint* p = edit(index);
    if (p == nullptr) return false;
    p->id = id;
    return changed(p->category);
}

bool fdWPManager::addUse(std::size_t index) {
    StoredWayPoint* p = edit(index);
    if (p == nullptr) return false;
    ++p->uses;
    return changed(p->category);
}

bool fdWPManager::setImage(std::size_t index, std::size_t listPosition) {
    if (listPosition >= m_icons.size()) return false;
    StoredWayPoint* p = edit(index);
    if (p == nullptr) return false;
    p->imageIndex = static_cast<std::int32_t>(listPosition);
    p->imageUrl =
        listPosition >= m_typeIconCount ? m_iconNames[listPosition - m_typeIconCount] : std::u16string();
    return changed(p->category);
}

std::int32_t fdWPManager::addCategory(const std::u16string& name) {
    const std::u16string safe = Gpx::safeFileStem(name);
    for (std::size_t i = 0; i < m_categories.size(); ++i)
        if (m_categories[i].name == safe) return static_cast<std::int32_t>(i);
    if (m_categories.size() >= MaxCategories) return -1;
    m_categories.push_back(WayPointCategory{safe, 0});
    notify();
    return static_cast<std::int32_t>(m_categories.size() - 1);
}

std::int32_t fdWPManager::findNearestPoint(Map::Point point, std::int32_t radius) const {
    if (radius < 0) return -1;
    const std::int64_t limit = std::int64_t{radius} * radius;
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    std::int32_t bestIndex = -1;
    m_tree.visitIntersecting(boxAround(point, radius), [&](const Tree::Entry& e) {
        const StoredWayPoint& p = m_points[e.value];
        const std::int64_t dx = std::int64_t{p.position.x} - point.x;
        const std::int64_t dy = std::int64_t{p.position.y} - point.y;
        const std::int64_t d = dx * dx + dy * dy;
        if (d < limit && d < best) {
            best = d;
            bestIndex = static_cast<std::int32_t>(e.value);
        }
    });
    return bestIndex;
}

Render::Image* fdWPManager::pointImage(std::size_t index) {
    const StoredWayPoint& p = m_points.at(index);
    if (p.imageIndex >= 0 && static_cast<std::size_t>(p.imageIndex) < m_icons.size())
        return m_icons[p.imageIndex];
    const Render::PoiStyle* style = m_styles != nullptr ? m_styles->poiStyle(p.type) : nullptr;
    return style != nullptr ? style->icon : nullptr;
}

void fdWPManager::removeListener(Map::WayPointsCategoriesListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

void fdWPManager::notify() {
    for (Map::WayPointsCategoriesListener* listener : m_listeners)
        listener->onCategoriesChanged();
}

void fdWPManager::loadIcons() {
    m_icons.clear();
    m_iconNames.clear();
    if (m_styles != nullptr) {
        const std::vector<Render::Image*> types = m_styles->typeIcons();
        std::unique_copy(types.begin(), types.end(), std::back_inserter(m_icons));
    }
    m_typeIconCount = m_icons.size();
    // A type icon read from a file names a position of the list it was
    // chosen from; one past the type icons of these styles is no choice, and
    // a point naming an icon file regains that below instead.
    for (StoredWayPoint& p : m_points)
        if (!p.imageUrl.empty() || p.imageIndex >= static_cast<std::int32_t>(m_typeIconCount)) p.imageIndex = -1;
    FileSystem::WinFileForRead file(m_iconsListPath);
    std::uint32_t size = 0;
    const auto bytes = file.isOpen() ? FileSystem::readFile(file, &size, m_iconsListPath) : nullptr;
    if (!bytes) {
        // The list of extra icons is optional: without it the point types'
        // icons are offered.
        const int error = Platform::lastError();
        Log::log(error == Platform::ErrorFileNotFound ? Log::Normal : Log::Critical,
                 u"Can't open icons file '%s' (err %d)", m_iconsListPath, error);
        return;
    }
    std::string_view rest(bytes.get(), size);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (line.ends_with('\r')) line.remove_suffix(1);
        Render::Image* image = line.empty() || m_styles == nullptr
                                   ? nullptr
                                   : m_styles->loadImage("pois/icons/" + std::string(line));
        if (image == nullptr) continue;
        const auto position = static_cast<std::int32_t>(m_icons.size());
        m_icons.push_back(image);
        m_iconNames.push_back(Core::utf8ToWide(line));
        // Every point naming this file regains it.
        for (StoredWayPoint& p : m_points)
            if (p.imageUrl == m_iconNames.back()) p.imageIndex = position;
    }
}

template <class Visit>
void fdWPManager::visitShown(std::int32_t width, std::int32_t height, MapCamera& camera, std::int32_t scale,
                             Visit visit) {
    // The map area under the surface; in 3D above the horizon the corners
    // see no ground, and every point is looked at.
    Tree::Box box{std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min(),
                  std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()};
    Map::Point corners[4];
    const xe::Point screenCorners[4] = {{0, 0}, {width, 0}, {0, height}, {width, height}};
    bool ground = true;
    for (int i = 0; i < 4; ++i)
        ground = ground && camera.screenToMap(screenCorners[i], corners[i]);
    if (ground) {
        box = {corners[0].x, corners[0].y, corners[0].x, corners[0].y};
        for (const Map::Point& c : corners)
            box = Tree::Box::unite(box, Tree::Box{c.x, c.y, c.x, c.y});
    }
    m_tree.visitIntersecting(box, [&](const Tree::Entry& e) {
        const StoredWayPoint& p = m_points[e.value];
        xe::Point s;
        if (!camera.mapToScreen(p.position, s) || s.x < 0 || s.y < 0 || s.x >= width || s.y >= height) return;
        const Render::PoiStyle* style = m_styles != nullptr ? m_styles->poiStyle(p.type) : nullptr;
        if (style != nullptr && !style->visibleAt(scale)) return;
        visit(e.value, s, style);
    });
}

std::vector<Render::OrientedBox> fdWPManager::iconBoxes(std::int32_t width, std::int32_t height,
                                                        MapCamera& camera) {
    std::vector<Render::OrientedBox> boxes;
    visitShown(width, height, camera, m_scale ? m_scale() : 0,
               [&](std::size_t index, xe::Point s, const Render::PoiStyle*) {
                   if (Render::Image* image = pointImage(index))
                       boxes.push_back(Render::IconBox::of(s.x - image->width() / 2,
                                                           s.y - image->height() / 2, image->width(),
                                                           image->height(), nullptr)
                                           .box);
                   else
                       boxes.push_back(Render::IconBox::of(s.x - 5, s.y - 5, 11, 11, nullptr).box);
               });
    return boxes;
}

std::uint32_t fdWPManager::drawPoints(SDL_Surface* surface, MapCamera& camera, std::int32_t scale,
                                      const std::vector<Render::OrientedBox>& taken) {
    std::uint32_t drawn = 0;
    Render::Font* font = m_styles != nullptr ? m_styles->nameFont() : nullptr;
    // A name drawn across a street's caption left neither readable: names
    // keep clear of the captions and of each other, as captions do.
    std::vector<Render::OrientedBox> occupied = taken;
    const auto clear = [&occupied, surface](const Render::OrientedBox& box) {
        return box.centreY - box.halfHeight >= 0.0f &&
               box.centreY + box.halfHeight <= static_cast<float>(surface->h) &&
               std::none_of(occupied.begin(), occupied.end(),
                            [&box](const Render::OrientedBox& other) { return box.overlaps(other); });
    };
    visitShown(surface->w, surface->h, camera, scale,
               [&](std::size_t index, xe::Point s, const Render::PoiStyle* style) {
                   const StoredWayPoint& p = m_points[index];
                   if (Render::Image* image = pointImage(index)) {
                       const SDL_Rect whole{0, 0, static_cast<Uint16>(image->width()),
                                            static_cast<Uint16>(image->height())};
                       image->drawPart(surface, static_cast<std::int16_t>(s.x - image->width() / 2),
                                       static_cast<std::int16_t>(s.y - image->height() / 2), whole);
                   } else {
                       xe::fillCircle(surface, s.x, s.y, 5, 0xFF8000FF);
                   }
                   Render::TextSize size;
                   if (font != nullptr && !p.name.empty() && font->textSize(size, p.name)) {
                       // A name on a haloed line, as the map's own captions are, in its
                       // type's caption colours of the current day or night set: plain
                       // text vanishes on a light day map or a dark night one.
                       const Render::PoiStyle* colours =
                           style != nullptr ? style : m_styles->poiStyle(WayPoint::DefaultType);
                       // Within the surface's width where the name fits it; a name
                       // that reaches past its top or bottom edge is not clear.
                       const std::int32_t left =
                           std::max(0, std::min(s.x - size.width / 2, surface->w - size.width));
                       const auto box = [&](std::int32_t top) {
                           return Render::OrientedBox{
                               static_cast<float>(left) + static_cast<float>(size.width) / 2.0f,
                               static_cast<float>(top) + static_cast<float>(size.height) / 2.0f,
                               1.0f,
                               0.0f,
                               static_cast<float>(size.width) / 2.0f,
                               static_cast<float>(size.height) / 2.0f};
                       };
                       // Above the point, else below it.
                       std::int32_t top = s.y - size.height / 2 - 14;
                       if (!clear(box(top))) top = s.y - size.height / 2 + 14;
                       if (!clear(box(top))) {
                           ++drawn;
                           return;
                       }
                       occupied.push_back(box(top));
                       if (colours != nullptr)
                           font->drawTextSolid(surface, left, top, Render::Font::Halo, colours->textForeColor,
                                               colours->textHaloColor, p.name);
                       else
                           font->drawTextSolid(surface, left, top, Render::Font::Halo, m_styles->nameColour(),
                                               0xFF000000u, p.name);
                   }
                   ++drawn;
               });
    return drawn;
}
