#include "channel/scan_fields.h"

#include <cctype>
#include <climits>

namespace vek::scan {

bool integer(const char*& p, int& value) {
    const char* q = p;
    while (std::isspace(static_cast<unsigned char>(*q))) ++q;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = (*q++ == '-');
    if (!std::isdigit(static_cast<unsigned char>(*q))) return false;
    long long magnitude = 0;
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    for (; std::isdigit(static_cast<unsigned char>(*q)); ++q) {
        if (magnitude <= limit) magnitude = magnitude * 10 + (*q - '0');
    }
    if (negative) value = magnitude >= limit ? INT_MIN : static_cast<int>(-magnitude);
    else value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    p = q;
    return true;
}

bool literal(const char*& p, const char* text) {
    const char* q = p;
    for (; *text; ++text, ++q) {
        if (*q != *text) return false;
    }
    p = q;
    return true;
}

bool literalIgnoringCase(const char*& p, const char* text) {
    const char* q = p;
    for (; *text; ++text, ++q) {
        if (*q == '\0' || std::toupper(static_cast<unsigned char>(*q)) != std::toupper(static_cast<unsigned char>(*text)))
            return false;
    }
    p = q;
    return true;
}

}  // namespace vek::scan
