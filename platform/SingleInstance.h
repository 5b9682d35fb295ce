#pragma once
// One running copy of the program per user session. The first copy holds an
// advisory lock on a file named after the program (in $XDG_RUNTIME_DIR, else
// in /tmp with the user's id in the name) and keeps its pid there; a later
// copy finds the lock taken, asks the running copy to show its window
// (SIGUSR1) and goes away.

#include <functional>
#include <string>

namespace Platform {

class SingleInstance {
public:
    // Tries to take the lock "<folder>/<name>.lock". An empty folder means
    // $XDG_RUNTIME_DIR, or "/tmp/<name>-<uid>.lock" when that is not set.
    explicit SingleInstance(const std::string& name, const std::string& folder = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is the one running copy. When the lock file
    // cannot be created at all the program runs unguarded (true), so a
    // read-only /tmp never stops the navigator.
    bool acquired() const { return m_acquired; }
    // For a later copy: sends SIGUSR1 to the pid the running copy wrote.
    // False when no pid could be read or the signal could not be sent.
    bool raiseRunningCopy() const;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_acquired = false;
};

// One copy per data folder, whatever the environment of each copy: an
// advisory lock on the folder itself, so nothing is created in it and a
// read-only folder is guarded too. A copy started with another runtime
// folder passes the session's lock but not this one.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False only when another process holds the folder. A folder that
    // cannot be opened at all is not guarded (true): the program's own
    // checks report what is missing.
    bool acquired() const { return m_acquired; }

private:
    int m_fd = -1;
    bool m_acquired = false;
};

// Calls `handler` on a watcher thread each time the process receives
// SIGUSR1 (a later copy asking this one to show its window). The handler may
// not touch the window directly; it should post work to the main thread.
// Installing again replaces the handler; an empty handler stops the calls.
void onRaiseRequest(std::function<void()> handler);

} // namespace Platform
