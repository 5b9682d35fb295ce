#include "platform/Directory.h"

#include "platform/Error.h"
#include "platform/Path.h"
#include "platform/Time.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <cstdio>
#include <time.h>

namespace Platform {
namespace {

CalendarTime utcCalendar(const struct timespec& ts) {
    return Platform::utcCalendar(ts.tv_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

struct DirCloser {
    DIR* dir;
    ~DirCloser() { closedir(dir); }
};

} // namespace

bool listDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries) {
    entries.clear();
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        // A missing folder is a missing path, as the callers' error numbers
        // expect, not a missing file.
        const int e = errno;
        setLastError(e == ENOENT ? ErrorPathNotFound : errorFromErrno(e));
        return false;
    }
    DirCloser closer{dir};
    const int dirFd = dirfd(dir);
    for (;;) {
        errno = 0;
        const struct dirent* d = readdir(dir);
        if (d == nullptr)
            break;
        DirectoryEntry entry;
        entry.name = d->d_name;
        struct stat st {};
        if (fstatat(dirFd, d->d_name, &st, 0) == 0 || fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.directory = S_ISDIR(st.st_mode);
            entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
            entry.modified = utcCalendar(st.st_mtim);
        } else {
            entry.directory = d->d_type == DT_DIR;
            entry.modified = utcCalendar(timespec{});
        }
        entries.push_back(std::move(entry));
    }
    if (errno != 0) {
        setLastErrorFromErrno();
        return false;
    }
    return true;
}

bool renameEntry(std::u16string_view from, std::u16string_view to) {
    if (std::rename(toNativePath(from).c_str(), toNativePath(to).c_str()) != 0) {
        setLastErrorFromErrno();
        return false;
    }
    return true;
}

} // namespace Platform
