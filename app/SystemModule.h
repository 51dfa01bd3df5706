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

}  // namespace vantrel

#include <string>

namespace vantrel {

// The system's text for a platform error code, without the trailing line break.
std::wstring SysErrorMessage(DWORD code);

// Raises EOSError for `code` with the system's text as its message.
[[noreturn]] void RaiseOSError(DWORD code);

}  // namespace vantrel
