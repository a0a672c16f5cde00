#pragma once

#include <memory>
#include <string>

#include "channel/channel.h"
#include "channel/serial_port.h"
#include "channel/serial_settings.h"
#include "channel/socket.h"

namespace vek {

// What a view (the connection box) learns from a VersatileChannel: after
// every open attempt the address asked for, then that the open state may
// have changed; after every close that the state may have changed. Both do
// nothing here. Views are not deleted through this interface.
class VersatileChannel_View_Adapter {
public:
    virtual void stateChanged() {}
    // address is only valid during the call and may be null.
    virtual void addressChanged(const char* address) { (void)address; }

protected:
    ~VersatileChannel_View_Adapter() = default;
};

// The one channel the rest of the program holds. Each open chooses, from
// the address, the serial channel (a serial port name) or the TCP channel
// (an "a.b.c.d:port" or "localhost:port" address, or "TCPIP" for the stored
// TCP address) and forwards everything to it until the next open.
class VersatileChannel : public Channel {
public:
    // Failure codes of open besides those of the chosen channel.
    enum OpenResult : int {
        kSerialAlreadyOpen = -101,
        kTcpAlreadyOpen = -102,
        kNoChannelForAddress = -103,
    };

    VersatileChannel();
    // Deletes the channels made by createDefaultChannels; attached channels
    // are left alone and the view is not told.
    ~VersatileChannel() override;
    VersatileChannel(const VersatileChannel&) = delete;
    VersatileChannel& operator=(const VersatileChannel&) = delete;

    // The current channel's result (0 when there is none), then the view is told.
    int close() override;
    bool isOpen() const override;
    // Opens address on the channel that takes it. settings, when not null,
    // is the SerialSettings or TcpSettings record for that channel and
    // replaces the stored one. Refuses with kSerialAlreadyOpen or
    // kTcpAlreadyOpen while either channel is open. The view is told the
    // address and then the state after every attempt.
    int open(const char* address, const void* settings) override;
    // Forwarded to the current channel; 0 when no channel has been chosen.
    int read(char* buffer, int capacity) override;
    int write(const char* data, int length) override;
    // Forwarded to the current channel; kCannotWait when none has been chosen.
    int waitForInput(int milliseconds) override;

    // Each takes effect only if no channel of its kind is set yet.
    void attachSerialPort(Channel* port);
    void attachSocket(Socket* socket);
    // Makes an own serial port and socket (once) and uses them, replacing
    // attached channels.
    void createDefaultChannels();
    // Stores "baud,parity,data bits,stop bits" for serial opens. 0; -1 for
    // fewer than 4 fields; -2 for a rate other than 19200 or 38400; -3 for a
    // parity letter other than n, e, o (checked first: a bad letter with a
    // bad rate is -3). Data and stop bits are passed on unchecked.
    int setSerialSettings(const char* text);
    // Stores a TCP address text as the address used for "TCPIP". 0, or -1
    // when text is no TCP address (settings unchanged).
    int setTcpAddress(const char* text);
    void setViewAdapter(VersatileChannel_View_Adapter* adapter) { view_ = adapter; }

    const SerialSettings& serialSettings() const { return serialSettings_; }
    const TcpSettings& tcpSettings() const { return tcpSettings_; }
    // The channel chosen by the last open that found one; null before.
    Channel* currentChannel() const { return current_; }
    // Why the last open failed, in words for the user: the chosen channel's
    // reason when it is a SerialPort or Socket, else this channel's own.
    std::string lastErrorText() const;

private:
    int openChosen(const char* address, const void* settings);

    Channel* current_ = nullptr;
    Channel* serial_ = nullptr;
    Socket* tcp_ = nullptr;
    std::unique_ptr<SerialPort> ownSerialPort_;
    std::unique_ptr<Socket> ownSocket_;
    SerialSettings serialSettings_;
    TcpSettings tcpSettings_;
    VersatileChannel_View_Adapter* view_ = nullptr;
    int lastResult_ = 0;
};

}  // namespace vek
