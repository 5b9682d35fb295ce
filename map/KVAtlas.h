#pragma once
// The atlas: the maps of one atlas folder shown and searched together. It
// owns the maps, the main heap (level indexes and cell areas) and the route
// heap, the atlas mutex, the camera and view fields saved with the atlas,
// the level scales, and the services of the subsystems above that live as
// long as one loaded atlas (AtlasServices.h). It tells its listeners when
// the set of maps changes.
//
// Loading an atlas: atlas.xml in the data folder is rewritten from the
// folder's *.kvm files and read back; each map is opened and a bad one is
// logged and skipped; camera.kvc and path.kvp in the atlas folder are
// restored; the search engine gets the maps; the listeners are told.

#include "core/ConfigNode.h"
#include "core/ResourcesPool.h"
#include "core/SdlMutex.h"
#include "core/SimpleHeap.h"
#include "map/Atlas.h"
#include "map/AtlasServices.h"
#include "map/AtlasViewFields.h"
#include "map/AtlasXml.h"
#include "map/CameraFields.h"
#include "map/KVMap2.h"
#include "map/StateRecord.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Map {

class KVAtlas : public Atlas {
  public:
    static constexpr int DefaultHeapKiB = 20480;
    static constexpr int FirstScaledLevel = 15;
    static constexpr int LastScaledLevel = 26;
    // Defaults of "level_%d_scale" for levels 26 down to 15.
    static constexpr std::int32_t DefaultLevelScales[12] = {30,   50,   70,   200,   300,   900,
                                                            1300, 2500, 8000, 20000, 30000, 40000};

    // Reads the level scales and the heap sizes from config and creates the
    // heaps. Throws std::runtime_error "Can't create atlas mutex" when the
    // mutex cannot be had.
    KVAtlas(std::shared_ptr<Core::ConfigNode> config, Core::ResourcesPool& pool, AtlasServices services = {});
    ~KVAtlas() override;

    // Unloads the current atlas and loads the folder's; false (logged) when
    // no usable atlas results. Holds the atlas mutex throughout. The first
    // load is the start's: finding no map there is logged as fatal ("Atlas
    // fatal error: no valid maps found"); after an atlas was in use, as
    // what it is ("Atlas error: no valid maps found in %s - no map is
    // shown"), the program running on.
    bool load(const std::u16string& folder);
    // The start has another atlas to show should the next load find no
    // map: it is then logged as what it is ("Atlas error: no valid maps
    // found in %s - another atlas is tried"), not as the start's end.
    void setAnotherToTry(bool another) { m_anotherToTry = another; }
    // Saves the camera and the route path of a loaded atlas, then drops the
    // maps and everything built on them.
    void unload();

    // Under the atlas mutex.
    std::size_t mapCount();
    KVMap2* firstMap();
    KVMap2* mapAt(std::size_t index);
    // The map whose header word 3 is id; null when none.
    KVMap2* findMapById(std::uint32_t id);
    void addListener(AtlasListener* listener);
    // Removes every occurrence.
    void removeListener(AtlasListener* listener);
    void notifyListeners();
    // Redraw request := 2.
    void requestRedraw();

    // The level drawn at a scale (metres per 40 pixels), -1 when none.
    int levelForScale(float scale) const;
    // Centres the camera on level 0 of the map whose level 0 covers the
    // largest area (the first on ties) at scale 0.0001 in mode 1.
    void resetCameraToLargestMap();
    // The view an atlas without camera.kvc opens with, after that reset:
    // where "first_view_metres" (metres per 40 pixels, above 0 and up to
    // MaxFirstViewMetres) is set, the scale that shows them at the centre;
    // else the reset's view.
    void showFirstView();
    static constexpr float MaxFirstViewMetres = 100000.0f;
    // The centre of level 0 of that map; none without maps.
    std::optional<Point> largestMapCentre() const;

