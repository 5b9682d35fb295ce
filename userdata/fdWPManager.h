#pragma once
// The user's waypoints for the whole run: one category per GPX file of the
// waypoints folder, loaded at start-up and written back when changed (at
// once when the engine asks so, else at shutdown); the
// points indexed in an R-tree for drawing and for the point under a tap.
// Main thread only.
//
// A point's index is its position in the record vector and stays valid for
// the run: deleting only sets the flag (and takes the point out of the tree).

#include "core/RTree.h"
#include "render/MapPageServices.h"
#include "userdata/CategorizedWayPointsProvider.h"
#include "userdata/Gpx.h"
#include "userdata/WaypointStyles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class MapCamera;

class fdWPManager : public Map::CategorizedWayPointsProvider, public MapDrawing::WaypointsLayer {
  public:
    static constexpr std::size_t MaxCategories = 256;
    // The category made when the folder holds none.
    static constexpr char16_t DefaultCategory[] = u"(Точки)";

    // styles may be null (no styles: no type is known, no icons); the icons
    // list file is "icons.txt" in the data folder.
    fdWPManager(WaypointStyles* styles, std::u16string iconsListPath);

    // Reads every "*.gpx" of the folder (at most 255) as a category; a file
    // that fails is logged ("Error: %s on parsing file '%s'") and left out.
    // Then builds the icon list and tells the listeners.
    void load(const std::u16string& folder);
    // Writes every modified category, an emptied one as a GPX file without
    // points, each file replaced atomically. A file that failed to load is
    // first kept beside as "<name>.gpx.bak" (logged); when that cannot be
    // done its category is not written.
    void save(const std::u16string& folder);
    // From now on every change of a category writes its file at once, so a
    // crash or a power cut loses no point; save() then only retries the
    // writes that failed.
    void writeChangesTo(const std::u16string& folder) { m_changesFolder = folder; }
    // The system's error number of the last change that could not be
    // written at once (0 when none), cleared by the call: the driver is
    // told that the point exists only on screen.
    int takeWriteError() { return std::exchange(m_writeError, 0); }
    // While one lives, the changes wait; when the last one ends, each
    // category they touched is written once. A page's one action (a point
    // stored with its type, name and link) is so one write: one file on
    // disk, and one failure one line in the log.
    class ChangeBatch {
      public:
        explicit ChangeBatch(fdWPManager& manager) : m_manager(manager) { ++m_manager.m_batches; }
        ~ChangeBatch();
        ChangeBatch(const ChangeBatch&) = delete;
        ChangeBatch& operator=(const ChangeBatch&) = delete;

      private:
        fdWPManager& m_manager;
    };
    // The files the last load could not read (kept until their category is
    // written again).
    const std::vector<std::u16string>& unreadableFiles() const { return m_unreadable; }

    // Appends the waypoints of one file to the category; throws "Can't open
    // GPX file", "Can't read GPX file", "Invalid GPX file" or the parser's
    // error, before any point is appended.
    void readGpx(const std::u16string& path, std::uint8_t category);
    // Writes the points as a GPX file; false after logging "Can't create GPX
    // file '%s' (err %d)".
    bool writeGpx(const std::u16string& path, const std::vector<const StoredWayPoint*>& points);
    // The file of a category: folder, its name, ".gpx".
    std::u16string categoryPath(const std::u16string& folder, std::size_t category) const;

    // --- edits; each marks the point's category modified and, after
    // writeChangesTo, writes it -------------------------------------------
    // -1 when the category does not exist.
    std::int32_t addPoint(const std::u16string& name, Map::Point position, const std::u16string& comment,
                          std::uint8_t category);
    bool deletePoint(std::size_t index);
    bool setNameAndComment(std::size_t index, const std::u16string& name, const std::u16string& comment);
    // Also drops a chosen image, so the type's icon is shown.
    bool setType(std::size_t index, std::uint16_t type);
    bool setUrl(std::size_t index, const std::u16string& url);
    bool setId(std::size_t index, std::uint32_t id);
    bool addUse(std::size_t index);
    // The image at a position of the icon list; a file icon also becomes
    // the point's image url, which the file keeps.
    bool setImage(std::size_t index, std::size_t listPosition);
    // The index of the category of that (file-safe) name, added when new
    // (listeners are told); -1 when all 256 are taken.
    std::int32_t addCategory(const std::u16string& name);

