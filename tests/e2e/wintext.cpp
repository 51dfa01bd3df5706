// Reads the texts of a shown window the way a screen reader would, so that an end-to-end test
// can check what a person sees in a dialog without reading pixels.
//
//   wintext.exe <window title>
//
// Prints one line per visible control of the first visible top-level window with exactly that
// title: its class, a tab, its text. Exit code 0 when the window was found, 1 when not, 2 on a
// usage error. Runs in the same Wine session as the program under test.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void PrintUtf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

// WM_GETTEXT rather than GetWindowTextW: across processes GetWindowTextW returns only the stored
// caption, which an edit control does not keep. The time-out keeps a hung program from hanging
// the test.
std::wstring TextOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 2000, &copied))
        return L"";
    text.resize(copied);
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n' || c == L'\t') c = L' ';
    }
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

struct Search {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    if (IsWindowVisible(window) && TextOf(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM)
{
    if (IsWindowVisible(child)) {
        PrintUtf8(ClassOf(child) + L"\t" + TextOf(child) + L"\n");
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: wintext.exe <window title>\n", stderr);
        return 2;
    }
    Search search{argv[1], nullptr};
    EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 1;
    EnumChildWindows(search.found, &PrintChild, 0);
    std::fflush(stdout);
    return 0;
}
