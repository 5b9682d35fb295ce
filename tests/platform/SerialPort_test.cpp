#include "platform/Error.h"
#include "platform/SerialPort.h"
#include "tests/support/FailingSyscalls.h"
#include "tests/support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include <cerrno>
#include <sys/ioctl.h>
#include <sys/syscall.h>

TEST(SerialPort, ReadsWhatTheFarEndWritesWithinItsTimeOuts) {
    TestSupport::PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    Platform::SerialPort port;
    EXPECT_FALSE(port.setSpeed(4800));
    EXPECT_EQ(Platform::lastError(), Platform::ErrorInvalidHandle);
    ASSERT_TRUE(port.open(pty.devicePath()));
    port.setTimeouts(20, 60);
    EXPECT_TRUE(port.setSpeed(9600));
    EXPECT_EQ(pty.deviceSpeed(), 9600u);
    EXPECT_FALSE(port.setSpeed(12345)); // no such line speed
    EXPECT_EQ(Platform::lastError(), Platform::ErrorInvalidParameter);
    // A line that refuses its settings (a device gone) says why.
    EXPECT_EQ(TestSupport::runWithFailingCalls({{SYS_ioctl, TCSETS}}, EIO,
                                               [&port] { return port.setSpeed(4800) ? 0 : Platform::lastError(); }),
              Platform::ErrorInvalidFunction);

    // Silence: the read gives up after its total time-out with no bytes.
    char buffer[64] = {};
    EXPECT_EQ(port.read(buffer, sizeof buffer), 0);
    EXPECT_EQ(port.bytesWaiting(), 0);

    const std::string bytes = "$GPGGA,1\r\n\x00\xff\x7f";
    ASSERT_TRUE(pty.write(bytes));
    std::string got;
    for (int i = 0; i < 50 && got.size() < bytes.size(); ++i) {
        int n = port.read(buffer, 5);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 5); // never more than asked
        got.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, bytes); // raw: no translation of CR, LF or high bytes

    // A speed change drops what the driver held.
    ASSERT_TRUE(pty.write("xyz"));
    for (int i = 0; i < 1000 && port.bytesWaiting() < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the pty hands bytes on asynchronously
    EXPECT_EQ(port.bytesWaiting(), 3);
    EXPECT_TRUE(port.setSpeed(4800));
    EXPECT_EQ(port.bytesWaiting(), 0);

    EXPECT_FALSE(port.hungUp());
    pty.close();
    EXPECT_TRUE(port.hungUp());
    EXPECT_EQ(port.read(buffer, sizeof buffer), -1);
    EXPECT_NE(Platform::lastError(), 0);
}

TEST(SerialPort, AMissingDeviceFailsToOpen) {
    Platform::SerialPort port;
    EXPECT_FALSE(port.open("/nonexistent/ttyNONE"));
    EXPECT_EQ(Platform::lastError(), Platform::ErrorFileNotFound);
    EXPECT_FALSE(port.isOpen());
    char c;
    EXPECT_EQ(port.read(&c, 1), -1);
    EXPECT_EQ(port.bytesWaiting(), -1);
    EXPECT_TRUE(port.hungUp());
}

// A write with a bound gives up when nobody reads the device side and the
// line is full, instead of waiting for ever; what fitted stays readable.
TEST(SerialPort, ABoundedWriteIntoAFullLineGivesUp) {
    TestSupport::PseudoTerminal pty;
    ASSERT_TRUE(pty.isOpen());
    const std::string sentence(80, 'x');
    int written = 0;
    while (written < 10000 && pty.write(sentence, 20))
        ++written;
    EXPECT_LT(written, 10000); // about 4 KiB fit
    EXPECT_EQ(Platform::lastError(), Platform::ErrorTimeout);
    Platform::SerialPort port;
    ASSERT_TRUE(port.open(pty.devicePath()));
    char buffer[64] = {};
    port.setTimeouts(20, 60);
    EXPECT_GT(port.read(buffer, sizeof buffer), 0);
}
