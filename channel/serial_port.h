#pragma once

#include <memory>
#include <string>

#include "channel/channel.h"
#include "channel/serial_settings.h"

namespace vek {

// Bits of the line masks of SerialPort::setLines, clearLines, applyLines and
// modemStatus (the values of the POSIX modem-control bits).
enum SerialLine : int {
    kLineDtr = 0x002,
    kLineRts = 0x004,
    kLineCts = 0x020,
    kLineCarrier = 0x040,
    kLineRing = 0x080,
    kLineDsr = 0x100,
};

// Whether name means a serial port: a name beginning with "COM" or
// "\\.\COM" (case ignored), or an absolute device path such as
// /dev/ttyUSB0, /dev/serial/by-id/... or a pseudo-terminal. False for null.
bool isSerialPortName(const char* name);

// The canonical form of a COM-style port name: "com3" becomes "COM3", ports
// 10 to 256 take the "\\.\COM12" form; names beginning with "\\.\", names of
// 20 or more characters, names without a number after "COM" and numbers
// outside 1..256 come back unchanged. The result is name itself or a buffer
// that the next call overwrites (not reentrant).
const char* serialDevicePath(const char* name);

// The device file that the POSIX backend opens for a port name. Absolute
// paths are used as they are. A COM-style name maps to the 8250 UART node
// with the number one lower (COM1 is /dev/ttyS0, \\.\COM12 is /dev/ttyS11),
// so preferences saved with the old names keep working on the built-in
// ports. Any other name yields itself, which the backend refuses as "no
// such device" (relative names are never opened).
std::string serialDeviceFile(const char* name);

// A serial port as a byte-stream channel. Reads never wait; writes return
// once the data has left the driver. The port is opened exclusively: a
// second open of the same device, from this process or another, fails
// while it is open.
class SerialPort : public Channel {
public:
    // Failure codes of open and openWithSettings.
    enum OpenResult : int {
        kOpened = 0,
        kCannotOpen = -1,        // the device could not be opened; the port stays closed
        kSettingsRefused = -2,   // the line settings were refused; the port stays open
        kTimeoutsRefused = -5,   // non-waiting reads could not be set up; the port stays open
        kQueuesRefused = -6,     // the queues could not be reset; the port stays open
        kBadSettingsText = -10,  // openWithSettings: fewer than 4 fields in the text
    };

    SerialPort();
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    const char* className() const override { return "SerialPort"; }
    // Releases the device and its lock; returns 0, also when already closed.
    int close() override;
    int reserved() override { return -1; }
    bool isOpen() const override;
    // Opens the named port (see isSerialPortName) with *settings, a
    // SerialSettings record that replaces the stored one, or with the stored
    // settings when settings is null. Returns an OpenResult. A port that is
    // still open is closed first.
    int open(const char* name, const void* settings) override;
    // Bytes that have arrived, at most capacity; 0 at once when none has.
    // -1 when the port is closed, the device has gone or reading failed.
    int read(char* buffer, int capacity) override;
    // Writes all of data and waits until the driver has sent it; returns
    // length, or -1 when the port is closed, the device has gone, or the
    // device accepted nothing for the write time-out.
    int write(const char* data, int length) override;
    // Sleeps in the kernel until bytes arrive or the device goes, at most
    // the milliseconds; kCannotWait while closed.
    int waitForInput(int milliseconds) override;

    // Opens with a settings text "baud,parity,data bits,stop bits" (parity
    // letter e, n or o, any other letter meaning none), flow control off.
    // kBadSettingsText if the text has fewer than 4 fields.
    int openWithSettings(const char* name, const char* settingsText);
    // Raise (setLines) or lower (clearLines) DTR and/or RTS as named in mask.
    // 0 if the RTS change worked (when RTS is named), else if the DTR change
    // worked; -1 otherwise, also when neither is named. Pseudo-terminals have
    // no modem lines: -1.
    int setLines(int mask);
    int clearLines(int mask);
    // Sets DTR, then RTS, to the state of their bits; 0 if the RTS change worked.
    int applyLines(int mask);
    // Changes the speed of the open port; on success the stored settings
    // take the new rate. 0 or -1.
    int setBaudRate(int baudRate);
    // Holds a break for units x 250 ms (at least one unit). 0 or -1.
    int sendBreak(int units);
    // The modem status as kLineCts | kLineDsr | kLineRing | kLineCarrier
    // bits, or -1 if the port cannot report it.
    int modemStatus();
    // Writes "name:baud,parity letter,data bits,stop bits" (for example
    // "COM1:38400,n,8,1") into buffer, always terminated, at most size
    // characters; returns the length of the full text.
    int describe(char* buffer, int size) const;

    const SerialSettings& settings() const { return settings_; }
    // The name given to the last open whose device could be opened.
    const char* portName() const { return portName_.c_str(); }
    // Why the last failing open, read or write failed, in words for the
    // user, e.g. "in use by another program" or "permission denied (is the
    // user in the dialout group?)"; empty after a successful open.
    const char* lastErrorText() const { return lastError_.c_str(); }
    // How long a write may wait for a device that accepts no data before it
    // fails (flow control held off, far end not reading). Default 10 s.
    void setWriteTimeout(int milliseconds) { writeTimeoutMs_ = milliseconds; }

private:
    int fail(int code, std::string reason);

    struct SystemPort;  // the backend's own record (descriptor and lock)

    SerialSettings settings_;
    std::string portName_;
    std::unique_ptr<SystemPort> system_;
    std::string lastError_;
    int writeTimeoutMs_ = 10000;
};

}  // namespace vek
