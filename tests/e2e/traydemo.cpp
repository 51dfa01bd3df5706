// A small notification-area program for the end-to-end harness: an icon (a red disc drawn at run
// time) with a tooltip, a menu on right click ("&About", "&Exit"), an about dialog, and a
// single-instance mutex. It behaves like the monitor does at the shell's boundary, so the
// harness can be proven against it without the whole program.
//
// Exit code 0 on every normal path: "&Exit", a second copy, a close request.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace {

constexpr wchar_t kMutexName[] = L"VantrelTrayDemo";
constexpr wchar_t kWindowClass[] = L"VantrelTrayDemoWindow";
constexpr wchar_t kTooltip[] = L"Tray demo";

enum PrivateMessage : UINT {
    WM_TRAYDEMO_CALLBACK = WM_APP + 1,
};

enum Command : UINT {
    IDM_ABOUT = 100,
    IDM_EXIT = 101,
};

constexpr int kIconSize = 16;

// The record grew in Windows 6.0; older shells reject the larger size, so choose it the way the
// monitor does and show it in the about box, where the screenshots of each Windows version
// setting record it.
DWORD NotifyRecordSize(DWORD majorVersion)
{
    return majorVersion >= 6 ? sizeof(NOTIFYICONDATAW) : NOTIFYICONDATAW_V2_SIZE;
}

DWORD WindowsMajorVersion(DWORD* minor)
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated, and still the call whose answer follows the manifest
    GetVersionExW(&info);
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&info);
#pragma GCC diagnostic pop
#endif
    *minor = info.dwMinorVersion;
    return info.dwMajorVersion;
}

// A disc 14 pixels across on a transparent 16 x 16 square: pure red, so a screenshot can find it
// by colour alone.
HICON CreateDiscIcon()
{
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = kIconSize;
    header.bV5Height = -kIconSize;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_RGB;

    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    HBITMAP mask = CreateBitmap(kIconSize, kIconSize, 1, 1, nullptr);
    if (!colour || !mask || !bits) {
        if (colour) DeleteObject(colour);
        if (mask) DeleteObject(mask);
        return nullptr;
    }

    // Work out the disc per pixel rather than with GDI's Ellipse so the edge has no blended
    // colours: every pixel is either pure red or transparent.
    auto* pixels = static_cast<DWORD*>(bits);
    HDC maskDc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const double dx = x + 0.5 - kIconSize / 2.0;
            const double dy = y + 0.5 - kIconSize / 2.0;
            const bool inside = dx * dx + dy * dy <= 7.0 * 7.0;
            pixels[y * kIconSize + x] = inside ? 0xFFFF0000u : 0u;
            SetPixel(maskDc, x, y, inside ? RGB(0, 0, 0) : RGB(255, 255, 255));
        }
    }
    SelectObject(maskDc, oldMask);
    DeleteDC(maskDc);

    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colour;
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

class TrayDemo {
public:
    bool Create(HINSTANCE instance)
    {
        instance_ = instance;
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &TrayDemo::WindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        if (!RegisterClassExW(&windowClass)) return false;
        // A hidden top-level window, not a message-only one: TrackPopupMenu and
        // SetForegroundWindow need a window that can become the foreground.
        window_ = CreateWindowExW(0, kWindowClass, L"Tray demo", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, this);
        return window_ != nullptr;
    }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<TrayDemo*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (!self) return DefWindowProcW(window, message, wParam, lParam);

        switch (message) {
        case WM_CREATE:
            self->window_ = window;
            self->OnCreate();
            return 0;
        case WM_TRAYDEMO_CALLBACK:
            if (LOWORD(lParam) == WM_RBUTTONUP) self->OnRightClick();
            return 0;
        case WM_COMMAND:
            self->OnCommand(LOWORD(wParam));
            return 0;
        case WM_CLOSE:
            self->OnExit();
            return 0;
        case WM_DESTROY:
            self->RemoveIcon();
            return 0;
        default:
            if (message == self->taskbarCreated_ && message != 0) {
                self->AddIcon();
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    void OnCreate()
    {
        taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
        icon_ = CreateDiscIcon();
        AddIcon();
    }

    NOTIFYICONDATAW Record() const
    {
        DWORD minor = 0;
        const DWORD major = WindowsMajorVersion(&minor);
        NOTIFYICONDATAW record{};
        record.cbSize = NotifyRecordSize(major);
        record.hWnd = window_;
        record.uID = 1;
        record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        record.uCallbackMessage = WM_TRAYDEMO_CALLBACK;
        record.hIcon = icon_;
        lstrcpynW(record.szTip, kTooltip, ARRAYSIZE(record.szTip));
        return record;
    }

    void AddIcon()
    {
        NOTIFYICONDATAW record = Record();
        iconShown_ = Shell_NotifyIconW(NIM_ADD, &record) != FALSE;
    }

    void RemoveIcon()
    {
        if (!iconShown_) return;
        NOTIFYICONDATAW record = Record();
        Shell_NotifyIconW(NIM_DELETE, &record);
        iconShown_ = false;
    }

    void OnRightClick()
    {
        POINT at{};
        GetCursorPos(&at);
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, IDM_ABOUT, L"&About");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, IDM_EXIT, L"&Exit");
        // Without the foreground the menu would not close when the user clicks elsewhere.
        SetForegroundWindow(window_);
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
        PostMessageW(window_, WM_NULL, 0, 0);
        DestroyMenu(menu);
    }

    void OnCommand(UINT command)
    {
        switch (command) {
        case IDM_ABOUT:
            OnAbout();
            break;
        case IDM_EXIT:
            OnExit();
            break;
        }
    }

    void OnAbout()
    {
        if (aboutOpen_) return;
        aboutOpen_ = true;
        DialogBoxParamW(instance_, MAKEINTRESOURCEW(1), window_, &TrayDemo::AboutProc,
                        reinterpret_cast<LPARAM>(this));
        aboutOpen_ = false;
    }

    static INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
    {
        switch (message) {
        case WM_INITDIALOG: {
            DWORD minor = 0;
            const DWORD major = WindowsMajorVersion(&minor);
            wchar_t text[128];
            swprintf(text, ARRAYSIZE(text), L"Windows %lu.%lu, notification record %lu bytes",
                     major, minor, NotifyRecordSize(major));
            SetDlgItemTextW(dialog, 1001, text);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
        }
    }

    void OnExit()
    {
        RemoveIcon();
        DestroyWindow(window_);
        PostQuitMessage(0);
    }

    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool iconShown_ = false;
    bool aboutOpen_ = false;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Held until the process ends; a second copy sees it and leaves quietly.
    CreateMutexW(nullptr, FALSE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    TrayDemo demo;
    if (!demo.Create(instance)) return 1;

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
