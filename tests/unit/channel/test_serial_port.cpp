#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "channel/serial_port.h"
#include "channel/serial_termios.h"
#include "input_wait_checks.h"
#include "pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string everyByteValue() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    return bytes;
}

TEST(SerialPortNames, ComNamesKeepTheirFormsAndMapToUartNodes) {
    for (const char* name : {"COM1", "com12", "\\\\.\\cOm7", "/dev/ttyUSB0", "/dev/serial/by-id/usb-X-if00"})
        EXPECT_TRUE(vek::isSerialPortName(name)) << name;
    for (const char* name : {static_cast<const char*>(nullptr), "CO", "ttyUSB0", "TCPIP", "10.0.0.1:23"})
        EXPECT_FALSE(vek::isSerialPortName(name)) << (name ? name : "null");

    EXPECT_STREQ(vek::serialDevicePath("com3"), "COM3");
    EXPECT_STREQ(vek::serialDevicePath("COM12"), "\\\\.\\COM12");
    for (const char* unchanged : {"\\\\.\\COM12", "COM0", "COM300", "COMX", "COM99999999999999999", "com1-twenty-chars-long"})
        EXPECT_EQ(vek::serialDevicePath(unchanged), unchanged) << unchanged;

    EXPECT_EQ(vek::serialDeviceFile("com1"), "/dev/ttyS0");
    EXPECT_EQ(vek::serialDeviceFile("\\\\.\\COM12"), "/dev/ttyS11");
    EXPECT_EQ(vek::serialDeviceFile("/dev/ttyACM0"), "/dev/ttyACM0");
    EXPECT_EQ(vek::serialDeviceFile("COM300"), "COM300");
}

TEST(SerialTermios, SettingsMapToTermiosFlags) {
    termios t{};
    std::string why;
    SerialSettings s;
    s.baudRate = 19200;
    s.parity = vek::kParityEven;
    s.dataBits = 7;
    s.stopBits = 2;
    ASSERT_TRUE(vek::posix::applyLineSettings(t, s, why));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CSTOPB), static_cast<tcflag_t>(PARENB | CSTOPB));

    s.parity = vek::kParityOdd;
    ASSERT_TRUE(vek::posix::applyLineSettings(t, s, why));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB | PARODD));
    for (int parity : {3, 4, 7}) {
        s.parity = parity;
        ASSERT_TRUE(vek::posix::applyLineSettings(t, s, why));
        EXPECT_EQ(t.c_cflag & (PARENB | CMSPAR), 0u) << parity;
    }
    for (int stopBits : {0, 1, 3}) {
        s.stopBits = static_cast<std::uint8_t>(stopBits);
        ASSERT_TRUE(vek::posix::applyLineSettings(t, s, why));
        EXPECT_EQ(t.c_cflag & CSTOPB, 0u) << stopBits;
    }

    const termios before = t;
    s.baudRate = 12345;
    EXPECT_FALSE(vek::posix::applyLineSettings(t, s, why));
    EXPECT_NE(why.find("12345"), std::string::npos);
    s.baudRate = 38400;
    s.dataBits = 9;
    EXPECT_FALSE(vek::posix::applyLineSettings(t, s, why));
    EXPECT_EQ(t.c_cflag, before.c_cflag);
}

TEST(SerialPortPty, OpensRawWithDefaultsAndReadsNothingAtOnce) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    // Start from a cooked line, as a terminal left by another program is.
    termios cooked = pty.slaveSettings();
    cooked.c_iflag |= ICRNL | IXON;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    cfsetospeed(&cooked, B9600);
    ASSERT_EQ(::tcsetattr(pty.master(), TCSANOW, &cooked), 0);
    vek::SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath(), nullptr), vek::SerialPort::kOpened) << port.lastErrorText();
    EXPECT_TRUE(port.isOpen());

    const termios t = pty.slaveSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    char buffer[64];
    const auto start = Clock::now();
    EXPECT_EQ(port.read(buffer, sizeof buffer), 0);
    EXPECT_LT(millisecondsSince(start), 500);

    char text[128];
    port.describe(text, sizeof text);
    EXPECT_EQ(std::string(text), std::string(pty.slavePath()) + ":38400,n,8,1");
    // A pseudo-terminal has no modem lines: refused, not fatal.
    EXPECT_EQ(port.setLines(vek::kLineDtr | vek::kLineRts), -1);
    EXPECT_EQ(port.setLines(0), -1);
    EXPECT_TRUE(port.isOpen());

    EXPECT_EQ(port.close(), 0);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.close(), 0);
    EXPECT_EQ(port.read(buffer, sizeof buffer), -1);
}

TEST(SerialPortPty, AppliesSpeedStopBitsAndFlowControl) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    vek::SerialPort port;
    SerialSettings s;
    s.baudRate = 19200;
    s.stopBits = 2;
    s.rtsCts = 1;
    s.xonXoff = 1;
    ASSERT_EQ(port.open(pty.slavePath(), &s), vek::SerialPort::kOpened) << port.lastErrorText();
    termios t = pty.slaveSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), static_cast<tcflag_t>(CSTOPB | CRTSCTS));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));

    ASSERT_EQ(port.setBaudRate(115200), 0);
    t = pty.slaveSettings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(port.settings().baudRate, 115200);

    // The settings stay with the port for the next open without a record.
    port.close();
    ASSERT_EQ(port.openWithSettings(pty.slavePath(), "19200,x,8,1"), vek::SerialPort::kOpened);
    EXPECT_EQ(port.settings().parity, vek::kParityNone);
    EXPECT_EQ(port.settings().rtsCts, 0);
    EXPECT_EQ(port.openWithSettings(pty.slavePath(), "19200,n,8"), vek::SerialPort::kBadSettingsText);
}

