#include "monitor/TrayIcon.h"

#include "app/Exceptions.h"
#include "app/Forms.h"
#include "app/Messages.h"
#include "app/PlatformVersion.h"
#include "app/SystemModule.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vantrel {

ShellNotifyIconFunction ShellNotifyIcon = ::Shell_NotifyIconW;

namespace {

const wchar_t kIconWindowClass[] = L"VantrelTrayIconWindow";
const wchar_t kMenuWindowClass[] = L"VantrelPopupMenuWindow";
constexpr UINT kFirstMenuCommand = 100;

void RegisterWindowClass(const wchar_t* name, WNDPROC procedure)
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(instance, name, &wc)) return;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.lpszClassName = name;
    ::RegisterClassExW(&wc);
}

}  // namespace

// The shell tells the record's versions apart by their sizes alone, so a header that packed or
// laid it out differently would be taken for another version.
#ifdef _WIN64
static_assert(sizeof(NOTIFYICONDATAW) == 976 && NOTIFYICONDATAW_V2_SIZE == 952);
#else
static_assert(sizeof(NOTIFYICONDATAW) == 956 && NOTIFYICONDATAW_V2_SIZE == 936);
#endif

DWORD NotifyIconRecordSize()
{
    // A version that cannot be told is taken for a current system.
    const TPlatformVersion version = PlatformVersion();
    return version.Major == 0 || version.Major >= 6 ? sizeof(NOTIFYICONDATAW) : NOTIFYICONDATAW_V2_SIZE;
}

// ---------------------------------------------------------------------------------------------
// Pop-up menu

TPopupMenu::TPopupMenu() : menu_(::CreatePopupMenu())
{
    RegisterWindowClass(kMenuWindowClass, WindowProc);
    // A hidden top-level window: TrackPopupMenu needs an owner that can be made foreground.
    window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kMenuWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), this);
}

TPopupMenu::~TPopupMenu()
{
    if (window_) ::DestroyWindow(window_);
}

void TPopupMenu::Add(TMenuItem item)
{
    UINT id = kFirstMenuCommand + static_cast<UINT>(items_.size());
    if (item.Caption == L"-")
        ::AppendMenuW(menu_.get(), MF_SEPARATOR, 0, nullptr);
    else
        ::AppendMenuW(menu_.get(), MF_STRING, id, item.Caption.c_str());
    items_.push_back(std::move(item));
}

void TPopupMenu::Popup(int x, int y)
{
    ::TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, window_, nullptr);
    // Without this the menu may not close when the user clicks elsewhere the next time.
    ::PostMessageW(window_, WM_NULL, 0, 0);
}

