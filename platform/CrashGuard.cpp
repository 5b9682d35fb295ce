#include "platform/CrashGuard.h"

#include "platform/Mapping.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <execinfo.h>
#include <fstream>
#include <link.h>
#include <ucontext.h>
#include <unistd.h>

namespace Platform {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
constexpr std::size_t kAltStackSize = 256 * 1024;

thread_local sigjmp_buf* t_jump = nullptr;
thread_local const std::function<void(const FaultReport&)>* t_onFault = nullptr;

std::string shortName(std::string name) {
    const auto slash = name.rfind('/');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name.size() > kFaultNameLength)
        name.resize(kFaultNameLength);
    return name;
}

int addModule(dl_phdr_info* info, size_t, void* data) {
    auto& modules = *static_cast<std::vector<FaultReport::Module>*>(data);
    std::uint64_t low = UINT64_MAX, high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& header = info->dlpi_phdr[i];
        if (header.p_type != PT_LOAD)
            continue;
        low = std::min<std::uint64_t>(low, header.p_vaddr);
        high = std::max<std::uint64_t>(high, header.p_vaddr + header.p_memsz);
    }
    if (low > high)
        return 0;
    FaultReport::Module module;
    module.base = info->dlpi_addr + low;
    module.size = high - low;
    const char* name = info->dlpi_name;
    if (!name || !*name) {
        // The program itself is reported without a name.
        char path[512];
        const ssize_t got = ::readlink("/proc/self/exe", path, sizeof path - 1);
        name = got > 0 ? (path[got] = 0, path) : "";
        module.name = shortName(name);
    } else {
        module.name = shortName(name);
    }
    modules.push_back(std::move(module));
    return 0;
}

} // namespace

// The report is about this program: its own process and its threads, never
// the other processes of the machine (other users' programs among them).
std::vector<std::string> ownProcessAndThreads() {
    std::vector<std::string> names;
    names.reserve(16);
    const std::string pid = std::to_string(::getpid());
    std::string name;
    std::ifstream self("/proc/self/comm");
    if (!std::getline(self, name))
        name = "?";
    names.push_back(shortName(name) + " (pid " + pid + ")");
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return names;
    std::vector<std::pair<long, std::string>> threads;
    while (dirent* entry = ::readdir(tasks)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])) || entry->d_name == pid)
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string thread;
        if (std::getline(comm, thread))
            threads.emplace_back(std::atol(entry->d_name), shortName(thread));
    }
    ::closedir(tasks);
    std::sort(threads.begin(), threads.end());
    for (const auto& [tid, thread] : threads)
        names.push_back("thread " + thread + " (tid " + std::to_string(tid) + ")");
    return names;
}

