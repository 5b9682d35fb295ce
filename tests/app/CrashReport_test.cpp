#include "app/CrashReport.h"

#include "tests/support/CaptureLogger.h"

#include <gtest/gtest.h>

namespace {

using Kind = Platform::FaultReport::Kind;

TEST(CrashReport, LinesOfAnAccessViolation) {
    Platform::FaultReport report;
    report.hasAddress = true;
    report.write = true;
    report.instruction = 0x401a2b;
    report.address = 0x10;
    report.controlRegisters = {{"EIP", 0x401a2b}, {"SS ", 0x2b}};
    report.integerRegisters = {{"EAX", 0xdeadbeef}};
    report.frames = {0x401a2b, 0x7f0000001234};
    report.modules = {{0x400000, 0x1000, "mirel"}};
    report.processes = {"mirel", "Xvfb"};
    TestSupport::CaptureLogger log;
    engine::reportCrash(report);
    const std::vector<std::string> expected = {
        "Instruction at [0x00401a2b] writes to invalid address [0x00000010]. (2.9.0.2230)",
        "Registers:", "EIP=0x00401A2B", "SS =0x0000002B", "EAX=0xDEADBEEF", "Stack snapshot", "0x00401a2b",
        "0x7f0000001234", "Loaded modules:", "\t0x00400000-0x00401000 mirel", "Loaded processes:", "\tmirel",
        "\tXvfb"};
    EXPECT_EQ(engine::crashReportLines(report), expected);
    EXPECT_TRUE(log.contains("Instruction at [0x00401a2b] writes to invalid address"));
    EXPECT_TRUE(log.contains("Mirel - Critical error: Critical error."));
}

TEST(CrashReport, FirstLineNamesTheFault) {
    const std::pair<Kind, const char*> rows[] = {
        {Kind::AccessViolation, "access violation"},
        {Kind::DatatypeMisalignment, "datatype misalignment"},
        {Kind::IllegalInstruction, "illegal instruction"},
        {Kind::ArrayBoundsExceeded, "array bounds exceed"},
        {Kind::FloatDivideByZero, "divide by zero (floating-point)"},
        {Kind::IntegerDivideByZero, "divide by zero (integer)"},
        {Kind::PrivilegedInstruction, "priv instruction"},
        {Kind::StackOverflow, "stack overlow"},
    };
    for (const auto& [kind, name] : rows) {
        Platform::FaultReport report;
        report.kind = kind;
        report.instruction = 0x1234;
        EXPECT_EQ(engine::crashReportLines(report).front(),
                  std::string("Instruction at [0x00001234] caused ") + name + ". (2.9.0.2230)");
    }
}

// A fault the program's own code raised is named by what it says, "-" for
// nothing.
TEST(CrashReport, FirstLineOfARaisedFault) {
    for (const std::string what : {"bad index", ""}) {
        Platform::FaultReport report = Platform::reportThisThread();
        report.what = what;
        EXPECT_EQ(engine::crashReportLines(report).front(),
                  "Unhandled exception while running: " + (what.empty() ? "-" : what) + ". (2.9.0.2230)");
        EXPECT_FALSE(report.frames.empty() || report.modules.empty());
    }
}

} // namespace
