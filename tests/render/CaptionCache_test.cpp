#include "render/CaptionCache.h"

#include "CaptionTestSupport.h"
#include "FontTestSupport.h"
#include "core/TempSurface.h"
#include "render/CaptionPlacer.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace RenderTest;

namespace {

// A road through the car's place (150, 120), running -dx,-dy .. +dx,+dy.
struct Case {
    std::u16string text;
    int dx, dy;
    std::uint32_t textColour;
};
// Level, turned both ways, steep, upright, a repeat, and a repeat in
// another colour: 7 different pictures.
const Case kCases[] = {{u"Rue Grimaldi", 80, 0, 0xFF000000}, {u"Rue Grimaldi", 80, 30, 0xFF000000},
                       {u"Quai", 70, -45, 0xFF102030},       {u"Boulevard", 20, 90, 0xFF000000},
                       {u"Avenue", 0, 70, 0xFF000000},       {u"Rue Grimaldi", 80, 30, 0xFF000000},
                       {u"Rue Grimaldi", 80, 30, 0xFF0000FF}, {u"Port", -60, 25, 0xFF000000}};

struct Drawing {
    std::shared_ptr<Render::Font> font = demoFont(12);
    FakeTexts texts;
    TempSurface captionSurface{32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    Render::Caption3dTable table;
    std::vector<Render::DrawRecord*> placed;

    // The caption's pixels on a fresh target, through the cache when given.
    std::string draw(const Case& c, Render::CaptionCache* cache) {
        OpaqueSurface target = makeOpaque(300, 240);
        Render::CaptionPlacer placer(target.get(), *font, texts, captionSurface, table, placed);
        placer.focus = {150, 120};
        placer.cache = cache;
        Render::DrawRecord r;
        r.textOffset = texts.add(c.text);
        r.textLength = static_cast<std::uint32_t>(c.text.size() * 2);
        r.x1 = static_cast<std::int16_t>(150 - c.dx);
        r.y1 = static_cast<std::int16_t>(120 - c.dy);
        r.x2 = static_cast<std::int16_t>(150 + c.dx);
        r.y2 = static_cast<std::int16_t>(120 + c.dy);
        r.textColour = c.textColour;
        r.haloColour = 0xFFFFFFFF;
        EXPECT_TRUE(placer.placeCaption(r));
        return std::string(static_cast<const char*>(target->pixels), static_cast<std::size_t>(target->pitch) * 240);
    }
};

} // namespace

TEST(CaptionCache, KeptPicturesDrawWhatFreshOnesDrawAndUnusedOnesGo) {
    Drawing d;
    ASSERT_TRUE(d.font);
    std::vector<std::string> fresh;
    for (const Case& c : kCases) fresh.push_back(d.draw(c, nullptr));

    Render::CaptionCache cache;
    for (int frame = 0; frame < 2; ++frame) {
        cache.startFrame();
        for (std::size_t i = 0; i < std::size(kCases); ++i)
            EXPECT_EQ(d.draw(kCases[i], &cache), fresh[i]) << "frame " << frame << " case " << i;
        EXPECT_EQ(cache.size(), 7u);
    }
    // A frame drawing one caption keeps the others until the next starts.
    const std::size_t allBytes = cache.bytes();
    cache.startFrame();
    d.draw(kCases[3], &cache);
    EXPECT_EQ(cache.size(), 7u);
    cache.startFrame();
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_LT(cache.bytes(), allBytes);
    cache.startFrame();
    cache.startFrame();
    EXPECT_EQ(cache.bytes(), 0u);

    // Room for the first picture only: the second is drawn, not kept.
    Render::CaptionCache probe;
    probe.startFrame();
    d.draw(kCases[0], &probe);
    const std::size_t first = probe.bytes();
    Render::CaptionCache tight(first);
    tight.startFrame();
    EXPECT_EQ(d.draw(kCases[0], &tight), fresh[0]);
    EXPECT_EQ(d.draw(kCases[1], &tight), fresh[1]);
    EXPECT_EQ(d.draw(kCases[1], &tight), fresh[1]);
    EXPECT_EQ(tight.size(), 1u);
    EXPECT_EQ(tight.bytes(), first);
    tight.clear();
    EXPECT_EQ(tight.size(), 0u);
    EXPECT_EQ(tight.bytes(), 0u);
}
