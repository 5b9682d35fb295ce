#include "render/TtfFont.h"
#include "render/detail/FontStream.h"

#include "FontTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <fstream>
#include <string>
#include <vector>

using namespace RenderTest;

namespace {

std::string fontBytes() {
    std::ifstream in(MIREL_TEST_FONT, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Render::TtfFace& faceOf(Render::Font& font) {
    return static_cast<Render::TtfFont&>(font).face();
}

} // namespace

TEST(FontStream, ReadsAtOffsetsAndAnswersSeeksTheFreeTypeWay) {
    char data[] = "0123456789";
    SDL_RWops* rw = SDL_RWFromMem(data, 10);
    unsigned char buffer[8] = {};
    // A seek (count 0) that works answers 0; FreeType treats anything else
    // as an error.
    EXPECT_EQ(Render::detail::readFontStream(rw, 2, 3, buffer, 0), 0u);
    EXPECT_EQ(SDL_RWtell(rw), 5);
    EXPECT_EQ(Render::detail::readFontStream(rw, 2, 3, buffer, 4), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "5678");
    // A short read answers what it got.
    EXPECT_EQ(Render::detail::readFontStream(rw, 2, 6, buffer, 8), 2u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "89");
    // Past the end: SDL's seek on memory clamps, so the read finds nothing.
    EXPECT_EQ(Render::detail::readFontStream(rw, 0, 100, buffer, 4), 0u);
    // Offsets that overflow the stream's position range fail, both ways.
    EXPECT_EQ(Render::detail::readFontStream(rw, 10, 0xFFFFFFFFul, buffer, 0), 1u);
    EXPECT_EQ(Render::detail::readFontStream(rw, 10, 0xFFFFFFFFul, buffer, 4), 0u);
    EXPECT_EQ(Render::detail::readFontStream(nullptr, 0, 0, buffer, 0), 1u);
    SDL_RWclose(rw);
}

TEST(TtfFont, OpensFromFilesAndStreamsAndLogsFailures) {
    TestSupport::CaptureLogger log;
    {
        auto font = demoFont(14);
        ASSERT_TRUE(font);
        Render::TextSize size;
        ASSERT_TRUE(font->textSize(size, u"Main Street"));
        EXPECT_GT(size.width, 40);
        EXPECT_EQ(size.height, faceOf(*font).ascent() - faceOf(*font).descent() + 1);
        auto larger = demoFont(28);
        Render::TextSize big;
        ASSERT_TRUE(larger->textSize(big, u"Main Street"));
        EXPECT_GT(big.width, size.width * 3 / 2);
        EXPECT_GT(big.height, size.height * 3 / 2);
    }

    // A font that starts part-way into its stream (as in a package) reads
    // from its own start.
    const std::string bytes = fontBytes();
    std::string padded = "PADDING!" + bytes;
    SDL_RWops* rw = SDL_RWFromMem(padded.data(), static_cast<int>(padded.size()));
    SDL_RWseek(rw, 8, RW_SEEK_SET);
    auto fromStream = Render::TtfFont::create(rw, 14, true);
    ASSERT_TRUE(fromStream);
    Render::TextSize size;
    EXPECT_TRUE(fromStream->textSize(size, u"Main Street"));
    EXPECT_GT(size.width, 40);
    fromStream.reset();

    std::string junk(4000, 'x');
    auto none = Render::TtfFont::create(SDL_RWFromMem(junk.data(), static_cast<int>(junk.size())), 14, true);
    EXPECT_FALSE(none);
    EXPECT_TRUE(log.contains("Couldn't load font file (ft_err 0x02)")) << "unknown file format";

    EXPECT_FALSE(Render::TtfFont::open(u"/nonexistent/font.ttf", 14));
    EXPECT_TRUE(log.contains("Can't seek in font stream") || log.contains("Couldn't load font file"));

    // A truncated font: every read short, never out of bounds.
    std::string cut = bytes.substr(0, bytes.size() / 3);
    auto partial = Render::TtfFont::create(SDL_RWFromMem(cut.data(), static_cast<int>(cut.size())), 14, true);
    if (partial) {
        Render::TextSize s;
        partial->textSize(s, u"abc");
    }
}

TEST(TtfFont, AntiAliasedTextBlendsItsColourWithinItsBox) {
    auto font = demoFont(16);
    ASSERT_TRUE(font);
    auto target = makeOpaque(120, 40, 0x000000);
    font->drawText(target.get(), 20, 10, 0xFF00FF00, u"Wood"); // green
    Render::TextSize size;
    font->textSize(size, u"Wood");
    const PixelSet lit = pixelsWhere(target.get(), [](std::uint32_t p) { return p != 0; });
    ASSERT_FALSE(lit.empty());
    const Box b = boxOf(lit);
    EXPECT_GE(b.left, 20);
    EXPECT_GE(b.top, 10);
    EXPECT_LT(b.right, 20 + size.width);
    EXPECT_LT(b.bottom, 10 + size.height);
    bool partial = false, full = false;
    for (const auto& [x, y] : lit) {
        const std::uint32_t p = rgbAt(target.get(), x, y);
        EXPECT_EQ(p & 0xFF00FF, 0u) << "only green is drawn";
        partial = partial || ((p >> 8) > 0 && (p >> 8) < 0xFF);
        full = full || (p >> 8) == 0xFF;
    }
    EXPECT_TRUE(partial) << "edges are anti-aliased";
    EXPECT_TRUE(full);
}

// Glyphs that reach beyond the line box: tall accented capitals above the
// ascent, descenders, combining marks with no advance and a negative left
// bearing, negative kerning, every style. Run under ASan these must not
// write outside the text surfaces; here the target around the text must stay
// untouched too.
TEST(TtfFont, GlyphsOutsideTheLineBoxAreClipped) {
    const std::vector<std::u16string> texts = {
        u"\u00C5\u01FA\u1EA4\u0176\u00C9\u00CE",                    // capitals with accents above
        u"\u0429\u0451\u043B\u043A\u043E\u0432\u043E \u0419\u0424", // Cyrillic
        u"a\u0301\u0302\u0303\u0304e\u0308\u0323\u0331",            // stacked combining marks
        u"\u0301\u0327x\u20DD",                                     // marks with nothing before
        u"gjpqy\u00FE\u0192",                                       // deep descenders
        u"AVAWAY T. L'",                                            // kerned pairs
        u"\xD83D\xDE00 \xDBFF",                                     // surrogate halves
    };
    for (int size : {6, 11, 23}) {
        auto font = demoFont(size);
        ASSERT_TRUE(font);
        for (int style : {0, 1, 2, 4, 7}) {
            font->setStyle(style);
            for (const auto& text : texts) {
                Render::TextSize measured;
                ASSERT_TRUE(font->textSize(measured, text));
                auto target = makeOpaque(measured.width + 40, measured.height + 40);
                font->drawText(target.get(), 20, 20, 0xFF000000, text);
                for (int mask : {1, 2, 4, 7})
                    font->drawTextSolid(target.get(), 19, 19, mask, 0xFF000000, 0xFF0000FF, text);
                const Box drawn =
                    boxOf(pixelsWhere(target.get(), [](std::uint32_t p) { return p != 0xFFFFFF; }));
                if (drawn.empty()) continue;
                EXPECT_GE(drawn.left, 19);
                EXPECT_GE(drawn.top, 19);
                EXPECT_LE(drawn.right, 19 + measured.width + 1);
                EXPECT_LE(drawn.bottom, 19 + measured.height + 1);
            }
        }
    }
}

TEST(TtfFont, TextFarOffTheTargetDoesNotWrapOntoIt) {
    auto font = demoFont();
    ASSERT_TRUE(font);
    auto target = makeOpaque(80, 40);
    // 65541 and -65531 are 5 in 16 bits: a wrapped position would land on the target.
    for (const auto& [x, y] : {std::pair{65541, 5}, std::pair{5, 65541}, std::pair{-65531, 5},
                               std::pair{5, -65531}, std::pair{INT32_MAX, INT32_MAX}}) {
        font->drawText(target.get(), x, y, 0xFF000000, u"Wrap");
        font->drawTextSolid(target.get(), x, y, Render::Font::Halo, 0xFF000000, 0xFF0000FF, u"Wrap");
    }
    EXPECT_TRUE(pixelsWhere(target.get(), [](std::uint32_t p) { return p != 0xFFFFFF; }).empty());
}

// A face of fixed-size bitmaps (a BDF font written here): its one strike
// gives the line height, and glyphs are drawn bit for bit.
TEST(TtfFont, FixedSizeFacesUseTheirStrike) {
    std::string bdf = "STARTFONT 2.1\nFONT -test-fixed-medium-r-normal--6-60-75-75-c-40-iso10646-1\n"
                      "SIZE 6 75 75\nFONTBOUNDINGBOX 4 6 0 -1\nSTARTPROPERTIES 8\nPIXEL_SIZE 6\nPOINT_SIZE 60\n"
                      "RESOLUTION_X 75\nRESOLUTION_Y 75\nFONT_ASCENT 5\n"
                      "FONT_DESCENT 2\nCHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\nENDPROPERTIES\n"
                      "CHARS 1\nSTARTCHAR A\nENCODING 65\nSWIDTH 666 0\nDWIDTH 5 0\nBBX 4 6 0 -1\nBITMAP\n"
                      "60\n90\nF0\n90\n90\n00\nENDCHAR\nENDFONT\n";
    for (int size : {0, 14}) {
        auto font = Render::TtfFont::create(SDL_RWFromMem(bdf.data(), static_cast<int>(bdf.size())), size, true);
        ASSERT_TRUE(font) << size;
        // The line box of a strike lies wholly above the baseline.
        EXPECT_EQ(faceOf(*font).ascent(), 7);
        EXPECT_EQ(faceOf(*font).descent(), 0);
        Render::TextSize text;
        ASSERT_TRUE(font->textSize(text, u"AA"));
        EXPECT_EQ(text.height, 7);
        OpaqueSurface target = makeOpaque(12, 9);
        font->drawText(target.get(), 0, 0, 0xFF000000, u"A");
        std::string drawn;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 6; ++x)
                drawn += rgbAt(target.get(), x, y) == 0xFFFFFF ? '.' : '#';
        EXPECT_EQ(drawn, ".##..."
                         "#..#.."
                         "####.."
                         "#..#.."
                         "#..#.."
                         "......"
                         "......"
                         "......"
                         "......")
            << size;
    }
}
