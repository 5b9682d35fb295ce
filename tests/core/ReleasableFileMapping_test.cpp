#include "core/ReleasableFileMapping.h"

#include "core/Text.h"
#include "platform/Error.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

using Core::ResourcesPool;
using FileSystem::ReleasableFileMapping;
using Mapping = FileSystem::ReleasableFileMapping;

namespace {

std::string pattern(std::size_t size, int seed = 0) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 13 + i / 256 + seed * 31) & 0xFF);
    return s;
}

std::u16string wide(const std::filesystem::path& p) { return Core::utf8ToWide(p.string()); }

// The lines logged since the log held mark lines.
std::vector<std::string> since(const TestSupport::CaptureLogger& log, std::size_t mark) {
    const std::vector<std::string> lines = log.lines();
    return {lines.begin() + static_cast<std::ptrdiff_t>(mark), lines.end()};
}

// Records every window mapped and can make chosen ones fail.
struct MapSpy {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> windows;
    std::function<int(std::size_t call)> failWith = [](std::size_t) { return 0; };
    MapSpy() {
        Platform::MappingTestHooks::setMapHook([this](std::uint64_t offset, std::uint64_t length) {
            windows.emplace_back(offset, length);
            return failWith(windows.size());
        });
    }
    ~MapSpy() {
        Platform::MappingTestHooks::setMapHook(nullptr);
        Platform::MappingTestHooks::setAllocationGranularity(0);
    }
};

std::string readAll(Mapping::ViewFileRW& file, std::size_t size) {
    std::string out(size, '\0');
    const std::size_t n = file.read(out.data(), 1, size);
    out.resize(n);
    return out;
}

} // namespace

TEST(ReleasableFileMapping, WindowsStartAtTheGranularity) {
    TestSupport::CaptureLogger log;
    MapSpy spy;
    TestSupport::TempDir dir;
    const std::string bytes = pattern(200000);
    ResourcesPool pool(10);
    Mapping mapping(pool, wide(dir.write("m.kvm", bytes)));
    ASSERT_TRUE(mapping.isHeld());
    EXPECT_EQ(mapping.fileSize(), 200000u);
    EXPECT_EQ(mapping.granularity(), 65536u);

    auto view = mapping.createView(100000, 10);
    ASSERT_TRUE(view);
    ASSERT_EQ(spy.windows.size(), 1u);
    EXPECT_EQ(spy.windows[0], (std::pair<std::uint64_t, std::uint64_t>{65536, 34474}));
    EXPECT_EQ(view->delta(), 34464u);
    EXPECT_EQ(view->data(), view->base() + 34464);
    EXPECT_EQ(std::memcmp(view->data(), bytes.data() + 100000, 10), 0);
    EXPECT_EQ(std::memcmp(view->base(), bytes.data() + 65536, 34474), 0);

    // Another granularity, injected.
    Platform::MappingTestHooks::setAllocationGranularity(4096);
    Mapping small(pool, wide(dir.path() / "m.kvm"));
    auto v = small.createView(5000, 100);
    ASSERT_TRUE(v);
    EXPECT_EQ(spy.windows.back(), (std::pair<std::uint64_t, std::uint64_t>{4096, 1004}));
    EXPECT_EQ(std::memcmp(v->data(), bytes.data() + 5000, 100), 0);
    EXPECT_TRUE(log.lines().empty());
}

TEST(ReleasableFileMapping, WindowsOutsideTheFileAreRefusedSilently) {
    TestSupport::CaptureLogger log;
    TestSupport::TempDir dir;
    ResourcesPool pool(10);
    Mapping mapping(pool, wide(dir.write("m.kvm", pattern(1000))));
    EXPECT_FALSE(mapping.createView(990, 11));
    EXPECT_FALSE(mapping.createView(1000, 1));
    // offset + size wraps to 0x10 in 32 bits; the 64-bit sum refuses it.
    EXPECT_FALSE(mapping.createView(0xFFFFFFF0u, 0x20));
    EXPECT_FALSE(mapping.createView(0xFFFFFFFFu, 0xFFFFFFFFu));
    EXPECT_FALSE(mapping.createView(500, 0));
    EXPECT_TRUE(mapping.createView(990, 10));
    EXPECT_TRUE(log.lines().empty());

    Mapping empty(pool, wide(dir.write("empty.kvm", "")));
    EXPECT_TRUE(empty.isHeld());
    EXPECT_EQ(empty.fileSize(), 0u);
    EXPECT_FALSE(empty.createView(0, 0));
    EXPECT_TRUE(log.lines().empty());
}

