#include "core/ZipIndex.h"

#include "tests/support/Damage.h"
#include "tests/support/ZipWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

using FileSystem::readZipIndex;
using FileSystem::ZipIndex;
using TestSupport::ZipWriter;
using TestSupport::ZipWriterEntry;

namespace {

ZipIndex read(const std::string& bytes) {
    // An exact-size copy, so a read past the end is caught by ASan.
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return readZipIndex(copy.get(), bytes.size());
}

// One stored entry "a/b" holding "xy", field by field.
const std::string handMade = std::string(
    // local header
    "PK\x03\x04"
    "\x0A\x00" "\x00\x00" "\x00\x00" "\x00\x00" "\x21\x00" // needed 10, flags, stored, time, date
    "\x99\x28\xE6\x8F" "\x02\x00\x00\x00" "\x02\x00\x00\x00" // CRC-32 of "xy", sizes
    "\x03\x00" "\x00\x00" "a/b" "xy"
    // central directory record at 35
    "PK\x01\x02"
    "\x1E\x03" "\x0A\x00" "\x00\x00" "\x00\x00" "\x00\x00" "\x21\x00"
    "\x99\x28\xE6\x8F" "\x02\x00\x00\x00" "\x02\x00\x00\x00"
    "\x03\x00" "\x00\x00" "\x00\x00" "\x00\x00" "\x00\x00" "\x00\x00\x00\x00" "\x00\x00\x00\x00" "a/b"
    // end record at 84: one entry, directory of 49 bytes at 35, no comment
    "PK\x05\x06"
    "\x00\x00" "\x00\x00" "\x01\x00" "\x01\x00" "\x31\x00\x00\x00" "\x23\x00\x00\x00" "\x00\x00",
    106);

} // namespace

TEST(ZipIndex, ReadsTheHandMadeArchiveTheWriterAlsoWrites) {
    ZipWriter writer;
    writer.add("a/b", "xy");
    EXPECT_EQ(writer.bytes(), handMade);
    const ZipIndex index = read(handMade);
    ASSERT_TRUE(index.ok()) << index.error;
    ASSERT_EQ(index.entries.size(), 1u);
    EXPECT_EQ(index.entries[0].name, "a/b");
    EXPECT_EQ(index.entries[0].offset, 33u);
    EXPECT_EQ(index.entries[0].size, 2u);
}

// Entries are placed by their local headers, whose extra fields differ
// from the central ones as Info-ZIP writes them; the directory offset counts
// from the start of the file.
TEST(ZipIndex, PlacesDataByTheLocalHeader) {
    ZipWriter writer;
    writer.setPrefix(std::string(1000, '#'));
    ZipWriterEntry& b = writer.add("images/b.bmp", "BBBB");
    b.localExtra = std::string("UT\x09\x00\x03\x01\x02\x03\x04\x05\x06\x07\x08", 13);
    b.centralExtra = std::string("UT\x05\x00\x03\x01\x02\x03\x04", 9);
    b.comment = "a file comment";
    writer.add("images/", "");
    ZipWriterEntry& a = writer.add("images/a.bmp", "AAAAAA");
    a.centralExtra = "XXXXXXXXXXXXXXXXXXXX";
    writer.add("images/empty", "");
    const std::string bytes = writer.bytes();
    const ZipIndex index = read(bytes);
    ASSERT_TRUE(index.ok()) << index.error;
    ASSERT_EQ(index.entries.size(), 2u);
    EXPECT_EQ(index.entries[0].name, "images/a.bmp");
    EXPECT_EQ(bytes.substr(index.entries[0].offset, index.entries[0].size), "AAAAAA");
    EXPECT_EQ(index.entries[1].name, "images/b.bmp");
    EXPECT_EQ(bytes.substr(index.entries[1].offset, index.entries[1].size), "BBBB");
}

