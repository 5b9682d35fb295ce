#include "app/CrashReport.h"

#include "core/Format.h"
#include "core/Log.h"
#include "core/MessageBox.h"

namespace engine {

namespace {

const char* faultName(Platform::FaultReport::Kind kind) {
    using Kind = Platform::FaultReport::Kind;
    switch (kind) {
    case Kind::AccessViolation:
        return "access violation";
    case Kind::DatatypeMisalignment:
        return "datatype misalignment";
    case Kind::IllegalInstruction:
        return "illegal instruction";
    case Kind::ArrayBoundsExceeded:
        return "array bounds exceed";
    case Kind::FloatDivideByZero:
        return "divide by zero (floating-point)";
    case Kind::IntegerDivideByZero:
        return "divide by zero (integer)";
    case Kind::PrivilegedInstruction:
        return "priv instruction";
    case Kind::StackOverflow:
        return "stack overlow";
    }
    return "access violation";
}

} // namespace

std::vector<std::string> crashReportLines(const Platform::FaultReport& report, std::string_view doing) {
    std::vector<std::string> lines;
    const std::string version(kProgramVersion);
    if (report.raised)
        lines.push_back(Core::format("Unhandled exception while %s: %s. (%s)", std::string(doing),
                                     report.what.empty() ? std::string("-") : report.what, version));
    else if (report.kind == Platform::FaultReport::Kind::AccessViolation && report.hasAddress)
        lines.push_back(Core::format("Instruction at [0x%08llx] %s invalid address [0x%08llx]. (%s)",
                                     report.instruction, report.write ? "writes to" : "reads from", report.address,
                                     version));
    else
        lines.push_back(Core::format("Instruction at [0x%08llx] caused %s. (%s)", report.instruction,
                                     faultName(report.kind), version));
    lines.push_back("Registers:");
    for (const auto* group : {&report.controlRegisters, &report.integerRegisters})
        for (const auto& reg : *group)
            lines.push_back(Core::format("%s=0x%08llX", reg.name, reg.value));
    lines.push_back("Stack snapshot");
    for (const auto frame : report.frames)
        lines.push_back(Core::format("0x%08llx", frame));
    lines.push_back("Loaded modules:");
    for (const auto& module : report.modules)
        lines.push_back(Core::format("\t0x%08llX-0x%08llX %s", module.base, module.base + module.size, module.name));
    lines.push_back("Loaded processes:");
    for (const auto& process : report.processes)
        lines.push_back(Core::format("\t%s", process));
    return lines;
}

void logCrashReport(const Platform::FaultReport& report, std::string_view doing) {
    for (const auto& line : crashReportLines(report, doing))
        Log::log(Log::Critical, "%s", line);
}

void showCrashBox() {
    Core::messageBox(u"Critical error.\nAdditional info in log.txt", u"Mirel - Critical error");
}

void reportCrash(const Platform::FaultReport& report) {
    logCrashReport(report);
    showCrashBox();
}

} // namespace engine
