#pragma once

// The error classes thrown above the channel layer.
//
// Three families with separate bases:
//  - vek::Exception and its subclasses for errors in data texts; `what` gives
//    the class's fixed description, the message travels separately;
//  - vek::ComError and its subclasses for communication errors; each has one
//    fixed text and takes no message;
//  - ErrorMsg for the errors of the Intel HEX image code; its text is the
//    thrower's message.

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace vek {

class Exception : public std::exception {
public:
    Exception(const std::string& message, int code);
    explicit Exception(int code);
    // Stores "message: detail", or the message alone when detail is empty.
    Exception(const std::string& message, const std::string& detail, int code);
    ~Exception() override;

    // The fixed class text (the same as description), not the message.
    const char* what() const noexcept override;
    virtual const char* description() const noexcept;

    const std::string& message() const { return message_; }
    int code() const { return code_; }
    void setMessage(const std::string& message);
    // Appends ": text" (or just text when the message is empty); an empty
    // text changes nothing.
    void appendDetail(const std::string& text);
    // description, then ": " and the message when there is one.
    std::string fullText() const;

private:
    std::string message_;
    int code_;
};

class DataException : public Exception {
public:
    using Exception::Exception;
    const char* description() const noexcept override;
};

class DataFormatException : public DataException {
public:
    using DataException::DataException;
    const char* description() const noexcept override;
};

class ComError : public std::runtime_error {
protected:
    explicit ComError(const char* text) : std::runtime_error(text) {}
};

class Timeout : public ComError {
public:
    Timeout() : ComError("Timeout") {}
};

class CRCError : public ComError {
public:
    CRCError() : ComError("CRC error") {}
};

// The device answered, but not with the positive flag bits.
class WrongAnswer : public ComError {
public:
    WrongAnswer() : WrongAnswer(0, 0) {}
    // command: the answer's command code; flagBits: its flags byte & 0x60.
    WrongAnswer(int command, int flagBits)
        : ComError("Wrong answer"), command(command), flagBits(flagBits) {}
    int command;
    int flagBits;
};

class NoConnection : public ComError {
public:
    NoConnection() : ComError("No connection") {}
};

class WriteError : public ComError {
public:
    WriteError() : ComError("Write error") {}
};

// The device sent an error answer; deviceCode is its own error number.
class ErrorObject : public ComError {
public:
    ErrorObject() : ErrorObject(0) {}
    explicit ErrorObject(std::uint8_t deviceCode)
        : ComError("Protocol error"), deviceCode(deviceCode) {}
    std::uint8_t deviceCode;
};

class TgParseError : public ComError {
public:
    TgParseError() : ComError("Telegram parse error") {}
};

}  // namespace vek

// Errors of the Intel HEX image code: the message is both `what` and `text`.
class ErrorMsg : public std::runtime_error {
public:
    explicit ErrorMsg(const std::string& message);
    ~ErrorMsg() override;
    virtual const std::string& text() const { return text_; }

private:
    std::string text_;
};
