#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/Path.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::u16string wide(const std::filesystem::path& p) { return Platform::fromNativePath(p.string()); }

std::size_t entries(const std::filesystem::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}

} // namespace

TEST(PlatformAtomicFile, CreatesAndReplaces) {
    TestSupport::TempDir dir;
    const auto target = dir / "config.xml";
    ASSERT_TRUE(Platform::writeFileAtomically(wide(target), "first"));
    EXPECT_EQ(TestSupport::readAll(target), "first");

    ::chmod(target.c_str(), 0640);
    {
        Platform::AtomicFile out(wide(target));
        ASSERT_TRUE(out.isOpen());
        EXPECT_NE(out.nativeTemporary(), out.nativeTarget());
        EXPECT_EQ(std::filesystem::path(out.nativeTemporary()).parent_path(), dir.path());
        EXPECT_TRUE(out.write("sec"));
        EXPECT_TRUE(out.write("ond"));
        // Until the commit the old contents stay.
        EXPECT_EQ(TestSupport::readAll(target), "first");
        EXPECT_TRUE(out.commit());
        EXPECT_EQ(out.error(), 0);
        EXPECT_FALSE(out.commit()); // once only
    }
    EXPECT_EQ(TestSupport::readAll(target), "second");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(dir.path()), 1u);

    // Backslashes and an empty file.
    std::u16string backslashed = wide(dir / "empty.gpx");
    backslashed[backslashed.rfind(u'/')] = u'\\';
    ASSERT_TRUE(Platform::writeFileAtomically(backslashed, ""));
    EXPECT_TRUE(std::filesystem::exists(dir / "empty.gpx"));
    EXPECT_EQ(std::filesystem::file_size(dir / "empty.gpx"), 0u);
}

TEST(PlatformAtomicFile, TargetIntactWhenAnythingFails) {
    TestSupport::TempDir dir;
    const auto target = dir.write("atlas.xml", "old contents");

    // A write that really fails half-way (the file-size limit stands in for
    // a full disk).
    {
        const std::string big(4096, 'n');
        TestSupport::FileSizeLimit limit(1000);
        Platform::AtomicFile out(wide(target));
        ASSERT_TRUE(out.isOpen());
        EXPECT_FALSE(out.write(big));
        EXPECT_EQ(out.error(), Platform::ErrorFileTooLarge);
        EXPECT_FALSE(out.write("more")); // stays failed
        EXPECT_FALSE(out.commit());
        EXPECT_EQ(Platform::lastError(), Platform::ErrorFileTooLarge);
    }
    EXPECT_EQ(TestSupport::readAll(target), "old contents");
    EXPECT_EQ(entries(dir.path()), 1u);
    {
        TestSupport::FileSizeLimit limit(1000);
        EXPECT_FALSE(Platform::writeFileAtomically(wide(target), std::string(2000, 'x')));
        EXPECT_EQ(Platform::lastError(), Platform::ErrorFileTooLarge);
    }
    EXPECT_EQ(TestSupport::readAll(target), "old contents");

    // A failure the writer found itself.
    {
        Platform::AtomicFile out(wide(target));
        out.write("new");
        out.fail(Platform::ErrorInvalidParameter);
        EXPECT_FALSE(out.commit());
        EXPECT_EQ(out.error(), Platform::ErrorInvalidParameter);
    }
    // Given up without a commit.
    {
        Platform::AtomicFile out(wide(target));
        out.write("abandoned");
    }
    EXPECT_EQ(TestSupport::readAll(target), "old contents");
    EXPECT_EQ(entries(dir.path()), 1u);

    // A folder that does not exist, and a target that is a folder.
    EXPECT_FALSE(Platform::writeFileAtomically(wide(dir / "missing" / "a.xml"), "x"));
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    std::filesystem::create_directory(dir / "folder");
    Platform::AtomicFile onFolder(wide(dir / "folder"));
    EXPECT_FALSE(onFolder.isOpen());
    EXPECT_FALSE(onFolder.commit());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));

    // A folder the program may not write to (permissions do not bind root).
    if (::geteuid() != 0) {
        std::filesystem::create_directory(dir / "ro");
        const auto inside = dir.write("ro/a.xml", "kept");
        std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_FALSE(Platform::writeFileAtomically(wide(inside), "lost"));
        EXPECT_EQ(Platform::lastError(), Platform::ErrorAccessDenied);
        EXPECT_EQ(TestSupport::readAll(inside), "kept");
    }
    EXPECT_EQ(TestSupport::readAll(target), "old contents");
}

// The temporary files a kill left beside a target are removed; those of a
// running process, of another target, or not named as the writer names
// them, stay.
TEST(PlatformAtomicFile, StaleTemporariesAreRemoved) {
    TestSupport::TempDir dir;
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(::getppid());
    const std::string own = std::to_string(::getpid());
    const struct {
        std::string name;
        bool removed;
    } rows[] = {
        {"config.xml.tmp" + dead + "-0", true},
        {"config.xml.tmp" + dead + "-17", true},
        {"config.xml.tmp" + alive + "-3", false},
        {"config.xml.tmp" + own + "-3", false},
        {"config.xml.tmp" + dead, false},
        {"config.xml.tmp" + dead + "-", false},
        {"config.xml.tmp" + dead + "-1x", false},
        {"config.xml.tmpx-1", false},
        {"other.xml.tmp" + dead + "-0", false},
        {"config.xml", false},
    };
    for (const auto& row : rows)
        dir.write(row.name, "x");
    std::vector<std::string> expected;
    for (const auto& row : rows)
        if (row.removed)
            expected.push_back((dir / row.name).string());
    std::vector<std::string> removed =
        Platform::removeStaleTemporaries(Platform::fromNativePath((dir / "config.xml").string()));
    std::sort(removed.begin(), removed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);
    for (const auto& row : rows)
        EXPECT_EQ(std::filesystem::exists(dir / row.name), !row.removed) << row.name;
    EXPECT_TRUE(Platform::removeStaleTemporaries(u"/no/such/folder/config.xml").empty());

    // Every target of a folder that the caller names, here by extension.
    TestSupport::TempDir routes;
    const struct {
        std::string name;
        bool removed;
    } inFolder[] = {
        {"path.kvp.tmp" + dead + "-2", true},
        {"My route.KVP.tmp" + dead + "-0", true},
        {"a.tmp.kvp.tmp" + dead + "-1", true},
        {"x.kvp.tmp" + alive + "-1", false},
        {"notes.txt.tmp" + dead + "-1", false},
        {".tmp" + dead + "-1", false},
        {"path.kvp", false},
        {"path.kvp.tmp" + dead + "-1x", false},
    };
    for (const auto& row : inFolder)
        routes.write(row.name, "x");
    const auto routeFile = [](std::string_view target) {
        return target.size() > 4 && strcasecmp(std::string(target.substr(target.size() - 4)).c_str(), ".kvp") == 0;
    };
    removed = Platform::removeStaleTemporariesIn(Platform::fromNativePath(routes.path().string() + "/"), routeFile);
    EXPECT_EQ(removed.size(), 3u);
    for (const auto& row : inFolder) {
        EXPECT_EQ(std::filesystem::exists(routes / row.name), !row.removed) << row.name;
        EXPECT_EQ(std::count(removed.begin(), removed.end(), (routes / row.name).string()), row.removed ? 1 : 0)
            << row.name;
    }
}
