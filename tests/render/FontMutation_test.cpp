// Damaged font files: the font opens or is refused with a logged message,
// and text drawn with whatever opens stays inside its surfaces (run under
// ASan and UBSan in CI).

#include "render/TtfFont.h"

#include "FontTestSupport.h"
#include "SurfaceTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <fstream>
#include <string>

using namespace RenderTest;

TEST(FontMutation, DamagedFontsOpenOrFailCleanly) {
    std::ifstream in(MIREL_TEST_FONT, std::ios::binary);
    const std::string original((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(original.size(), 65536u);
    TestSupport::CaptureLogger log(Log::Critical);
    TestSupport::Damage damage(testSeed());
    // The table directory and the early tables hold every offset and count
    // FreeType trusts first.
    std::vector<std::size_t> tables;
    for (std::size_t at = 0; at < 4096; at += 2)
        tables.push_back(at);
    const std::u16string text = u"Ag\u0416\u00C5\u0301 fi";
    int opened = 0;
    for (int round = 0; round < 400; ++round) {
        std::string bytes = original;
        for (int i = 0; i < 4; ++i)
            bytes = damage.apply(bytes, tables);
        SDL_RWops* rw = SDL_RWFromMem(bytes.data(), static_cast<int>(bytes.size()));
        auto font = Render::TtfFont::create(rw, 6 + round % 20, true);
        if (!font) continue;
        ++opened;
        Render::TextSize size;
        font->textSize(size, text);
        auto target = makeOpaque(64, 32);
        font->setStyle(round % 8);
        font->drawText(target.get(), -3, 2, 0xFF000000, text);
        font->drawTextSolid(target.get(), 40, -5, 7, 0xFF000000, 0xFFFFFFFF, text);
    }
    EXPECT_GT(opened, 0);
    EXPECT_TRUE(log.contains("Couldn't load font file") || opened == 400);
}