TEST(ReleasableFileMapping, OpenFailuresAreLogged) {
    TestSupport::CaptureLogger log;
    TestSupport::TempDir dir;
    ResourcesPool pool(10);
    const std::u16string missing = wide(dir.path() / "missing.kvm");
    Mapping mapping(pool, missing);
    EXPECT_FALSE(mapping.isHeld());
    EXPECT_EQ(mapping.fileSize(), Mapping::UnknownSize);
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    const std::vector<std::string> expected = {"CreateFileMapping failed (err 2): No such file or directory",
                                               "filename = '" + Core::wideToUtf8(missing) + "'"};
    EXPECT_EQ(log.lines(), expected);
    EXPECT_FALSE(mapping.createView(0, 0));
    EXPECT_EQ(since(log, 2), expected);

    Mapping folder(pool, wide(dir.path()));
    EXPECT_FALSE(folder.isHeld());
    ASSERT_EQ(log.lines().size(), 6u);
    EXPECT_EQ(log.lines()[4], "CreateFileMapping failed (err 5): Permission denied");
}

// A file that was open and is gone when its released mapping is opened
// again (deleted or moved while in use) is reported once; one that never
// opened, or that only could not be read, is not.
TEST(ReleasableFileMapping, AFileGoneWhileInUseIsReportedOnce) {
    TestSupport::CaptureLogger log;
    TestSupport::TempDir dir;
    ResourcesPool pool(10);
    FileSystem::takeVanishedFiles();
    Mapping never(pool, wide(dir.path() / "never.kvm"));
    const auto path = dir.write("gone.kvm", pattern(1000));
    const auto kept = dir.write("kept.kvm", pattern(1000));
    Mapping gone(pool, wide(path));
    Mapping stays(pool, wide(kept));
    ASSERT_TRUE(gone.createView(0, 10));
    gone.release();
    stays.release();
    std::filesystem::remove(path);
    std::filesystem::permissions(kept, std::filesystem::perms::none);
    // Seen without opening too, whether the mapping is held or released.
    EXPECT_EQ(gone.changeOnDisk(), Platform::FileChange::Gone);
    EXPECT_EQ(stays.changeOnDisk(), Platform::FileChange::None);
    EXPECT_EQ(never.changeOnDisk(), Platform::FileChange::None);
    EXPECT_FALSE(gone.createView(0, 10));
    EXPECT_FALSE(gone.createView(0, 10));
    EXPECT_FALSE(never.createView(0, 10));
    stays.createView(0, 10); // root reads it anyway; others fail with error 5
    EXPECT_EQ(FileSystem::takeVanishedFiles(), std::vector<std::u16string>{wide(path)});
    EXPECT_TRUE(FileSystem::takeVanishedFiles().empty());
}

TEST(ReleasableFileMapping, ViewFileReadsSeeksAndRefusesWrites) {
    TestSupport::TempDir dir;
    const std::string bytes = pattern(300);
    ResourcesPool pool(10);
    Mapping mapping(pool, wide(dir.write("m.kvm", bytes)));
    Mapping::ViewFileRW file(mapping.createView(100, 20));
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.tell(), 0u);

    char buf[64] = {};
    EXPECT_EQ(file.read(buf, 0, 7), 7u);
    EXPECT_EQ(file.read(buf, 3, 1), 1u);
    EXPECT_EQ(std::string(buf, 3), bytes.substr(100, 3));
    EXPECT_EQ(file.tell(), 3u);

    Platform::setLastError(0);
    EXPECT_FALSE(file.seekRelative(-5));
    EXPECT_EQ(file.lastError(), 131);
    EXPECT_EQ(file.tell(), 3u);
    EXPECT_TRUE(file.seekRelative(-3));
    EXPECT_FALSE(file.seekRelative(21));
    EXPECT_EQ(file.lastError(), 87);
    EXPECT_TRUE(file.seekRelative(20));
    EXPECT_EQ(file.tell(), 20u);

    EXPECT_FALSE(file.seek(21));
    EXPECT_EQ(file.lastError(), 87);
    EXPECT_FALSE(file.seek(-1));
    EXPECT_TRUE(file.seek(20));
    EXPECT_EQ(file.read(buf, 1, 1), 0u);

    // Items cut by the end count only whole ones; the bytes still move.
    EXPECT_TRUE(file.seek(13));
    EXPECT_EQ(file.read(buf, 4, 2), 1u);
    EXPECT_EQ(std::string(buf, 7), bytes.substr(113, 7));
    EXPECT_EQ(file.tell(), 20u);
    // Whole items with bytes left over: the bytes past them stay unread.
    EXPECT_TRUE(file.seek(11));
    char exact[8] = {};
    EXPECT_EQ(file.read(exact, 4, 2), 2u);
    EXPECT_EQ(std::string(exact, 8), bytes.substr(111, 8));
    EXPECT_EQ(file.tell(), 19u);
    // A size times count that overflows is not multiplied.
    EXPECT_TRUE(file.seek(0));
    EXPECT_EQ(file.read(buf, 2, SIZE_MAX / 2 + 1), 10u);

    EXPECT_EQ(file.write("x", 1, 1), 0u);
    EXPECT_EQ(file.lastError(), 6009);
    EXPECT_TRUE(file.seekToEnd());
    EXPECT_EQ(file.tell(), 20u);
    file.flush();

    // No view at all: nothing is open and nothing is read.
    Mapping::ViewFileRW none(nullptr);
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.read(buf, 1, 1), 0u);
    EXPECT_FALSE(none.seek(1));
}

