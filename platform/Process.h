#pragma once
// Starting other programs without a shell, and the program that opens
// documents and links for the user.

#include <functional>
#include <future>
#include <string>
#include <vector>

namespace Platform {

struct ChildProcess {
    int pid = -1;
    // The child's exit code once it has ended (128 + signal number when a
    // signal ended it, -1 when its status could not be read); only valid
    // when started().
    std::shared_future<int> exitCode;

    bool started() const { return pid > 0; }
};

// Runs program (looked up in PATH when it has no "/") with the arguments,
// not waiting for it; the child is reaped in the background when it ends,
// and `ended`, when given, is called there with its exit code once the exit
// code is set, so that whatever it wakes finds the code readable. An
// unstarted result, with the last error set, when it cannot be run.
ChildProcess spawnDetached(const std::string& program, const std::vector<std::string>& arguments,
                           std::function<void(int)> ended = {});

// The program that opens a document or link given as its one argument:
// "xdg-open" unless replaced (tests put a script of their own here).
void setShellOpenCommand(std::string program);
std::string shellOpenCommand();

} // namespace Platform
