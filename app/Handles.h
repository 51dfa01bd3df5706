#pragma once
// Owners for every handle the program obtains: one owner, one close, no leaks.
//
// UniqueHandle<Traits> is move-only. put() releases the old value before handing out its
// address, so `CreateSomething(h.put())` can never leak the previous handle. In test builds
// (VANTREL_COUNT_HANDLES) every wrapper kind keeps a live count, so a soak can prove that
// nothing grows.

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <utility>

namespace vantrel {

#ifdef VANTREL_COUNT_HANDLES
inline constexpr bool kCountHandles = true;
#else
inline constexpr bool kCountHandles = false;
#endif

template <typename Traits>
class UniqueHandle {
public:
    using pointer = typename Traits::type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer value) noexcept : value_(value) { Track(+1); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) { Track(+1); }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    void reset(pointer value = Traits::invalid()) noexcept
    {
        // The old value leaves the owner before it is closed: destroying a window sends
        // WM_NCDESTROY, whose handler may release this very owner while the close runs.
        const pointer old = std::exchange(value_, Traits::invalid());
        Forget(old);
        if (old != Traits::invalid()) Traits::close(old);
        value_ = value;
        Track(+1);
    }

    pointer release() noexcept
    {
        const pointer old = std::exchange(value_, Traits::invalid());
        Forget(old);
        return old;
    }

    pointer* put() noexcept
    {
        reset();
        // The callee writes the new value; count it when it is next reset or released.
        pendingCount_ = true;
        return &value_;
    }

    static long LiveCount() noexcept { return live_.load(); }

private:
    void Track(int delta) noexcept
    {
        if constexpr (kCountHandles) {
            if (delta > 0 && value_ != Traits::invalid()) ++live_;
        }
        (void)delta;
    }

    // Counts out a value that has just left the owner.
    void Forget(pointer old) noexcept
    {
        if (pendingCount_) {
            pendingCount_ = false;
            // The callee of put() wrote it without the owner seeing it: count it in first.
            if (kCountHandles && old != Traits::invalid()) ++live_;
        }
        if (kCountHandles && old != Traits::invalid()) --live_;
    }

    pointer value_ = Traits::invalid();
    bool pendingCount_ = false;
    static inline std::atomic<long> live_{0};
};

#define VANTREL_HANDLE_TRAITS(Name, Type, Invalid, Close)        \
    struct Name {                                                \
        using type = Type;                                       \
        static type invalid() noexcept { return Invalid; }       \
        static void close(type value) noexcept { Close(value); } \
    }

namespace traits {
VANTREL_HANDLE_TRAITS(Icon, HICON, nullptr, ::DestroyIcon);
VANTREL_HANDLE_TRAITS(Menu, HMENU, nullptr, ::DestroyMenu);
VANTREL_HANDLE_TRAITS(Font, HFONT, nullptr, ::DeleteObject);
VANTREL_HANDLE_TRAITS(Bitmap, HBITMAP, nullptr, ::DeleteObject);
VANTREL_HANDLE_TRAITS(Brush, HBRUSH, nullptr, ::DeleteObject);
VANTREL_HANDLE_TRAITS(Pen, HPEN, nullptr, ::DeleteObject);
VANTREL_HANDLE_TRAITS(Region, HRGN, nullptr, ::DeleteObject);
VANTREL_HANDLE_TRAITS(MemoryDC, HDC, nullptr, ::DeleteDC);
VANTREL_HANDLE_TRAITS(Module, HMODULE, nullptr, ::FreeLibrary);
VANTREL_HANDLE_TRAITS(Kernel, HANDLE, nullptr, ::CloseHandle);
VANTREL_HANDLE_TRAITS(Window, HWND, nullptr, ::DestroyWindow);
VANTREL_HANDLE_TRAITS(ImageList, HIMAGELIST, nullptr, ::ImageList_Destroy);
}  // namespace traits

using UniqueIcon = UniqueHandle<traits::Icon>;
using UniqueMenu = UniqueHandle<traits::Menu>;
using UniqueFont = UniqueHandle<traits::Font>;
using UniqueBitmap = UniqueHandle<traits::Bitmap>;
using UniqueBrush = UniqueHandle<traits::Brush>;
using UniquePen = UniqueHandle<traits::Pen>;
using UniqueRegion = UniqueHandle<traits::Region>;
using UniqueMemoryDC = UniqueHandle<traits::MemoryDC>;
using UniqueModule = UniqueHandle<traits::Module>;
using UniqueKernelHandle = UniqueHandle<traits::Kernel>;
using UniqueWindow = UniqueHandle<traits::Window>;
using UniqueImageList = UniqueHandle<traits::ImageList>;

// A critical section with its owner; Enter/Leave, or better a TCriticalSection::Guard scope,
// which also leaves when an exception passes.
class TCriticalSection {
public:
    TCriticalSection() noexcept { ::InitializeCriticalSection(&section_); }
    ~TCriticalSection() { ::DeleteCriticalSection(&section_); }
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;
    void Enter() noexcept { ::EnterCriticalSection(&section_); }
    void Leave() noexcept { ::LeaveCriticalSection(&section_); }

    class Guard {
    public:
        explicit Guard(TCriticalSection& section) noexcept : section_(section) { section_.Enter(); }
        ~Guard() { section_.Leave(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        TCriticalSection& section_;
    };

private:
    CRITICAL_SECTION section_;
};

// Runs `action` when the scope ends, also when an exception passes.
template <typename Action>
class ScopeExit {
public:
    explicit ScopeExit(Action action) noexcept : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Action action_;
};

// Selects an object into a DC for the lifetime of the restorer.
class SelectObjectRestorer {
public:
    SelectObjectRestorer(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
    ~SelectObjectRestorer() { ::SelectObject(dc_, old_); }
    SelectObjectRestorer(const SelectObjectRestorer&) = delete;
    SelectObjectRestorer& operator=(const SelectObjectRestorer&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// BeginPaint/EndPaint as a scope.
class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window) { dc_ = ::BeginPaint(window, &ps_); }
    ~PaintScope() { ::EndPaint(window_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const noexcept { return dc_; }
    const RECT& paintRect() const noexcept { return ps_.rcPaint; }

private:
    HWND window_;
    HDC dc_;
    PAINTSTRUCT ps_{};
};

// A DC of a window's client area (GetDC) or of the whole window, frame included
// (GetWindowDC), released with ReleaseDC. Counted in test builds like the owners above.
class WindowDC {
public:
    enum Area { Client, Whole };

    explicit WindowDC(HWND window, Area area = Client) noexcept
        : window_(window), dc_(area == Whole ? ::GetWindowDC(window) : ::GetDC(window))
    {
        if (kCountHandles && dc_) ++live_;
    }
    ~WindowDC()
    {
        if (!dc_) return;
        ::ReleaseDC(window_, dc_);
        if (kCountHandles) --live_;
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

    static long LiveCount() noexcept { return live_.load(); }

private:
    HWND window_;
    HDC dc_;
    static inline std::atomic<long> live_{0};
};

}  // namespace vantrel
