#include "platform/Process.h"

#include "platform/Error.h"

#include <cerrno>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace Platform {
namespace {

std::mutex& commandMutex() {
    static std::mutex m;
    return m;
}

std::string& command() {
    static std::string c = "xdg-open";
    return c;
}

} // namespace

ChildProcess spawnDetached(const std::string& program, const std::vector<std::string>& arguments,
                           std::function<void(int)> ended) {
    std::vector<std::string> args;
    args.reserve(arguments.size() + 1);
    args.push_back(program);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    ChildProcess child;
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        setLastError(errorFromErrno(rc));
        return child;
    }
    auto promise = std::make_shared<std::promise<int>>();
    child.pid = pid;
    child.exitCode = promise->get_future().share();
    // The reaper owns the promise; nobody else waits for this pid.
    std::thread([pid, promise, ended = std::move(ended)] {
        int status = 0;
        pid_t r;
        do {
            r = waitpid(pid, &status, 0);
        } while (r < 0 && errno == EINTR);
        int code = -1;
        if (r == pid) {
            if (WIFEXITED(status))
                code = WEXITSTATUS(status);
            else if (WIFSIGNALED(status))
                code = 128 + WTERMSIG(status);
        }
        promise->set_value(code);
        if (ended)
            ended(code);
    }).detach();
    return child;
}

void setShellOpenCommand(std::string program) {
    std::lock_guard lock(commandMutex());
    command() = std::move(program);
}

std::string shellOpenCommand() {
    std::lock_guard lock(commandMutex());
    return command();
}

} // namespace Platform
