#include "channel/serial_port_list.h"

#include <algorithm>
#include <cstring>

SerialPortList::SerialPortList() : SerialPortList("/sys/class/tty", "/dev") {}

SerialPortList::SerialPortList(std::string ttyClassRoot, std::string deviceRoot)
    : ttyClassRoot_(std::move(ttyClassRoot)), deviceRoot_(std::move(deviceRoot)) {
    refresh();
}

void SerialPortList::refresh() {
    entries_ = enumerate();
    std::sort(entries_.begin(), entries_.end(),
              [](const SerialPortEntry& a, const SerialPortEntry& b) { return comesBefore(a.name, b.name); });
    names_.clear();
    for (const SerialPortEntry& entry : entries_) names_.push_back(entry.name);
}

std::string SerialPortList::description(const std::string& name) const {
    for (const SerialPortEntry& entry : entries_) {
        if (entry.name == name) return entry.description;
    }
    return std::string();
}

bool SerialPortList::comesBefore(const std::string& a, const std::string& b) {
    static const char* const digits = "0123456789";
    const std::size_t headA = std::min(a.find_first_of(digits), a.size());
    const std::size_t headB = std::min(b.find_first_of(digits), b.size());
    // std::string compares chars as unsigned bytes, so bytes above 0x7F
    // sort after ASCII.
    const int heads = a.compare(0, headA, b, 0, headB);
    if (heads != 0) return heads < 0;
    if (a.size() != b.size()) return a.size() < b.size();
    return a.compare(headA, std::string::npos, b, headB, std::string::npos) < 0;
}
