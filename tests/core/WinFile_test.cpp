#include "core/AtomicFileForWrite.h"
#include "core/FileSystem.h"
#include "core/WinFile.h"
#include "platform/Error.h"
#include "tests/core/FileTestSupport.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using FileTests::wide;

TEST(WinFile, ReadWriteWholeItems) {
    TestSupport::TempDir dir;
    const auto path = wide(dir / "w.bin");
    {
        FileSystem::WinFileForWrite f(path);
        ASSERT_TRUE(f.isOpen());
        EXPECT_EQ(f.path(), path);
        EXPECT_EQ(f.write("0123456789", 5, 2), 2u);
        EXPECT_EQ(f.tell(), 10u);
        char c;
        EXPECT_EQ(f.read(&c, 1, 1), 0u); // write-only
        EXPECT_EQ(f.lastError(), Platform::ErrorInvalidHandle);
        f.flush();
    }
    FileSystem::WinFileForRead f(path);
    ASSERT_TRUE(f.isOpen());
    char buffer[16] = {};
    EXPECT_EQ(f.read(buffer, 4, 3), 2u); // 10 bytes hold two whole items of 4
    EXPECT_EQ(std::string(buffer, 8), "01234567");
    EXPECT_EQ(f.write("x", 1, 1), 0u);
    EXPECT_EQ(f.lastError(), Platform::ErrorInvalidHandle);

    // An item size of 0 answers the count without touching the file.
    EXPECT_TRUE(f.seek(2));
    EXPECT_EQ(f.read(buffer, 0, 7), 7u);
    EXPECT_EQ(f.write(buffer, 0, 3), 3u);
    EXPECT_EQ(f.handle().tell(), 2);
    FileSystem::WinFileForRead closed(wide(dir / "missing"));
    EXPECT_FALSE(closed.isOpen());
    EXPECT_EQ(closed.lastError(), Platform::ErrorFileNotFound);
    EXPECT_EQ(closed.read(buffer, 0, 5), 5u);
    EXPECT_EQ(closed.read(buffer, 1, 5), 0u);

    // Write mode empties the file; a directory never opens.
    { FileSystem::WinFileForWrite again(path); }
    EXPECT_EQ(TestSupport::readAll(dir / "w.bin"), "");
    EXPECT_FALSE(FileSystem::WinFileForRead(wide(dir.path())).isOpen());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorAccessDenied);
}

TEST(WinFile, TellIsCachedUntilTheNextTransferOrSeek) {
    TestSupport::TempDir dir;
    const auto path = dir.write("t.bin", "abcdefghijklmnop");
    FileSystem::WinFileForRead f(wide(path));
    char buffer[4];
    ASSERT_EQ(f.read(buffer, 3, 1), 1u);
    EXPECT_EQ(f.tell(), 3u); // asks the system once
    // Moving the handle behind the object's back shows the cache at work.
    f.handle().seek(10, Platform::SeekOrigin::Begin);
    EXPECT_EQ(f.tell(), 3u);
    // A transfer drops the cache.
    ASSERT_EQ(f.read(buffer, 1, 1), 1u);
    EXPECT_EQ(buffer[0], 'k');
    EXPECT_EQ(f.tell(), 11u);
    // A seek sets it.
    EXPECT_TRUE(f.seek(5));
    f.handle().seek(0, Platform::SeekOrigin::Begin);
    EXPECT_EQ(f.tell(), 5u);
    EXPECT_TRUE(f.seekRelative(2)); // from the real position 0
    EXPECT_EQ(f.tell(), 2u);
    EXPECT_TRUE(f.seekToEnd());
    EXPECT_EQ(f.tell(), 16u);
    EXPECT_TRUE(f.seekRelative(-16));
    EXPECT_EQ(f.tell(), 0u);
}

