#pragma once
// The program's failures are exceptions that carry a message for the error report.
// No Windows header here: Windows-free code may derive from these too.

#include <cstdint>
#include <exception>
#include <string>

namespace vantrel {

class Exception : public std::exception {
public:
    explicit Exception(std::wstring message);
    const std::wstring& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return narrow_.c_str(); }

private:
    std::wstring message_;
    std::string narrow_;  // UTF-8 copy for what()
};

// A failed platform call, carrying the platform's error code.
class EOSError : public Exception {
public:
    EOSError(std::wstring message, std::uint32_t errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    std::uint32_t ErrorCode;
};

// The message an exception carries: an Exception's own, else what() read as UTF-8.
std::wstring ExceptionMessage(const std::exception& error);

// The text of the error report: the message, with a full stop appended when its last
// character's code is above that of the full stop.
std::wstring ErrorReportText(const std::wstring& message);

// UTF-8 <-> UTF-16 without the platform, for messages and tests.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace vantrel