TEST(ZipIndex, RefusesWhatAPackageCannotHold) {
    // One stored entry "images/a", changed by each case.
    auto one = [](const std::function<void(ZipWriter&)>& more, const std::function<void(std::string&)>& patch) {
        ZipWriter w;
        w.add("images/a", "a");
        if (more) more(w);
        std::string b = w.bytes();
        if (patch) patch(b);
        return b;
    };
    auto centralAt = [](std::string& b, std::size_t field, std::uint32_t value) {
        TestSupport::setU32At(b, TestSupport::u32At(b, b.size() - 6) + field, value);
    };
    struct Case {
        const char* what;
        std::string bytes;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"too small", std::string(21, 'P'), "file of 21 bytes is too small"},
        {"archive comment", one([](ZipWriter& w) { w.setComment("made by hand"); }, {}),
         "no end of central directory record in the last 22 bytes (an archive comment is not supported)"},
        {"deflated entry",
         one([](ZipWriter& w) { w.add("images/c", std::string(500, 'c')).method = 8; }, {}),
         "entry 'images/c' is compressed (method 8)"},
        {"long name", one([](ZipWriter& w) { w.add("images/" + std::string(293, 'n'), "n"); }, {}),
         "name of entry 1 is 300 bytes long"},
        {"encrypted", [] { ZipWriter w; w.add("images/a", "a").flags = 1; return w.bytes(); }(),
         "entry 'images/a' is encrypted"},
        {"directory beyond the file", one({}, [](std::string& b) { TestSupport::setU32At(b, b.size() - 6, 0x7FFFFFFF); }),
         "central directory offset 2147483647 lies beyond the file"},
        {"count beyond the directory", one({}, [](std::string& b) { TestSupport::setU16At(b, b.size() - 14, 2); }),
         "central directory record 1 is cut off"},
        {"bad local signature", one({}, [](std::string& b) { b[0] = 'Q'; }), "bad local header signature of 'images/a'"},
        {"data beyond the file", one({}, [&](std::string& b) { centralAt(b, 24, 0xFFFFFFF0); }),
         "data of 'images/a' lies beyond the file"},
        {"local header beyond the file", one({}, [&](std::string& b) { centralAt(b, 42, 0xFFFFFFFF); }),
         "local header of 'images/a' lies beyond the file"},
    };
    for (const Case& c : cases) {
        const ZipIndex index = read(c.bytes);
        EXPECT_FALSE(index.ok()) << c.what;
        EXPECT_EQ(index.error, c.error) << c.what;
        EXPECT_TRUE(index.entries.empty()) << c.what;
    }
    // Empty archive: no entries, fine.
    EXPECT_TRUE(read(ZipWriter().bytes()).ok());
}

// Damaged archives in their thousands: every one either fails with a reason
// or yields entries that lie wholly inside the bytes. Run under ASan, any
// read outside the buffer fails the test. MIREL_TEST_SEED varies the run.
TEST(ZipIndex, MutatedArchivesNeverReadOutsideTheBytes) {
    ZipWriter writer;
    for (int i = 0; i < 5; ++i) {
        const std::string data(20 + i * 7, static_cast<char>('a' + i));
        ZipWriterEntry& e = writer.add("pkg/file" + std::to_string(i), data);
        if (i % 2) {
            e.localExtra = std::string(9, 'L');
            e.centralExtra = std::string(5, 'C');
            e.comment = "c";
        }
    }
    writer.add("pkg/dir/", "");
    const std::string original = writer.bytes();
    ASSERT_TRUE(read(original).ok());

    // The size and offset fields of every header.
    std::vector<std::size_t> fields;
    for (std::size_t at = original.find("PK"); at != std::string::npos; at = original.find("PK", at + 1))
        for (std::size_t k = 4; k < 48; k += 2)
            fields.push_back(at + k);
    TestSupport::Damage damage(20261206);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string bytes = damage.apply(original, fields);
        std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size() + 1]);
        std::copy(bytes.begin(), bytes.end(), copy.get());
        const ZipIndex index = readZipIndex(copy.get(), bytes.size());
        if (!index.ok()) {
            ASSERT_TRUE(index.entries.empty());
            continue;
        }
        ++accepted;
        unsigned sum = 0;
        for (std::size_t i = 0; i < index.entries.size(); ++i) {
            const auto& e = index.entries[i];
            ASSERT_LE(e.name.size(), 255u);
            ASSERT_GT(e.size, 0u);
            ASSERT_LE(e.offset + e.size, bytes.size());
            if (i) {
                ASSERT_LE(index.entries[i - 1].name, e.name);
            }
            for (std::uint32_t k = 0; k < e.size; ++k)
                sum += copy[e.offset + k];
        }
        (void)sum;
    }
    // Some damage (inside data bytes, for one) leaves the index usable.
    EXPECT_GT(accepted, 100);
}
