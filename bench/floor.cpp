// The floor for the idle-cost, memory and start-up figures: the same periodic wake-ups as the
// monitor (two timers on the user-interface thread at 500 ms and 1000 ms, a pacing thread that
// sleeps 500 ms and hands an empty call to the user-interface thread, a watcher thread that
// sleeps 1000 ms) and the same kind of notification icon, with every handler empty. Whatever
// the monitor costs above this is the cost of its own work.
//
// Ends on WM_CLOSE to its window or after VANTREL_FLOOR_SECONDS seconds when that is set.
//
// With VANTREL_FLOOR_PLATFORM=1 the handlers do the platform calls that the monitor's design
// requires and nothing of its own: a fresh adapter enumeration at each hand-over of the pacing
// thread, and the tooltip and a refresh sent to the shell at each 500 ms tick and once a second
// from the watcher thread. The monitor's cost above that floor is what its own code adds.

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

namespace {

constexpr UINT kTrayCallback = WM_APP + 1;
constexpr UINT kHandOver = WM_APP + 2;
constexpr UINT_PTR kFastTimer = 1;
constexpr UINT_PTR kSlowTimer = 2;
constexpr UINT_PTR kEndTimer = 3;

bool platformWork = false;
using GetAdaptersAddressesFunction = ULONG(WINAPI*)(ULONG, ULONG, void*, void*, ULONG*);
GetAdaptersAddressesFunction getAdaptersAddresses = nullptr;
CRITICAL_SECTION trayLock;
HANDLE stopEvent = nullptr;
HWND mainWindow = nullptr;
NOTIFYICONDATAW record{};

void Enumerate()
{
    if (!getAdaptersAddresses) return;
    // As the monitor asks: every family, no anycast, multicast, DNS servers or friendly names,
    // a 15360-byte buffer grown when the platform asks for more.
    ULONG size = 15360;
    for (int attempt = 0; attempt < 4; ++attempt) {
        void* buffer = ::HeapAlloc(::GetProcessHeap(), 0, size);
        if (!buffer) return;
        ULONG result = getAdaptersAddresses(0, 0x2E, nullptr, buffer, &size);
        ::HeapFree(::GetProcessHeap(), 0, buffer);
        if (result != ERROR_BUFFER_OVERFLOW) return;
    }
}

void SendTray(const wchar_t* tip)
{
    ::EnterCriticalSection(&trayLock);
    lstrcpynW(record.szTip, tip, 128);
    ::Shell_NotifyIconW(NIM_MODIFY, &record);
    ::Shell_NotifyIconW(NIM_MODIFY, &record);
    ::LeaveCriticalSection(&trayLock);
}

DWORD WINAPI PacingThread(void*)
{
    // Mirrors the IP watcher's pacing thread: sleep, then wait until the user-interface thread
    // has run the (here empty) check.
    while (::WaitForSingleObject(stopEvent, 500) == WAIT_TIMEOUT) ::SendMessageW(mainWindow, kHandOver, 0, 0);
    return 0;
}

DWORD WINAPI WatcherThread(void*)
{
    // Mirrors the connection-state watcher: sleep a second, do nothing.
    while (::WaitForSingleObject(stopEvent, 1000) == WAIT_TIMEOUT) {
        if (platformWork) SendTray(L"Vantrel floor");
    }
    return 0;
}

HICON MakeIcon()
{
    // A 16x16 icon made at run time, as the monitor makes its faces.
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof(header);
    header.bV5Width = 16;
    header.bV5Height = -16;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_RGB;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP colour = ::CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits,
                                        nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    if (colour && bits) {
        auto* pixels = static_cast<DWORD*>(bits);
        for (int i = 0; i < 16 * 16; ++i) pixels[i] = 0xFF20A040;
    }
    WORD maskBits[16] = {};
    HBITMAP mask = ::CreateBitmap(16, 16, 1, 1, maskBits);
    ICONINFO info{TRUE, 0, 0, mask, colour};
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(mask);
    ::DeleteObject(colour);
    return icon;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kEndTimer) ::DestroyWindow(window);
        if (wParam == kFastTimer && platformWork) SendTray(L"Vantrel floor\nSegs In:0\nSegs Out:0");
        return 0;  // otherwise nothing to do
    case kHandOver:
        if (platformWork) Enumerate();
        return 0;
    case kTrayCallback:
        return 0;
    case WM_CLOSE:
        ::DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        ::Shell_NotifyIconW(NIM_DELETE, &record);
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    ::InitializeCriticalSection(&trayLock);
    if (const char* platform = std::getenv("VANTREL_FLOOR_PLATFORM"); platform && std::atoi(platform) == 1) {
        platformWork = true;
        if (HMODULE iphlpapi = ::LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
            getAdaptersAddresses = reinterpret_cast<GetAdaptersAddressesFunction>(
                reinterpret_cast<void*>(::GetProcAddress(iphlpapi, "GetAdaptersAddresses")));
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"VantrelFloor";
    ::RegisterClassExW(&wc);
    // A hidden top-level window, as the monitor's icon window is.
    mainWindow = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"Vantrel floor", WS_POPUP, 0, 0, 0, 0,
                                   nullptr, nullptr, instance, nullptr);
    if (!mainWindow) return 1;

    HICON icon = MakeIcon();
    record.cbSize = sizeof(record);
    record.hWnd = mainWindow;
    record.uID = 1;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kTrayCallback;
    record.hIcon = icon;
    lstrcpynW(record.szTip, L"Vantrel floor", 64);
    ::Shell_NotifyIconW(NIM_ADD, &record);

    ::SetTimer(mainWindow, kFastTimer, 500, nullptr);
    ::SetTimer(mainWindow, kSlowTimer, 1000, nullptr);
    if (const char* seconds = std::getenv("VANTREL_FLOOR_SECONDS"); seconds && std::atoi(seconds) > 0)
        ::SetTimer(mainWindow, kEndTimer, static_cast<UINT>(std::atoi(seconds)) * 1000u, nullptr);

    stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE threads[2] = {::CreateThread(nullptr, 0, PacingThread, nullptr, 0, nullptr),
                         ::CreateThread(nullptr, 0, WatcherThread, nullptr, 0, nullptr)};

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }

    ::SetEvent(stopEvent);
    // The pacing thread may be inside SendMessage to the destroyed window, which returns at
    // once; both threads end within one period.
    ::WaitForMultipleObjects(2, threads, TRUE, 5000);
    ::CloseHandle(threads[0]);
    ::CloseHandle(threads[1]);
    ::CloseHandle(stopEvent);
    ::DestroyIcon(icon);
    return 0;
}