TEST(SerialPortPty, EveryByteValuePassesBothWaysUnchanged) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    vek::SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath(), nullptr), vek::SerialPort::kOpened) << port.lastErrorText();
    const std::string bytes = everyByteValue();

    ASSERT_EQ(port.write(bytes.data(), static_cast<int>(bytes.size())), 256);
    EXPECT_EQ(pty.receive(256), bytes);

    pty.send(bytes);
    std::string received;
    const auto start = Clock::now();
    while (received.size() < bytes.size() && millisecondsSince(start) < 2000) {
        char buffer[100];
        const int n = port.read(buffer, sizeof buffer);
        ASSERT_GE(n, 0);
        received.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(received, bytes);
}

TEST(SerialPortPty, SecondOpenIsRefusedWhileTheFirstHoldsThePort) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    vek::SerialPort first, second;
    ASSERT_EQ(first.open(pty.slavePath(), nullptr), vek::SerialPort::kOpened);
    EXPECT_EQ(second.open(pty.slavePath(), nullptr), vek::SerialPort::kCannotOpen);
    EXPECT_FALSE(second.isOpen());
    EXPECT_STREQ(second.lastErrorText(), "in use by another program");

    first.close();
    EXPECT_EQ(second.open(pty.slavePath(), nullptr), vek::SerialPort::kOpened) << second.lastErrorText();
    EXPECT_STREQ(second.lastErrorText(), "");
}

TEST(SerialPortPty, WriteAndReadFailOnceTheFarEndHasClosed) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    vek::SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath(), nullptr), vek::SerialPort::kOpened);
    pty.closeMaster();
    char buffer[16] = "ping";
    EXPECT_EQ(port.write(buffer, 4), -1);
    EXPECT_NE(std::string(port.lastErrorText()).find("gone"), std::string::npos) << port.lastErrorText();
    EXPECT_EQ(port.read(buffer, sizeof buffer), -1);
    EXPECT_TRUE(port.isOpen());
}

TEST(SerialPortPty, WaitForInputEndsWhenBytesArriveOrTheFarEndGoes) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    vek::SerialPort port;
    EXPECT_EQ(port.waitForInput(10), vek::Channel::kCannotWait);
    ASSERT_EQ(port.open(pty.slavePath(), nullptr), vek::SerialPort::kOpened);

    expectWaitEndsWhenBytesArrive(port, [&pty] { pty.send("ab"); });
    char buffer[8];
    EXPECT_EQ(port.read(buffer, sizeof buffer), 2);

    // A vanished far end ends the wait too, and the read then says so.
    pty.closeMaster();
    const auto start = Clock::now();
    EXPECT_EQ(port.waitForInput(20000), 1);
    EXPECT_LT(millisecondsSince(start), 10000);
    EXPECT_EQ(port.read(buffer, sizeof buffer), -1);
    port.close();
    EXPECT_EQ(port.waitForInput(10), vek::Channel::kCannotWait);
}

TEST(SerialPortPty, WriteFailsAfterAHangUp) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    // Our own descriptor of the slave, opened before the port takes it.
    const int slave = ::open(pty.slavePath(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    vek::SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath(), nullptr), vek::SerialPort::kOpened);
    const int hangUp = ::ioctl(slave, TIOCVHANGUP);
    const int error = errno;
    ::close(slave);
    if (hangUp != 0 && error == EPERM) GTEST_SKIP() << "TIOCVHANGUP needs CAP_SYS_ADMIN";
    ASSERT_EQ(hangUp, 0);
    EXPECT_EQ(port.write("x", 1), -1);
}

TEST(SerialPortPty, WriteGivesUpWhenNobodyReads) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    vek::SerialPort port;
    ASSERT_EQ(port.open(pty.slavePath(), nullptr), vek::SerialPort::kOpened);
    port.setWriteTimeout(200);
    const std::string lots(1 << 20, 'x');
    const auto start = Clock::now();
    EXPECT_EQ(port.write(lots.data(), static_cast<int>(lots.size())), -1);
    EXPECT_LT(millisecondsSince(start), 5000);
    EXPECT_NE(std::string(port.lastErrorText()).find("accepted no data"), std::string::npos);
}

TEST(SerialPortOpen, FailuresSayWhy) {
    vek::SerialPort port;
    EXPECT_EQ(port.open("/dev/t3xx-no-such-port", nullptr), vek::SerialPort::kCannotOpen);
    EXPECT_STREQ(port.lastErrorText(), "no such device");
    EXPECT_FALSE(port.isOpen());

    EXPECT_EQ(port.open("COM0", nullptr), vek::SerialPort::kCannotOpen);
    EXPECT_EQ(port.open("COM200", nullptr), vek::SerialPort::kCannotOpen);
    EXPECT_NE(std::string(port.lastErrorText()).find("/dev/ttyS199"), std::string::npos);
    EXPECT_STREQ(port.portName(), "");

    // Opening worked, configuring did not: the port counts as open.
    EXPECT_EQ(port.open("/dev/null", nullptr), vek::SerialPort::kSettingsRefused);
    EXPECT_STREQ(port.lastErrorText(), "not a serial port");
    EXPECT_TRUE(port.isOpen());
    EXPECT_STREQ(port.portName(), "/dev/null");
}

}  // namespace
