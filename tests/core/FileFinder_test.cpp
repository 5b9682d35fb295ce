#include "core/FileFinder.h"

#include "core/Format.h"

#include "platform/Error.h"
#include "platform/Path.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <tuple>

using FileSystem::FileFinder;

namespace {

std::u16string wide(const std::filesystem::path& p) { return Platform::fromNativePath(p.string()); }

std::vector<std::u16string> names(FileFinder& f) {
    std::vector<std::u16string> out;
    for (bool more = !f.atEnd(); more; more = f.next())
        out.push_back(f.name());
    return out;
}

} // namespace

TEST(FileFinder, EmptyAndMissingFolders) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    const std::u16string folder = wide(dir.path());

    auto none = FileFinder::create(folder, u"*.kvm");
    EXPECT_TRUE(none->atEnd());
    EXPECT_FALSE(none->next());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    EXPECT_EQ(log.lines().back(), "Iterating '*.kvm' in '" + dir.path().string() + "': nothing found");

    // As the system lists them, "." and ".." are there; callers filter.
    auto all = FileFinder::create(folder, u"*");
    EXPECT_EQ(names(*all), (std::vector<std::u16string>{u".", u".."}));

    auto missing = FileFinder::create(wide(dir / "nowhere"), u"*");
    EXPECT_TRUE(missing->atEnd());
    EXPECT_EQ(Platform::lastError(), Platform::ErrorPathNotFound);
    EXPECT_TRUE(log.contains("': nothing found"));
}

TEST(FileFinder, MatchesWithoutCaseInNameOrder) {
    TestSupport::TempDir dir;
    for (const char* n : {"b.KVM", "A.kvm", "c.kvm.bak", "Ёлки.kvm", "ёж.kvm", "a.KVM", "Z.kvm", "readme.txt"})
        dir.write(n, "x");
    std::filesystem::create_directory(dir / "sub.kvm");
    TestSupport::CaptureLogger log;

    auto f = FileFinder::create(wide(dir.path()), u"*.kvm");
    ASSERT_FALSE(f->atEnd());
    // Case folded order (Cyrillic included: ё and Ё fold together); names
    // equal but for case in code-unit order.
    EXPECT_EQ(names(*f), (std::vector<std::u16string>{u"A.kvm", u"a.KVM", u"b.KVM", u"sub.kvm", u"Z.kvm",
                                                      u"ёж.kvm", u"Ёлки.kvm"}));
    EXPECT_TRUE(f->atEnd());
    EXPECT_FALSE(f->next());
    EXPECT_EQ(log.lines().front(), "Iterating '*.kvm' in '" + dir.path().string() + "': 7 entries");
    EXPECT_FALSE(log.contains("nothing found"));

    auto txt = FileFinder::create(wide(dir.path()), u"README.*");
    EXPECT_EQ(names(*txt), (std::vector<std::u16string>{u"readme.txt"}));
    auto q = FileFinder::create(wide(dir.path()), u"?.kvm");
    EXPECT_EQ(names(*q).size(), 4u);
}

TEST(FileFinder, PathsAttributesAndTimes) {
    TestSupport::TempDir dir;
    const auto file = dir.write("map.kvm", "12345");
    std::filesystem::create_directory(dir / "Folder");
    // 2021-03-04 05:06:07 UTC.
    const auto when = std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1614834367)));
    std::filesystem::last_write_time(file, when);

    // A trailing separator is not doubled; "\" separators are converted.
    const std::u16string folder = wide(dir.path()) + u"\\";
    auto f = FileFinder::create(folder, u"*");
    std::vector<std::u16string> paths;
    for (bool more = !f->atEnd(); more; more = f->next()) {
        paths.push_back(f->path());
        if (f->name() == u"map.kvm") {
            EXPECT_EQ(f->attributes(), FileFinder::kAttributeNormal);
            EXPECT_FALSE(f->isDirectory());
            EXPECT_EQ(f->size(), 5u);
            EXPECT_EQ(f->modificationTime().millisecond, 0);
            EXPECT_EQ(Positioning::toUnixTime(f->modificationTime()), 1614834367u);
        } else {
            EXPECT_EQ(f->attributes(), FileFinder::kAttributeDirectory) << Core::format("%s", f->name());
            EXPECT_TRUE(f->isDirectory());
        }
    }
    EXPECT_EQ(paths, (std::vector<std::u16string>{folder + u".", folder + u"..", folder + u"Folder",
                                                  folder + u"map.kvm"}));
    // Without the separator the finder adds "\".
    auto g = FileFinder::create(wide(dir.path()), u"map.KVM");
    ASSERT_FALSE(g->atEnd());
    EXPECT_EQ(g->path(), wide(dir.path()) + u"\\map.kvm");
    // A pattern with a folder part searches that folder.
    dir.write("Folder/inner.gpx", "");
    auto h = FileFinder::create(wide(dir.path()), u"Folder\\*.GPX");
    ASSERT_FALSE(h->atEnd());
    EXPECT_EQ(h->path(), wide(dir.path()) + u"\\Folder\\inner.gpx");
}

TEST(FileFinder, Masks) {
    const std::tuple<const char16_t*, const char16_t*, bool> cases[] = {
        {u"map.kvm", u"*.kvm", true},   {u"MAP.KVM", u"*.kvm", true},   {u"ГОРОД.kvm", u"город.*", true},
        {u"map.kvmx", u"*.kvm", false}, {u"map.kv", u"*.kvm", false},   {u"noext", u"*.*", true},
        {u"", u"*", true},              {u"", u"?", false},             {u"a.b.c", u"*.c", true},
        {u"aXbXc", u"a*b*c", true},     {u"aXbXd", u"a*b*c", false},    {u"abc", u"a?c", true},
        {u"abc", u"***", true},         {u"abc", u"ab", false}};
    for (const auto& [name, mask, match] : cases)
        EXPECT_EQ(FileFinder::matches(name, mask), match) << Core::format("%s %s", name, mask);
}