TEST(ReleasableFileMapping, EleventhMappingReleasesTheOldestAndFourthViewTheOldestView) {
    TestSupport::TempDir dir;
    ResourcesPool pool(10);
    std::vector<std::unique_ptr<Mapping>> mappings;
    std::vector<std::shared_ptr<Mapping::View>> views;
    for (int i = 0; i < 11; ++i) {
        const std::string bytes = pattern(100, i);
        mappings.push_back(std::make_unique<Mapping>(pool, wide(dir.write(std::string(1, 'm').append(std::to_string(i)), bytes))));
        views.push_back(mappings.back()->createView(0, 0));
        ASSERT_TRUE(views.back());
    }
    EXPECT_FALSE(mappings[0]->isHeld());
    EXPECT_FALSE(views[0]->isHeld());
    EXPECT_EQ(pool.size(), 11u);
    EXPECT_EQ(pool.indexOf(mappings[0].get()), 10);
    EXPECT_EQ(pool.registeredCount(), 11u); // the views of the child pools
    EXPECT_EQ(pool.releasedCount(), 1u); // the released mapping's view

    // Reading through the released mapping's view maps both again and
    // moves the mapping to the front.
    const std::uint32_t touched = pool.touchedCount();
    Mapping::ViewFileRW file(views[0]);
    EXPECT_EQ(readAll(file, 100), pattern(100, 0));
    EXPECT_TRUE(mappings[0]->isHeld());
    EXPECT_EQ(pool.indexOf(mappings[0].get()), 0);
    EXPECT_GT(pool.touchedCount(), touched);

    // A fourth window of one file releases the oldest of its three.
    Mapping& m = *mappings[5];
    std::vector<std::shared_ptr<Mapping::View>> w;
    for (std::uint32_t i = 0; i < 4; ++i)
        w.push_back(m.createView(i * 10, 10));
    EXPECT_EQ(m.viewPool().size(), 5u); // the whole-file view and these four
    EXPECT_FALSE(views[5]->isHeld());
    EXPECT_FALSE(w[0]->isHeld());
    EXPECT_TRUE(w[1]->isHeld() && w[2]->isHeld() && w[3]->isHeld());
    {
        Mapping::ViewFileRW first(w[0]);
        EXPECT_EQ(readAll(first, 10), pattern(100, 5).substr(0, 10));
        EXPECT_EQ(m.viewPool().indexOf(w[0].get()), 0);
        EXPECT_EQ(pool.registeredCount(), 15u);
    }
    w.clear();
    EXPECT_EQ(pool.registeredCount(), 11u);
}

