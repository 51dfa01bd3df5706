#include "app/Window.h"

#include "app/Application.h"
#include "app/Exceptions.h"

namespace vantrel {

TWindowClass::TWindowClass(const TDescription& description)
    : name_(description.Name), instance_(::GetModuleHandleW(nullptr))
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = TWindow::WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = description.Icon;
    wc.hCursor = description.Cursor;
    wc.hbrBackground = description.Background;
    wc.lpszClassName = name_.c_str();
    atom_ = ::RegisterClassExW(&wc);
    if (!atom_) throw EOSError(L"The window class " + name_ + L" could not be registered", ::GetLastError());
}

TWindowClass::~TWindowClass()
{
    // Fails harmlessly while a window of the class is left: the process is ending then.
    ::UnregisterClassW(MAKEINTATOM(atom_), instance_);
}

TWindow::~TWindow()
{
    DestroyHandle();
}

HWND TWindow::CreateHandle(const TWindowClass& windowClass, DWORD exStyle, const wchar_t* title, DWORD style,
                           int left, int top, int width, int height, HWND parent, HMENU menu)
{
    HWND window = ::CreateWindowExW(exStyle, windowClass.Name(), title, style, left, top, width, height, parent, menu,
                                    ::GetModuleHandleW(nullptr), this);
    // window_ was set at WM_NCCREATE; a window destroyed while it was being created is gone.
    if (window) owner_.reset(window);
    return window;
}

LRESULT TWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultMessage(message, wParam, lParam);
}

LRESULT TWindow::OnFailedMessage(UINT, WPARAM, LPARAM)
{
    return 0;
}

LRESULT TWindow::DefaultMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return DefaultProcedure(window_, message, wParam, lParam);
}

LRESULT TWindow::DefaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->window_ = window;
    } else {
        self = reinterpret_cast<TWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (self && message == WM_NCDESTROY) {
        // From here on the object no longer hears of the window, and does not destroy it again.
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->owner_.release();
        self->window_ = nullptr;
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) and WM_NCDESTROY itself: no object.
    if (!self || message == WM_NCDESTROY) return DefaultProcedure(window, message, wParam, lParam);
    LRESULT result = 0;
    bool failed = true;
    Guarded([&] {
        result = self->OnMessage(message, wParam, lParam);
        failed = false;
    });
    return failed ? self->OnFailedMessage(message, wParam, lParam) : result;
}

}  // namespace vantrel
