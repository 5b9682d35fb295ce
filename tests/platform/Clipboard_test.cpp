#include "platform/Clipboard.h"

#include <gtest/gtest.h>

// Without a window the clipboard is the program's own store: a block is
// found by its own format only.
TEST(PlatformClipboard, ABlockIsFoundByItsOwnFormatOnly) {
    Platform::Clipboard& clipboard = Platform::Clipboard::instance();
    ASSERT_FALSE(Platform::Clipboard::systemClipboard());
    ASSERT_TRUE(clipboard.open(this));
    clipboard.empty();
    ASSERT_TRUE(clipboard.setData(Platform::Clipboard::kBitmap, {1, 2, 3}));
    EXPECT_TRUE(clipboard.isFormatAvailable(Platform::Clipboard::kBitmap));
    EXPECT_FALSE(clipboard.isFormatAvailable(Platform::Clipboard::kUnicodeText));
    EXPECT_FALSE(clipboard.data(Platform::Clipboard::kUnicodeText));
    EXPECT_EQ(clipboard.data(Platform::Clipboard::kBitmap), (std::vector<std::uint8_t>{1, 2, 3}));
    clipboard.empty();
    clipboard.close();
}
