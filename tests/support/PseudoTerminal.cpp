#include "tests/support/PseudoTerminal.h"

#include "platform/Error.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace TestSupport {

PseudoTerminal::PseudoTerminal() {
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        Platform::setLastErrorFromErrno();
        m_master = m_slave = -1;
        return;
    }
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    // Raw on the device side, so the bytes pass unchanged.
    termios tio{};
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
    m_path = name;
}

PseudoTerminal::~PseudoTerminal() { close(); }

bool PseudoTerminal::write(const std::string& bytes, int waitMs) {
    // A bounded write never blocks in write() itself: room for a few bytes
    // would let a blocking write wait for the rest.
    const int flags = fcntl(m_master, F_GETFL);
    const bool bounded = waitMs >= 0 && flags >= 0;
    if (bounded) fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    bool written = true;
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (bounded) {
            pollfd room{m_master, POLLOUT, 0};
            const int ready = ::poll(&room, 1, waitMs);
            if (ready < 0 && errno == EINTR) continue;
            if (ready == 0) {
                Platform::setLastError(Platform::ErrorTimeout);
                written = false;
                break;
            }
        }
        ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n < 0 && (errno == EINTR || (bounded && errno == EAGAIN))) continue;
        if (n <= 0) {
            Platform::setLastErrorFromErrno();
            written = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (bounded) fcntl(m_master, F_SETFL, flags);
    return written;
}

std::uint32_t PseudoTerminal::deviceSpeed() const {
    termios tio{};
    if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0) return 0;
    const speed_t code = cfgetispeed(&tio);
    const std::pair<speed_t, std::uint32_t> speeds[] = {{B1200, 1200},   {B2400, 2400},     {B4800, 4800},
                                                        {B9600, 9600},   {B19200, 19200},   {B38400, 38400},
                                                        {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
    for (const auto& [c, baud] : speeds)
        if (c == code) return baud;
    return 0;
}

void PseudoTerminal::close() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
    m_slave = m_master = -1;
}

} // namespace TestSupport