LRESULT CALLBACK TPopupMenu::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    } else if (message == WM_COMMAND && HIWORD(wParam) == 0) {
        auto* self = reinterpret_cast<TPopupMenu*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        UINT index = LOWORD(wParam) - kFirstMenuCommand;
        if (self && LOWORD(wParam) >= kFirstMenuCommand && index < self->items_.size()) {
            TNotifyEvent handler = self->items_[index].OnClick;
            if (handler) Guarded([&] { handler(self); });
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void CloseMenu()
{
    ::EndMenu();
}

// ---------------------------------------------------------------------------------------------
// Notification icon

class TTrayIcon::Lock {
public:
    explicit Lock(const TTrayIcon& icon) : section_(&icon.lock_) { ::EnterCriticalSection(section_); }
    ~Lock() { ::LeaveCriticalSection(section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION* section_;
};

TTrayIcon::TTrayIcon()
{
    ::InitializeCriticalSection(&lock_);
    RegisterWindowClass(kIconWindowClass, WindowProc);
    // A hidden top-level window (not message-only): only top-level windows hear the
    // shell's "TaskbarCreated" broadcast.
    window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kIconWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), this);
    if (!window_) {
        DWORD error = ::GetLastError();
        ::DeleteCriticalSection(&lock_);
        throw EOSError(L"Cannot create the notification icon's window", error);
    }
    taskbarCreatedMessage_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    // A copy started elevated runs above Explorer's integrity level, and the system drops the
    // broadcast on its way up unless this window lets it in: the icon would never come back
    // after Explorer restarts.
    if (taskbarCreatedMessage_ != 0) {
        if (user32::ChangeWindowMessageFilterEx)
            user32::ChangeWindowMessageFilterEx(window_, taskbarCreatedMessage_, MSGFLT_ALLOW, nullptr);
        else if (user32::ChangeWindowMessageFilter)
            user32::ChangeWindowMessageFilter(taskbarCreatedMessage_, MSGFLT_ADD);
    }
    addRetry_ = std::make_unique<TTimer>();
    addRetry_->SetEnabled(false);
    addRetry_->SetInterval(1000);
    addRetry_->SetOnTimer([this](TObject*) { RetryAdd(); });
    record_.cbSize = NotifyIconRecordSize();
    record_.hWnd = window_;
    record_.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(window_));
    record_.uFlags = NIF_MESSAGE | NIF_ICON;
    record_.uCallbackMessage = WM_VANTREL_TRAY_CALLBACK;
}

TTrayIcon::~TTrayIcon()
{
    addRetry_.reset();
    {
        Lock lock(*this);
        Send(NIM_DELETE);  // whatever the state; the result does not matter any more
        visible_ = false;
    }
    if (window_) ::DestroyWindow(window_);
    ::DeleteCriticalSection(&lock_);
}

BOOL TTrayIcon::Send(DWORD message)
{
    return ShellNotifyIcon(message, &record_);
}

void TTrayIcon::Add()
{
    // Under the lock, on the user-interface thread (the retry timer lives there).
    added_ = Send(NIM_ADD) != FALSE;
    addRetry_->SetEnabled(!added_);
}

void TTrayIcon::RetryAdd()
{
    Lock lock(*this);
    if (visible_ && !added_)
        Add();
    else
        addRetry_->SetEnabled(false);
}

std::wstring TTrayIcon::GetHint() const
{
    Lock lock(*this);
    return hint_;
}

void TTrayIcon::SetHint(const std::wstring& text)
{
    Lock lock(*this);
    if (text == hint_) return;
    hint_ = text;
    // The shell shows at most 127 characters.
    size_t length = std::min<size_t>(text.size(), 127);
    text.copy(record_.szTip, length);
    record_.szTip[length] = L'\0';
    if (text.empty())
        record_.uFlags &= ~NIF_TIP;
    else
        record_.uFlags |= NIF_TIP;
    if (visible_) Send(NIM_MODIFY);
}

int TTrayIcon::GetIconIndex() const
{
    Lock lock(*this);
    return iconIndex_;
}

void TTrayIcon::SetIcons(TImageList* icons)
{
    Lock lock(*this);
    icons_ = icons;
    // ImageList_GetIcon makes a new icon each call, and it is ours to destroy.
    pictures_.clear();
    for (int index = 0; icons_ && index < icons_->Count(); ++index)
        pictures_.emplace_back(::ImageList_GetIcon(icons_->Handle(), index, ILD_NORMAL));
    UpdateCurrentPicture();
    if (visible_) Send(NIM_MODIFY);
}

void TTrayIcon::UpdateCurrentPicture()
{
    currentPicture_ = iconIndex_ >= 0 && static_cast<size_t>(iconIndex_) < pictures_.size()
                          ? pictures_[static_cast<size_t>(iconIndex_)].get()
                          : nullptr;
    record_.hIcon = currentPicture_;
}

void TTrayIcon::SetIconIndex(int index)
{
    Lock lock(*this);
    if (index == iconIndex_) return;
    iconIndex_ = index;
    UpdateCurrentPicture();
    if (visible_) Send(NIM_MODIFY);
}

void TTrayIcon::Refresh()
{
    Lock lock(*this);
    record_.hIcon = currentPicture_;
    if (visible_) Send(NIM_MODIFY);
}

bool TTrayIcon::GetVisible() const
{
    Lock lock(*this);
    return visible_;
}

void TTrayIcon::SetVisible(bool visible)
{
    Lock lock(*this);
    if (visible == visible_) return;
    if (visible) {
        visible_ = true;
        Add();  // a failure is tried again, and the shell may also ask us again
    } else {
        addRetry_->SetEnabled(false);
        if (!Send(NIM_DELETE)) throw Exception(L"Cannot remove shell notification icon");
        visible_ = false;
        added_ = false;
    }
}

NOTIFYICONDATAW TTrayIcon::Record() const
{
    Lock lock(*this);
    return record_;
}

void TTrayIcon::OnCallback(UINT mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        clicked_ = true;
        break;
    case WM_LBUTTONUP:
        if (clicked_) {
            // The action may open a modal window: the mark stays set until it returns.
            TNotifyEvent handler = onClick_;
            if (handler) handler(this);
            clicked_ = false;
        }
        break;
    case WM_RBUTTONUP:
        OnRightButtonUp();
        break;
    default:
        break;  // moves, the right button's press, double clicks: nothing
    }
}

void TTrayIcon::OnRightButtonUp()
{
    if (!popupMenu_) return;
    POINT at{};
    ::GetCursorPos(&at);
    // The menu only closes on a click elsewhere when our window is in the foreground.
    if (Application) {
        ::SetForegroundWindow(Application->Handle());
        Application->ProcessMessages();
    }
    popupMenu_->Popup(at.x, at.y);
}

LRESULT TTrayIcon::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VANTREL_TRAY_CALLBACK) {
        OnCallback(LOWORD(lParam));
        return 0;
    }
    if (message == taskbarCreatedMessage_ && taskbarCreatedMessage_ != 0) {
        // The shell forgot every icon when its taskbar was created anew: add ours again,
        // with its current picture and tooltip, drawn for the new taskbar's scale.
        ScaleChanged(WindowDpi(window_));
        Lock lock(*this);
        if (visible_) Add();
        return 0;
    }
    switch (message) {
    case WM_DPICHANGED:
        ScaleChanged(HIWORD(wParam));
        return 0;
    case WM_SETTINGCHANGE:
        ScaleChanged(WindowDpi(window_));
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) {
            Lock lock(*this);
            addRetry_->SetEnabled(false);
            Send(NIM_DELETE);
        }
        return 0;
    default:
        return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

void TTrayIcon::ScaleChanged(UINT dpi)
{
    // Not under the lock: the handler hands the new pictures over through SetIcons.
    std::function<void(UINT)> handler = onScaleChange_;
    if (handler && dpi != 0) handler(dpi);
}

LRESULT CALLBACK TTrayIcon::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TTrayIcon*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (!self || !self->window_) return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    Guarded([&] { result = self->OnMessage(message, wParam, lParam); });
    return result;
}

}  // namespace vantrel
