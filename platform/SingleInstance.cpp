#include "platform/SingleInstance.h"

#include "platform/Error.h"
#include "platform/detail/SignalWatch.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace Platform {

namespace {

// "<folder>/<name>.lock"; the session's runtime folder is the user's own,
// while /tmp is shared by every user, so the name there carries the uid.
std::string lockPath(const std::string& name, const std::string& folder) {
    if (!folder.empty())
        return folder + "/" + name + ".lock";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/" + name + ".lock";
    return "/tmp/" + name + "-" + std::to_string(::getuid()) + ".lock";
}

} // namespace

SingleInstance::SingleInstance(const std::string& name, const std::string& folder)
    : m_path(lockPath(name, folder)) {
    // Never through a link: another user could point one at a file of ours.
    m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        setLastErrorFromErrno();
        m_acquired = true;
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        setLastError(ErrorAlreadyExists);
        return;
    }
    m_acquired = true;
    // The pid is written only under the lock, so a later copy never reads a
    // half-written number from a copy that is still starting.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(m_fd, 0) == 0)
        (void)!::pwrite(m_fd, pid.data(), pid.size(), 0);
}

SingleInstance::~SingleInstance() {
    if (m_fd < 0)
        return;
    if (m_acquired)
        (void)!::ftruncate(m_fd, 0);
    ::close(m_fd);
}

FolderLock::FolderLock(const std::string& folder) {
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        setLastErrorFromErrno();
        m_acquired = true;
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            setLastError(ErrorAlreadyExists);
            return;
        }
        // A file system without locks: run unguarded rather than not at all.
        setLastErrorFromErrno();
    }
    m_acquired = true;
}

FolderLock::~FolderLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstance::raiseRunningCopy() const {
    if (m_fd < 0 || m_acquired)
        return false;
    char text[32] = {};
    const ssize_t got = ::pread(m_fd, text, sizeof text - 1, 0);
    if (got <= 0)
        return false;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    if (end == text || pid <= 0 || pid == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(pid), SIGUSR1) == 0;
}

void onRaiseRequest(std::function<void()> handler) {
    static detail::SignalWatch* const watch = new detail::SignalWatch({SIGUSR1}, nullptr);
    watch->setHandler(std::move(handler));
}

} // namespace Platform
