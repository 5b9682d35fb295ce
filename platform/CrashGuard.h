#pragma once
// Catching machine faults of the main thread: a fault inside the guarded call
// is described (what failed, registers, stack, modules, processes), handed to
// a reporter, and the guarded call returns as if it had failed, so that the
// program can still release what it holds and exit with its failure code.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Platform {

struct FaultReport {
    enum class Kind {
        AccessViolation,
        DatatypeMisalignment,
        IllegalInstruction,
        ArrayBoundsExceeded,
        FloatDivideByZero,
        IntegerDivideByZero,
        PrivilegedInstruction,
        StackOverflow,
    };
    struct Register {
        const char* name;
        std::uint64_t value;
    };
    struct Module {
        std::uint64_t base = 0;
        std::uint64_t size = 0;
        std::string name;
    };

    Kind kind = Kind::AccessViolation;
    // Set for a fault the program's own code raised (an exception out of a
    // frame) rather than the machine: what it says. The kind, instruction
    // and address then mean nothing.
    bool raised = false;
    std::string what;
    // Set for access violations: the address touched and whether the
    // instruction wrote it.
    bool hasAddress = false;
    bool write = false;
    std::uint64_t instruction = 0;
    std::uint64_t address = 0;
    // Instruction and stack registers, then the integer registers; empty on
    // machines whose context the guard does not know.
    std::vector<Register> controlRegisters;
    std::vector<Register> integerRegisters;
    // Program counters from the faulting frame outwards, at most 32.
    std::vector<std::uint64_t> frames;
    std::vector<Module> modules;
    std::vector<std::string> processes;
};

// This process ("<name> (pid <n>)") and then each of its other threads
// ("thread <name> (tid <n>)"), by thread id: what the report lists under
// "Loaded processes:".
std::vector<std::string> ownProcessAndThreads();

// The calling thread as it is now, outside any fault: its program counters
// from here outwards, the modules and the process; no registers. For a
// fault the program's own code raised.
FaultReport reportThisThread();

// Names of modules and processes keep at most this many characters.
constexpr std::size_t kFaultNameLength = 31;
constexpr std::size_t kFaultMaxFrames = 32;

// Runs `body` on the calling thread. When a machine fault (invalid memory
// access, misaligned access, illegal or privileged instruction, division by
// zero) happens on this thread while it runs, `onFault` is called with the
// report (on an alternate stack, so a stack overflow is reported too) and
// runGuarded returns `faultResult`. Other signals (a breakpoint, say) and
// faults of other threads keep their default action. Not reentrant.
int runGuarded(const std::function<int()>& body, const std::function<void(const FaultReport&)>& onFault,
               int faultResult);

} // namespace Platform