    // The nearest live point strictly within the radius, or -1.
    std::int32_t findNearestPoint(Map::Point point, std::int32_t radius) const;
    // Draws the points inside the surface at the map scale (metres per 40
    // pixels, rounded); returns how many. A name goes above its point, or
    // below it where the taken boxes (the map's captions and icons, the
    // car, the panels over the map) or a name drawn before lie above, or
    // the surface's top edge cuts it; where both are taken the point shows
    // without it. A name stays within the surface's width.
    std::uint32_t drawPoints(SDL_Surface* surface, MapCamera& camera, std::int32_t scale,
                             const std::vector<Render::OrientedBox>& taken = {});
    // The map frame's layer: the scale comes from this source.
    void setScaleSource(std::function<std::int32_t()> scale) { m_scale = std::move(scale); }
    std::uint32_t drawPoints(SDL_Surface* surface, MapCamera& camera,
                             const std::vector<Render::OrientedBox>& taken) override {
        return drawPoints(surface, camera, m_scale ? m_scale() : 0, taken);
    }
    // The boxes of the icons (or marks) drawPoints draws at the source's
    // scale: the map's names keep clear of them.
    std::vector<Render::OrientedBox> iconBoxes(std::int32_t width, std::int32_t height,
                                               MapCamera& camera) override;

    // --- provider -------------------------------------------------------
    std::size_t categoryCount() const override { return m_categories.size(); }
    const WayPointCategory& category(std::size_t index) const override { return m_categories.at(index); }
    std::size_t pointCount() const override { return m_points.size(); }
    const WayPoint& point(std::size_t index) const override { return m_points.at(index); }
    std::size_t pointCategory(std::size_t index) const override { return m_points.at(index).category; }
    const StoredWayPoint& storedPoint(std::size_t index) const { return m_points.at(index); }
    Render::Image* pointImage(std::size_t index) override;
    void addListener(Map::WayPointsCategoriesListener* listener) override { m_listeners.push_back(listener); }
    void removeListener(Map::WayPointsCategoriesListener* listener) override;

    // --- icons ------------------------------------------------------------
    const std::vector<Render::Image*>& icons() const { return m_icons; }
    std::size_t typeIconCount() const { return m_typeIconCount; }
    const std::vector<std::u16string>& iconNames() const { return m_iconNames; }

  private:
    using Tree = Core::RTree<std::uint32_t>;
    // Calls visit(index, screen point, style) for each point drawPoints
    // shows on a surface of that size at the scale.
    template <class Visit>
    void visitShown(std::int32_t width, std::int32_t height, MapCamera& camera, std::int32_t scale,
                    Visit visit);

    void insert(const StoredWayPoint& point, std::int32_t halfSize);
    StoredWayPoint* edit(std::size_t index);
    // Marks the category modified and, when changes are written at once,
    // writes it (at the end of a batch when one lives); returns true for
    // the setters' convenience.
    bool changed(std::size_t category);
    void writeChange(std::size_t category);
    bool saveCategory(const std::u16string& folder, std::size_t category);
    void loadIcons();
    void notify();

    WaypointStyles* m_styles;
    std::u16string m_iconsListPath;
    std::vector<StoredWayPoint> m_points;
    Tree m_tree{2, 4};
    std::vector<WayPointCategory> m_categories;
    std::vector<Map::WayPointsCategoriesListener*> m_listeners;
    // Type icons first (m_typeIconCount of them), then the file icons of
    // "icons.txt" with their names; a point's image index is a position here.
    std::vector<Render::Image*> m_icons;
    std::size_t m_typeIconCount = 0;
    std::vector<std::u16string> m_iconNames;
    std::function<std::int32_t()> m_scale;
    std::u16string m_changesFolder;
    // Files of the folder that could not be read: never replaced unkept.
    std::vector<std::u16string> m_unreadable;
    int m_writeError = 0;
    int m_batches = 0;
    std::vector<std::size_t> m_batched; // categories changed in a batch
};