    bool loadCamera();
    // Writes camera.kvc (nothing without a folder: true). False when the
    // disk did not take it: the file keeps the view before, the failure is
    // logged (Critical, with the system's reason; a failure like the one
    // before it is not logged again) and cameraWriteError() tells why.
    bool saveCamera();
    // The Win32 number of the last camera write's failure; 0 after one that
    // succeeded.
    int cameraWriteError() const { return m_cameraWriteError; }
    bool loadAutosavedPath();
    // Writes the route to path.kvp (nothing without a folder: true). False
    // when it was not stored: the file keeps the route before, and
    // pathWriteError() tells why.
    bool autosavePath();
    int pathWriteError() const { return m_pathWriteError; }

    Core::Allocator* routeHeap() override { return m_routeHeap.get(); }
    bool releaseMemory() override;

    Core::SimpleHeap& mainHeap() { return *m_mainHeap; }
    Core::ResourcesPool& resourcePool() { return m_pool; }
    Threading::SdlMutex& mutex() { return m_mutex; }
    const std::u16string& folder() const { return m_folder; }
    bool loaded() const { return m_loaded; }
    // The maps in atlas.xml order (callers outside the main thread take the
    // mutex first).
    const std::vector<std::unique_ptr<KVMap2>>& maps() const { return m_maps; }
    const std::vector<std::int32_t>& levelScales() const { return m_levelScales; }
    // The "*.kvm" files of the last load that were left out of atlas.xml or
    // refused when they opened, with the reason (what the log says of each),
    // or the folder itself when it cannot be read: a start that finds no
    // readable map names them to the user.
    const std::vector<AtlasXml::LeftOut>& refusedMaps() const { return m_refused; }
    // The map files the folder's previous list (atlas.xml as the last load
    // of this folder wrote it) named and that are gone now: the view the
    // driver left may lie on one of them.
    const std::vector<std::u16string>& vanishedMaps() const { return m_vanished; }

    // A map file of the loaded atlas that is no longer the file in use.
    struct ChangedMapFile {
        std::u16string path;
        Platform::FileChange change;
    };
    // The maps whose file was deleted, moved away, cut short or replaced
    // since the load (under the atlas mutex; a look at each path, no read
    // of the files): the caller loads the atlas again. Empty when nothing
    // is loaded.
    std::vector<ChangedMapFile> changedMapFiles();

    // The camera: the attached camera's fields, else the atlas's own copy.
    CameraFields camera() const;
    void setCamera(const CameraFields& camera);
    // The view fields (the shared ones lock the atlas mutex themselves).
    AtlasViewFields& view() { return m_view; }
    // The view records of the last frame (main thread). They point into the
    // maps' levels, so unloading clears them.
    std::vector<StateRecord>& viewRecords() { return m_viewRecords; }

    AtlasServices& services() { return m_services; }
    AtlasPaths& paths() { return *m_services.paths; }
    // The waypoints plug-in of the loaded atlas, null when it did not load.
    AtlasPart* waypointsPlugin() { return m_plugin.get(); }

  private:
    void readLevelScales();
    void logNoValidMaps(const std::u16string& folder) const;
    std::u16string cameraPath() const;
    std::u16string pathFilePath() const;

    std::u16string m_folder;
    bool m_loaded = false;
    // An atlas was in use before: a load that finds no map no longer ends
    // a start.
    bool m_inUseBefore = false;
    bool m_anotherToTry = false;
    std::vector<std::unique_ptr<KVMap2>> m_maps;
    std::vector<AtlasXml::LeftOut> m_refused;
    std::vector<std::u16string> m_vanished;
    std::vector<StateRecord> m_viewRecords;
    Core::ResourcesPool& m_pool;
    std::unique_ptr<Core::SimpleHeap> m_mainHeap;
    std::unique_ptr<Core::SimpleHeap> m_routeHeap;
    std::shared_ptr<Core::ConfigNode> m_config;
    Threading::SdlMutex m_mutex;
    std::vector<std::int32_t> m_levelScales;
    CameraFields m_camera;
    int m_cameraWriteError = 0;
    int m_pathWriteError = 0;
    AtlasViewFields m_view{m_mutex};
    AtlasServices m_services;
    std::unique_ptr<AtlasPart> m_drawBuffers;
    std::unique_ptr<AtlasPart> m_plugin;
    std::vector<AtlasListener*> m_listeners;
};

} // namespace Map
