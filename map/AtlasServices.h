#pragma once
// What the atlas needs of the subsystems above the map data: the engine's
// folder paths, routing's inter-map graph and route path file, the search
// engine's map list, the drawing buffers and the external waypoints
// plug-in. Each is a small interface implemented where it belongs and
// handed to the atlas by the engine at start-up; a service left empty is
// simply not used (tests and the tools run the atlas without them).

#include "map/CameraFields.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Core {
class ResourcesPool;
}

namespace Map {

class KVAtlas;
class KVMap2;

// The one way folder and file names are joined: "\" between them unless the
// folder is empty or already ends in "\" or "/".
std::u16string joinPath(std::u16string_view folder, std::u16string_view name);

// The engine's folders.
class AtlasPaths {
  public:
    virtual ~AtlasPaths() = default;
    // The data folder followed by name, "/" replaced by "\"; an absolute
    // name unchanged.
    virtual std::u16string dataPath(std::u16string_view name) const = 0;
    // The program folder followed by name, the same way.
    virtual std::u16string programPath(std::u16string_view name) const = 0;
    // A path inside the data folder as the part after it, with "\"
    // separators ("maps\monaco"), which dataPath turns back into the same
    // folder wherever the program folder has moved; any other path as it is.
    std::u16string relativeToData(std::u16string_view path) const;
};

// AtlasPaths over a given program folder; its data folder is "data\" in it.
class FolderPaths : public AtlasPaths {
  public:
    explicit FolderPaths(std::u16string programFolder);
    std::u16string dataPath(std::u16string_view name) const override;
    std::u16string programPath(std::u16string_view name) const override;

    static bool isAbsolute(std::u16string_view name);

  private:
    std::u16string m_programFolder;
};

// An object the atlas owns for one loaded atlas and destroys on unload
// (the drawing buffers, the waypoints plug-in).
class AtlasPart {
  public:
    virtual ~AtlasPart() = default;
};

// Routing's graph across the maps of the atlas.
class InterMapGraph {
  public:
    virtual ~InterMapGraph() = default;
    // False when it could not be built; the atlas loads without it.
    virtual bool build(KVAtlas& atlas) = 0;
    virtual void release() = 0;
};

// Routing's route path and its file.
class RoutePath {
  public:
    virtual ~RoutePath() = default;
    // Reads a path file, resolving map ids with KVAtlas::findMapById; false
    // when it is missing or invalid.
    virtual bool read(const std::u16string& file, KVAtlas& atlas) = 0;
    // Writes the path under a name. False (logged) when the file could not
    // be written, which then keeps the path before; `error` is the Win32
    // number of why (0 for a path that cannot be stored).
    virtual bool write(const std::u16string& name, const std::u16string& file, int& error) = 0;
    // Erases the parts and points and clears the change flag.
    virtual void clear() = 0;
};

// The text-search engine the atlas owns.
class AtlasSearchEngine {
  public:
    virtual ~AtlasSearchEngine() = default;
    // The maps of a freshly loaded atlas, in atlas order.
    virtual void setAtlas(const std::vector<KVMap2*>& maps, const std::u16string& folder,
                          Core::ResourcesPool& pool) = 0;
    virtual void clearMaps() = 0;
};

// The live map camera of the drawing code. The atlas writes the camera it
// restores (camera.kvc or the largest map) and reads the camera it saves.
class CameraAccess {
  public:
    virtual ~CameraAccess() = default;
    virtual CameraFields read() const = 0;
    // Sets centre, scale, mode and rotation (the camera refreshes its sine
    // and cosine).
    virtual void write(const CameraFields& camera) = 0;
};

struct AtlasServices {
    // Required; FolderPaths over the program folder by default.
    std::shared_ptr<AtlasPaths> paths;
    // Without it the atlas keeps the camera fields itself.
    std::shared_ptr<CameraAccess> camera;
    std::function<std::unique_ptr<AtlasPart>(KVAtlas&)> makeDrawBuffers;
    std::unique_ptr<InterMapGraph> interMapGraph;
    std::unique_ptr<RoutePath> routePath;
    std::unique_ptr<AtlasSearchEngine> searchEngine;
    // Given the extra POI database path; null when the plug-in is absent.
    std::function<std::unique_ptr<AtlasPart>(const std::u16string& databasePath)> createWaypointsPlugin;
    // Set by the review and query tools: unloading saves neither the camera
    // nor the route into the atlas folder, which they only read.
    bool keepsFolder = false;
};

} // namespace Map
