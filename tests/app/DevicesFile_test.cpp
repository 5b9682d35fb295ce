#include "app/DevicesFile.h"

#include "core/Config.h"
#include "core/Text.h"
#include "tests/support/CaptureLogger.h"
#include "tests/support/Damage.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const std::string kFormatError = "Invalid devices specifications file format at line ";

std::u16string widePath(const std::filesystem::path& path) { return Core::utf8ToWide(path.string()); }

engine::device_specs readSpecs(const TestSupport::TempDir& dir, const std::string& text) {
    return engine::device_specs(widePath(dir.write("devices.inf", text)));
}

TEST(DeviceSpecs, ReadsRecordsCommentsAndBlanks) {
    TestSupport::TempDir dir;
    TestSupport::CaptureLogger log;
    const auto specs = readSpecs(dir, "; known devices\r\n"
                                      "\r\n"
                                      " \t \n"
                                      "\t ;indented comment\n"
                                      "Pocket, 3, 4800, 0, 0\n"
                                      "  Car  Kit \t,  -2,\t9600,+7,-8 trailing text\n"
                                      "pocket,5,4800,0,0\n"
                                      "Slow,1,1200,0,0\n"
                                      "Mid,1,14400,0,0\n"
                                      "Fast,1,115200,0,0\n"
                                      "Low,1,-5,0,0\n"
                                      "Edge,1,38400,0,0\n"
                                      "Empty,,,,\n"
                                      "NoEnd,1,2,3,");
    EXPECT_TRUE(log.lines().empty());
    ASSERT_EQ(specs.records().size(), 10u);

    const engine::DeviceSpec* pocket = specs.find("POCKET");
    ASSERT_NE(pocket, nullptr);
    EXPECT_EQ(pocket->name, "Pocket");
    EXPECT_EQ(pocket->gpsPort, 3); // the first of two same names wins
    EXPECT_EQ(pocket->baudRate, 4800);

    const engine::DeviceSpec* kit = specs.find("car  kit");
    ASSERT_NE(kit, nullptr);
    EXPECT_EQ(kit->name, "Car  Kit");
    EXPECT_EQ(kit->gpsPort, -2);
    EXPECT_EQ(kit->baudRate, 9600);
    EXPECT_EQ(kit->third, 7);
    EXPECT_EQ(kit->fourth, -8);

    EXPECT_EQ(specs.find("Slow")->baudRate, 4800);
    EXPECT_EQ(specs.find("Mid")->baudRate, 19200);
    EXPECT_EQ(specs.find("Fast")->baudRate, 115200);
    EXPECT_EQ(specs.find("Low")->baudRate, 4800);
    EXPECT_EQ(specs.find("Edge")->baudRate, 38400);
    const engine::DeviceSpec* empty = specs.find("empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->gpsPort, 0);
    EXPECT_EQ(empty->baudRate, 4800);
    EXPECT_EQ(specs.find("NoEnd")->fourth, 0);

    EXPECT_EQ(specs.find("Car Kit"), nullptr); // inner blanks count
    EXPECT_EQ(specs.find("Pock"), nullptr);
    EXPECT_EQ(specs.find(""), nullptr);
}

TEST(DeviceSpecs, MalformedLineStopsReadingAtItsNumber) {
    TestSupport::TempDir dir;
    struct Case {
        std::string text;
        int line;
        std::size_t kept;
    };
    const Case cases[] = {
        {"; comment\nA,1,4800,0,0\nB,2\nC,3,4800,0,0\n", 3, 1}, // missing fields
        {"A,1,4800,0,0\nno comma here\n", 2, 1},
        {"A, 1 ,4800,0,0\n", 1, 0},      // a blank after a number
        {"A,1,4800,0\n", 1, 0},          // no comma after the third number
        {"A,x,4800,0,0\n", 1, 0},        // no digits leave the letter in place
        {"A,1,4800,0,0\r\r\nB\n", 2, 1}, // a lone CR is text, not a line end
    };
    for (const Case& c : cases) {
        TestSupport::CaptureLogger log;
        const auto specs = readSpecs(dir, c.text);
        ASSERT_EQ(log.lines().size(), 1u) << c.text;
        EXPECT_EQ(log.lines()[0], kFormatError + std::to_string(c.line)) << c.text;
        EXPECT_EQ(specs.records().size(), c.kept) << c.text;
    }
}

TEST(DeviceSpecs, LongLinesArriveInPieces) {
    TestSupport::TempDir dir;
    {
        // 120 characters: the first 99 make a record, the other 21 a line of
        // their own that holds no comma.
        TestSupport::CaptureLogger log;
        const std::string record = "Long,1,4800,0,0" + std::string(84, ' ');
        const auto specs = readSpecs(dir, "A,1,4800,0,0\n" + record + std::string(21, 'x') + "\n");
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0], kFormatError + "3");
        EXPECT_EQ(specs.records().size(), 2u);
    }
    {
        // 99 characters then the line end: the end reads as a blank line.
        TestSupport::CaptureLogger log;
        const std::string record = "Pad,1,4800,0,0;" + std::string(84, ' ');
        ASSERT_EQ(record.size(), 99u);
        const auto specs = readSpecs(dir, record + "\nB,x\n");
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0], kFormatError + "3");
        EXPECT_EQ(specs.records().size(), 1u);
    }
    {
        // A run of blanks longer than a piece: the first piece is a blank
        // line, the record starts in the second.
        TestSupport::CaptureLogger log;
        const auto specs = readSpecs(dir, std::string(104, ' ') + "X,1,4800,0,0\n");
        EXPECT_TRUE(log.lines().empty());
        ASSERT_EQ(specs.records().size(), 1u);
        EXPECT_EQ(specs.records()[0].name, "X");
    }
    {
        // A piece split inside the fourth number: the record keeps its
        // first digits, the rest is a line without a comma.
        TestSupport::CaptureLogger log;
        const std::string name(87, 'N');
        const auto specs = readSpecs(dir, name + ",2,9600,1,12345\n");
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0], kFormatError + "2");
        ASSERT_EQ(specs.records().size(), 1u);
        EXPECT_EQ(specs.records()[0].fourth, 12);
    }
}

