#include "core/AnsiFile.h"
#include "tests/core/FileTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

using FileTests::wide;

TEST(AnsiFile, ReadWriteAndSeek) {
    TestSupport::TempDir dir;
    const auto path = wide(dir / "a.bin");
    {
        FileSystem::AnsiFile f(path, u"wb");
        ASSERT_TRUE(f.isOpen());
        EXPECT_EQ(f.write("abcdefghij", 2, 5), 5u);
        EXPECT_EQ(f.tell(), 10u);
        f.flush();
    }
    FileSystem::AnsiFile f(path, u"rb");
    ASSERT_TRUE(f.isOpen());
    char buffer[16] = {};
    EXPECT_EQ(f.read(buffer, 4, 3), 2u); // whole items only
    EXPECT_EQ(f.lastError(), 0);          // the end of the file is no error
    EXPECT_TRUE(f.seek(3));
    EXPECT_EQ(f.read(buffer, 1, 2), 2u);
    EXPECT_EQ(std::string(buffer, 2), "de");
    EXPECT_TRUE(f.seekRelative(-4));
    EXPECT_EQ(f.tell(), 1u);
    EXPECT_TRUE(f.seekToEnd());
    EXPECT_EQ(f.tell(), 10u);
    EXPECT_FALSE(f.seek(-1));
    EXPECT_EQ(f.lastError(), EINVAL);
    EXPECT_EQ(f.write("x", 1, 1), 0u); // read-only stream
    EXPECT_NE(f.lastError(), 0);
}

TEST(AnsiFile, AppendModeAndFailedOpens) {
    TestSupport::TempDir dir;
    const auto path = dir.write("log.txt", "old\n");
    {
        FileSystem::AnsiFile f(wide(path), u"ab+");
        ASSERT_TRUE(f.isOpen());
        f.seek(0);
        EXPECT_EQ(f.write("new\n", 4, 1), 1u);
    }
    EXPECT_EQ(TestSupport::readAll(path), "old\nnew\n");

    FileSystem::AnsiFile missing(wide(dir / "none.txt"), u"rb");
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.lastError(), ENOENT);
    char c;
    EXPECT_EQ(missing.read(&c, 1, 1), 0u);
    EXPECT_EQ(missing.tell(), 0xFFFFFFFFu);
    EXPECT_FALSE(missing.seekToEnd());

    FileSystem::AnsiFile folder(wide(dir.path()), u"rb");
    EXPECT_FALSE(folder.isOpen());
    EXPECT_EQ(folder.lastError(), EISDIR);

    FileSystem::AnsiFile none(nullptr);
    EXPECT_FALSE(none.isOpen());
}
