#pragma once

// An in-memory channel for handler tests: each read hands out the next
// scripted chunk (at most the reader's capacity; the rest stays for the next
// read), and an optional reaction turns each written frame into answers.
// It cannot wait for input unless onWait says how a wait ends.

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

#include "channel/channel.h"
#include "protocol/telegram.h"

namespace vek::test {

class ScriptedChannel : public Channel {
public:
    int close() override {
        connected = false;
        return 0;
    }
    bool isOpen() const override { return connected; }
    int open(const char*, const void*) override {
        connected = true;
        return 0;
    }

    int read(char* buffer, int capacity) override {
        ++reads;
        lastCapacity = capacity;
        if (!connected) return -1;
        if (chunks.empty()) return 0;
        ByteVector& chunk = chunks.front();
        const int count = std::min(capacity, static_cast<int>(chunk.size()));
        std::copy(chunk.begin(), chunk.begin() + count, buffer);
        chunk.erase(chunk.begin(), chunk.begin() + count);
        if (chunk.empty()) chunks.pop_front();
        return count;
    }

    int write(const char* data, int length) override {
        written.emplace_back(data, data + length);
        if (onWrite) onWrite(written.back());
        if (writeResult) return writeResult(length);
        return connected ? length : -1;
    }

    int waitForInput(int milliseconds) override {
        waitBounds.push_back(milliseconds);
        return onWait ? onWait(milliseconds) : Channel::waitForInput(milliseconds);
    }

    // Queues bytes as the answer of one later read.
    void arrive(const ByteVector& bytes) { chunks.push_back(bytes); }

    bool connected = true;
    std::deque<ByteVector> chunks;
    std::vector<ByteVector> written;
    std::function<void(const ByteVector&)> onWrite;
    std::function<int(int)> writeResult;  // overrides what write returns
    std::function<int(int)> onWait;       // the result of a wait, given its bound
    std::vector<int> waitBounds;          // the bound of every wait asked for
    int reads = 0;
    int lastCapacity = 0;
};

}  // namespace vek::test
