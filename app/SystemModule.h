#pragma once
// The one loader for every module the program binds at run time.
//
// A bare module name would let a file of that name in the program's folder or the current
// folder be loaded instead of the system's own (DLL planting), so modules come from the
// system directory only. The system's "file not found" dialog is suppressed while loading:
// a missing module is a normal state that simply yields no handle.

#include <windows.h>
#include <commctrl.h>

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

// The entries of the modules that are in every process, bound by name when the program starts
// (nothing is loaded for them); null where the running system lacks the function, which the
// caller checks. They are the seam for tests (app/EntryOverride.h).
namespace vantrel::kernel32 {
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD directoryFlags);
using AddDllDirectoryFunction = PVOID(WINAPI*)(PCWSTR directory);
using SetThreadDescriptionFunction = HRESULT(WINAPI*)(HANDLE thread, PCWSTR description);
extern SetDefaultDllDirectoriesFunction SetDefaultDllDirectories;  // Windows 8, 7 with KB2533623
// Only its presence counts: LOAD_LIBRARY_SEARCH_SYSTEM32 is understood exactly where it exists.
extern AddDllDirectoryFunction AddDllDirectory;                    // Windows 8, 7 with KB2533623
extern SetThreadDescriptionFunction SetThreadDescription;          // Windows 10 1607
}  // namespace vantrel::kernel32

namespace vantrel::user32 {
using ChangeWindowMessageFilterExFunction = BOOL(WINAPI*)(HWND window, UINT message, DWORD action,
                                                          PCHANGEFILTERSTRUCT status);
using ChangeWindowMessageFilterFunction = BOOL(WINAPI*)(UINT message, DWORD flag);
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND window);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int index, UINT dpi);
extern ChangeWindowMessageFilterExFunction ChangeWindowMessageFilterEx;  // Windows 7
extern ChangeWindowMessageFilterFunction ChangeWindowMessageFilter;      // Windows Vista
extern GetDpiForWindowFunction GetDpiForWindow;                          // Windows 10 1607
extern GetSystemMetricsForDpiFunction GetSystemMetricsForDpi;            // Windows 10 1607
}  // namespace vantrel::user32

namespace vantrel::ntdll {
// Tells the truth about the version whatever the manifest says (GetVersionEx would lie to a
// program without a compatibility entry for the running system).
using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW* information);
extern RtlGetVersionFunction RtlGetVersion;
}  // namespace vantrel::ntdll

namespace vantrel::comctl32 {
// Only in the common controls 6, which the manifest asks for.
using TaskDialogIndirectFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG* config, int* button, int* radioButton,
                                                    BOOL* verificationChecked);
extern TaskDialogIndirectFunction TaskDialogIndirect;
}  // namespace vantrel::comctl32

#include <string>

namespace vantrel {

// The system's text for a platform error code, without the trailing line break.
std::wstring SysErrorMessage(DWORD code);

// Raises EOSError for `code` with the system's text as its message.
[[noreturn]] void RaiseOSError(DWORD code);

}  // namespace vantrel
