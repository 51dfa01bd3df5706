#pragma once
// TTrayIcon: the program's icon in the notification area, its pictures and its callbacks.
//
// What is wanted (tooltip, picture index, visibility) is kept apart from what the shell is
// told. The icon is operated from two threads (the user-interface thread and the
// connection-state watcher), so every operation runs whole under the icon's lock: neither
// thread can change the record while the other is changing or sending it.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Handles.h"
#include "app/Timer.h"
#include "app/Window.h"
#include "monitor/TrayClick.h"
#include "monitor/TrayPictures.h"

namespace vantrel {

// The one entry to the shell's notification area; tests replace it with a recorder.
using ShellNotifyIconFunction = BOOL(WINAPI*)(DWORD message, NOTIFYICONDATAW* data);
extern ShellNotifyIconFunction ShellNotifyIcon;

// The record size the shell expects: the whole record from Windows 6.0 on, the version-2
// record before.
DWORD NotifyIconRecordSize();

class TImageList : public TObject {
public:
    explicit TImageList(HIMAGELIST list = nullptr) noexcept : list_(list) {}
    TImageList(const TImageList&) = delete;
    TImageList& operator=(const TImageList&) = delete;
    HIMAGELIST Handle() const noexcept { return list_.get(); }
    int Count() const noexcept { return list_ ? ::ImageList_GetImageCount(list_.get()) : 0; }

private:
    UniqueImageList list_;
};

struct TMenuItem {
    const wchar_t* Name;
    std::wstring Caption;  // "-" is a separator line
    TNotifyEvent OnClick;
};

// A pop-up menu with its own hidden window, which receives the chosen entry's command.
class TPopupMenu : public TObject, public TWindow {
public:
    TPopupMenu();
    ~TPopupMenu() override;
    TPopupMenu(const TPopupMenu&) = delete;
    TPopupMenu& operator=(const TPopupMenu&) = delete;

    void Add(TMenuItem item);
    const std::vector<TMenuItem>& Items() const noexcept { return items_; }
    // Shows the menu with its top-left corner at a screen point; returns when it closes.
    // The chosen entry's action runs afterwards, when its command is dispatched.
    void Popup(int x, int y);
    HMENU Handle() const noexcept { return menu_.get(); }
    HWND Window() const noexcept { return TWindow::Handle(); }

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnChosen(UINT command);

    UniqueMenu menu_;
    std::vector<TMenuItem> items_;
};

// Ends whichever menu of the user-interface thread is open; nothing when none is.
void CloseMenu();

class TTrayIcon : public TObject, public TWindow {
public:
    TTrayIcon();
    // Removes the icon whatever its state and destroys the icon message window.
    ~TTrayIcon() override;
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    std::wstring GetHint() const;
    void SetHint(const std::wstring& text);
    int GetIconIndex() const;
    void SetIconIndex(int index);
    void Refresh();
    bool GetVisible() const;
    void SetVisible(bool visible);

    // Takes the pictures of `icons` (made anew, so the caller may destroy the list afterwards);
    // a shown icon shows the new picture at once.
    void SetIcons(TImageList* icons);
    void SetPopupMenu(TPopupMenu* menu) { popupMenu_ = menu; }
    void SetOnClick(TNotifyEvent handler) { onClick_ = std::move(handler); }
    // Called with the notification area's DPI whenever the size of its icons can have changed:
    // a new taskbar, a scale change, a changed setting. The owner draws the pictures again at
    // that size and hands them over with SetIcons.
    void SetOnScaleChange(std::function<void(UINT dpi)> handler) { onScaleChange_ = std::move(handler); }

    // A copy of the record as last filled (for tests).
    NOTIFYICONDATAW Record() const;

private:
    using Lock = TCriticalSection::Guard;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnTaskbarCreated();
    void OnEndSession(bool ending);
    void OnCallback(UINT mouseMessage);
    void OnRightButtonUp();
    BOOL Send(DWORD message);
    void Add();
    void RetryAdd();
    void UpdateCurrentPicture();
    void ScaleChanged(UINT dpi);

    mutable TCriticalSection lock_;
    // Set once the window is whole: the messages of its creation get the default handling.
    bool created_ = false;
    UINT taskbarCreatedMessage_ = 0;
    NOTIFYICONDATAW record_{};
    std::wstring hint_;
    int iconIndex_ = 0;
    bool visible_ = false;
    // The shell took the last add. While the icon is wanted and it did not, the add is tried
    // again once a second: a shell that was too busy to answer at log-on never broadcasts
    // "TaskbarCreated" again.
    bool added_ = false;
    std::unique_ptr<TTimer> addRetry_;
    // One icon per picture of the set, made once: the blink switches between two of them
    // twice a second, and making a fresh icon each time costs a round trip to the system.
    std::vector<UniqueIcon> pictures_;
    HICON currentPicture_ = nullptr;
    TImageList* icons_ = nullptr;
    TPopupMenu* popupMenu_ = nullptr;
    TNotifyEvent onClick_;
    std::function<void(UINT dpi)> onScaleChange_;
    TTrayClick click_;
};

}  // namespace vantrel
