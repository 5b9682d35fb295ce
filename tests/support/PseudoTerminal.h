#pragma once
// A pseudo-terminal pair (openpty) for exercising serial code without a
// device: `devicePath` names the far side a Platform::SerialPort opens; bytes
// written to the master come out there. Failures leave the thread's last
// error set (Platform::lastError).

#include <cstdint>
#include <string>

namespace TestSupport {

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

} // namespace TestSupport
