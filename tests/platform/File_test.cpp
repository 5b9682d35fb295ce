#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

std::u16string wide(const std::filesystem::path& p) { return Platform::fromNativePath(p.string()); }

} // namespace

TEST(PlatformFile, WriteReadSeekAndAppend) {
    TestSupport::TempDir dir;
    const auto path = wide(dir / "a.bin");

    {
        Platform::File f = Platform::File::open(path, Platform::File::Mode::Write);
        ASSERT_TRUE(f.isOpen());
        std::size_t n = 0;
        EXPECT_TRUE(f.write("hello world", 11, n));
        EXPECT_EQ(n, 11u);
        EXPECT_EQ(f.tell(), 11);
        EXPECT_EQ(f.size(), 11);
        EXPECT_TRUE(f.flush());
        EXPECT_TRUE(f.close());
        EXPECT_FALSE(f.isOpen());
        EXPECT_FALSE(f.close());
        EXPECT_EQ(Platform::lastError(), Platform::ErrorInvalidHandle);
    }
    {
        Platform::File f = Platform::File::open(path, Platform::File::Mode::Read);
        ASSERT_TRUE(f.isOpen());
        char buffer[32] = {};
        std::size_t n = 0;
        EXPECT_EQ(f.seek(6, Platform::SeekOrigin::Begin), 6);
        EXPECT_TRUE(f.read(buffer, sizeof buffer, n));
        EXPECT_EQ(std::string(buffer, n), "world");
        EXPECT_EQ(f.seek(-5, Platform::SeekOrigin::End), 6);
        EXPECT_EQ(f.seek(-2, Platform::SeekOrigin::Current), 4);
        EXPECT_TRUE(f.read(buffer, 3, n));
        EXPECT_EQ(std::string(buffer, n), "o w");
        // Reading at the end is no error, just nothing.
        f.seek(0, Platform::SeekOrigin::End);
        EXPECT_TRUE(f.read(buffer, 4, n));
        EXPECT_EQ(n, 0u);
        // Before the start is an error and keeps the position.
        EXPECT_EQ(f.seek(-1, Platform::SeekOrigin::Begin), -1);
        EXPECT_EQ(Platform::lastError(), Platform::ErrorInvalidParameter);
        EXPECT_EQ(f.tell(), 11);
        // A read-only file refuses writes.
        EXPECT_FALSE(f.write("x", 1, n));
        EXPECT_EQ(Platform::lastError(), Platform::ErrorInvalidHandle);
    }
    {
        Platform::File f = Platform::File::open(path, Platform::File::Mode::Append);
        ASSERT_TRUE(f.isOpen());
        std::size_t n = 0;
        f.seek(0, Platform::SeekOrigin::Begin);
        EXPECT_TRUE(f.write("!", 1, n));
    }
    EXPECT_EQ(TestSupport::readAll(dir / "a.bin"), "hello world!");

    // Write mode empties an existing file.
    Platform::File::open(path, Platform::File::Mode::Write);
    EXPECT_EQ(TestSupport::readAll(dir / "a.bin"), "");
}

TEST(PlatformFile, FailuresSetWin32Errors) {
    TestSupport::TempDir dir;
    Platform::setLastError(0);
    EXPECT_FALSE(Platform::File::open(wide(dir / "missing"), Platform::File::Mode::Read).isOpen());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    EXPECT_FALSE(Platform::File::open(wide(dir / "missing"), Platform::File::Mode::ReadWrite).isOpen());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    EXPECT_FALSE(Platform::File::open(wide(dir / "no" / "x"), Platform::File::Mode::Write).isOpen());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    EXPECT_FALSE(Platform::File::open(u"", Platform::File::Mode::Read).isOpen());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorPathNotFound);

    // A directory never opens as a file, in no mode.
    std::filesystem::create_directory(dir / "sub");
    for (auto mode : {Platform::File::Mode::Read, Platform::File::Mode::ReadWrite, Platform::File::Mode::Write,
                      Platform::File::Mode::Append}) {
        Platform::setLastError(0);
        EXPECT_FALSE(Platform::File::open(wide(dir / "sub"), mode).isOpen());
        EXPECT_EQ(Platform::lastError(), Platform::ErrorAccessDenied);
    }
    errno = 0;
    EXPECT_EQ(Platform::openStdioFile(wide(dir / "sub"), u"rb"), nullptr);
    EXPECT_EQ(errno, EISDIR);

    Platform::File closed;
    std::size_t n = 7;
    char c;
    EXPECT_FALSE(closed.read(&c, 1, n));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(closed.seek(0, Platform::SeekOrigin::Begin), -1);
    EXPECT_EQ(closed.size(), -1);
    EXPECT_FALSE(closed.flush());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorInvalidHandle);
}

TEST(PlatformFile, PositionsBeyondFourGigabytes) {
    TestSupport::TempDir dir;
    Platform::File f = Platform::File::open(wide(dir / "big"), Platform::File::Mode::Write);
    ASSERT_TRUE(f.isOpen());
    const std::int64_t far = (std::int64_t(5) << 30) + 3; // sparse: nothing is allocated
    ASSERT_EQ(f.seek(far, Platform::SeekOrigin::Begin), far);
    std::size_t n = 0;
    ASSERT_TRUE(f.write("z", 1, n));
    EXPECT_EQ(f.size(), far + 1);
    EXPECT_EQ(f.tell(), far + 1);
    EXPECT_EQ(f.seek(-1, Platform::SeekOrigin::End), far);
}

TEST(PlatformFile, DeleteAndExists) {
    TestSupport::TempDir dir;
    const auto file = dir.write("f.txt", "x");
    std::filesystem::create_directory(dir / "d");
    EXPECT_TRUE(Platform::fileExists(wide(file)));
    EXPECT_FALSE(Platform::fileExists(wide(dir / "d")));
    EXPECT_TRUE(Platform::directoryExists(wide(dir / "d")));
    EXPECT_FALSE(Platform::directoryExists(wide(file)));
    // Backslashes from data files reach the system as slashes.
    std::u16string backslashed = wide(file);
    backslashed[backslashed.rfind(u'/')] = u'\\';
    EXPECT_TRUE(Platform::fileExists(backslashed));

    EXPECT_FALSE(Platform::deleteFile(wide(dir / "d")));
    EXPECT_EQ(Platform::lastError(), Platform::ErrorAccessDenied);
    EXPECT_TRUE(std::filesystem::exists(dir / "d"));
    EXPECT_TRUE(Platform::deleteFile(backslashed));
    EXPECT_FALSE(Platform::fileExists(wide(file)));
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    Platform::setLastError(Platform::ErrorAccessDenied); // the failed delete says its own
    EXPECT_FALSE(Platform::deleteFile(wide(file)));
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
}

TEST(PlatformFile, StdioOpenWithWideModes) {
    TestSupport::TempDir dir;
    const auto path = wide(dir / "s.txt");
    std::FILE* f = Platform::openStdioFile(path, u"wt");
    ASSERT_NE(f, nullptr);
    std::fputs("one", f);
    std::fclose(f);
    f = Platform::openStdioFile(path, u"ab+");
    ASSERT_NE(f, nullptr);
    std::fputs("two", f);
    std::fclose(f);
    EXPECT_EQ(TestSupport::readAll(dir / "s.txt"), "onetwo");
    EXPECT_EQ(Platform::openStdioFile(path, u"x"), nullptr);
    EXPECT_EQ(Platform::lastError(), Platform::ErrorInvalidParameter);
    EXPECT_EQ(Platform::openStdioFile(wide(dir / "none"), u"rb"), nullptr);
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
}
