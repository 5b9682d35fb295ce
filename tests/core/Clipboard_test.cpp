#include "core/Clipboard.h"

#include "platform/Clipboard.h"
#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

namespace {

using Store = Platform::Clipboard;
const int kWindow = 0;
const void* const window = &kWindow;

void put(unsigned format, std::vector<std::uint8_t> block) {
    auto& s = Store::instance();
    ASSERT_TRUE(s.open(nullptr));
    s.setData(format, std::move(block));
    s.close();
}

void clear() {
    auto& s = Store::instance();
    ASSERT_TRUE(s.open(nullptr));
    s.empty();
    s.close();
}

} // namespace

TEST(Clipboard, CopyAndPaste) {
    clear();
    TestSupport::CaptureLogger log;
    EXPECT_FALSE(Clipboard::canPaste(window));
    EXPECT_EQ(Clipboard::paste(window), u"");
    Clipboard::copy(window, u"Москва, ул. Тверская");
    EXPECT_TRUE(Clipboard::canPaste(window));
    EXPECT_EQ(Clipboard::paste(window), u"Москва, ул. Тверская");
    Clipboard::copy(window, u"");
    EXPECT_EQ(Clipboard::paste(window), u"");
    // The empty text is a block of one terminator: too small to hold text.
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Pasting empty Unicode text"});
}

TEST(Clipboard, FormatsAndDamagedBlocks) {
    clear();
    TestSupport::CaptureLogger log;
    // Only a bitmap: nothing to paste, and no log line.
    put(Store::kBitmap, {1, 2, 3, 4});
    EXPECT_FALSE(Clipboard::canPaste(window));
    EXPECT_EQ(Clipboard::paste(window), u"");
    EXPECT_TRUE(log.lines().empty());

    // 8-bit text is code page 1251, up to its first zero.
    put(Store::kText, {0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2, 0, 'x'});
    EXPECT_TRUE(Clipboard::canPaste(window));
    EXPECT_EQ(Clipboard::paste(window), u"Привет");
    // Without a terminator the last byte is not taken.
    put(Store::kText, {'a', 'b', 'c'});
    EXPECT_EQ(Clipboard::paste(window), u"ab");
    put(Store::kText, {'a'});
    EXPECT_EQ(Clipboard::paste(window), u"");
    EXPECT_TRUE(log.contains("Pasting empty Ansi text"));

    // Unicode text wins over 8-bit text; copying keeps other formats.
    Clipboard::copy(window, u"wide");
    EXPECT_EQ(Clipboard::paste(window), u"wide");
    ASSERT_TRUE(Store::instance().open(nullptr));
    EXPECT_TRUE(Store::instance().isFormatAvailable(Store::kText));
    Store::instance().close();

    // A Unicode block with fewer than two units, or without a terminator.
    put(Store::kUnicodeText, {'a', 0});
    EXPECT_EQ(Clipboard::paste(window), u"");
    EXPECT_TRUE(log.contains("Pasting empty Unicode text"));
    put(Store::kUnicodeText, {'a', 0, 'b', 0, 'c'});
    EXPECT_EQ(Clipboard::paste(window), u"a");
    put(Store::kUnicodeText, {'a', 0, 0, 0, 'c', 0, 0, 0});
    EXPECT_EQ(Clipboard::paste(window), u"a");
}

TEST(Clipboard, BusyClipboard) {
    clear();
    TestSupport::CaptureLogger log;
    ASSERT_TRUE(Store::instance().open(nullptr));
    EXPECT_FALSE(Clipboard::canPaste(window));
    EXPECT_EQ(Clipboard::paste(window), u"");
    Clipboard::copy(window, u"lost");
    EXPECT_EQ(log.lines(), std::vector<std::string>(3, "Can't open clipboard (err 5): Permission denied"));
    Store::instance().close();
    EXPECT_EQ(Clipboard::paste(window), u"");
}
