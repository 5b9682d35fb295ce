#include "map/KVAtlas.h"

#include "core/Config.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Text.h"
#include "map/AtlasXml.h"
#include "map/CameraFile.h"
#include "map/LevelFrame.h"
#include "map/Projection.h"
#include "platform/Directory.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Path.h"

#include <algorithm>
#include <exception>
#include <string_view>
#include <unordered_set>

namespace Map {

namespace {

// Heap sizes in KiB: a value that is not positive or whose byte count does
// not fit 32 bits is replaced by the default.
std::uint32_t heapBytes(Core::ConfigNode* config, const char* key) {
    int kib = config ? config->value(key, KVAtlas::DefaultHeapKiB) : KVAtlas::DefaultHeapKiB;
    if (kib <= 0 || kib > 0x3FFFFF) {
        Log::log(Log::Critical, "Invalid %s value %d - using %d", key, kib, KVAtlas::DefaultHeapKiB);
        kib = KVAtlas::DefaultHeapKiB;
    }
    return static_cast<std::uint32_t>(kib) << 10;
}

// The names of the folder's files (not of its folders); none when it
// cannot be listed.
std::unordered_set<std::u16string> fileNames(const std::u16string& folder) {
    std::unordered_set<std::u16string> names;
    std::vector<Platform::DirectoryEntry> listed;
    if (Platform::listDirectory(Platform::toNativePath(folder), listed))
        for (const Platform::DirectoryEntry& entry : listed)
            if (!entry.directory) names.insert(Platform::fromNativePath(entry.name));
    return names;
}

} // namespace

KVAtlas::KVAtlas(std::shared_ptr<Core::ConfigNode> config, Core::ResourcesPool& pool, AtlasServices services)
    : m_pool(pool), m_config(std::move(config)), m_mutex("Can't create atlas mutex"), m_levelScales(33, 0),
      m_services(std::move(services)) {
    if (!m_services.paths) m_services.paths = std::make_shared<FolderPaths>(Platform::programFolder());
    readLevelScales();
    m_mainHeap = std::make_unique<Core::SimpleHeap>(heapBytes(m_config.get(), "win_main_heap"));
    m_routeHeap = std::make_unique<Core::SimpleHeap>(heapBytes(m_config.get(), "win_route_heap"));
    m_view.requestRedraw();
}

KVAtlas::~KVAtlas() {
    Threading::SdlLock lock(m_mutex);
    unload();
}

void KVAtlas::readLevelScales() {
    bool valid = true;
    std::int32_t previous = 0;
    for (int n = LastScaledLevel; n >= FirstScaledLevel; --n) {
        const std::int32_t fallback = DefaultLevelScales[LastScaledLevel - n];
        const std::string key = Core::format("level_%d_scale", n);
        const std::int32_t value = m_config ? m_config->value(key, fallback) : fallback;
        m_levelScales[n] = value;
        if (valid && (n == LastScaledLevel ? value < 0 : value < previous)) valid = false;
        previous = value;
    }
    if (valid) return;
    for (int n = LastScaledLevel; n >= FirstScaledLevel; --n) {
        const std::int32_t fallback = DefaultLevelScales[LastScaledLevel - n];
        m_levelScales[n] = fallback;
        if (m_config) m_config->set(Core::format("level_%d_scale", n), fallback);
    }
}

int KVAtlas::levelForScale(float scale) const {
    int last = -1;
    for (int i = 1; i <= 32; ++i) {
        if (m_levelScales[i] == 0) continue;
        last = i;
        if (static_cast<float>(m_levelScales[i]) <= scale) return i - 1;
    }
    return last;
}

void KVAtlas::logNoValidMaps(const std::u16string& folder) const {
    // Only the start's load ends the program; a later one (a map file
    // changed while in use, another atlas chosen) leaves it running.
    if (m_inUseBefore)
        Log::log(Log::Critical, u"Atlas error: no valid maps found in %s - no map is shown", folder);
    else if (m_anotherToTry)
        Log::log(Log::Critical, u"Atlas error: no valid maps found in %s - another atlas is tried", folder);
    else
        Log::log(Log::Critical, u"Atlas fatal error: no valid maps found");
}

std::u16string KVAtlas::cameraPath() const {
    return joinPath(m_folder, u"camera.kvc");
}
std::u16string KVAtlas::pathFilePath() const {
    return joinPath(m_folder, u"path.kvp");
}

bool KVAtlas::load(const std::u16string& folder) {
    Threading::SdlLock lock(m_mutex);
    if (m_loaded || !m_maps.empty()) unload();

    // A stale atlas.xml must never stand in for this folder's. When the new
    // one cannot be written (a read-only data folder, a full disk), the list
    // just built from the folder is used as it is: the maps themselves may
    // well be readable.
    const std::u16string atlasFile = paths().dataPath(u"atlas.xml");
    m_refused.clear();
    m_vanished.clear();
    // A folder that cannot be read (its rights taken away) hides its files
    // without their being gone: what is wrong is the folder, and atlas.xml
    // keeps the list of its last good load.
    if (std::vector<Platform::DirectoryEntry> listed;
        !Platform::listDirectory(Platform::toNativePath(folder), listed)) {
        const int error = Platform::lastError();
        if (error != Platform::ErrorFileNotFound && error != Platform::ErrorPathNotFound) {
            const std::string reason = Platform::errorText(error);
            Log::log(Log::Critical, u"Atlas error: folder '%s' cannot be read (%hs)", folder, reason);
            m_refused.push_back({folder, "The folder cannot be read (" + reason + ")"});
            logNoValidMaps(folder);
            return false;
        }
    }
    const std::u16string dir = paths().relativeToData(folder);
    // The files the previous list held (maps, and those a load that found
    // no map kept as gone) that are not there now, by name.
    std::vector<std::u16string> gone;
    if (Platform::fileExists(atlasFile)) {
        std::vector<AtlasXml::Map> before;
        std::u16string beforeDir;
        std::vector<std::u16string> goneBefore;
        const bool read = AtlasXml::read(atlasFile, before, &beforeDir, &goneBefore);
        // A file edited or damaged by hand past reading is the person's:
        // it is kept beside the list written below, not written over.
        if (!read)
            Core::Config::keepUnreadable(atlasFile, "atlas");
        if (read && beforeDir == dir) {
            for (const AtlasXml::Map& entry : before)
                if (entry.src && AtlasXml::isPlainFileName(*entry.src)) goneBefore.push_back(*entry.src);
            // The file may have been edited by hand: what a start names stays
            // bounded, and the count takes one look at the folder and a
            // look-up a name (a stat call for each of a million names, and a
            // comparison with every name already gone, took 19 s).
            const std::unordered_set<std::u16string> present = fileNames(folder);
            std::unordered_set<std::u16string_view> seen;
            unsigned unnamed = 0;
            for (const std::u16string& src : goneBefore) {
                if (present.contains(src) || !seen.insert(src).second) continue;
                if (gone.size() == AtlasXml::MaxGone) {
                    ++unnamed;
                    continue;
                }
                Log::log(Log::Critical, u"Atlas error: map file '%s' is gone", src);
                gone.push_back(src);
                m_vanished.push_back(paths().programPath(joinPath(folder, src)));
            }
            if (unnamed)
                Log::log(Log::Critical, u"Atlas error: %u more map files are gone", unnamed);
        }
    }
    const std::string list = AtlasXml::build(folder, dir, &m_refused);
    // A file the list leaves out is a map the user put there and will miss:
    // each is named with the reason.
    for (const AtlasXml::LeftOut& file : m_refused)
        Log::log(Log::Critical, u"Atlas error: map file '%s' is not listed (%hs) - skip", file.path,
                 file.reason);
    const bool written = AtlasXml::writeText(atlasFile, list);
    if (!written)
        Log::log(Log::Critical, u"Atlas file '%s' not written: the maps found in %s are used", atlasFile, folder);

    m_folder = folder;
    Log::log(Log::Normal, u"Loading atlas %s", folder);

    std::vector<AtlasXml::Map> entries;
    if (!(written ? AtlasXml::read(atlasFile, entries) : AtlasXml::parse(list, atlasFile, entries))) return false;
    for (const AtlasXml::Map& entry : entries) {
        if (!entry.src) {
            Log::log(Log::Critical, u"Atlas error: map filename not specified - skip");
            continue;
        }
        if (!entry.typeValid)
            Log::log(Log::Critical, u"Atlas waring: map type is invalid - using default type city");
        const std::u16string path = paths().programPath(joinPath(m_folder, *entry.src));
        std::string problem;
        try {
            auto map = std::make_unique<KVMap2>(path, m_pool, *m_mainHeap);
            if (map->open(path, *entry.src, entry.time))
                m_maps.push_back(std::move(map));
            else
                problem = "Invalid map";
        } catch (const std::exception& error) {
            problem = error.what();
        }
        if (!problem.empty()) {
            Log::log(Log::Critical, u"Atlas error: map '%s' (%s) is invalid (%hs) - skip", entry.name,
                     *entry.src, problem);
            m_refused.push_back({path, problem});
        }
    }
    if (m_maps.empty()) {
        // The start that fails next names what went, though the folder no
        // longer holds it.
        if (written && !gone.empty()) AtlasXml::writeText(atlasFile, AtlasXml::withGone(list, gone));
        logNoValidMaps(m_folder);
        return false;
    }

    if (m_services.makeDrawBuffers) m_drawBuffers = m_services.makeDrawBuffers(*this);
    // A graph across the maps that cannot be built (it logs why) leaves every
    // map usable on its own: routes then stay within single maps.
    if (m_services.interMapGraph) m_services.interMapGraph->build(*this);
    // From here on the atlas is in use: unloading it saves its camera and
    // path (a failed load above must not overwrite the saved ones).
    m_loaded = true;
    m_inUseBefore = true;

    if (!loadCamera()) {
        resetCameraToLargestMap();
        showFirstView();
        m_view.zoomStep = 1;
        m_view.requestRedraw();
    }
    loadAutosavedPath();

    const std::u16string database = m_config ? Core::utf8ToWide(m_config->value("extra_db_name", "tarvik.db"))
                                             : std::u16string(u"tarvik.db");
    if (m_services.createWaypointsPlugin)
        m_plugin = m_services.createWaypointsPlugin(paths().programPath(joinPath(m_folder, database)));
    Log::log(Log::Info, u"Tarvik %s loaded", m_plugin ? u"successfully" : u"not");

    if (m_services.searchEngine) {
        std::vector<KVMap2*> maps;
        for (auto& map : m_maps)
            maps.push_back(map.get());
        m_services.searchEngine->setAtlas(maps, m_folder, m_pool);
    }
    notifyListeners();
    m_view.requestRedraw();
    return true;
}

std::vector<KVAtlas::ChangedMapFile> KVAtlas::changedMapFiles() {
    Threading::SdlLock lock(m_mutex);
    std::vector<ChangedMapFile> changed;
    for (const auto& map : m_maps) {
        const Platform::FileChange change = map->mapFile().changeOnDisk();
        if (change != Platform::FileChange::None)
            changed.push_back({map->filePath(), change});
    }
    return changed;
}

void KVAtlas::unload() {
    Threading::SdlLock lock(m_mutex);
    if (m_loaded && !m_services.keepsFolder) {
        saveCamera();
        autosavePath();
    }
    m_loaded = false;
    m_viewRecords.clear();
    // Maps go before the heap is reset; their levels forget what the heap
    // held instead of freeing it piece by piece.
    for (auto& map : m_maps)
        map->resetAreas();
    m_maps.clear();
    m_mainHeap->reset();
    if (m_services.searchEngine) m_services.searchEngine->clearMaps();
    if (m_services.interMapGraph) m_services.interMapGraph->release();
    if (m_services.routePath) m_services.routePath->clear();
    m_drawBuffers.reset();
    m_plugin.reset();
}

std::size_t KVAtlas::mapCount() {
    Threading::SdlLock lock(m_mutex);
    return m_maps.size();
}

KVMap2* KVAtlas::firstMap() {
    Threading::SdlLock lock(m_mutex);
    return m_maps.empty() ? nullptr : m_maps.front().get();
}

KVMap2* KVAtlas::mapAt(std::size_t index) {
    Threading::SdlLock lock(m_mutex);
    return index < m_maps.size() ? m_maps[index].get() : nullptr;
}

KVMap2* KVAtlas::findMapById(std::uint32_t id) {
    Threading::SdlLock lock(m_mutex);
    for (auto& map : m_maps) {
        if (map->id() == id) return map.get();
    }
    return nullptr;
}

void KVAtlas::addListener(AtlasListener* listener) {
    Threading::SdlLock lock(m_mutex);
    m_listeners.push_back(listener);
}

void KVAtlas::removeListener(AtlasListener* listener) {
    Threading::SdlLock lock(m_mutex);
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

void KVAtlas::notifyListeners() {
    Threading::SdlLock lock(m_mutex);
    for (AtlasListener* listener : m_listeners)
        listener->onAtlasChanged();
}

void KVAtlas::requestRedraw() {
    m_view.requestRedraw();
}

CameraFields KVAtlas::camera() const {
    return m_services.camera ? m_services.camera->read() : m_camera;
}

void KVAtlas::setCamera(const CameraFields& camera) {
    m_camera = camera;
    if (m_services.camera) m_services.camera->write(camera);
}

void KVAtlas::resetCameraToLargestMap() {
    CameraFields camera = this->camera();
    if (const std::optional<Point> centre = largestMapCentre()) {
        camera.centreX = centre->x;
        camera.centreY = centre->y;
    }
    camera.scale = 0.0001f;
    camera.mode = 1;
    setCamera(camera);
    m_view.zoomStep = 0;
    m_view.requestRedraw();
}

void KVAtlas::showFirstView() {
    const float metres = m_config ? m_config->value("first_view_metres", 0.0f) : 0.0f;
    const std::optional<Point> centre = largestMapCentre();
    if (!centre || !(metres > 0.0f) || !(metres <= MaxFirstViewMetres)) return;
    CameraFields camera = this->camera();
    camera.scale = Projection::scaleForMetresPer40Pixels(*centre, metres);
    setCamera(camera);
}

std::optional<Point> KVAtlas::largestMapCentre() const {
    const Level* best = nullptr;
    using Wide = unsigned __int128;
    Wide bestArea = 0;
    for (auto& map : m_maps) {
        if (map->levelCount() == 0) continue;
        const Level& level = map->level(0);
        // Up to 2^32 * 2^32 * 2^60: exact in 128 bits.
        const Wide cell = LevelFrame::of(level).cellSize();
        const Wide area = Wide{level.width()} * level.height() * cell * cell;
        if (!best || area > bestArea) {
            best = &level;
            bestArea = area;
        }
    }
    if (!best) return std::nullopt;
    const std::uint32_t cell = LevelFrame::of(*best).cellSize();
    const unsigned toGlobal = 32u - best->coordinateBits(); // 0..31: bits are 1..32
    const std::uint32_t x = ((best->originX() << best->cellShift()) + cell * (best->width() / 2) + cell / 2)
                            << toGlobal;
    const std::uint32_t y = ((best->originY() << best->cellShift()) + cell * (best->height() / 2) + cell / 2)
                            << toGlobal;
    return Point{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

bool KVAtlas::loadCamera() {
    if (m_folder.empty()) return false;
    CameraFields camera = this->camera();
    std::uint32_t selector = 0;
    if (!CameraFile::read(cameraPath(), camera, selector)) return false;
    setCamera(camera);
    m_view.zoomStep = selector;
    m_view.requestRedraw();
    return true;
}

bool KVAtlas::saveCamera() {
    if (m_folder.empty()) return true;
    int error = 0;
    const bool written = CameraFile::write(cameraPath(), camera(), m_view.zoomStep, &error);
    // A full disk fails every still view the same way: said once.
    if (!written && error != m_cameraWriteError)
        Log::log(Log::Critical, u"Can't write camera file '%s' (err %d)", cameraPath(), error);
    m_cameraWriteError = written ? 0 : error;
    return written;
}

bool KVAtlas::loadAutosavedPath() {
    if (m_folder.empty() || !m_services.routePath) return false;
    return m_services.routePath->read(pathFilePath(), *this);
}

bool KVAtlas::autosavePath() {
    m_pathWriteError = 0;
    if (m_folder.empty() || !m_services.routePath) return true;
    return m_services.routePath->write(u"autosave", pathFilePath(), m_pathWriteError);
}

bool KVAtlas::releaseMemory() {
    bool freed = false;
    for (auto& map : m_maps) {
        RoadMapSlot* slot = map->roadMap();
        if (slot && slot->useState() == 0 && slot->releaseGraph()) freed = true;
    }
    if (freed) return true;
    for (auto& map : m_maps) {
        RoadMapSlot* slot = map->roadMap();
        if (slot && slot->useState() != 2 && slot->releaseGraph()) freed = true;
    }
    return freed;
}

} // namespace Map
