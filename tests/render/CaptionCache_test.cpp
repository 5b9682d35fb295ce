#include "render/CaptionCache.h"

#include "CaptionTestSupport.h"
#include "FontTestSupport.h"
#include "SurfaceTestSupport.h"
#include "core/TempSurface.h"
#include "render/CaptionPlacer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

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

namespace {

// A picture with an alpha channel: clear everywhere but a turned band of
// random opacity (some of it barely there), as a turned name's picture.
RenderTest::SurfacePtr bandPicture(std::mt19937& random, int w, int h) {
    RenderTest::SurfacePtr picture(
        SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000));
    const int slope = static_cast<int>(random() % 5) - 2;
    const int width = 1 + static_cast<int>(random() % 9);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int along = x * slope / 2 - y + h / 2;
            std::uint32_t alpha = 0;
            if (along >= 0 && along < width) alpha = random() % 4 == 0 ? 1 + random() % 3 : random() % 256;
            const std::uint32_t value = alpha << 24 | (random() & 0x00FFFFFFu);
            std::memcpy(static_cast<std::uint8_t*>(picture->pixels) + y * picture->pitch + 4 * x, &value, 4);
        }
    SDL_SetAlpha(picture.get(), SDL_SRCALPHA, SDL_ALPHA_OPAQUE);
    return picture;
}

} // namespace

// A kept picture drawn by its strips gives every target pixel the whole
// picture's blit gives: 32- and 16-bit targets, the picture partly off the
// target and its clip rectangle, pictures with no opaque pixel at all, and
// one without an alpha channel (a single strip).
TEST(CaptionCache, StripsDrawWhatTheWholePictureDraws) {
    std::mt19937 random(RenderTest::testSeed());
    int stripped = 0;
    for (int k = 0; k < 300; ++k) {
        const int w = 1 + static_cast<int>(random() % 90);
        const int h = 1 + static_cast<int>(random() % 70);
        RenderTest::SurfacePtr picture = bandPicture(random, w, h);
        if (k % 50 == 0) SDL_FillRect(picture.get(), nullptr, 0); // all clear
        if (k % 50 == 1) {
            picture.reset(
                SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0));
            SDL_FillRect(picture.get(), nullptr, static_cast<std::uint32_t>(random()));
        }
        const Render::CaptionCache::Strips strips = Render::stripsOf(picture.get());
        if (k % 50 == 1) {
            ASSERT_EQ(strips.size(), 1u);
            EXPECT_EQ(strips[0].w, w);
            EXPECT_EQ(strips[0].h, h);
        }
        int covered = 0;
        for (const SDL_Rect& s : strips)
            covered += s.w * s.h;
        stripped += covered < w * h;
        // The map's target (32 bits, no alpha), one with alpha, 16 bits.
        for (const int kind : {0, 1, 2}) {
            const int bits = kind == 2 ? 16 : 32;
            auto target = [&] {
                return kind == 0 ? RenderTest::SurfacePtr(SDL_CreateRGBSurface(
                                       SDL_SWSURFACE, 120, 90, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0))
                                 : RenderTest::makeSurface(bits, 120, 90);
            };
            RenderTest::SurfacePtr whole = target();
            RenderTest::SurfacePtr pieces = target();
            for (int i = 0; i < 120 * 90; ++i) {
                const auto value = static_cast<std::uint32_t>(random());
                const int x = i % 120, y = i / 120;
                auto* a = static_cast<std::uint8_t*>(whole->pixels) + y * whole->pitch + x * (bits / 8);
                auto* b = static_cast<std::uint8_t*>(pieces->pixels) + y * pieces->pitch + x * (bits / 8);
                std::memcpy(a, &value, static_cast<std::size_t>(bits / 8));
                std::memcpy(b, &value, static_cast<std::size_t>(bits / 8));
            }
            if (k % 3 == 0) {
                SDL_Rect clip{10, 7, 90, 70};
                SDL_SetClipRect(whole.get(), &clip);
                SDL_SetClipRect(pieces.get(), &clip);
            }
            const SDL_Rect at{static_cast<Sint16>(static_cast<int>(random() % 200) - 80),
                              static_cast<Sint16>(static_cast<int>(random() % 160) - 70), 0, 0};
            SDL_Rect place = at;
            SDL_UpperBlit(picture.get(), nullptr, whole.get(), &place);
            Render::blitStrips(picture.get(), strips, pieces.get(), at);
            ASSERT_EQ(std::memcmp(whole->pixels, pieces->pixels, static_cast<std::size_t>(whole->pitch) * 90),
                      0)
                << "case " << k << " target " << kind;
        }
    }
    EXPECT_GT(stripped, 200); // most pictures are drawn in part only
}
