#pragma once
// The one loader for every module the program binds at run time.
//
// A bare module name would let a file of that name in the program's folder or the current
// folder be loaded instead of the system's own (DLL planting), so modules come from the
// system directory only. The system's "file not found" dialog is suppressed while loading:
// a missing module is a normal state that simply yields no handle.

#include <windows.h>

namespace vantrel {

// Loads `name` (a plain file name such as L"iphlpapi.dll") from the system directory.
// Returns nullptr and leaves GetLastError() set when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept;

// The first thing the program does: the modules that the system's own modules load on demand
// (the common controls, the visual styles, the shell) come from the system directory too,
// never from the program's folder. False where kernel32 cannot do it (Windows 7 without
// KB2533623, Vista, XP); the start goes on as before there.
bool RestrictDllSearchToSystem() noexcept;

}  // namespace vantrel

// Entries of kernel32 and user32 that older systems lack, bound by name when the program
// starts (both modules are in every process, so nothing is loaded); nullptr where missing.
// They are the seam for tests, which replace one for a scope (netwatch/EntryOverride.h).
namespace vantrel::kernel32 {
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD directoryFlags);
extern SetDefaultDllDirectoriesFunction SetDefaultDllDirectories;  // Windows 8, 7 with KB2533623
}  // namespace vantrel::kernel32

namespace vantrel::user32 {
using ChangeWindowMessageFilterExFunction = BOOL(WINAPI*)(HWND window, UINT message, DWORD action,
                                                          PCHANGEFILTERSTRUCT status);
using ChangeWindowMessageFilterFunction = BOOL(WINAPI*)(UINT message, DWORD flag);
extern ChangeWindowMessageFilterExFunction ChangeWindowMessageFilterEx;  // Windows 7
extern ChangeWindowMessageFilterFunction ChangeWindowMessageFilter;      // Windows Vista
}  // namespace vantrel::user32

#include <string>

namespace vantrel {

// The system's text for a platform error code, without the trailing line break.
std::wstring SysErrorMessage(DWORD code);

// Raises EOSError for `code` with the system's text as its message.
[[noreturn]] void RaiseOSError(DWORD code);

}  // namespace vantrel
