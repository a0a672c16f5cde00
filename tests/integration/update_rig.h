#pragma once

// A simulated detector on a pseudo-terminal and an update session wired to
// it the way the program wires its own: serial port behind the versatile
// channel, protocol handler on the versatile channel. Every frame the
// updater writes is kept, so tests can see what went on the line.

#include <memory>
#include <string>
#include <vector>

#include "channel/serial_port.h"
#include "channel/versatile_channel.h"
#include "integration/recording_view.h"
#include "protocol/protocol_handler.h"
#include "tools/devsim/simulator.h"
#include "update/session_sources.h"
#include "update/update_session.h"

namespace vek::test {

// Passes everything through to the channel it wraps and records the writes.
class TappedChannel : public Channel {
public:
    explicit TappedChannel(Channel& inner) : inner_(inner) {}
    int close() override { return inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }
    int open(const char* address, const void* settings) override {
        return inner_.open(address, settings);
    }
    int read(char* buffer, int capacity) override { return inner_.read(buffer, capacity); }
    int write(const char* data, int length) override {
        writes.emplace_back(data, data + length);
        return inner_.write(data, length);
    }
    int waitForInput(int milliseconds) override { return inner_.waitForInput(milliseconds); }

    std::vector<ByteVector> writes;

private:
    Channel& inner_;
};

// One page transfer request as it went out.
struct SentPage {
    int page;
    bool withData;
};

class UpdateRig {
public:
    explicit UpdateRig(devsim::DeviceConfig config, devsim::FaultPlan faults = {},
                       ImageSource images = nullptr)
        : sim(config, faults), tap(channel), session(tap, handler, view, std::move(images)) {
        port = sim.startPty();
        channel.attachSerialPort(&serial);
        channel.setSerialSettings("38400,n,8,1");
        handler.setChannel(&tap);
        session.setOpenFailureReason(serialOpenFailureReason(serial));
    }
    ~UpdateRig() { sim.stop(); }

    UpdateResult run() { return session.startUpdate(port.c_str()); }

    // The page requests among the frames written, in order.
    std::vector<SentPage> sentPages() const;

    devsim::Simulator sim;
    std::string port;
    SerialPort serial;
    VersatileChannel channel;
    TappedChannel tap;
    VekProtocolHandler handler;
    RecordingView view;
    UpdateSession session;
};

inline std::vector<SentPage> UpdateRig::sentPages() const {
    std::vector<SentPage> pages;
    for (const ByteVector& frame : tap.writes) {
        // "VEK", type, command, flags+length high, length low, payload, check
        if (frame.size() < 9 || frame[3] != '4' || frame[4] != 127) continue;
        const std::size_t length = ((frame[5] & 0x1F) << 8) | frame[6];
        if (length < 13) continue;  // ping or restart
        const std::uint8_t* payload = frame.data() + 7;
        const int address = (payload[1] << 16) | (payload[2] << 8) | payload[3];
        pages.push_back({address / 256, payload[0] == 0x09});
    }
    return pages;
}

}  // namespace vek::test
