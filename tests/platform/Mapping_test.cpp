#include "platform/Mapping.h"

#include "platform/CrashGuard.h"

#include "platform/Error.h"
#include "tests/support/FailingSyscalls.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/syscall.h>
#include <unistd.h>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

struct HookReset {
    ~HookReset() {
        Platform::MappingTestHooks::setMapHook(nullptr);
        Platform::MappingTestHooks::setAllocationGranularity(0);
    }
};

} // namespace

TEST(Mapping, MapsWindowsAtAnyOffsetAndReadsTheFileBytes) {
    TestSupport::TempDir dir;
    const std::string bytes = pattern(20000);
    const auto path = dir.write("f.bin", bytes);
    Platform::MappableFile file(path.u16string());
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), 20000u);

    for (std::uint64_t offset : {0u, 1u, 4095u, 4096u, 12345u, 19999u}) {
        const std::uint64_t length = 20000 - offset;
        const std::uint8_t* p = file.mapWindow(offset, length);
        ASSERT_NE(p, nullptr) << offset;
        EXPECT_EQ(std::memcmp(p, bytes.data() + offset, length), 0) << offset;
        Platform::unmapWindow(p, length);
    }
    Platform::unmapWindow(nullptr, 10);
}

TEST(Mapping, RefusesWindowsOutsideTheFileAndBadFiles) {
    TestSupport::TempDir dir;
    const auto path = dir.write("f.bin", pattern(1000));
    Platform::MappableFile file(path.u16string());
    ASSERT_TRUE(file.isOpen());

    Platform::setLastError(0);
    EXPECT_EQ(file.mapWindow(990, 11), nullptr);
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileInvalid);
    // Sums that wrap in 64 bits are refused as well.
    EXPECT_EQ(file.mapWindow(10, ~std::uint64_t{0}), nullptr);
    EXPECT_EQ(file.mapWindow(~std::uint64_t{0}, 2), nullptr);
    EXPECT_EQ(file.mapWindow(1001, 0), nullptr);
    EXPECT_EQ(file.mapWindow(0, 0), nullptr);
    const std::uint8_t* last = file.mapWindow(999, 1);
    ASSERT_NE(last, nullptr);
    Platform::unmapWindow(last, 1);

    Platform::MappableFile closed;
    EXPECT_EQ(closed.mapWindow(0, 1), nullptr);
    EXPECT_EQ(Platform::lastError(), Platform::ErrorInvalidHandle);

    Platform::MappableFile missing((dir / "missing.bin").u16string());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);

    Platform::MappableFile folder(dir.path().u16string());
    EXPECT_FALSE(folder.isOpen());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorAccessDenied);

    // A file that opens but cannot be looked at says why, not an older error.
    EXPECT_EQ(TestSupport::runWithFailingCalls(
                  {{SYS_fstat, std::nullopt}, {SYS_newfstatat, std::nullopt}, {SYS_statx, std::nullopt}}, EOVERFLOW,
                  [&path] {
                      Platform::setLastError(Platform::ErrorAccessDenied);
                      Platform::MappableFile unseen(path.u16string());
                      return unseen.isOpen() ? 0 : Platform::lastError();
                  }),
              Platform::ErrorInvalidParameter);

    // Moving hands the open file over.
    Platform::MappableFile moved(std::move(file));
    EXPECT_TRUE(moved.isOpen());
    EXPECT_FALSE(file.isOpen());
    moved.close();
    EXPECT_FALSE(moved.isOpen());
    EXPECT_EQ(moved.size(), 0u);
}

TEST(Mapping, GranularityAndMapHookCanBeInjected) {
    HookReset reset;
    EXPECT_EQ(Platform::allocationGranularity(), 65536u);
    Platform::MappingTestHooks::setAllocationGranularity(4096);
    EXPECT_EQ(Platform::allocationGranularity(), 4096u);
    Platform::MappingTestHooks::setAllocationGranularity(0);
    EXPECT_EQ(Platform::allocationGranularity(), 65536u);

    TestSupport::TempDir dir;
    Platform::MappableFile file(dir.write("f.bin", pattern(5000)).u16string());
    std::vector<std::pair<std::uint64_t, std::uint64_t>> seen;
    Platform::MappingTestHooks::setMapHook([&](std::uint64_t offset, std::uint64_t length) {
        seen.emplace_back(offset, length);
        return seen.size() == 1 ? ENOMEM : 0;
    });
    EXPECT_EQ(file.mapWindow(100, 200), nullptr);
    EXPECT_EQ(Platform::lastError(), Platform::ErrorOutOfMemory);
    const std::uint8_t* p = file.mapWindow(100, 200);
    ASSERT_NE(p, nullptr);
    Platform::unmapWindow(p, 200);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], (std::pair<std::uint64_t, std::uint64_t>{100, 200}));
}

