#pragma once
// The style data of the map renderer: a day and a night StyleSet filled from
// render.xml and the three style files it names (polygons, polylines, POIs),
// the active set, the POI group names and the POI show/warn table.
//
// The files are user-swappable: every reader bounds its input, logs what it
// rejects and keeps whatever it had loaded before a failure. Main thread
// only.

#include "render/StyleSet.h"

#include <SDL/SDL_video.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace Core {
class ConfigNode;
}

namespace rapidxml {
template <class Ch> class xml_node;
}

namespace Render {

class ImageLoader;

// What the style files need from the rest of the program.
struct StyleContext {
    // Loads POI icons by name (the user interface's image list); without
    // one no POI style can be stored.
    ImageLoader* images = nullptr;
    // Pattern images are converted to this format (the map surface's).
    const SDL_PixelFormat* patternFormat = nullptr;
    // "src" names of render.xml and pattern names resolve against it.
    std::u16string dataFolder;
};

struct PoiTypeFlags {
    std::uint8_t show = 0;
    std::uint8_t warn = 0;
    bool operator==(const PoiTypeFlags&) const = default;
};

struct DefaultPoiTypeFlags {
    std::uint16_t type;
    std::uint8_t show;
    std::uint8_t warn;
};

class RenderStyles {
public:
    RenderStyles();
    ~RenderStyles();
    RenderStyles(const RenderStyles&) = delete;
    RenderStyles& operator=(const RenderStyles&) = delete;

    // Reads render.xml at path: the misc items of both sets, then the
    // polygon, polyline and POI style files it names, stopping at the first
    // failure. False after logging; what was read stays.
    bool load(const StyleContext& context, const std::u16string& path);
    // Fills the misc items of one set from a "day" or "night" element. False
    // on an item without "name" or with an unknown one (earlier items stay).
    static bool readMiscItems(const rapidxml::xml_node<char>* list, StyleSet& set);

    // The style files (see the class comment of each in the .cpp files).
    bool loadPolygonStyles(const std::u16string& path, const StyleContext& context);
    bool loadPolylineStyles(const std::u16string& path);
    bool loadPoiStyles(ImageLoader* images, const std::u16string& path);

    // Makes the day or night set active and empties the POI style cache;
    // returns the set's map_bg colour, which the renderer takes as its
    // background colour.
    std::uint32_t selectSet(bool day);

    StyleSet& daySet() { return m_day; }
    StyleSet& nightSet() { return m_night; }
    const StyleSet& daySet() const { return m_day; }
    const StyleSet& nightSet() const { return m_night; }
    // Null until a set is selected.
    const StyleSet* activeSet() const { return m_active; }
    bool isDay() const { return m_isDay; }

    // The style of the type in the active set; an unknown type gets type 0's
    // style (and is logged once, "Unknown POI type: %02X"); null when the
    // active set has no POI styles or neither the type nor 0 has one. The
    // last answer is cached.
    const PoiStyle* poiStyle(std::uint16_t type);

    const std::map<std::uint16_t, std::u16string>& poiGroupNames() const { return m_poiGroupNames; }

    // The POI show/warn table: an entry exists only while a flag is set.
    bool isPoiTypeShown(std::uint16_t type) const;
    bool isPoiTypeWarned(std::uint16_t type) const;
    // Whether the map draws POIs of the type: by the type's show flag when
    // the active set styles it, else by type 0's ("Point of interest" of
    // the group "Other"), whose icon it is drawn with. The settings page
    // lists only styled types: a type of none is switched with type 0.
    bool isPoiShownOnMap(std::uint16_t type) const;
    void setPoiTypeFlags(std::uint16_t type, bool show, bool warn);
    // Every styled type of 1..0xFFFE shown (from the active set, or the day
    // set when none is active yet), then the 44 built-in entries.
    void resetPoiTypeFlags();
    // From the two settings blobs (little-endian u16 types; a trailing odd
    // byte is ignored): the shown types, then the warned ones, which keep
    // their show flag.
    void applyPoiTypeFlags(const std::vector<std::uint8_t>& showList, const std::vector<std::uint8_t>& warnList);
    // To the two blobs, in ascending type order.
    void collectPoiTypeFlags(std::vector<std::uint8_t>& showList, std::vector<std::uint8_t>& warnList) const;
    const std::map<std::uint16_t, PoiTypeFlags>& poiTypeFlags() const { return m_poiTypeFlags; }

    // Start-up and shutdown steps over the settings keys "show_pt" and
    // "warn_pt": both present and well formed applies them; otherwise
    // (missing, or a blob too short to hold one type) the defaults are
    // applied and the settings are left as they are until the next save.
    void loadPoiTypeFlags(const Core::ConfigNode& settings);
    void savePoiTypeFlags(Core::ConfigNode& settings) const;

    static const std::array<DefaultPoiTypeFlags, 44>& defaultPoiTypeFlags();

private:
    struct SurfaceDeleter {
        void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
    };
    using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

    SurfacePtr loadPattern(const std::string& name, const StyleContext& context);
    void clearPoiCache();

    StyleSet m_day;
    StyleSet m_night;
    StyleSet* m_active = nullptr;
    bool m_isDay = true;
    std::map<std::uint16_t, std::u16string> m_poiGroupNames;
    std::map<std::uint16_t, PoiTypeFlags> m_poiTypeFlags;

    // Every pattern surface loaded, each once, whatever number of records
    // points to it; freed with the styles (or when the polygon styles are
    // read again).
    std::vector<SurfacePtr> m_patterns;

    // The one-entry cache of poiStyle and the unknown types already logged.
    bool m_cacheValid = false;
    std::uint16_t m_cachedType = 0;
    const PoiStyle* m_cachedStyle = nullptr;
    std::set<std::uint16_t> m_reportedTypes;
};

} // namespace Render
