#include "core/AnsiFile.h"
#include "core/FileSystem.h"
#include "core/WinFile.h"
#include "tests/core/FileTestSupport.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using FileTests::wide;

TEST(ReadFile, SmallEmptyAndUnreadableFiles) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    const auto three = dir.write("three.bin", "abc");
    const auto empty = dir.write("empty.bin", "");

    for (int kind = 0; kind < 2; ++kind) {
        std::unique_ptr<FileSystem::FileRW> f;
        if (kind == 0)
            f = std::make_unique<FileSystem::AnsiFile>(wide(three), u"rb");
        else
            f = std::make_unique<FileSystem::WinFileForRead>(wide(three));
        f->seek(2); // readFile starts from the beginning whatever the position
        std::uint32_t size = 99;
        auto data = FileSystem::readFile(*f, &size);
        ASSERT_TRUE(data) << kind;
        EXPECT_EQ(size, 3u);
        EXPECT_EQ(std::string(data.get(), 4), std::string("abc\0", 4));
    }
    EXPECT_TRUE(log.lines().empty());

    // Empty: stdio reports no item for a zero item size, so the read fails...
    {
        FileSystem::AnsiFile f(wide(empty), u"rb");
        std::uint32_t size = 99;
        EXPECT_FALSE(FileSystem::readFile(f, &size));
        EXPECT_EQ(size, 0u);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0], "Error reading file (err 0)");
    }
    // ...while a handle file answers the count and gives an empty buffer.
    {
        FileSystem::WinFileForRead f(wide(empty));
        std::uint32_t size = 99;
        auto data = FileSystem::readFile(f, &size);
        ASSERT_TRUE(data);
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(data[0], '\0');
        EXPECT_EQ(log.lines().size(), 1u);
    }
    // A file opened for writing only.
    {
        FileSystem::WinFileForWrite f(wide(dir / "out.bin"));
        f.write("xyz", 1, 3);
        EXPECT_FALSE(FileSystem::readFile(f));
        ASSERT_EQ(log.lines().size(), 2u);
        EXPECT_EQ(log.lines()[1], "Error reading file (err 6): Bad file descriptor");
    }
    // A file that did not open (a folder).
    {
        FileSystem::WinFileForRead f(wide(dir.path()));
        EXPECT_FALSE(FileSystem::readFile(f));
        ASSERT_EQ(log.lines().size(), 3u);
        EXPECT_EQ(log.lines()[2], "Error reading file (err 6): Bad file descriptor");
    }
    // A size the file cannot tell is never trusted (no 4 GB read).
    {
        FileTests::FakeFile f("data");
        f.failTell = true;
        EXPECT_FALSE(FileSystem::readFile(f));
        EXPECT_EQ(f.reads, 0);
        ASSERT_EQ(log.lines().size(), 4u);
        EXPECT_EQ(log.lines()[3], "Error reading file (err 77)");
    }
}

TEST(FileSystemFunctions, WriteU32IsLittleEndian) {
    FileTests::FakeFile f;
    EXPECT_TRUE(FileSystem::writeU32(f, 0x12345678));
    EXPECT_TRUE(FileSystem::writeU32(f, 0xFFFFFFFE));
    EXPECT_EQ(f.bytes, std::string("\x78\x56\x34\x12\xFE\xFF\xFF\xFF", 8));
    f.failWrites = true;
    EXPECT_FALSE(FileSystem::writeU32(f, 1));
}

TEST(FileSystemFunctions, NamesAndTitles) {
    using FileSystem::fileName;
    using FileSystem::fileTitle;
    using FileSystem::lastSeparator;
    EXPECT_EQ(fileName(u"C:\\maps\\town/a.kvm"), u"a.kvm");
    EXPECT_EQ(fileName(u"maps\\a.kvm"), u"a.kvm");
    EXPECT_EQ(fileName(u"a.kvm"), u"a.kvm");
    EXPECT_EQ(fileName(u"maps/"), u"");
    EXPECT_EQ(fileTitle(u"data\\waypoints\\Home.gpx"), u"Home");
    EXPECT_EQ(fileTitle(u"readme"), u"readme");
    EXPECT_EQ(fileTitle(u"archive.tar.gz"), u"archive.tar");
    EXPECT_EQ(fileTitle(u"dir.d/name"), u"name"); // a dot in a folder does not count
    EXPECT_EQ(fileTitle(u""), u"");
    EXPECT_EQ(lastSeparator(u"a/b\\c"), 3u);
    EXPECT_EQ(lastSeparator(u"a/bc"), 1u);
    EXPECT_EQ(lastSeparator(u"abc"), std::u16string_view::npos);
}

TEST(FileSystemFunctions, ExistsDeleteAndText) {
    TestSupport::TempDir dir;
    const auto file = dir.write("x.txt", "1");
    EXPECT_TRUE(FileSystem::fileExists(wide(file)));
    EXPECT_FALSE(FileSystem::fileExists(wide(dir.path())));
    EXPECT_TRUE(FileSystem::deleteFile(wide(file)));
    EXPECT_FALSE(FileSystem::fileExists(wide(file)));
    EXPECT_FALSE(FileSystem::deleteFile(wide(file)));

    EXPECT_EQ(FileSystem::toWide(std::string("\xD0\x96")), u"\u0416");
    EXPECT_EQ(FileSystem::toUtf8(u"\u0416"), "\xD0\x96");
    // The same bytes as ANSI text are two Cyrillic letters of code page 1251.
    EXPECT_EQ(FileSystem::toWide("\xD0\x96"), u"\u0420\u2013");
    EXPECT_EQ(FileSystem::toWide(static_cast<const char*>(nullptr)), u"");
}