TEST(DeviceSpecs, MissingFileThrowsAndEmptyFileHoldsNothing) {
    TestSupport::TempDir dir;
    try {
        engine::device_specs specs(widePath(dir / "absent.inf"));
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "engine::device_specs::device_specsCan't open file with devices specifications");
    }
    TestSupport::CaptureLogger log;
    EXPECT_TRUE(readSpecs(dir, "").records().empty());
    EXPECT_TRUE(readSpecs(dir, std::string("A,1,4800,0,0\nB\0,,,\n", 19)).records().size() == 1u);
    EXPECT_EQ(log.lines().back(), kFormatError + "2"); // text stops at the zero byte
}

TEST(DeviceSpecs, ConfiguredDevice) {
    TestSupport::TempDir dir;
    const std::u16string path = widePath(dir.write("devices.inf", "Pocket, 2, 38400, 0, 0\n"));
    Core::Config config;
    auto root = config.root();
    // No device set: the file is not even looked at.
    EXPECT_FALSE(engine::device_specs::configured(*root, widePath(dir / "absent.inf")));
    root->set("device", "POCKET");
    const auto found = engine::device_specs::configured(*root, path);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->gpsPort, 2);
    EXPECT_EQ(found->baudRate, 38400);
    root->set("device", "Other");
    EXPECT_FALSE(engine::device_specs::configured(*root, path));
    EXPECT_THROW(engine::device_specs::configured(*root, widePath(dir / "absent.inf")), std::runtime_error);
}

// Random damage to a valid file: reading never crashes, every record read
// has a supported rate, and at most one format error is logged.
TEST(DeviceSpecs, SurvivesRandomDamage) {
    TestSupport::TempDir dir;
    const std::string valid = "; devices\r\nPocket, 2, 4800, 0, 0\r\n  Car Kit ,1,9600,3,4\n\tTruck,-1,57600,0,0 x\n";
    TestSupport::Damage damage(1234, {",", ";", "\t", " ", "\r", "\n", std::string(1, '\0'), "-", "+", "0", "9",
                                      "a", "Z", "\xff", std::string(120, 'x'), std::string(99, ',')});
    for (int round = 0; round < 1500; ++round) {
        const std::string text = damage.apply(valid);
        TestSupport::CaptureLogger log;
        const auto specs = readSpecs(dir, text);
        EXPECT_LE(log.lines().size(), 1u);
        for (const engine::DeviceSpec& device : specs.records()) {
            EXPECT_TRUE(device.baudRate == 4800 || device.baudRate == 9600 || device.baudRate == 19200 ||
                        device.baudRate == 38400 || device.baudRate == 57600 || device.baudRate == 115200);
            EXPECT_LE(device.name.size(), 98u);
            EXPECT_EQ(specs.find(device.name)->name.size(), device.name.size());
        }
    }
}

} // namespace
