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

constexpr UINT kFirstMenuCommand = 100;

const TWindowClass& IconWindowClass()
{
    static const TWindowClass windowClass({L"VantrelTrayIconWindow"});
    return windowClass;
}

const TWindowClass& MenuWindowClass()
{
    static const TWindowClass windowClass({L"VantrelPopupMenuWindow"});
    return windowClass;
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
    // A hidden top-level window: TrackPopupMenu needs an owner that can be made foreground.
    CreateHandle(MenuWindowClass(), WS_EX_TOOLWINDOW, L"", WS_POPUP, 0, 0, 0, 0, nullptr);
}

TPopupMenu::~TPopupMenu()
{
    DestroyHandle();
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
    ::TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, Window(), nullptr);
    // Without this the menu may not close when the user clicks elsewhere the next time.
    ::PostMessageW(Window(), WM_NULL, 0, 0);
}

LRESULT TPopupMenu::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // Only a menu's command (an accelerator's or a control's has a code of its own).
        if (HIWORD(wParam) != 0) break;
        OnChosen(LOWORD(wParam));
        return 0;
    default:
        break;
    }
    return TWindow::OnMessage(message, wParam, lParam);
}

void TPopupMenu::OnChosen(UINT command)
{
    UINT index = command - kFirstMenuCommand;
    if (command < kFirstMenuCommand || index >= items_.size()) return;
    // A copy: the action may change the menu.
    TNotifyEvent handler = items_[index].OnClick;
    if (handler) handler(this);
}

void CloseMenu()
{
    ::EndMenu();
}

// ---------------------------------------------------------------------------------------------
// Notification icon

TTrayIcon::TTrayIcon()
{
    // A hidden top-level window (not message-only): only top-level windows hear the
    // shell's "TaskbarCreated" broadcast.
    const HWND window = CreateHandle(IconWindowClass(), WS_EX_TOOLWINDOW, L"", WS_POPUP, 0, 0, 0, 0, nullptr);
    if (!window) {
        DWORD error = ::GetLastError();
        throw EOSError(L"Cannot create the notification icon's window", error);
    }
    taskbarCreatedMessage_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    // A copy started elevated runs above Explorer's integrity level, and the system drops the
    // broadcast on its way up unless this window lets it in: the icon would never come back
    // after Explorer restarts.
    if (taskbarCreatedMessage_ != 0) {
        if (user32::ChangeWindowMessageFilterEx)
            user32::ChangeWindowMessageFilterEx(window, taskbarCreatedMessage_, MSGFLT_ALLOW, nullptr);
        else if (user32::ChangeWindowMessageFilter)
            user32::ChangeWindowMessageFilter(taskbarCreatedMessage_, MSGFLT_ADD);
    }
    addRetry_ = std::make_unique<TTimer>();
    addRetry_->SetEnabled(false);
    addRetry_->SetInterval(1000);
    addRetry_->SetOnTimer([this](TObject*) { RetryAdd(); });
    record_.cbSize = NotifyIconRecordSize();
    record_.hWnd = window;
    record_.uID = static_cast<UINT>(reinterpret_cast<UINT_PTR>(window));
    record_.uFlags = NIF_MESSAGE | NIF_ICON;
    record_.uCallbackMessage = WM_VANTREL_TRAY_CALLBACK;
    created_ = true;
}

TTrayIcon::~TTrayIcon()
{
    addRetry_.reset();
    {
        Lock lock(lock_);
        Send(NIM_DELETE);  // whatever the state; the result does not matter any more
        visible_ = false;
    }
    DestroyHandle();
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
    Lock lock(lock_);
    if (visible_ && !added_)
        Add();
    else
        addRetry_->SetEnabled(false);
}

std::wstring TTrayIcon::GetHint() const
{
    Lock lock(lock_);
    return hint_;
}

void TTrayIcon::SetHint(const std::wstring& text)
{
    Lock lock(lock_);
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
    Lock lock(lock_);
    return iconIndex_;
}

void TTrayIcon::SetIcons(TImageList* icons)
{
    Lock lock(lock_);
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
    Lock lock(lock_);
    if (index == iconIndex_) return;
    iconIndex_ = index;
    UpdateCurrentPicture();
    if (visible_) Send(NIM_MODIFY);
}

void TTrayIcon::Refresh()
{
    Lock lock(lock_);
    record_.hIcon = currentPicture_;
    if (visible_) Send(NIM_MODIFY);
}

bool TTrayIcon::GetVisible() const
{
    Lock lock(lock_);
    return visible_;
}

void TTrayIcon::SetVisible(bool visible)
{
    Lock lock(lock_);
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
    Lock lock(lock_);
    return record_;
}

void TTrayIcon::OnCallback(UINT mouseMessage)
{
    TTrayClick::Mouse mouse = TTrayClick::Mouse::Other;
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        mouse = TTrayClick::Mouse::LeftDown;
        break;
    case WM_LBUTTONUP:
        mouse = TTrayClick::Mouse::LeftUp;
        break;
    case WM_LBUTTONDBLCLK:
        mouse = TTrayClick::Mouse::LeftDoubleClick;
        break;
    case WM_RBUTTONDOWN:
        mouse = TTrayClick::Mouse::RightDown;
        break;
    case WM_RBUTTONUP:
        mouse = TTrayClick::Mouse::RightUp;
        break;
    default:
        break;
    }
    switch (click_.Feed(mouse)) {
    case TTrayClick::Action::Click: {
        // Cleared on every way out: an action that failed (its error already reported) must
        // not leave a later stray release counted as a click.
        ScopeExit returned([this] { click_.ActionReturned(); });
        TNotifyEvent handler = onClick_;
        if (handler) handler(this);
        break;
    }
    case TTrayClick::Action::Menu:
        OnRightButtonUp();
        break;
    case TTrayClick::Action::None:
        break;
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
    if (!created_) return TWindow::OnMessage(message, wParam, lParam);
    // A registered message has no constant to switch on.
    if (message == taskbarCreatedMessage_ && taskbarCreatedMessage_ != 0) {
        OnTaskbarCreated();
        return 0;
    }
    switch (message) {
    case WM_VANTREL_TRAY_CALLBACK:
        OnCallback(LOWORD(lParam));
        return 0;
    case WM_DPICHANGED:
        ScaleChanged(HIWORD(wParam));
        return 0;
    case WM_SETTINGCHANGE:
        ScaleChanged(WindowDpi(Handle()));
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return 0;
    default:
        return TWindow::OnMessage(message, wParam, lParam);
    }
}

void TTrayIcon::OnTaskbarCreated()
{
    // The shell forgot every icon when its taskbar was created anew: add ours again, with its
    // current picture and tooltip, drawn for the new taskbar's scale.
    ScaleChanged(WindowDpi(Handle()));
    Lock lock(lock_);
    if (visible_) Add();
}

void TTrayIcon::OnEndSession(bool ending)
{
    if (!ending) return;
    Lock lock(lock_);
    addRetry_->SetEnabled(false);
    Send(NIM_DELETE);
}

void TTrayIcon::ScaleChanged(UINT dpi)
{
    // Not under the lock: the handler hands the new pictures over through SetIcons.
    std::function<void(UINT)> handler = onScaleChange_;
    if (handler && dpi != 0) handler(dpi);
}

}  // namespace vantrel
