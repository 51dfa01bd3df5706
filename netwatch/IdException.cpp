#include "netwatch/IdException.h"

#include <windows.h>

#include "app/SystemModule.h"

namespace vantrel {

namespace {
constexpr int kNotASocket = 10038;  // WSAENOTSOCK
}

void RaiseSocketError(int code)
{
    std::wstring message =
        L"Socket Error # " + std::to_wstring(code) + L"\r\n" + SysErrorMessage(static_cast<DWORD>(code));
    if (code == kNotASocket) throw EIdNotASocket(code, std::move(message));
    throw EIdSocketError(code, std::move(message));
}

EIdWinsockStubError EIdWinsockStubError::Build(std::uint32_t win32Error, std::wstring_view titleFormat,
                                               std::initializer_list<std::wstring_view> args)
{
    std::wstring title;
    auto next = args.begin();
    for (std::size_t i = 0; i < titleFormat.size(); ++i) {
        if (titleFormat[i] == L'%' && i + 1 < titleFormat.size() && titleFormat[i + 1] == L's' && next != args.end()) {
            title += *next++;
            ++i;
        } else {
            title += titleFormat[i];
        }
    }
    std::wstring systemText;
    std::wstring message = title;
    if (win32Error != 0) {
        systemText = SysErrorMessage(win32Error);
        message += L": ";
        message += systemText;
    }
    return EIdWinsockStubError(std::move(message), win32Error, std::move(systemText), std::move(title));
}

}  // namespace vantrel
