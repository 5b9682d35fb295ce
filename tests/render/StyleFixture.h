#pragma once
// A data folder with render.xml, the three style files and their pictures,
// written per test; texts can be replaced before loading.

#include "core/VirtualFs.h"
#include "platform/Path.h"
#include "render/ImageList.h"
#include "render/RenderStyles.h"
#include "tests/render/SurfaceTestSupport.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <memory>
#include <string>

namespace RenderTest {

inline const char* defaultRenderXml = R"(<?xml version="1.0" encoding="utf-8"?>
<styles>
  <polygons src="styles/polygons.xml"/>
  <polylines src="styles/polylines.xml"/>
  <pois src="styles/pois.xml"/>
  <misc>
    <day>
      <item name="map_bg" color="#F0E8D8"/>
      <item name="car" size="5" length="20" color="#FF0000"/>
      <item name="route"/>
    </day>
    <night>
      <item name="map_bg" color="#202830"/>
    </night>
  </misc>
</styles>
)";

inline const char* defaultPolygonsXml = R"(<polygons>
  <group pattern="patterns/grass.bmp">
    <polygon color="#00FF00;#004000"><type id="0x14"/><type id="15"/></polygon>
    <polygon><type id="0x16"/></polygon>
  </group>
  <group>
    <polygon color="#0000FF" shadow_color="#010203" border_color=";#FFFFFF"><type id="0x3c"/></polygon>
  </group>
</polygons>
)";

inline const char* defaultPolylinesXml = R"(<polylines>
  <group>
    <polyline fill="solid:#FFFFFF;#808080" width="4" border="#000000" border_width="1"><type id="1"/></polyline>
    <polyline fill="dash:#FF0000/#FFFFFF" width="2" max_scale="500"><type id="0x1A"/></polyline>
  </group>
</polylines>
)";

inline const char* defaultPoisXml = R"(<pois>
  <group id="0x2C" name="Food" sound_id="3" text_fore_color="#101010" text_halo_color="#FFFFFF;#000000">
    <poi src="icons/food.bmp" name="Restaurant" placement="2"><type id="0"/><type id="0x2A00"/></poi>
    <poi src="icons/day.bmp;icons/night.bmp" name="Cafe"><type id="0x2A0E" name="Coffee"/></poi>
  </group>
</pois>
)";

class StyleFixture {
public:
    StyleFixture() {
        write("render.xml", defaultRenderXml);
        write("styles/polygons.xml", defaultPolygonsXml);
        write("styles/polylines.xml", defaultPolylinesXml);
        write("styles/pois.xml", defaultPoisXml);
        write("patterns/grass.bmp", TestSupport::solidBmp(8, 8, 32, 0x0020C020));
        write("patterns/wide.bmp", TestSupport::solidBmp(8, 4, 32, 0x0020C020));
        write("patterns/six.bmp", TestSupport::solidBmp(6, 6, 32, 0x0020C020));
        write("icons/food.bmp", TestSupport::solidBmp(4, 4, 32, 0xFFAA0000));
        write("icons/day.bmp", TestSupport::solidBmp(4, 4, 32, 0xFFFFFF00));
        write("icons/night.bmp", TestSupport::solidBmp(4, 4, 32, 0xFF404000));
    }

    void write(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories((dir / name).parent_path());
        dir.write(name, bytes);
    }

    std::u16string folder() const { return Platform::fromNativePath(dir.path().string() + "/"); }
    std::u16string path(const std::string& name) const { return folder() + wide(name); }

    Render::StyleContext context() {
        Render::StyleContext c;
        c.images = &images;
        c.patternFormat = mapSurface->format;
        c.dataFolder = folder();
        return c;
    }

    bool load(Render::RenderStyles& styles) { return styles.load(context(), path("render.xml")); }

    TestSupport::TempDir dir;
    SurfacePtr mapSurface = argbSurface(1, 1, false);
    std::unique_ptr<FileSystem::VirtualFs> files = std::make_unique<FileSystem::VirtualFs>(folder());
    Render::ImageList images{Render::packedImageFactory(*files, mapSurface->format)};

private:
    static std::u16string wide(const std::string& s) { return Platform::fromNativePath(s); }
};

} // namespace RenderTest
