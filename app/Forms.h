#pragma once
// TForm: the base of the program's four windows.
//
// A form is a dialog-class window (so Tab, Enter and Escape work as in any dialog) whose
// controls are laid out in 96-DPI pixels and scaled to the window's DPI. Forms are created
// hidden, owned by the application window, and shown modally with ShowModal().

#include <windows.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Dpi.h"
#include "app/Handles.h"

namespace vantrel {

// TDisabledWindows: the program's other windows disabled for a scope, as under a modal window
// or an error box.
//
// Disabled are the shown, enabled top-level windows of the calling thread, except the one
// kept. Hidden windows (the icon's message window, the menu's, the timers') keep working, so
// the icon, its menu and the ticks go on while the scope lasts. At the end only the windows
// this scope disabled are enabled again, and only those that still exist: a window that was
// disabled already stays so, and one destroyed meanwhile is skipped.
class TDisabledWindows {
public:
    explicit TDisabledWindows(HWND keep);
    ~TDisabledWindows();
    TDisabledWindows(const TDisabledWindows&) = delete;
    TDisabledWindows& operator=(const TDisabledWindows&) = delete;

private:
    static BOOL CALLBACK DisableShown(HWND window, LPARAM self);

    HWND keep_;
    std::vector<HWND> disabled_;
};

enum TModalResult : int { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL };

enum class TPosition { ScreenCenter, Designed };
// Where an auto-width label stands: from its left edge, or centred across a designed span.
enum TAlignment { taLeftJustify, taCenter };
enum class TBorderStyle { Dialog, Sizeable };

// What a form's window description says about the window itself.
struct TFormDescription {
    const wchar_t* Caption;
    int ClientWidth;   // 96-DPI pixels
    int ClientHeight;  // 96-DPI pixels
    TBorderStyle BorderStyle = TBorderStyle::Dialog;
    TPosition Position = TPosition::ScreenCenter;
    int Left = 0;  // screen position when Position is Designed
    int Top = 0;
    const wchar_t* FontName = L"MS Sans Serif";
    int FontHeight = -11;  // 96-DPI pixels, as LOGFONT's lfHeight
};

class TForm;

// A text label of a form that sizes itself to its caption. While the form is hidden a new
// caption is only kept, and reaches the window when the form is shown: the monitor rewrites the
// totals twice a second, all day, into a window that is almost never on the screen, and each
// window-text change is a round trip to the window system. A centred label is placed each time
// it is sized, so it stays centred whatever caption it gets later.
class TLabel {
public:
    TLabel() = default;
    ~TLabel();
    TLabel(const TLabel&) = delete;
    TLabel& operator=(const TLabel&) = delete;

    // Left-aligned at `left`, or, with taCenter, centred across `width` pixels from `left`.
    void Create(TForm& form, const wchar_t* text, int left, int top, TAlignment alignment = taLeftJustify,
                int width = 0);
    void SetCaption(const std::wstring& text);
    const std::wstring& GetCaption() const noexcept { return caption_; }
    HWND Handle() const noexcept { return handle_.get(); }

private:
    friend class TForm;
    void ApplyPending();

    TForm* form_ = nullptr;
    // Held, never destroyed by the label: a child window goes with its form's window.
    UniqueWindow handle_;
    std::wstring caption_;
    bool pending_ = false;
};

class TForm : public TObject {
    friend class TLabel;

public:
    explicit TForm(const TFormDescription& description);
    ~TForm() override;
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    // Runs FormCreate, reporting its exception (the rest of the handler is then skipped).
    void AfterConstruction();
    // Runs FormDestroy, reporting its exception; the destruction goes on afterwards.
    void BeforeDestruction();

    HWND Handle() const noexcept { return handle_.get(); }
    bool GetVisible() const;
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Closes the window: a modal window ends its loop with the result already chosen, or
    // with mrCancel when none was.
    void Close();

    // Shows the window modally and returns its modal result; see the application shell's rules.
    int ShowModal();
    int GetModalResult() const noexcept { return modalResult_; }
    void SetModalResult(int result);

    UINT Dpi() const noexcept { return dpi_; }
    // A length in 96-DPI pixels at this window's DPI.
    int Scale(int value) const noexcept { return ScaleForDpi(value, dpi_); }
    HFONT Font() const noexcept { return font_.get(); }

protected:
    // Creation and destruction handlers of the window description; exceptions are reported.
    virtual void FormCreate() {}
    virtual void FormDestroy() {}
    virtual void FormShow() {}
    virtual void FormHide() {}
    // WM_COMMAND from a control or an accelerator (IDOK for Enter, IDCANCEL for Escape).
    virtual void OnCommand(int id, int notifyCode, HWND control);
    // Any other message; return true when handled, with `result` set.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    // Called after the DPI changed and the font was recreated; move controls here.
    virtual void LayoutControls() {}

    // Creates a child control at a 96-DPI rectangle, in the form's font. Controls created in
    // order get the tab order of creation.
    HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int left, int top, int width, int height,
                    int id, DWORD exStyle = 0);
    // Moves a control to a 96-DPI rectangle.
    void PlaceControl(HWND control, int left, int top, int width, int height);
    // A label that sizes itself to its text ("auto width"); a centred one stands in the middle
    // of `width` pixels from `left`.
    HWND AddLabel(const wchar_t* text, int left, int top, int id = -1, TAlignment alignment = taLeftJustify,
                  int width = 0);
    // Fits a label's size to its text and places it by its alignment; `forceMeasure` does so
    // even when the measured size is the one it already has (after a font change).
    void FitLabel(HWND label, const std::wstring& text, bool forceMeasure);

    const TFormDescription& Description() const noexcept { return description_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR HandleDialogMessage(UINT, WPARAM, LPARAM);
    void CreateFontForDpi();
    void PlaceWindow();

    struct ControlPlacement {
        HWND control;
        RECT designed;  // 96-DPI; a centred label's span
        bool autoWidth;
        TAlignment alignment = taLeftJustify;
        SIZE fitted{-1, -1};  // the size an auto-width label was last given
    };

    TFormDescription description_;
    UINT dpi_ = 96;
    UniqueFont font_;
    UniqueMemoryDC measureDC_;  // for fitting labels without asking the window system for a DC
    int modalResult_ = mrNone;
    bool inModalLoop_ = false;
    std::vector<ControlPlacement> controls_;
    std::vector<TLabel*> labels_;  // members of the derived form; each leaves the list as it goes
    // From WM_INITDIALOG to WM_NCDESTROY. Declared last so that, should a constructor fail,
    // the window goes first, while the members its procedure reads are still there.
    UniqueWindow handle_;
};

}  // namespace vantrel
