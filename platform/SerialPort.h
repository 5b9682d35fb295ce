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

// A pseudo-terminal pair (openpty) for exercising serial code without a
// device: `devicePath` names the far side a SerialPort opens; bytes written
// to the master come out there.
class PseudoTerminal {
  public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isOpen() const { return m_master >= 0; }
    const std::string& devicePath() const { return m_path; }
    // Writes all of `bytes`. With `waitMs` at 0 or more, waits at most that
    // long for room each time the line is full (nobody reads the device
    // side) and gives up with false: a test receiver that talks into a line
    // nobody reads ends when it is told to, as a real one's bytes are lost.
    bool write(const std::string& bytes, int waitMs = -1);
    // The line speed the device side was last set to (0 when unknown), so a
    // test receiver can answer at one speed only.
    std::uint32_t deviceSpeed() const;
    // Closes both ends: a port on the device sees a hang-up.
    void close();

  private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

} // namespace Platform
