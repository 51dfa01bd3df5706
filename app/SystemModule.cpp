#include "app/SystemModule.h"

#include <string>

namespace vantrel {

namespace {

template <typename Function>
Function Bound(const wchar_t* module, const char* name) noexcept
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(module), name)));
}

}  // namespace

namespace kernel32 {
SetDefaultDllDirectoriesFunction SetDefaultDllDirectories =
    Bound<SetDefaultDllDirectoriesFunction>(L"kernel32.dll", "SetDefaultDllDirectories");
}  // namespace kernel32

namespace user32 {
ChangeWindowMessageFilterExFunction ChangeWindowMessageFilterEx =
    Bound<ChangeWindowMessageFilterExFunction>(L"user32.dll", "ChangeWindowMessageFilterEx");
ChangeWindowMessageFilterFunction ChangeWindowMessageFilter =
    Bound<ChangeWindowMessageFilterFunction>(L"user32.dll", "ChangeWindowMessageFilter");
}  // namespace user32

namespace {

bool CanSearchSystem32Only() noexcept
{
    // LOAD_LIBRARY_SEARCH_SYSTEM32 is understood exactly where AddDllDirectory exists
    // (Windows 8, or Windows 7 with KB2533623).
    static const bool available = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    return available;
}

HMODULE LoadByFullPath(const wchar_t* name) noexcept
{
    wchar_t directory[MAX_PATH];
    UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::wstring path(directory, length);
    path += L'\\';
    path += name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

bool RestrictDllSearchToSystem() noexcept
{
    return kernel32::SetDefaultDllDirectories && kernel32::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* name) noexcept
{
    UINT previousMode = ::SetErrorMode(SEM_NOOPENFILEERRORBOX);
    ::SetErrorMode(previousMode | SEM_NOOPENFILEERRORBOX);
    HMODULE module = CanSearchSystem32Only() ? ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)
                                             : LoadByFullPath(name);
    DWORD error = ::GetLastError();
    ::SetErrorMode(previousMode);
    ::SetLastError(error);
    return module;
}

}  // namespace vantrel

#include "app/Exceptions.h"

namespace vantrel {

std::wstring SysErrorMessage(DWORD code)
{
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                        FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                    nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer) text.assign(buffer, length);
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
    return text;
}

void RaiseOSError(DWORD code)
{
    std::wstring message = L"System Error.  Code: " + std::to_wstring(code) + L".\r\n" + SysErrorMessage(code);
    throw EOSError(message, code);
}

}  // namespace vantrel
