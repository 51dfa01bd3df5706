#include "app/SystemModule.h"

#include "app/DynamicLoader.h"

#include <string>

namespace vantrel {

FARPROC FindProcedure(HMODULE module, const char* name) noexcept
{
    return module ? ::GetProcAddress(module, name) : nullptr;
}

namespace kernel32 {
SetDefaultDllDirectoriesFunction SetDefaultDllDirectories =
    FindLoaded<SetDefaultDllDirectoriesFunction>(L"kernel32.dll", "SetDefaultDllDirectories");
AddDllDirectoryFunction AddDllDirectory = FindLoaded<AddDllDirectoryFunction>(L"kernel32.dll", "AddDllDirectory");
SetThreadDescriptionFunction SetThreadDescription =
    FindLoaded<SetThreadDescriptionFunction>(L"kernel32.dll", "SetThreadDescription");
}  // namespace kernel32

namespace user32 {
ChangeWindowMessageFilterExFunction ChangeWindowMessageFilterEx =
    FindLoaded<ChangeWindowMessageFilterExFunction>(L"user32.dll", "ChangeWindowMessageFilterEx");
ChangeWindowMessageFilterFunction ChangeWindowMessageFilter =
    FindLoaded<ChangeWindowMessageFilterFunction>(L"user32.dll", "ChangeWindowMessageFilter");
GetDpiForWindowFunction GetDpiForWindow = FindLoaded<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
GetSystemMetricsForDpiFunction GetSystemMetricsForDpi =
    FindLoaded<GetSystemMetricsForDpiFunction>(L"user32.dll", "GetSystemMetricsForDpi");
}  // namespace user32

namespace ntdll {
RtlGetVersionFunction RtlGetVersion = FindLoaded<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
}  // namespace ntdll

namespace comctl32 {
// The program imports the common controls, so the module the manifest chose is loaded before
// this runs.
TaskDialogIndirectFunction TaskDialogIndirect =
    FindLoaded<TaskDialogIndirectFunction>(L"comctl32.dll", "TaskDialogIndirect");
}  // namespace comctl32

namespace {

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
    HMODULE module = kernel32::AddDllDirectory ? ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)
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