TEST(WinFile, PositionsStayWithin32Bits) {
    TestSupport::TempDir dir;
    const auto path = dir.write("p.bin", "0123456789");
    FileSystem::WinFileForRead f(wide(path));
    EXPECT_TRUE(f.seek(4));
    EXPECT_FALSE(f.seek(-1));
    EXPECT_EQ(f.lastError(), Platform::ErrorNegativeSeek);
    EXPECT_EQ(f.handle().tell(), 4); // a failed seek leaves the file where it was
    EXPECT_FALSE(f.seekRelative(-5));
    EXPECT_EQ(f.lastError(), Platform::ErrorNegativeSeek);
    EXPECT_EQ(f.tell(), 4u);
    EXPECT_TRUE(f.seek(100)); // past the end is allowed, as for the system
    EXPECT_EQ(f.tell(), 100u);

    // A file beyond 4 GB (sparse) cannot be positioned at its end.
    {
        Platform::File big = Platform::File::open(wide(dir / "big"), Platform::File::Mode::Write);
        big.seek(std::int64_t(5) << 30, Platform::SeekOrigin::Begin);
        std::size_t n;
        big.write("z", 1, n);
    }
    FileSystem::WinFileForRead big(wide(dir / "big"));
    EXPECT_FALSE(big.seekToEnd());
    EXPECT_EQ(big.lastError(), Platform::ErrorInvalidParameter);
    EXPECT_EQ(big.handle().tell(), 0);
    EXPECT_TRUE(big.seek(0x7FFFFFFF));
    EXPECT_TRUE(big.seekRelative(0x7FFFFFFF));
    EXPECT_EQ(big.tell(), 0xFFFFFFFEu);
    EXPECT_FALSE(big.seekRelative(1));
    big.handle().seek(std::int64_t(5) << 30, Platform::SeekOrigin::Begin);
    EXPECT_FALSE(big.seekRelative(0));
    EXPECT_EQ(big.tell(), 0xFFFFFFFFu);
}

TEST(WinFile, BorrowedHandleStaysOpen) {
    TestSupport::TempDir dir;
    const auto path = dir.write("b.bin", "xyz");
    Platform::File file = Platform::File::open(wide(path), Platform::File::Mode::Read);
    {
        FileSystem::WinFile borrowed(&file, u"b.bin");
        EXPECT_FALSE(borrowed.ownsHandle());
        char c;
        EXPECT_EQ(borrowed.read(&c, 1, 1), 1u);
    }
    EXPECT_TRUE(file.isOpen());
    EXPECT_EQ(file.tell(), 1);
}

TEST(AtomicFileForWrite, CommitsOrKeepsTheTarget) {
    TestSupport::TempDir dir;
    const auto target = dir.write("index.idx", "old index");
    {
        FileSystem::AtomicFileForWrite f(wide(target));
        ASSERT_TRUE(f.isOpen());
        EXPECT_TRUE(FileSystem::writeU32(f, 0));  // a count patched afterwards
        EXPECT_EQ(f.write("body", 4, 1), 1u);
        EXPECT_TRUE(f.seek(0));
        EXPECT_TRUE(FileSystem::writeU32(f, 0x04030201));
        EXPECT_EQ(TestSupport::readAll(target), "old index");
        EXPECT_TRUE(f.commit());
    }
    EXPECT_EQ(TestSupport::readAll(target), std::string("\x01\x02\x03\x04" "body", 8));

    // A failing write, even one its caller ignores, makes the commit fail.
    {
        TestSupport::FileSizeLimit limit(100);
        FileSystem::AtomicFileForWrite f(wide(target));
        const std::string big(300, 'b');
        f.write(big.data(), 1, big.size());
        f.write("tail", 4, 1);
        EXPECT_FALSE(f.commit());
        EXPECT_EQ(f.lastError(), Platform::ErrorFileTooLarge);
    }
    // So does a failed seek: the writes after it would land elsewhere.
    {
        FileSystem::AtomicFileForWrite f(wide(target));
        f.write("body", 4, 1);
        EXPECT_FALSE(f.seekRelative(-8));
        f.write("x", 1, 1);
        EXPECT_FALSE(f.commit());
        EXPECT_EQ(f.lastError(), Platform::ErrorNegativeSeek);
    }
    // Dropped without a commit.
    {
        FileSystem::AtomicFileForWrite f(wide(target));
        f.write("half", 4, 1);
    }
    EXPECT_EQ(TestSupport::readAll(target), std::string("\x01\x02\x03\x04" "body", 8));
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++count;
    EXPECT_EQ(count, 1u);
}
