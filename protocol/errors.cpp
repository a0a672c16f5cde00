#include "protocol/errors.h"

namespace vek {

Exception::Exception(const std::string& message, int code) : message_(message), code_(code) {}

Exception::Exception(int code) : code_(code) {}

Exception::Exception(const std::string& message, const std::string& detail, int code)
    : message_(detail.empty() ? message : message + ": " + detail), code_(code) {}

Exception::~Exception() = default;

const char* Exception::what() const noexcept { return description(); }

const char* Exception::description() const noexcept { return "Exception"; }

void Exception::setMessage(const std::string& message) { message_ = message; }

void Exception::appendDetail(const std::string& text) {
    if (text.empty()) return;
    if (!message_.empty()) message_ += ": ";
    message_ += text;
}

std::string Exception::fullText() const {
    std::string text = description();
    if (!message_.empty()) text += ": " + message_;
    return text;
}

const char* DataException::description() const noexcept { return "Data error"; }

const char* DataFormatException::description() const noexcept { return "Bad data format"; }

}  // namespace vek

ErrorMsg::ErrorMsg(const std::string& message) : std::runtime_error(message), text_(message) {}

ErrorMsg::~ErrorMsg() = default;
