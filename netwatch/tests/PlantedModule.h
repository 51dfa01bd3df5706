#pragma once
// What a test with planted modules beside it looks at: whether a planted module was loaded (it
// leaves a named event, see PlantedModule.cpp) and which folder a loaded module came from.

#include <windows.h>

#include <cwctype>
#include <string>

namespace vantrel::planting {

inline std::wstring Lower(std::wstring text)
{
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// True once the planted module of that file name has been loaded into this process.
inline bool Marked(const wchar_t* moduleName)
{
    std::wstring eventName =
        L"Local\\VantrelPlanted." + std::to_wstring(::GetCurrentProcessId()) + L"." + Lower(moduleName);
    HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, eventName.c_str());
    if (!event) return false;
    ::CloseHandle(event);
    return true;
}

inline std::wstring Folder(const std::wstring& path)
{
    return Lower(path.substr(0, path.find_last_of(L'\\')));
}

inline std::wstring ModuleFolder(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    return Folder(path);
}

inline std::wstring SystemFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetSystemDirectoryW(path, MAX_PATH);
    return Lower(path);
}

}  // namespace vantrel::planting
