#include "platform/File.h"
#include "platform/Path.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(PlatformPath, ConversionAtTheBoundary) {
    EXPECT_EQ(Platform::toNativePath(u"maps\\Town\\a.kvm"), "maps/Town/a.kvm");
    // Cyrillic "Карта" and a character outside the basic plane (U+1F600).
    EXPECT_EQ(Platform::toNativePath(u"\u041a\u0430\u0440\u0442\u0430/\xD83D\xDE00"),
              "\xD0\x9A\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0/\xF0\x9F\x98\x80");
    // Unpaired surrogates cannot reach the system.
    EXPECT_EQ(Platform::toNativePath(std::u16string(u"a\xD800" u"b\xDC00")), "a?b?");

    EXPECT_EQ(Platform::fromNativePath("\xD0\x9A\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0/\xF0\x9F\x98\x80"),
              u"\u041a\u0430\u0440\u0442\u0430/\xD83D\xDE00");
    // Names that are not UTF-8 still come back, with replacement characters.
    EXPECT_EQ(Platform::fromNativePath("a\xFF" "b\xC3"), u"a\uFFFDb\uFFFD");
    // A Latin-1 letter keeps the letters after it.
    EXPECT_EQ(Platform::fromNativePath("\xC9" "cole"), u"\uFFFD" "cole");
    EXPECT_EQ(Platform::fromNativePath("\xC0\x80\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
}

TEST(PlatformPath, ProgramAndDataFolders) {
    const std::u16string& folder = Platform::programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), u'/');
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(folder, Platform::fromNativePath(exe.parent_path().string() + "/"));
    EXPECT_TRUE(Platform::fileExists(folder + Platform::fromNativePath(exe.filename().string())));
    EXPECT_EQ(Platform::dataFolder(), folder + u"data/");
}
