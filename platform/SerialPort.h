#pragma once
// A serial line in raw 8N1 mode with read time-outs: a read ends when no
// byte arrived for `intervalMs` after the last one, or when `totalMs` passed
// since it began, whichever comes first. Failures leave the thread's last
// error set (Platform::lastError) and are reported as false or 0.

#include <cstdint>
#include <string>

namespace Platform {

class SerialPort {
  public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens an existing device for reading and writing.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    void setTimeouts(std::uint32_t intervalMs, std::uint32_t totalMs);
    // Raw 8N1 at `baud`, then drops whatever the driver had received.
    bool setSpeed(std::uint32_t baud);
    // At most `size` bytes; -1 on failure (a hung-up line included).
    int read(void* buffer, std::uint32_t size);
    // Bytes waiting in the driver's input queue; -1 on failure.
    int bytesWaiting() const;
    // Whether the other end has gone away (the device hung up).
    bool hungUp() const;

  private:
    int m_fd = -1;
    std::uint32_t m_intervalMs = 333;
    std::uint32_t m_totalMs = 1000;
};

} // namespace Platform
