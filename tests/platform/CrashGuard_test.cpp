#include "platform/CrashGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <pthread.h>
#include <thread>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Kind = Platform::FaultReport::Kind;

struct Outcome {
    bool exited = false;
    int exitCode = 0;
    int signal = 0;
    std::string report; // "kind write address" written by the child's reporter
};

// Runs `body` under the guard in a child process; the child's reporter
// writes what it was told into a pipe, and the child exits with the guarded
// call's result.
template <class Body> Outcome runInChild(Body body) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const int result = Platform::runGuarded(
            [&] { return body(); },
            [&](const Platform::FaultReport& report) {
                const std::string line = std::to_string(static_cast<int>(report.kind)) + " " +
                                         (report.write ? "w" : "r") + " " + std::to_string(report.address) + " " +
                                         std::to_string(report.frames.size() > 0) +
                                         std::to_string(!report.modules.empty()) +
                                         std::to_string(!report.processes.empty()) +
                                         std::to_string(!report.controlRegisters.empty());
                (void)!write(pipeEnds[1], line.data(), line.size());
            },
            -1);
        _exit(result & 0xFF);
    }
    close(pipeEnds[1]);
    Outcome outcome;
    char buffer[256];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        outcome.report.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    outcome.exited = WIFEXITED(status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(status) : 0;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

volatile int* volatile g_null = nullptr;
volatile int g_zero = 0;

// The faults are made on purpose; the undefined-behaviour checker must let
// them reach the processor.
#define MACHINE_FAULT __attribute__((no_sanitize("undefined")))
MACHINE_FAULT int readNull() { return *g_null; }
MACHINE_FAULT int writeNull() {
    *g_null = 1;
    return 0;
}
MACHINE_FAULT int divideByZero() { return 10 / g_zero; }

// Recursion through a volatile pointer, so the compiler neither sees nor
// removes it.
int recurse(int depth);
int (*volatile g_recurse)(int) = recurse;
int recurse(int depth) {
    volatile char block[4096];
    block[0] = static_cast<char>(depth);
    return g_recurse(depth + 1) + block[0];
}

TEST(CrashGuard, MachineFaultsAreReportedAndTheGuardedCallFails) {
    const std::string all = " 1111";
    struct Row {
        const char* what;
        int (*body)();
        std::string report;
    } rows[] = {
        {"null read", readNull, std::to_string(int(Kind::AccessViolation)) + " r 0" + all},
        {"null write", writeNull, std::to_string(int(Kind::AccessViolation)) + " w 0" + all},
        {"integer divide", divideByZero, std::to_string(int(Kind::IntegerDivideByZero)) + " r 0" + all},
        {"stack overflow", [] { return recurse(0); }, std::to_string(int(Kind::StackOverflow)) + " w 0" + all},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Outcome outcome = runInChild(row.body);
        EXPECT_TRUE(outcome.exited);
        EXPECT_EQ(outcome.exitCode, 255);
        EXPECT_EQ(outcome.report, row.report);
    }
}

TEST(CrashGuard, ABreakpointIsNotReported) {
    const Outcome outcome = runInChild([] {
        raise(SIGTRAP);
        return 0;
    });
    EXPECT_FALSE(outcome.exited);
    EXPECT_EQ(outcome.signal, SIGTRAP);
    EXPECT_EQ(outcome.report, "");
}

TEST(CrashGuard, ANormalEndKeepsItsResultAndTheHandlers) {
    struct sigaction before {}, after {};
    sigaction(SIGSEGV, nullptr, &before);
    EXPECT_EQ(Platform::runGuarded([] { return 3; }, [](const Platform::FaultReport&) {}, -1), 3);
    sigaction(SIGSEGV, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

} // namespace

// The report names this process and its threads, and nothing else of the
// machine.
TEST(CrashGuard, TheReportListsOnlyThisProcessAndItsThreads) {
    std::atomic<bool> stop = false;
    std::thread worker([&] {
        while (!stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    pthread_setname_np(worker.native_handle(), "crash-test-w");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::vector<std::string> names = Platform::ownProcessAndThreads();
    stop = true;
    worker.join();
    ASSERT_FALSE(names.empty());
    EXPECT_TRUE(names[0].ends_with(" (pid " + std::to_string(getpid()) + ")")) << names[0];
    std::size_t workers = 0;
    for (std::size_t i = 1; i < names.size(); ++i) {
        EXPECT_TRUE(names[i].starts_with("thread ")) << names[i];
        workers += names[i].starts_with("thread crash-test-w (tid ");
    }
    EXPECT_EQ(workers, 1u);
    // Not the machine's processes: this test runs beside at least init.
    for (const std::string& name : names)
        EXPECT_EQ(name.find("(pid 1)"), std::string::npos) << name;
}