TEST(Mapping, OffsetsBeyondFourGigabytes) {
    TestSupport::TempDir dir;
    const auto path = dir.write("big.bin", "");
    const std::uint64_t size = (std::uint64_t{5} << 30);
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    if (error)
        GTEST_SKIP() << "no sparse file of 5 GiB here: " << error.message();
    Platform::MappableFile file(path.u16string());
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), size);
    const std::uint8_t* p = file.mapWindow(size - 16, 16);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[15], 0);
    Platform::unmapWindow(p, 16);
    EXPECT_EQ(file.mapWindow(size - 16, 17), nullptr);
}

// A file cut short while mapped: touching a window page past the new end
// reads zeros instead of raising SIGBUS, the bytes before the cut stay, and
// the file is reported damaged once, by its path, even after it is closed.
// A fault outside every window is not absorbed.
TEST(Mapping, AFileCutShortUnderAWindowReadsZerosAndIsReported) {
    TestSupport::TempDir dir;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::string bytes = pattern(4 * page);
    const auto path = dir.write("cut.kvm", bytes);
    const auto other = dir.write("whole.kvm", bytes);
    Platform::takeDamagedMappings();
    const std::uint8_t* window = nullptr;
    {
        Platform::MappableFile file(path.u16string());
        Platform::MappableFile untouched(other.u16string());
        window = file.mapWindow(1, 4 * page - 1);
        const std::uint8_t* whole = untouched.mapWindow(0, 4 * page);
        ASSERT_TRUE(window && whole);
        std::filesystem::resize_file(path, page + 10);
        EXPECT_EQ(std::memcmp(window, bytes.data() + 1, page + 9), 0) << "the bytes before the cut";
        std::vector<std::uint8_t> zeros(page, 0);
        EXPECT_EQ(std::memcmp(window + 3 * page - 1, zeros.data(), page), 0) << "a whole page past the cut";
        // Under the crash guard (the main thread of the program) as well.
        bool reported = false;
        const volatile std::uint8_t* past = window + 2 * page;
        EXPECT_EQ(Platform::runGuarded([&] { return int{*past} + 7; }, [&](const Platform::FaultReport&) { reported = true; }, -1),
                  7);
        EXPECT_FALSE(reported);
        EXPECT_EQ(std::memcmp(whole, bytes.data(), 4 * page), 0);
        Platform::unmapWindow(whole, 4 * page);
    }
    EXPECT_EQ(Platform::takeDamagedMappings(), std::vector<std::string>{path.string()});
    EXPECT_TRUE(Platform::takeDamagedMappings().empty()) << "told once";
    Platform::unmapWindow(window, 4 * page - 1);
    int local = 0;
    EXPECT_FALSE(Platform::absorbMappingFault(&local));
    EXPECT_FALSE(Platform::absorbMappingFault(window)) << "unmapped: no longer a window";
}

// How the file at a path differs from the one opened there: what a map
// deleted, cut short or replaced while in use looks like.
TEST(Mapping, AFileChangedOnDiskIsToldFromTheOneOpened) {
    namespace fs = std::filesystem;
    const struct {
        const char* what;
        void (*change)(const fs::path&);
        Platform::FileChange expected;
    } rows[] = {
        {"untouched", [](const fs::path&) {}, Platform::FileChange::None},
        {"deleted", [](const fs::path& p) { fs::remove(p); }, Platform::FileChange::Gone},
        {"its folder moved away",
         [](const fs::path& p) { fs::rename(p.parent_path(), p.parent_path().string() + "-moved"); },
         Platform::FileChange::Gone},
        {"cut short", [](const fs::path& p) { fs::resize_file(p, 100); }, Platform::FileChange::CutShort},
        {"grown", [](const fs::path& p) { fs::resize_file(p, 5000); }, Platform::FileChange::Replaced},
        {"a copy renamed over it",
         [](const fs::path& p) {
             fs::copy_file(p, p.string() + ".new");
             fs::rename(p.string() + ".new", p);
         },
         Platform::FileChange::Replaced},
        {"written again in place",
         [](const fs::path& p) {
             fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(5));
         },
         Platform::FileChange::Replaced},
    };
    for (const auto& row : rows) {
        TestSupport::TempDir dir;
        fs::create_directory(dir.path() / "maps");
        const fs::path path = dir.path() / "maps" / "a.kvm";
        std::ofstream(path, std::ios::binary) << pattern(4000);
        Platform::MappableFile file(path.u16string());
        ASSERT_TRUE(file.isOpen());
        row.change(path);
        EXPECT_EQ(Platform::fileChange(file.identity(), path.u16string()), row.expected) << row.what;
    }
}
