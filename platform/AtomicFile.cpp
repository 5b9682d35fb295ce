#include "platform/AtomicFile.h"

#include "platform/Directory.h"
#include "platform/Error.h"
#include "platform/Path.h"

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace Platform {
namespace {

std::atomic<unsigned> s_counter{0};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Makes the rename itself durable. A failure here is not reported: the
// new contents are complete in either name.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// removeStaleTemporariesIn over a folder in its system form.
std::vector<std::string> removeStale(std::string folder, const std::function<bool(std::string_view)>& isTarget) {
    std::vector<std::string> removed;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::vector<DirectoryEntry> entries;
    if (!listDirectory(folder, entries))
        return removed;
    for (const DirectoryEntry& entry : entries) {
        // "<target>.tmp<pid>-<n>", as the constructor names them.
        const std::string_view name = entry.name;
        const auto tmp = name.rfind(".tmp");
        if (entry.directory || tmp == std::string_view::npos || tmp == 0 || !isTarget(name.substr(0, tmp)))
            continue;
        const std::string_view rest = name.substr(tmp + 4);
        const auto dash = rest.find('-');
        if (dash == std::string_view::npos || !allDigits(rest.substr(0, dash)) || !allDigits(rest.substr(dash + 1)) ||
            dash > 9)
            continue;
        const long pid = std::stol(std::string(rest.substr(0, dash)));
        // kill(pid, 0) fails with ESRCH only when no such process exists.
        if (pid <= 0 || pid == static_cast<long>(::getpid()) ||
            !(::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
            continue;
        const std::string path = (folder == "/" ? "" : folder) + "/" + entry.name;
        if (::unlink(path.c_str()) == 0)
            removed.push_back(path);
    }
    return removed;
}

} // namespace

std::vector<std::string> removeStaleTemporaries(std::u16string_view target) {
    const std::string native = toNativePath(target);
    const auto slash = native.rfind('/');
    const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    return removeStale(folderOf(native), [&name](std::string_view targetName) { return targetName == name; });
}

std::vector<std::string> removeStaleTemporariesIn(std::u16string_view folder,
                                                  const std::function<bool(std::string_view)>& isTarget) {
    return removeStale(toNativePath(folder), isTarget);
}

AtomicFile::AtomicFile(std::u16string_view target) : m_target(toNativePath(target)) {
    if (m_target.empty() || m_target.back() == '/') {
        m_error = ErrorInvalidName;
        setLastError(m_error);
        return;
    }
    struct stat existing {};
    const bool hasTarget = ::stat(m_target.c_str(), &existing) == 0;
    if (hasTarget && S_ISDIR(existing.st_mode)) {
        m_error = ErrorAccessDenied;
        setLastError(m_error);
        return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".tmp%ld-%u", static_cast<long>(::getpid()), s_counter++);
        std::string candidate = m_target + suffix;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // The replacement keeps the permissions of the file it replaces.
            if (hasTarget)
                ::fchmod(fd, existing.st_mode & 07777);
            ::close(fd);
            m_file = File::openNative(candidate, File::Mode::ReadWrite);
            if (!m_file.isOpen()) {
                m_error = lastError();
                ::unlink(candidate.c_str());
                return;
            }
            m_temporary = std::move(candidate);
            setLastError(ErrorSuccess);
            return;
        }
        if (errno != EEXIST)
            break;
    }
    m_error = setLastErrorFromErrno();
}

AtomicFile::~AtomicFile() {
    if (!m_finished)
        discard();
}

bool AtomicFile::write(const void* data, std::size_t size) {
    if (m_error != 0) {
        setLastError(m_error);
        return false;
    }
    std::size_t written = 0;
    if (!m_file.write(data, size, written)) {
        m_error = lastError();
        return false;
    }
    return true;
}

void AtomicFile::fail(int error) {
    if (m_error == 0)
        m_error = error != 0 ? error : ErrorInvalidFunction;
}

bool AtomicFile::commit() {
    if (m_finished) {
        setLastError(m_error != 0 ? m_error : ErrorInvalidHandle);
        return false;
    }
    if (m_error == 0 && !m_file.isOpen())
        m_error = ErrorInvalidHandle;
    if (m_error == 0 && !m_file.flush())
        m_error = lastError();
    if (m_error == 0 && !m_file.close())
        m_error = lastError();
    if (m_error == 0 && ::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        m_error = setLastErrorFromErrno();
    if (m_error != 0) {
        discard();
        setLastError(m_error);
        return false;
    }
    m_finished = true;
    syncFolder(folderOf(m_target));
    setLastError(ErrorSuccess);
    return true;
}

void AtomicFile::discard() {
    ErrorKeeper keep;
    m_file = File();
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
    m_finished = true;
}

bool writeFileAtomically(std::u16string_view path, const void* data, std::size_t size) {
    AtomicFile file(path);
    if (!file.isOpen())
        return false;
    file.write(data, size);
    return file.commit();
}

} // namespace Platform