TEST(ReleasableFileMapping, OutOfMemoryReleasesViewsThenMappingsAndRetries) {
    TestSupport::CaptureLogger log;
    MapSpy spy;
    TestSupport::TempDir dir;
    ResourcesPool pool(10);
    Mapping a(pool, wide(dir.write("a", pattern(1000, 1))));
    Mapping b(pool, wide(dir.write("b", pattern(1000, 2))));
    auto aView = a.createView(0, 100);
    auto bView = b.createView(0, 100);

    // First the other views of the same file go.
    spy.failWith = [](std::size_t call) { return call == 3 ? ENOMEM : 0; };
    auto second = b.createView(100, 100);
    ASSERT_TRUE(second);
    EXPECT_FALSE(bView->isHeld());
    EXPECT_TRUE(aView->isHeld());
    EXPECT_TRUE(a.isHeld());
    EXPECT_EQ(std::memcmp(second->data(), pattern(1000, 2).data() + 100, 100), 0);

    // With no view of its own left to free, the other mappings go; this one
    // stays and is touched to the front.
    second.reset();
    bView.reset();
    spy.windows.clear();
    spy.failWith = [](std::size_t call) { return call == 1 ? ENOMEM : 0; };
    auto third = b.createView(200, 100);
    ASSERT_TRUE(third);
    EXPECT_EQ(spy.windows.size(), 2u);
    EXPECT_FALSE(a.isHeld());
    EXPECT_FALSE(aView->isHeld());
    EXPECT_TRUE(b.isHeld());
    EXPECT_EQ(pool.indexOf(&b), 0);
    EXPECT_TRUE(log.lines().empty());

    // Reading a's view maps a again (and its window) once memory is there.
    Mapping::ViewFileRW file(aView);
    EXPECT_EQ(readAll(file, 100), pattern(1000, 1).substr(0, 100));

    // When nothing more can be freed the failure is logged once.
    spy.windows.clear();
    spy.failWith = [](std::size_t) { return ENOMEM; };
    EXPECT_FALSE(b.createView(300, 50));
    // Tried, then after freeing b's other view, then after freeing a.
    EXPECT_EQ(spy.windows.size(), 3u);
    EXPECT_FALSE(a.isHeld());
    EXPECT_FALSE(third->isHeld());
    const std::vector<std::string> expected = {"MapViewOfFile(300, 50) failed (err 14): Cannot allocate memory",
                                               "filename = '" + (dir.path() / "b").string() + "'"};
    EXPECT_EQ(log.lines(), expected);

    // Any other error is logged at once, without releasing anything.
    spy.windows.clear();
    spy.failWith = [](std::size_t) { return EACCES; };
    auto held = b.createView(0, 10);
    EXPECT_FALSE(held);
    EXPECT_EQ(spy.windows.size(), 1u);
    ASSERT_EQ(log.lines().size(), 4u);
    EXPECT_EQ(log.lines()[2], "MapViewOfFile(0, 10) failed (err 5): Permission denied");
}

TEST(ReleasableFileMapping, ViewsOutlivingTheirFileOrMappingFailSafely) {
    TestSupport::TempDir dir;
    ResourcesPool pool(10);
    const auto path = dir.write("m.kvm", pattern(1000));
    auto mapping = std::make_unique<Mapping>(pool, wide(path));
    auto view = mapping->createView(900, 100);
    ASSERT_TRUE(view);

    // The file shrinks while released: the window is refused on re-acquire
    // rather than mapped past the end (which would raise SIGBUS on read).
    mapping->release();
    EXPECT_FALSE(view->isHeld());
    std::filesystem::resize_file(path, 500);
    Mapping::ViewFileRW file(view);
    char buf[100];
    EXPECT_EQ(file.read(buf, 1, 100), 0u);
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(mapping->fileSize(), 500u);

    // The mapping goes first: its views stay objects that read nothing.
    auto other = mapping->createView(0, 100);
    ASSERT_TRUE(other);
    mapping.reset();
    EXPECT_EQ(other->mapping(), nullptr);
    EXPECT_EQ(other->data(), nullptr);
    Mapping::ViewFileRW orphan(other);
    EXPECT_FALSE(orphan.isOpen());
    EXPECT_EQ(orphan.read(buf, 1, 10), 0u);

    // The pool goes first: the mapping keeps working outside any pool.
    auto shortPool = std::make_unique<ResourcesPool>(10);
    Mapping late(*shortPool, wide(path));
    auto lateView = late.createView(0, 10);
    shortPool.reset();
    EXPECT_EQ(late.pool(), nullptr);
    late.release();
    Mapping::ViewFileRW again(lateView);
    EXPECT_EQ(readAll(again, 10), pattern(1000).substr(0, 10));
}

TEST(ReleasableFileMapping, WholeFileOfMoreThanFourGigabytesIsRefused) {
    TestSupport::CaptureLogger log;
    TestSupport::TempDir dir;
    const auto path = dir.write("big.kvm", "");
    std::error_code error;
    std::filesystem::resize_file(path, (std::uint64_t{5} << 30), error);
    if (error)
        GTEST_SKIP() << "no sparse file of 5 GiB here: " << error.message();
    ResourcesPool pool(10);
    Mapping mapping(pool, wide(path));
    EXPECT_EQ(mapping.fileSize(), std::uint64_t{5} << 30);
    EXPECT_FALSE(mapping.createView(0, 0));
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines()[0], "MapViewOfFile(0, 0) failed (err 87): Invalid argument");
    // The last window a 32-bit offset reaches maps fine.
    auto view = mapping.createView(0xFFFFFFF0u, 0x20);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->data()[0x1F], 0);
}
