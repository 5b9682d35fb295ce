#include "platform/detail/SignalWatch.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace Platform::detail {

namespace {

// Per signal number: the pipe its handler writes into and what it notes.
std::atomic<int> g_pipeOf[NSIG];
std::atomic<void (*)(int)> g_noteOf[NSIG];

void onSignal(int signal) {
    const int saved = errno;
    if (auto note = g_noteOf[signal].load())
        note(signal);
    const int fd = g_pipeOf[signal].load();
    const char byte = 1;
    // A full pipe only drops wake-ups: the watcher has calls pending.
    if (fd >= 0)
        (void)!::write(fd, &byte, 1);
    errno = saved;
}

} // namespace

SignalWatch::SignalWatch(std::initializer_list<int> signals, void (*note)(int)) {
    if (::pipe2(m_pipe, O_CLOEXEC) == 0) {
        ::fcntl(m_pipe[1], F_SETFL, ::fcntl(m_pipe[1], F_GETFL) | O_NONBLOCK);
        std::thread([this] { watch(); }).detach();
    } else {
        m_pipe[0] = m_pipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : signals) {
        g_noteOf[signal] = note;
        g_pipeOf[signal] = m_pipe[1];
        ::sigaction(signal, &action, nullptr);
    }
}

void SignalWatch::setHandler(std::function<void()> handler) {
    std::lock_guard lock(m_lock);
    m_handler = std::move(handler);
}

void SignalWatch::watch() {
    char byte;
    for (;;) {
        const ssize_t got = ::read(m_pipe[0], &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        std::function<void()> handler;
        {
            std::lock_guard lock(m_lock);
            handler = m_handler;
        }
        if (handler)
            handler();
    }
}

} // namespace Platform::detail
