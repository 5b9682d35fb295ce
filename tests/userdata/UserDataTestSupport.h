#pragma once
// Shared pieces of the track and waypoint tests: fixes, a hand-driven clock,
// raw track files, a flat camera, styles with icons, GPX helpers and the
// schema check of written files.

#include "core/Config.h"
#include "core/FileSystem.h"
#include "map/Projection.h"
#include "platform/Process.h"
#include "positioning/Clock.h"
#include "render/Image.h"
#include "render/MapCamera.h"
#include "tests/render/SurfaceTestSupport.h"
#include "tests/support/SharedTestData.h"
#include "tests/support/TempDir.h"
#include "userdata/TrackFile.h"
#include "userdata/fdWPManager.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

namespace UserDataTest {

inline std::u16string wide(const std::filesystem::path& p) {
    return FileSystem::toWide(p.string());
}

// The i-th fix of a walk eastwards along 55.75 N, dated 2010-12-09 13:05:07.
inline Positioning::Fix walkFix(int i) {
    Positioning::Fix fix;
    fix.dateTime = {9, 12, 2010, 13, 5, 7, 0};
    fix.latitude = 55.75f;
    fix.longitude = 37.5f + 0.0001f * static_cast<float>(i);
    const Map::Point p = Map::Projection::fromGeo(fix.latitude, fix.longitude);
    fix.x = p.x, fix.y = p.y;
    return fix;
}

struct ManualClock : Positioning::Clock {
    std::uint32_t now = 0;
    Positioning::DateTime local{7, 12, 2026, 1, 2, 3, 0};
    std::uint32_t ticksMs() const override { return now; }
    Positioning::DateTime localTime() const override { return local; }
};

// A track header with the count and version and no properties (as a
// recording that never got to close() leaves it).
inline std::string trackHeader(std::uint16_t count, std::uint16_t version = TrackFile::Version1) {
    return std::string("RTPG") + char(version & 0xFF) + char(version >> 8) + char(count & 0xFF) +
           char(count >> 8) + std::string(8, '\0');
}

// The header of a closed track (version 1) with its properties.
inline std::string closedTrackHeader(std::uint16_t count, std::uint32_t colour, std::uint16_t lineSize, bool shown) {
    std::string header = trackHeader(count).substr(0, 8);
    for (int i = 0; i < 4; ++i) header += char((colour >> (8 * i)) & 0xFF);
    header += char(lineSize & 0xFF);
    header += char(lineSize >> 8);
    header += char(shown ? 1 : 0);
    header += '\0';
    return header;
}

// Records of walkFix(0) .. walkFix(n - 1).
inline std::string trackRecords(int n) {
    std::string bytes;
    for (std::uint8_t r[TrackFile::RecordSize]; n > 0; --n) {
        TrackFile::encodeRecord(walkFix(static_cast<int>(bytes.size() / sizeof r)), r);
        bytes.append(reinterpret_cast<const char*>(r), sizeof r);
    }
    return bytes;
}

inline std::string hex(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes)
        out += std::string{"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15], ' '};
    return out.empty() ? out : out.substr(0, out.size() - 1);
}

// A flat camera on a width x height surface, `scale` pixels per map unit,
// the centre in the middle of the surface.
inline void flatCamera(MapCamera& camera, int width, int height, Map::Point centre = {}, float scale = 1.0f) {
    camera.setViewport(static_cast<float>(width), static_cast<float>(height), 1.0f);
    camera.setAnchorFraction(0.5f);
    camera.setCentre(centre);
    camera.setScale(scale);
    camera.setupForLevel(Map::LevelFrame{32, 0, 0, 0});
}

inline constexpr std::uint16_t FuelType = 0x2f01;

// Three POI types with green icons; icon files load when listed in `loadable`.
class FakeStyles : public WaypointStyles {
  public:
    FakeStyles() {
        m_styles[WayPoint::DefaultType].name = u"Flag";
        m_styles[FuelType].name = u"Fuel & Gas";
        for (auto& [type, style] : m_styles)
            style.icon = image();
    }
    const Render::PoiStyle* poiStyle(std::uint16_t type) override {
        const auto it = m_styles.find(type);
        return it == m_styles.end() ? nullptr : &it->second;
    }
    // Consecutive types may share an icon; the first typeIconCount of them.
    std::vector<Render::Image*> typeIcons() override {
        std::vector<Render::Image*> icons{m_styles[WayPoint::DefaultType].icon, m_styles[FuelType].icon,
                                          m_styles[FuelType].icon};
        icons.resize(std::min(icons.size(), typeIconCount));
        return icons;
    }
    Render::Image* loadImage(const std::string& name) override {
        return loadable.count(name) ? image() : nullptr;
    }
    Render::Font* nameFont() override { return nullptr; }
    std::uint32_t nameColour() override { return 0; }

    std::set<std::string> loadable;
    std::size_t typeIconCount = 3;

  private:
    Render::Image* image() {
        SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
        SDL_FillRect(s, nullptr, 0xFF00FF00);
        return m_images.emplace_back(Render::ImageFromSurface::owning(s)).get();
    }
    std::map<std::uint16_t, Render::PoiStyle> m_styles;
    std::vector<std::unique_ptr<Render::ImageFromSurface>> m_images;
};

inline std::filesystem::path realFile(const std::string& name) {
    return TestSupport::sharedTestData("gpx/real/" + name);
}

inline std::string gpxDocument(const std::string& wpts) {
    return "<?xml version=\"1.0\"?><gpx xmlns=\"http://www.topografix.com/GPX/1/1\">" + wpts + "</gpx>";
}

// Reads a file into a new category and writes all the manager's points to
// `out`; the number of points.
inline std::size_t readAndWrite(fdWPManager& manager, const std::filesystem::path& in,
                                const std::filesystem::path& out) {
    manager.readGpx(wide(in), static_cast<std::uint8_t>(manager.addCategory(u"c")));
    std::vector<const StoredWayPoint*> points;
    for (std::size_t i = 0; i < manager.pointCount(); ++i)
        points.push_back(&manager.storedPoint(i));
    EXPECT_TRUE(manager.writeGpx(wide(out), points));
    return points.size();
}

// Checks a written file against the published GPX 1.1 schema.
inline void expectValidGpx(const std::filesystem::path& file) {
    static const bool installed = [] {
        auto probe = Platform::spawnDetached("sh", {"-c", "command -v xmllint >/dev/null"});
        return probe.started() && probe.exitCode.get() == 0;
    }();
    if (!installed) GTEST_SKIP() << "xmllint is not installed (libxml2-utils): written GPX not validated";
    const std::string schema = TestSupport::sharedTestData("gpx/gpx.xsd").string();
    auto run = Platform::spawnDetached("xmllint", {"--noout", "--schema", schema, file.string()});
    ASSERT_TRUE(run.started());
    EXPECT_EQ(run.exitCode.get(), 0) << file << " does not validate against the GPX 1.1 schema";
}

} // namespace UserDataTest