namespace {

bool classify(int signal, const siginfo_t* info, std::uint64_t stackPointer, FaultReport& report) {
    using Kind = FaultReport::Kind;
    const auto address = reinterpret_cast<std::uint64_t>(info->si_addr);
    switch (signal) {
    case SIGSEGV:
        // A fault just below the stack pointer is the stack running out.
        if (stackPointer != 0 && address <= stackPointer + 4096 && address + 65536 >= stackPointer) {
            report.kind = Kind::StackOverflow;
            return true;
        }
        report.kind = Kind::AccessViolation;
        report.hasAddress = true;
        report.address = address;
        return true;
    case SIGBUS:
        if (info->si_code == BUS_ADRALN) {
            report.kind = Kind::DatatypeMisalignment;
            return true;
        }
        report.kind = Kind::AccessViolation;
        report.hasAddress = true;
        report.address = address;
        return true;
    case SIGILL:
        report.kind = info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG ? Kind::PrivilegedInstruction
                                                                                 : Kind::IllegalInstruction;
        return true;
    case SIGFPE:
        switch (info->si_code) {
        case FPE_INTDIV:
            report.kind = Kind::IntegerDivideByZero;
            return true;
        case FPE_FLTDIV:
            report.kind = Kind::FloatDivideByZero;
            return true;
        case FPE_FLTSUB:
            report.kind = Kind::ArrayBoundsExceeded;
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

void readContext(const void* context, FaultReport& report, std::uint64_t& stackPointer) {
#if defined(__x86_64__)
    const auto& regs = static_cast<const ucontext_t*>(context)->uc_mcontext.gregs;
    const auto reg = [&](int index) { return static_cast<std::uint64_t>(regs[index]); };
    report.instruction = reg(REG_RIP);
    stackPointer = reg(REG_RSP);
    report.write = (reg(REG_ERR) & 2) != 0;
    // The register names of the report are the classic ones; each holds
    // the whole 64-bit register it stands for.
    report.controlRegisters = {{"EIP", reg(REG_RIP)},
                               {"SS ", (reg(REG_CSGSFS) >> 48) & 0xFFFF},
                               {"ESP", reg(REG_RSP)},
                               {"EBP", reg(REG_RBP)}};
    report.integerRegisters = {{"EAX", reg(REG_RAX)}, {"ECX", reg(REG_RCX)}, {"EDX", reg(REG_RDX)},
                               {"EBX", reg(REG_RBX)}, {"ESI", reg(REG_RSI)}, {"EDI", reg(REG_RDI)}};
#else
    (void)context;
    (void)report;
    stackPointer = 0;
#endif
}

void collectFrames(FaultReport& report) {
    void* raw[kFaultMaxFrames + 16];
    const int count = ::backtrace(raw, static_cast<int>(std::size(raw)));
    // The first frames are the handler's own; the walk starts at the
    // faulting instruction when the unwinder went through the signal frame.
    int first = 0;
    for (int i = 0; i < count; ++i)
        if (reinterpret_cast<std::uint64_t>(raw[i]) == report.instruction) {
            first = i;
            break;
        }
    for (int i = first; i < count && report.frames.size() < kFaultMaxFrames; ++i) {
        if (!raw[i])
            break;
        report.frames.push_back(reinterpret_cast<std::uint64_t>(raw[i]));
    }
}

void collectModulesAndProcesses(FaultReport& report) {
    report.modules.reserve(32);
    ::dl_iterate_phdr(addModule, &report.modules);
    report.processes = ownProcessAndThreads();
}

void restoreDefault(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void onFaultSignal(int signal, siginfo_t* info, void* context) {
    // A mapped file cut short under a reader is no crash: the page reads as
    // zeros and the file is reported damaged (see Mapping.h).
    if (signal == SIGBUS && absorbMappingFault(info->si_addr))
        return;
    FaultReport report;
    std::uint64_t stackPointer = 0;
    readContext(context, report, stackPointer);
    if (!t_jump || !classify(signal, info, stackPointer, report)) {
        // Not ours to report: the default action ends the process when
        // the instruction runs again.
        restoreDefault(signal);
        return;
    }
    collectFrames(report);
    collectModulesAndProcesses(report);
    if (t_onFault && *t_onFault)
        (*t_onFault)(report);
    siglongjmp(*t_jump, 1);
}

} // namespace

FaultReport reportThisThread() {
    FaultReport report;
    report.raised = true;
    collectFrames(report);
    collectModulesAndProcesses(report);
    return report;
}

int runGuarded(const std::function<int()>& body, const std::function<void(const FaultReport&)>& onFault,
               int faultResult) {
    static char* altStack = static_cast<char*>(std::malloc(kAltStackSize));
    stack_t stack{};
    stack.ss_sp = altStack;
    stack.ss_size = kAltStackSize;
    stack_t previousStack{};
    if (altStack)
        ::sigaltstack(&stack, &previousStack);
    // backtrace loads its unwinder on first use; do that here, not in the
    // handler.
    void* warm[1];
    ::backtrace(warm, 1);

    struct sigaction action {};
    action.sa_sigaction = onFaultSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    struct sigaction previous[std::size(kSignals)];
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);

    sigjmp_buf jump;
    int result;
    t_onFault = &onFault;
    if (sigsetjmp(jump, 1) == 0) {
        t_jump = &jump;
        result = body();
    } else {
        result = faultResult;
    }
    t_jump = nullptr;
    t_onFault = nullptr;

    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    if (altStack)
        ::sigaltstack(&previousStack, nullptr);
    return result;
}

} // namespace Platform
