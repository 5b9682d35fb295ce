#include "render/CaptionCache.h"

#include "CaptionTestSupport.h"
#include "FontTestSupport.h"
#include "core/TempSurface.h"
#include "render/CaptionPlacer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <tuple>

using namespace RenderTest;
using Render::DrawRecord;

namespace {

struct Case {
    std::u16string text;
    int dx, dy; // the road runs from the car's place minus this to plus this
    std::uint32_t textColour;
};

// Level, turned both ways, steep, upright, a repeat of an earlier one and
// the same text in another colour.
const Case kCases[] = {
    {u"Rue Grimaldi", 80, 0, 0xFF000000},   {u"Rue Grimaldi", 80, 30, 0xFF000000},
    {u"Quai Antoine", 70, -45, 0xFF102030}, {u"Boulevard", 20, 90, 0xFF000000},
    {u"Avenue", 0, 70, 0xFF000000},         {u"Rue Grimaldi", 80, 30, 0xFF000000},
    {u"Rue Grimaldi", 80, 30, 0xFF0000FF},  {u"Port", -60, 25, 0xFF000000},
};

struct Drawing {
    std::shared_ptr<Render::Font> font = demoFont(12);
    FakeTexts texts;
    TempSurface captionSurface{32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    Render::Caption3dTable table;
    std::vector<DrawRecord*> placed;

    // One caption on a fresh target, through the cache when given.
    OpaqueSurface draw(const Case& c, Render::CaptionCache* cache) {
        OpaqueSurface target = makeOpaque(300, 240);
        Render::CaptionPlacer placer(target.get(), *font, texts, captionSurface, table, placed);
        placer.focus = {150, 120};
        placer.cache = cache;
        DrawRecord r;
        r.textOffset = texts.add(c.text);
        r.textLength = static_cast<std::uint32_t>(c.text.size() * 2);
        r.x1 = static_cast<std::int16_t>(150 - c.dx);
        r.y1 = static_cast<std::int16_t>(120 - c.dy);
        r.x2 = static_cast<std::int16_t>(150 + c.dx);
        r.y2 = static_cast<std::int16_t>(120 + c.dy);
        r.textColour = c.textColour;
        r.haloColour = 0xFFFFFFFF;
        EXPECT_TRUE(placer.placeCaption(r)) << std::string(c.text.begin(), c.text.end());
        return target;
    }
};

bool samePixels(SDL_Surface* a, SDL_Surface* b) {
    for (int y = 0; y < a->h; ++y)
        if (std::memcmp(static_cast<char*>(a->pixels) + y * a->pitch, static_cast<char*>(b->pixels) + y * b->pitch,
                        static_cast<std::size_t>(a->w) * 4) != 0)
            return false;
    return true;
}

std::size_t distinctPictures() {
    std::set<std::tuple<std::u16string, int, int, std::uint32_t>> keys;
    for (const Case& c : kCases) keys.emplace(c.text, c.dx, c.dy, c.textColour);
    return keys.size();
}

} // namespace

TEST(CaptionCache, KeptPicturesDrawWhatFreshOnesDrawAndUnusedOnesGo) {
    Drawing d;
    ASSERT_TRUE(d.font);
    std::vector<OpaqueSurface> fresh;
    for (const Case& c : kCases) fresh.push_back(d.draw(c, nullptr));

    Render::CaptionCache cache;
    for (int frame = 0; frame < 2; ++frame) {
        cache.startFrame();
        for (std::size_t i = 0; i < std::size(kCases); ++i) {
            const OpaqueSurface drawn = d.draw(kCases[i], &cache);
            EXPECT_TRUE(samePixels(drawn.get(), fresh[i].get())) << "frame " << frame << " case " << i;
        }
        EXPECT_EQ(cache.size(), distinctPictures());
    }
    const std::size_t allBytes = cache.bytes();

    // A frame with one caption: the others were used in the frame before
    // it and stay until the next one starts.
    cache.startFrame();
    d.draw(kCases[3], &cache);
    EXPECT_EQ(cache.size(), distinctPictures());
    cache.startFrame();
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_LT(cache.bytes(), allBytes);
    cache.startFrame();
    cache.startFrame();
    EXPECT_EQ(cache.size(), 0u);
    EXPECT_EQ(cache.bytes(), 0u);
}

TEST(CaptionCache, APictureBeyondTheBudgetIsDrawnButNotKept) {
    Drawing d;
    ASSERT_TRUE(d.font);
    const OpaqueSurface fresh0 = d.draw(kCases[0], nullptr);
    const OpaqueSurface fresh1 = d.draw(kCases[1], nullptr);

    Render::CaptionCache none(0);
    none.startFrame();
    EXPECT_TRUE(samePixels(d.draw(kCases[0], &none).get(), fresh0.get()));
    EXPECT_EQ(none.size(), 0u);
    EXPECT_EQ(none.bytes(), 0u);

    // Room for the first picture only.
    Render::CaptionCache probe;
    probe.startFrame();
    d.draw(kCases[0], &probe);
    Render::CaptionCache one(probe.bytes());
    one.startFrame();
    EXPECT_TRUE(samePixels(d.draw(kCases[0], &one).get(), fresh0.get()));
    EXPECT_TRUE(samePixels(d.draw(kCases[1], &one).get(), fresh1.get()));
    EXPECT_EQ(one.size(), 1u);
    EXPECT_EQ(one.bytes(), probe.bytes());
    EXPECT_TRUE(samePixels(d.draw(kCases[1], &one).get(), fresh1.get()));
}
