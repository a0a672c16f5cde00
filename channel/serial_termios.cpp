#include "channel/serial_termios.h"

namespace vek::posix {

speed_t speedConstant(int baudRate) {
    struct Rate {
        int bitsPerSecond;
        speed_t constant;
    };
    static const Rate rates[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
    };
    for (const Rate& rate : rates) {
        if (rate.bitsPerSecond == baudRate) return rate.constant;
    }
    return B0;
}

bool applyLineSettings(termios& t, const SerialSettings& settings, std::string& reason) {
    const speed_t speed = speedConstant(settings.baudRate);
    if (speed == B0) {
        reason = "the baud rate " + std::to_string(settings.baudRate) + " is not supported";
        return false;
    }
    tcflag_t size = 0;
    switch (settings.dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default:
        reason = std::to_string(settings.dataBits) + " data bits are not supported (5 to 8)";
        return false;
    }

    termios result = t;
    cfmakeraw(&result);
    cfsetispeed(&result, speed);
    cfsetospeed(&result, speed);
    result.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    result.c_cflag |= size | CLOCAL | CREAD;
    // Mark and space parity are configured as none, like unknown values.
    if (settings.parity == kParityOdd) result.c_cflag |= PARENB | PARODD;
    if (settings.parity == kParityEven) result.c_cflag |= PARENB;
    if (settings.stopBits == 2) result.c_cflag |= CSTOPB;
    if (settings.rtsCts & 1) result.c_cflag |= CRTSCTS;
    result.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (settings.xonXoff & 1) result.c_iflag |= IXON | IXOFF;
    result.c_cc[VSTART] = 0x11;
    result.c_cc[VSTOP] = 0x13;
    result.c_cc[VMIN] = 0;
    result.c_cc[VTIME] = 0;
    t = result;
    return true;
}

}  // namespace vek::posix
