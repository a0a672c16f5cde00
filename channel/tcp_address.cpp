// TCP address texts: the same on every platform.

#include <cstring>

#include "channel/scan_fields.h"
#include "channel/socket.h"

namespace vek {

std::uint32_t ipv4Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    std::uint32_t address = 0;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

namespace {

bool inRange(int value, int low, int high) {
    return value >= low && value <= high;
}

}  // namespace

bool parseTcpAddress(const char* text, std::uint32_t& address, std::uint16_t& port) {
    if (text == nullptr) return false;
    int n[5] = {};
    const char* p = text;
    if (scan::integer(p, n[0]) && scan::literal(p, ".") && scan::integer(p, n[1]) && scan::literal(p, ".") &&
        scan::integer(p, n[2]) && scan::literal(p, ".") && scan::integer(p, n[3]) && scan::literal(p, ":") &&
        scan::integer(p, n[4])) {
        for (int i = 0; i < 4; ++i) {
            if (!inRange(n[i], 0, 255)) return false;
        }
        if (!inRange(n[4], 0, 65535)) return false;
        address = ipv4Address(static_cast<std::uint8_t>(n[0]), static_cast<std::uint8_t>(n[1]),
                              static_cast<std::uint8_t>(n[2]), static_cast<std::uint8_t>(n[3]));
        port = static_cast<std::uint16_t>(n[4]);
        return true;
    }
    p = text;
    int number = 0;
    if (scan::literal(p, "localhost:") && scan::integer(p, number) && inRange(number, 0, 65535)) {
        address = ipv4Address(127, 0, 0, 1);
        port = static_cast<std::uint16_t>(number);
        return true;
    }
    return false;
}

bool isTcpAddress(const char* text) {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    return parseTcpAddress(text, address, port);
}

}  // namespace vek
