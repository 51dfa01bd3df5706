#pragma once
// The failures of the network layer. No Windows header: callers that only catch need none.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/Exceptions.h"

namespace vantrel {

class EIdException : public Exception {
public:
    using Exception::Exception;
};

// A Windows Sockets call failed. Message: "Socket Error # <code>\r\n<system text>".
class EIdSocketError : public EIdException {
public:
    EIdSocketError(int lastError, std::wstring message) : EIdException(std::move(message)), LastError(lastError) {}
    int LastError;
};

// The handle given to a socket call is no socket (WSAENOTSOCK).
class EIdNotASocket : public EIdSocketError {
public:
    using EIdSocketError::EIdSocketError;
};

// Raises EIdNotASocket for WSAENOTSOCK (10038), EIdSocketError for any other code.
[[noreturn]] void RaiseSocketError(int code);

// A Windows Sockets module or function could not be reached.
class EIdWinsockStubError : public EIdException {
public:
    // The title is `titleFormat` with each "%s" replaced by the next of `args`. When the code is
    // not 0 the message is the title, ": " and the system's text for the code; otherwise the
    // title alone.
    static EIdWinsockStubError Build(std::uint32_t win32Error, std::wstring_view titleFormat,
                                     std::initializer_list<std::wstring_view> args);

    std::uint32_t GetWin32Error() const noexcept { return FWin32Error; }
    const std::wstring& GetWin32ErrorMessage() const noexcept { return FWin32ErrorMessage; }
    const std::wstring& GetTitle() const noexcept { return FTitle; }

private:
    EIdWinsockStubError(std::wstring message, std::uint32_t win32Error, std::wstring win32ErrorMessage,
                        std::wstring title)
        : EIdException(std::move(message)),
          FWin32Error(win32Error),
          FWin32ErrorMessage(std::move(win32ErrorMessage)),
          FTitle(std::move(title))
    {
    }

    std::uint32_t FWin32Error;
    std::wstring FWin32ErrorMessage;
    std::wstring FTitle;
};

class EIdStackError : public EIdException {
public:
    using EIdException::EIdException;
};

// The shared stack could not start the platform's modules; carries the message of the step
// that failed.
class EIdStackInitializationFailed : public EIdStackError {
public:
    using EIdStackError::EIdStackError;
};

}  // namespace vantrel
