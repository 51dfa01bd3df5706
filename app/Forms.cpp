#include "app/Forms.h"

#include "app/Exceptions.h"
#include "app/SystemModule.h"

#include "app/VisualStyle.h"

#include <algorithm>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vantrel {

namespace {

struct EmptyDialogTemplate {
    DLGTEMPLATE header;
    WORD menu;
    WORD windowClass;
    WORD title;
};

DWORD StyleFor(TBorderStyle border)
{
    if (border == TBorderStyle::Sizeable)
        return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
    return WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN;
}

DWORD ExStyleFor(TBorderStyle border)
{
    return WS_EX_CONTROLPARENT | (border == TBorderStyle::Dialog ? WS_EX_DLGMODALFRAME : 0);
}

}  // namespace

TForm::TForm(const TFormDescription& description) : description_(description)
{
    alignas(4) EmptyDialogTemplate dialog{};
    dialog.header.style = StyleFor(description.BorderStyle);
    dialog.header.dwExtendedStyle = ExStyleFor(description.BorderStyle);
    HWND owner = Application ? Application->Handle() : nullptr;
    // The window is this form's from WM_INITDIALOG on, inside the call.
    if (!::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), &dialog.header, owner, DialogProc,
                                      reinterpret_cast<LPARAM>(this)))
        RaiseOSError(::GetLastError());
    dpi_ = WindowDpi(handle_.get());
    CreateFontForDpi();
    ::SetWindowTextW(handle_.get(), description.Caption);
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (icon) {
        ::SendMessageW(handle_.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(handle_.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    PlaceWindow();
}

TForm::~TForm()
{
    // Destroyed here, while the form is whole and its handle still held: the procedure runs
    // during the destruction, and the owner lets go at WM_NCDESTROY. A window the system
    // destroyed earlier (with its owner, the application window) has let go already.
    if (handle_) ::DestroyWindow(handle_.get());
}

void TForm::BeforeDestruction()
{
    Guarded([this] { FormDestroy(); });
}

void TForm::AfterConstruction()
{
    TStyleManager::ApplyToWindow(handle_.get());
    Guarded([this] { FormCreate(); });
}

void TForm::CreateFontForDpi()
{
    LOGFONTW font{};
    font.lfHeight = Scale(description_.FontHeight);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, description_.FontName, LF_FACESIZE);
    font_.reset(::CreateFontIndirectW(&font));
}

void TForm::PlaceWindow()
{
    RECT frame{0, 0, Scale(description_.ClientWidth), Scale(description_.ClientHeight)};
    ::AdjustWindowRectEx(&frame, StyleFor(description_.BorderStyle), FALSE, ExStyleFor(description_.BorderStyle));
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int left, top;
    if (description_.Position == TPosition::ScreenCenter) {
        left = work.left + (work.right - work.left - width) / 2;
        top = work.top + (work.bottom - work.top - height) / 2;
    } else {
        left = Scale(description_.Left);
        top = Scale(description_.Top);
        // A designed place may lie off a smaller screen: keep the window reachable.
        if (left + width > work.right) left = work.right - width;
        if (top + height > work.bottom) top = work.bottom - height;
        if (left < work.left) left = work.left;
        if (top < work.top) top = work.top;
    }
    ::SetWindowPos(handle_.get(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND TForm::AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int left, int top, int width,
                       int height, int id, DWORD exStyle)
{
    HWND control = ::CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, Scale(left), Scale(top),
                                     Scale(width), Scale(height), handle_.get(),
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                     nullptr);
    if (!control) RaiseOSError(::GetLastError());
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    controls_.push_back({control, RECT{left, top, left + width, top + height}, false});
    return control;
}

void TForm::PlaceControl(HWND control, int left, int top, int width, int height)
{
    for (auto& placement : controls_) {
        if (placement.control == control) placement.designed = RECT{left, top, left + width, top + height};
    }
    ::SetWindowPos(control, nullptr, Scale(left), Scale(top), Scale(width), Scale(height),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND TForm::AddLabel(const wchar_t* text, int left, int top, int id, TAlignment alignment, int width)
{
    HWND label = AddControl(L"STATIC", text, SS_LEFT | SS_NOPREFIX, left, top, 1, 13, id);
    ControlPlacement& placement = controls_.back();
    placement.autoWidth = true;
    placement.alignment = alignment;
    if (alignment == taCenter) placement.designed.right = left + width;
    FitLabel(label, text, true);
    return label;
}

void TForm::FitLabel(HWND label, const std::wstring& text, bool forceMeasure)
{
    // Auto width: the label is as wide as its text in the form's font, measured in a memory DC
    // of the form's own (no window DC to ask the window system for); the label moves only when
    // its size really changes.
    if (!measureDC_) measureDC_.reset(::CreateCompatibleDC(nullptr));
    RECT bounds{0, 0, 0, 0};
    {
        SelectObjectRestorer selected(measureDC_.get(), font_.get());
        ::DrawTextW(measureDC_.get(), text.c_str(), static_cast<int>(text.size()), &bounds,
                    DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    for (auto& placement : controls_) {
        if (placement.control != label) continue;
        if (!forceMeasure && placement.fitted.cx == bounds.right && placement.fitted.cy == bounds.bottom) return;
        placement.fitted = SIZE{bounds.right, bounds.bottom};
        // Placed only now that its width is known: a centred label sized after it was placed
        // would grow to the right of the middle.
        const RECT& designed = placement.designed;
        int left = Scale(designed.left);
        if (placement.alignment == taCenter) left += (Scale(designed.right - designed.left) - bounds.right) / 2;
        ::SetWindowPos(label, nullptr, left, Scale(designed.top), bounds.right, bounds.bottom,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(label, nullptr, TRUE);
        return;
    }
    ::SetWindowPos(label, nullptr, 0, 0, bounds.right, bounds.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(label, nullptr, TRUE);
}

bool TForm::GetVisible() const
{
    return handle_.get() && ::IsWindowVisible(handle_.get());
}

void TForm::SetVisible(bool visible)
{
    if (visible == GetVisible()) return;
    if (visible) {
        FormShow();
        for (TLabel* label : labels_) label->ApplyPending();
        ::ShowWindow(handle_.get(), SW_SHOW);
    } else {
        ::ShowWindow(handle_.get(), SW_HIDE);
        FormHide();
    }
    if (Application) Application->UpdateTaskbarButton();
}

void TForm::Close()
{
    // A button that closes with its own result (the about window's OK) has already set it;
    // only a close that chose nothing ends with Cancel.
    if (inModalLoop_) {
        if (modalResult_ == mrNone) SetModalResult(mrCancel);
    } else {
        Hide();
    }
}

void TForm::SetModalResult(int result)
{
    modalResult_ = result;
}

TDisabledWindows::TDisabledWindows(HWND keep) : keep_(keep)
{
    // Top-level windows only: a form's controls go with their form.
    ::EnumThreadWindows(::GetCurrentThreadId(), DisableShown, reinterpret_cast<LPARAM>(this));
}

TDisabledWindows::~TDisabledWindows()
{
    for (HWND window : disabled_) {
        if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    }
}

BOOL CALLBACK TDisabledWindows::DisableShown(HWND window, LPARAM parameter)
{
    auto* self = reinterpret_cast<TDisabledWindows*>(parameter);
    if (window != self->keep_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
        // Recorded first, and no exception crosses the enumeration: should the list fail to
        // grow, the window is left as it was and the enumeration stops.
        try {
            self->disabled_.push_back(window);
        } catch (...) {
            return FALSE;
        }
        ::EnableWindow(window, FALSE);
    }
    return TRUE;
}

int TForm::ShowModal()
{
    HWND previouslyActive = ::GetActiveWindow();
    int result = mrCancel;
    {
        // Only shown windows are disabled: the icon, its menu and the ticks go on under a
        // modal window. They are enabled again before this window hides, so that the
        // activation has somewhere to go.
        const TDisabledWindows disabled(Handle());

        modalResult_ = mrNone;
        inModalLoop_ = true;
        Show();
        ::SetForegroundWindow(Handle());
        ::SetActiveWindow(Handle());
        HWND first = ::GetNextDlgTabItem(Handle(), nullptr, FALSE);
        if (first) ::SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);

        while (modalResult_ == mrNone) {
            if (Application->GetTerminated()) {
                modalResult_ = mrCancel;
                break;
            }
            Application->HandleMessage();
            if (!::IsWindow(Handle())) break;
        }
        if (Application->GetTerminated()) {
            // Let the loops outside this one see the quit as well.
            modalResult_ = mrCancel;
        }
        result = modalResult_;
        inModalLoop_ = false;
    }
    Hide();
    if (previouslyActive && ::IsWindow(previouslyActive) && ::IsWindowVisible(previouslyActive))
        ::SetActiveWindow(previouslyActive);
    return result;
}

void TForm::OnCommand(int, int, HWND) {}

bool TForm::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&)
{
    return false;
}

INT_PTR CALLBACK TForm::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TForm*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->handle_.reset(window);
        return FALSE;  // the form sets the focus itself when it is shown
    }
    auto* self = reinterpret_cast<TForm*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        // The window is going: its owner lets go without destroying it again, and so do the
        // labels, whose windows went with it.
        self->handle_.release();
        for (TLabel* label : self->labels_) label->handle_.release();
        return FALSE;
    }
    // A message whose handler raised counts as handled.
    INT_PTR result = TRUE;
    Guarded([&] { result = self->HandleDialogMessage(message, wParam, lParam); });
    return result;
}

INT_PTR TForm::HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = FALSE;
    // The window's own handling comes first (a link label keeps its own colour), then the style.
    if (OnMessage(message, wParam, lParam, result)) return result;
    if (TStyleManager::HandleMessage(handle_.get(), message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_CLOSE:
        Close();
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        // The controls let go of the old font before it is destroyed.
        const UniqueFont previousFont = std::move(font_);
        CreateFontForDpi();
        auto* suggested = reinterpret_cast<RECT*>(lParam);
        ::SetWindowPos(handle_.get(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        for (const auto& placement : controls_) {
            ::SendMessageW(placement.control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
            const RECT& r = placement.designed;
            ::SetWindowPos(placement.control, nullptr, Scale(r.left), Scale(r.top), Scale(r.right - r.left),
                           Scale(r.bottom - r.top), SWP_NOZORDER | SWP_NOACTIVATE);
            if (placement.autoWidth) {
                wchar_t text[256];
                ::GetWindowTextW(placement.control, text, 256);
                FitLabel(placement.control, text, true);
            }
        }
        LayoutControls();
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void TLabel::Create(TForm& form, const wchar_t* text, int left, int top, TAlignment alignment, int width)
{
    form_ = &form;
    caption_ = text;
    handle_.reset(form.AddLabel(text, left, top, -1, alignment, width));
    form.labels_.push_back(this);
}

TLabel::~TLabel()
{
    // The window is a child of the form's: the form's window destroys it, and the label,
    // a member of the derived form, goes before that. Destroying it here would notify a form
    // half torn down (WM_PARENTNOTIFY) of a window that is about to go anyway, so the owner
    // lets go instead, and the form no longer answers for this label.
    handle_.release();
    if (form_) {
        auto& labels = form_->labels_;
        labels.erase(std::remove(labels.begin(), labels.end(), this), labels.end());
    }
}

void TLabel::SetCaption(const std::wstring& text)
{
    if (!form_ || text == caption_) return;
    caption_ = text;
    pending_ = true;
    if (form_->GetVisible()) ApplyPending();
}

void TLabel::ApplyPending()
{
    if (!pending_) return;
    pending_ = false;
    ::SetWindowTextW(handle_.get(), caption_.c_str());
    form_->FitLabel(handle_.get(), caption_, false);
}

}  // namespace vantrel
