// A stand-in for explorer.exe, put beside vantrel.exe and in the current folder by a test: a
// program of that name in a downloads folder. Started, it leaves its mark (a file beside
// itself holding the command line it got) and ends at once.

#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    wchar_t* slash = std::wcsrchr(path, L'\\');
    if (!slash) return 1;
    std::wcscpy(slash + 1, L"standin-explorer-ran.txt");
    HANDLE mark = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark == INVALID_HANDLE_VALUE) return 1;
    const wchar_t* commandLine = ::GetCommandLineW();
    char text[4096];
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, text, sizeof text, nullptr, nullptr);
    DWORD written = 0;
    if (bytes > 1) ::WriteFile(mark, text, static_cast<DWORD>(bytes - 1), &written, nullptr);
    ::CloseHandle(mark);
    return 0;
}
