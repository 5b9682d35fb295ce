#include "platform/SerialPort.h"

#include "platform/Error.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace Platform {

namespace {

speed_t speedCode(std::uint32_t baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return 0;
    }
}

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

SerialPort::~SerialPort() {
    close();
}

bool SerialPort::open(const std::string& path) {
    close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setLastErrorFromErrno();
        return false;
    }
    m_fd = fd;
    return true;
}

void SerialPort::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

void SerialPort::setTimeouts(std::uint32_t intervalMs, std::uint32_t totalMs) {
    m_intervalMs = intervalMs;
    m_totalMs = totalMs;
}

bool SerialPort::setSpeed(std::uint32_t baud) {
    speed_t code = speedCode(baud);
    if (m_fd < 0 || code == 0) {
        setLastError(m_fd < 0 ? ErrorInvalidHandle : ErrorInvalidParameter);
        return false;
    }
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) {
        setLastErrorFromErrno();
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, code) != 0 || cfsetospeed(&tio, code) != 0 || tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        setLastErrorFromErrno();
        return false;
    }
    tcflush(m_fd, TCIFLUSH);
    return true;
}

int SerialPort::read(void* buffer, std::uint32_t size) {
    if (m_fd < 0) {
        setLastError(ErrorInvalidHandle);
        return -1;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint32_t got = 0;
    const std::int64_t start = nowMs();
    while (got < size) {
        std::int64_t left = static_cast<std::int64_t>(m_totalMs) - (nowMs() - start);
        if (left <= 0) break;
        // After the first byte the line may pause only `intervalMs`.
        if (got > 0 && left > m_intervalMs) left = m_intervalMs;
        pollfd p{m_fd, POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0) {
            if (errno == EINTR) continue;
            setLastErrorFromErrno();
            return -1;
        }
        if (ready == 0) {
            if (got > 0) break;
            continue;
        }
        ssize_t n = ::read(m_fd, out + got, size - got);
        if (n > 0) {
            got += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (got > 0) break;
        // 0 bytes from a ready line, or EIO: the other end hung up.
        if (n == 0)
            setLastError(ErrorBrokenPipe);
        else
            setLastErrorFromErrno();
        return -1;
    }
    return static_cast<int>(got);
}

int SerialPort::bytesWaiting() const {
    int count = 0;
    if (m_fd < 0 || ioctl(m_fd, FIONREAD, &count) != 0) {
        if (m_fd < 0)
            setLastError(ErrorInvalidHandle);
        else
            setLastErrorFromErrno();
        return -1;
    }
    return count;
}

bool SerialPort::hungUp() const {
    if (m_fd < 0) return true;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0) return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

} // namespace Platform
