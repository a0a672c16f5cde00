// The serial port on POSIX terminals (termios).

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "channel/posix_io.h"
#include "channel/scan_fields.h"
#include "channel/serial_port.h"
#include "channel/serial_termios.h"

namespace vek {

struct SerialPort::SystemPort {
    int fd = -1;  // open exactly while >= 0; holds an exclusive flock
};

namespace {

// Why a device could not be opened, in the words a user needs.
std::string openFailureText(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "no such device";
    case EACCES:
    case EPERM:
        return "permission denied (is the user in the dialout group?)";
    case EBUSY:
    case EWOULDBLOCK:
        return "in use by another program";
    default:
        return posix::errorText(error);
    }
}

// Why a transfer failed: a vanished device reads better than "I/O error".
std::string transferFailureText(int error) {
    switch (error) {
    case EIO:
    case ENXIO:
    case ENODEV:
        return "the device has gone (unplugged or hung up)";
    case ETIMEDOUT:
        return "the device accepted no data (flow control held off or nobody reading)";
    default:
        return posix::errorText(error);
    }
}

int lineCall(int fd, unsigned long request, int bits) {
    return ::ioctl(fd, request, &bits) == 0 ? 0 : -1;
}

// Raises (TIOCMBIS) or lowers (TIOCMBIC) the lines named in mask, DTR
// first. The result is that of RTS when it is named, else that of DTR;
// -1 when neither is.
int switchLines(int fd, int mask, unsigned long request) {
    int result = -1;
    if (mask & kLineDtr) result = lineCall(fd, request, TIOCM_DTR);
    if (mask & kLineRts) result = lineCall(fd, request, TIOCM_RTS);
    return result;
}

}  // namespace

std::string serialDeviceFile(const char* name) {
    if (name == nullptr) return std::string();
    if (name[0] == '/') return name;
    const char* p = name;
    scan::literal(p, "\\\\.\\");
    int number = 0;
    if (scan::literalIgnoringCase(p, "COM") && scan::integer(p, number) && number >= 1 && number <= 256) {
        return "/dev/ttyS" + std::to_string(number - 1);
    }
    return name;
}

SerialPort::SerialPort() : system_(std::make_unique<SystemPort>()) {}

SerialPort::~SerialPort() {
    close();
}

bool SerialPort::isOpen() const {
    return system_->fd >= 0;
}

int SerialPort::close() {
    int& fd = system_->fd;
    if (fd < 0) return 0;
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    fd = -1;
    return 0;
}

int SerialPort::open(const char* name, const void* settings) {
    if (settings != nullptr) settings_ = *static_cast<const SerialSettings*>(settings);
    close();

    const std::string device = serialDeviceFile(name);
    const std::string where = (name != nullptr && device != name) ? " (" + device + ")" : std::string();
    if (device.empty() || device[0] != '/') return fail(kCannotOpen, "no such device" + where);
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(kCannotOpen, openFailureText(errno) + where);
    // Root passes TIOCEXCL, so the lock is what keeps a second user out.
    // A file system without flock support does not mean that the port is busy.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return fail(kCannotOpen, openFailureText(EBUSY) + where);
    }
    ::ioctl(fd, TIOCEXCL);
    system_->fd = fd;
    portName_ = name;
    lastError_.clear();

    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        return fail(kSettingsRefused, errno == ENOTTY ? "not a serial port" : posix::errorText(errno));
    }
    std::string reason;
    if (!posix::applyLineSettings(t, settings_, reason)) return fail(kSettingsRefused, reason);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        return fail(kSettingsRefused, "the line settings were refused: " + posix::errorText(errno));
    }
    // DTR and RTS up, as a terminal program would; ports without modem lines
    // (pseudo-terminals) refuse, which is harmless.
    lineCall(fd, TIOCMBIS, TIOCM_DTR | TIOCM_RTS);

    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        return fail(kTimeoutsRefused, "reads could not be made non-waiting: " + posix::errorText(errno));
    }
    if (::tcflush(fd, TCIOFLUSH) != 0) {
        return fail(kQueuesRefused, "the port's queues could not be reset: " + posix::errorText(errno));
    }
    return kOpened;
}

int SerialPort::read(char* buffer, int capacity) {
    const int fd = system_->fd;
    if (fd < 0) return fail(-1, "the port is not open");
    if (capacity <= 0) return 0;
    const ssize_t n = ::read(fd, buffer, static_cast<std::size_t>(capacity));
    if (n > 0) return static_cast<int>(n);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
        return fail(-1, transferFailureText(errno));
    }
    // With VMIN and VTIME 0 an empty read is the normal "nothing yet", but a
    // hung-up terminal reads empty for ever: tell the two apart.
    if (posix::hungUp(fd)) return fail(-1, transferFailureText(EIO));
    return 0;
}

int SerialPort::write(const char* data, int length) {
    const int fd = system_->fd;
    if (fd < 0) return fail(-1, "the port is not open");
    if (length <= 0) return 0;
    if (posix::writeAll(fd, data, length, writeTimeoutMs_, posix::Sender::kWrite) < 0) {
        return fail(-1, transferFailureText(errno));
    }
    while (::tcdrain(fd) != 0) {
        if (errno != EINTR) return fail(-1, transferFailureText(errno));
    }
    return length;
}

int SerialPort::waitForInput(int milliseconds) {
    const int fd = system_->fd;
    if (fd < 0) return kCannotWait;
    const int ready = posix::waitReadable(fd, milliseconds);
    return ready < 0 ? kCannotWait : ready;
}

int SerialPort::setLines(int mask) {
    return switchLines(system_->fd, mask, TIOCMBIS);
}

int SerialPort::clearLines(int mask) {
    return switchLines(system_->fd, mask, TIOCMBIC);
}

int SerialPort::applyLines(int mask) {
    const int fd = system_->fd;
    lineCall(fd, (mask & kLineDtr) ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
    return lineCall(fd, (mask & kLineRts) ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
}

int SerialPort::setBaudRate(int baudRate) {
    const int fd = system_->fd;
    const speed_t speed = posix::speedConstant(baudRate);
    termios t{};
    if (fd < 0 || speed == B0 || ::tcgetattr(fd, &t) != 0) return -1;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) return -1;
    settings_.baudRate = baudRate;
    return 0;
}

int SerialPort::sendBreak(int units) {
    const int fd = system_->fd;
    if (units < 1) units = 1;
    const bool set = ::ioctl(fd, TIOCSBRK) == 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(250) * units);
    const bool cleared = ::ioctl(fd, TIOCCBRK) == 0;
    return set && cleared ? 0 : -1;
}

int SerialPort::modemStatus() {
    int bits = 0;
    if (::ioctl(system_->fd, TIOCMGET, &bits) != 0) return -1;
    int status = 0;
    if (bits & TIOCM_CTS) status |= kLineCts;
    if (bits & TIOCM_DSR) status |= kLineDsr;
    if (bits & TIOCM_RNG) status |= kLineRing;
    if (bits & TIOCM_CAR) status |= kLineCarrier;
    return status;
}

}  // namespace vek
