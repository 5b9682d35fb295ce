#include "core/VirtualFs.h"

#include "core/Text.h"
#include "core/ZipIndex.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipWriter.h"

#include <SDL/SDL_rwops.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>

using FileSystem::VirtualFs;
using TestSupport::ZipWriter;
using TestSupport::ZipWriterEntry;

namespace {

std::u16string wide(const std::filesystem::path& p) { return Core::utf8ToWide(p.string()); }

// Reads the whole stream and closes it; nullopt when there is none.
std::optional<std::string> slurp(SDL_RWops* rw) {
    if (!rw)
        return std::nullopt;
    std::string out;
    char buf[256];
    for (;;) {
        const int n = SDL_RWread(rw, buf, 1, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    SDL_RWclose(rw);
    return out;
}

const char* const NoEndRecord =
    "no end of central directory record in the last 22 bytes (an archive comment is not supported)";

std::string unusable(const TestSupport::TempDir& dir, const std::string& package, const std::string& reason) {
    return "Data package '" + (dir.path() / package).string() +
           "' is not usable, loose files are used instead: " + reason;
}

} // namespace

TEST(VirtualFs, ServesPackedFilesAndOnlyThem) {
    TestSupport::CaptureLogger log;
    TestSupport::TempDir dir;
    ZipWriter zip;
    zip.add("images/a.png", "packed a");
    zip.add("images/", "");
    zip.add("images/empty.png", "");
    ZipWriterEntry& extra = zip.add("images/sub/c.png", std::string(5000, 'c'));
    extra.localExtra = std::string(17, 'L');
    dir.write("images.zip", zip.bytes());
    dir.write("images/a.png", "loose a");
    dir.write("images/b.png", "loose b");
    dir.write("sounds/s.wav", "loose s");

    VirtualFs fs(wide(dir.path()));
    EXPECT_EQ(slurp(fs.open("images/a.png", ".zip")), "packed a");
    EXPECT_EQ(slurp(fs.open("images/sub/c.png", ".zip")), std::string(5000, 'c'));
    // A loaded package is not backed by loose files.
    EXPECT_EQ(slurp(fs.open("images/b.png", ".zip")), std::nullopt);
    EXPECT_EQ(slurp(fs.open("images/empty.png", ".zip")), std::nullopt);
    EXPECT_EQ(slurp(fs.open("images/", ".zip")), std::nullopt);
    EXPECT_EQ(slurp(fs.open("images/A.png", ".zip")), std::nullopt);
    // No folder, no file.
    EXPECT_EQ(slurp(fs.open("a.png", ".zip")), std::nullopt);
    // Without a package, loose files (but not folders).
    EXPECT_EQ(slurp(fs.open("sounds/s.wav", ".zip")), "loose s");
    EXPECT_EQ(slurp(fs.open("sounds/missing.wav", ".zip")), std::nullopt);
    dir.write("maps/x/y", "deep");
    EXPECT_EQ(slurp(fs.open("maps/x", ".zip")), std::nullopt);
    EXPECT_EQ(slurp(fs.open("maps/x/y", ".zip")), "deep");
    // A missing package is the ordinary layout: nothing logged.
    EXPECT_TRUE(log.lines().empty());

    // The stream seeks within the entry only.
    SDL_RWops* rw = fs.open("images/a.png", ".zip");
    ASSERT_NE(rw, nullptr);
    EXPECT_EQ(SDL_RWseek(rw, -1, RW_SEEK_END), 7);
    char last = 0;
    EXPECT_EQ(SDL_RWread(rw, &last, 1, 1), 1);
    EXPECT_EQ(last, 'a');
    SDL_RWclose(rw);
}

TEST(VirtualFs, UnusableArchivesFallBackToLooseFilesWithTheReason) {
    TestSupport::CaptureLogger log;
    TestSupport::TempDir dir;
    {
        ZipWriter zip;
        zip.add("comment/a.png", "packed");
        zip.setComment("an archive comment");
        dir.write("comment.zip", zip.bytes());
        dir.write("comment/a.png", "loose");
    }
    dir.write("broken.zip", "not an archive at all, just some text that is long enough");
    dir.write("broken/a.png", "loose");
    dir.write("empty.zip", "");
    dir.write("empty/a.png", "loose");

    VirtualFs fs(wide(dir.path()) + u"/");
    for (const char* folder : {"comment", "broken", "empty"})
        EXPECT_EQ(slurp(fs.open(std::string(folder) + "/a.png", ".zip")), "loose") << folder;

    const std::vector<std::string> expected = {
        unusable(dir, "comment.zip", NoEndRecord),
        unusable(dir, "broken.zip", NoEndRecord),
        "MapViewOfFile(0, 0) failed (err 1006): The window is not inside the file (the file is empty or shorter)",
        "filename = '" + (dir.path() / "empty.zip").string() + "'",
    };
    EXPECT_EQ(log.lines(), expected);

    // A package is tried once a run: mending it now changes nothing, and
    // nothing more is logged.
    ZipWriter good;
    good.add("comment/a.png", "packed");
    dir.write("comment.zip", good.bytes());
    EXPECT_EQ(slurp(fs.open("comment/a.png", ".zip")), "loose");
    EXPECT_EQ(log.lines().size(), expected.size());
    // A new VirtualFs (the next run) reads it.
    VirtualFs next(wide(dir.path()));
    EXPECT_EQ(slurp(next.open("comment/a.png", ".zip")), "packed");
}

// An archive made by Info-ZIP's own "zip -0": its local headers carry longer
// extra fields than its central records, so the data must be placed by the
// local header.
TEST(VirtualFs, ReadsAnArchiveMadeByInfoZip) {
    ASSERT_EQ(std::system("command -v zip >/dev/null 2>&1"), 0)
        << "Info-ZIP's zip is needed (tools/install-deps.sh)";
    TestSupport::TempDir dir;
    std::string big(70000, '\0');
    std::mt19937 rng(3);
    for (char& c : big)
        c = static_cast<char>(rng());
    dir.write("make/images/a.bmp", big);
    dir.write("make/images/sub/b.txt", "second file");
    dir.write("make/images/empty.txt", "");
    const std::string command =
        "cd '" + (dir.path() / "make").string() + "' && zip -q -0 -r ../images.zip images";
    ASSERT_EQ(std::system(command.c_str()), 0);

    VirtualFs fs(wide(dir.path()));
    EXPECT_EQ(slurp(fs.open("images/a.bmp", ".zip")), big);
    EXPECT_EQ(slurp(fs.open("images/sub/b.txt", ".zip")), "second file");
    EXPECT_EQ(slurp(fs.open("images/empty.txt", ".zip")), std::nullopt);
    EXPECT_EQ(slurp(fs.open("images/sub/", ".zip")), std::nullopt);
}

// Damaged packages on disk, opened through the whole path: each either
// serves entries that lie inside the archive or falls back to loose files.
TEST(VirtualFs, MutatedPackagesAreServedSafely) {
    TestSupport::CaptureLogger log;
    ZipWriter zip;
    for (int i = 0; i < 4; ++i)
        zip.add("pkg/f" + std::to_string(i), std::string(100 + i, static_cast<char>('0' + i)));
    const std::string original = zip.bytes();
    TestSupport::Damage damage(11);
    TestSupport::TempDir dir;
    dir.write("pkg/f0", "loose");
    for (int round = 0; round < 300; ++round) {
        const std::string bytes = damage.apply(original);
        dir.write("pkg.zip", bytes);
        VirtualFs fs(wide(dir.path()));
        for (int i = 0; i < 4; ++i) {
            const auto data = slurp(fs.open("pkg/f" + std::to_string(i), ".zip"));
            // Packed bytes come from inside the archive; else the loose file.
            if (data && *data != "loose") {
                EXPECT_NE(bytes.find(*data), std::string::npos) << round;
            }
        }
    }
}
