// A stand-in for a system module, planted beside a test program. Loading it leaves a mark
// that the test can see: a named event that lives as long as the process.

#include <windows.h>

#include <cwchar>
#include <cwctype>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(instance, path, MAX_PATH);
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    wchar_t name[MAX_PATH] = {};
    std::wcscpy(name, slash ? slash + 1 : path);
    for (wchar_t* c = name; *c; ++c) *c = static_cast<wchar_t>(std::towlower(*c));
    wchar_t eventName[2 * MAX_PATH];
    std::swprintf(eventName, 2 * MAX_PATH, L"Local\\VantrelPlanted.%lu.%ls", ::GetCurrentProcessId(), name);
    ::CreateEventW(nullptr, TRUE, TRUE, eventName);  // deliberately never closed
    return TRUE;
}
