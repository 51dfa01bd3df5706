#pragma once
// The one shape of the program's own windows (the application window, the timers, the menu,
// the icon, the chart): a registered class that its owner unregisters, and a base whose one
// procedure finds the object, keeps exceptions inside, and hands every message to OnMessage.

#include <windows.h>

#include <string>

#include "app/Handles.h"

namespace vantrel {

// A window class registered by its constructor and unregistered when it goes. Keep one per
// class name, typically a function-local static of the window that uses it: a second
// registration of the same name would fail.
class TWindowClass {
public:
    struct TDescription {
        const wchar_t* Name;
        HICON Icon = nullptr;
        HCURSOR Cursor = nullptr;
        HBRUSH Background = nullptr;
    };

    // Registers with TWindow's procedure; raises EOSError when the class cannot be registered.
    explicit TWindowClass(const TDescription& description);
    ~TWindowClass();
    TWindowClass(const TWindowClass&) = delete;
    TWindowClass& operator=(const TWindowClass&) = delete;

    const wchar_t* Name() const noexcept { return name_.c_str(); }
    ATOM Atom() const noexcept { return atom_; }

private:
    std::wstring name_;
    HINSTANCE instance_;
    ATOM atom_;
};

class TWindow {
public:
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    // Valid from WM_NCCREATE to WM_NCDESTROY.
    HWND Handle() const noexcept { return window_; }

protected:
    TWindow() = default;
    // Destroys a window that is still there. A derived window whose messages need its own
    // members calls DestroyHandle in its own destructor: by the time this one runs, only the
    // default handling is left.
    virtual ~TWindow();

    // Creates the window with this object as its owner; nullptr when it cannot, with the
    // platform's error code left for the caller (each window reports the failure its own way).
    HWND CreateHandle(const TWindowClass& windowClass, DWORD exStyle, const wchar_t* title, DWORD style, int left,
                      int top, int width, int height, HWND parent, HMENU menu = nullptr);
    // Destroys the window now (nothing when it is gone already).
    void DestroyHandle() noexcept { owner_.reset(); }

    // Every message from WM_NCCREATE up to, not including, WM_NCDESTROY. The default is the
    // platform's handling; a window switches on the messages it handles and passes the rest on.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The result of a message whose handler raised (the exception has been reported): 0, as
    // if it was handled.
    virtual LRESULT OnFailedMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The platform's handling of a message.
    LRESULT DefaultMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // Handle(), for the window's own code: set at WM_NCCREATE, cleared at WM_NCDESTROY, and
    // written by nothing else.
    HWND window_ = nullptr;

private:
    friend class TWindowClass;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT DefaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // Released, not destroyed, when the window goes without us (a parent takes its children).
    UniqueWindow owner_;
};

}  // namespace vantrel
