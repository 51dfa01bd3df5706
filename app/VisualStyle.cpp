#include "app/VisualStyle.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "app/Dpi.h"
#include "app/Handles.h"
#include "app/SystemModule.h"
#include "resources/resource.h"

namespace vantrel {
namespace {

// The active style and the GDI objects that every styled window shares. One owner each; they
// go when the style is reset or the program ends.
struct TActiveStyle {
    TStyleData data;
    UniqueBrush face;
    UniqueBrush edit;
};

std::unique_ptr<TActiveStyle>& Active()
{
    static std::unique_ptr<TActiveStyle> active;
    return active;
}

COLORREF ToColorRef(TStyleColour colour) { return RGB(colour.Red, colour.Green, colour.Blue); }

COLORREF Blend(COLORREF a, COLORREF b, int percentOfB)
{
    const auto mix = [percentOfB](int x, int y) { return static_cast<BYTE>((x * (100 - percentOfB) + y * percentOfB) / 100); };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

// ---------------------------------------------------------------------------------------------
// Push buttons. Owner-drawn buttons lose what the dialog manager knows about push buttons:
// they no longer say that they are (or are not) the default button, so Enter would not find
// them, and they turn a quick second click into a double click. The subclass gives that back.

constexpr UINT_PTR kButtonSubclassId = 0x56424E31;  // 'VBN1'
constexpr UINT_PTR kFrameSubclassId = 0x56465231;   // 'VFR1'

struct TButtonState {
    bool isDefault = false;
    bool hot = false;
    bool ownerDrawn = false;
    TButtonGlyph glyph = TButtonGlyph::None;
};

LRESULT CALLBACK ButtonSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

// The state is also reachable through a window property: the import libraries of some
// toolchains lack GetWindowSubclass, which comctl32 exports by ordinal only before version 6.
constexpr const wchar_t* kButtonStateProperty = L"Vantrel.ButtonState";

TButtonState* ButtonState(HWND button)
{
    return static_cast<TButtonState*>(::GetPropW(button, kButtonStateProperty));
}

TButtonState* EnsureButtonState(HWND button)
{
    if (TButtonState* state = ButtonState(button)) return state;
    auto state = std::make_unique<TButtonState>();
    if (!::SetWindowSubclass(button, ButtonSubclassProc, kButtonSubclassId, reinterpret_cast<DWORD_PTR>(state.get()))) {
        return nullptr;
    }
    ::SetPropW(button, kButtonStateProperty, state.get());
    return state.release();  // owned by the subclass; deleted at WM_NCDESTROY
}

LRESULT CALLBACK ButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto* state = reinterpret_cast<TButtonState*>(data);
    if (state->ownerDrawn) {
        switch (message) {
        case WM_GETDLGCODE:
            return DLGC_BUTTON | (state->isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        case BM_SETSTYLE: {
            // The dialog manager moves the default look with the focus by setting
            // BS_DEFPUSHBUTTON or BS_PUSHBUTTON; remember which, but stay owner-drawn.
            state->isDefault = (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            const LRESULT result = ::DefSubclassProc(button, message, (wParam & ~BS_TYPEMASK) | BS_OWNERDRAW, lParam);
            if (lParam) ::InvalidateRect(button, nullptr, FALSE);
            return result;
        }
        case WM_LBUTTONDBLCLK:
            message = WM_LBUTTONDOWN;
            break;
        case WM_MOUSEMOVE:
            if (!state->hot) {
                state->hot = true;
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
                ::TrackMouseEvent(&track);
                ::InvalidateRect(button, nullptr, FALSE);
            }
            break;
        case WM_MOUSELEAVE:
            state->hot = false;
            ::InvalidateRect(button, nullptr, FALSE);
            break;
        case WM_ERASEBKGND:
            return 1;  // the drawing covers every pixel
        default:
            break;
        }
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(button, ButtonSubclassProc, kButtonSubclassId);
        ::RemovePropW(button, kButtonStateProperty);
        delete state;
    }
    return ::DefSubclassProc(button, message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Edit boxes and lists keep their sunken two-pixel edge (so nothing moves), painted flat: a
// one-pixel line in the border colour, the accent while the control has the focus.

LRESULT CALLBACK FrameSubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_NCPAINT: {
        const LRESULT result = ::DefSubclassProc(control, message, wParam, lParam);
        const auto& active = Active();
        if (!active) return result;
        RECT window{};
        ::GetWindowRect(control, &window);
        ::OffsetRect(&window, -window.left, -window.top);
        if (const WindowDC dc(control, WindowDC::Whole); dc) {
            const bool focused = ::GetFocus() == control;
            UniqueBrush border(::CreateSolidBrush(ToColorRef(focused ? active->data.Accent : active->data.EditBorder)));
            ::FrameRect(dc.get(), &window, border.get());
            ::InflateRect(&window, -1, -1);
            ::FrameRect(dc.get(), &window, active->edit.get());
        }
        return result;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        const LRESULT result = ::DefSubclassProc(control, message, wParam, lParam);
        ::RedrawWindow(control, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        return result;
    }
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(control, FrameSubclassProc, kFrameSubclassId);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(control, message, wParam, lParam);
}

bool IsClass(HWND window, const wchar_t* className)
{
    wchar_t name[32]{};
    ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return ::lstrcmpiW(name, className) == 0;
}

BOOL CALLBACK StyleChild(HWND child, LPARAM)
{
    if (IsClass(child, WC_BUTTONW)) {
        const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
        const LONG_PTR type = style & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            if (TButtonState* state = EnsureButtonState(child)) {
                state->isDefault = type == BS_DEFPUSHBUTTON;
                state->ownerDrawn = true;
                ::SetWindowLongPtrW(child, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
                ::InvalidateRect(child, nullptr, TRUE);
            }
        }
    } else if (IsClass(child, WC_EDITW) || IsClass(child, WC_LISTBOXW)) {
        if (::GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
            ::SetWindowSubclass(child, FrameSubclassProc, kFrameSubclassId, 0);
            ::RedrawWindow(child, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
        }
    }
    return TRUE;
}

// A window property holds a control's own text colour, plus one so that black is not zero.
constexpr const wchar_t* kTextColorProperty = L"Vantrel.TextColor";

// ---------------------------------------------------------------------------------------------
// The plain dialog for a missing style, for systems without TaskDialogIndirect: built in memory
// as a dialog template, so it needs no resource of its own.

constexpr int kMessageTextId = 1001;
constexpr int kMessageIconId = 1002;

class TTemplateWriter {
public:
    void Word(WORD value) { words_.push_back(value); }
    void DWord(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const std::wstring& text)
    {
        for (const wchar_t c : text) Word(static_cast<WORD>(c));
        Word(0);
    }
    void AlignToDWord()
    {
        if (words_.size() % 2) Word(0);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const std::wstring& text)
    {
        AlignToDWord();
        DWord(style | WS_CHILD | WS_VISIBLE);
        DWord(0);
        for (const short value : {x, y, cx, cy}) Word(static_cast<WORD>(value));
        Word(id);
        Word(0xFFFF);
        Word(classAtom);
        Text(text);
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    std::vector<WORD> words_;
};

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        // The system's shared error icon: not ours to destroy.
        ::SendDlgItemMessageW(dialog, kMessageIconId, STM_SETICON,
                              reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_ERROR)), 0);
        ::MessageBeep(MB_ICONERROR);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDCLOSE) ::EndDialog(dialog, IDCLOSE);
        return TRUE;
    default:
        return FALSE;
    }
}

void ShowPlainMessageDialog(HWND owner, const std::wstring& caption, const std::wstring& text, const std::wstring& button)
{
    TTemplateWriter writer;
    writer.DWord(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    writer.DWord(0);
    writer.Word(3);  // items
    for (const short value : {0, 0, 210, 62}) writer.Word(static_cast<WORD>(value));
    writer.Word(0);  // no menu
    writer.Word(0);  // the standard dialog class
    writer.Text(caption);
    writer.Word(8);  // points
    writer.Text(L"MS Shell Dlg");
    writer.Item(SS_ICON, 10, 10, 21, 20, kMessageIconId, 0x0082, L"");
    writer.Item(SS_LEFT | SS_NOPREFIX, 40, 14, 160, 20, kMessageTextId, 0x0082, text);
    // IDCANCEL, so that Escape and the close box end the dialog as the button does.
    writer.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 150, 40, 50, 14, IDCANCEL, 0x0080, button);
    ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), writer.Get(), owner, MessageDialogProc, 0);
}

struct TStyleSearch {
    const std::wstring* name;
    std::optional<TStyleData> found;
};

BOOL CALLBACK CheckStyleResource(HMODULE module, LPCWSTR type, LPWSTR resourceName, LONG_PTR parameter)
{
    auto& search = *reinterpret_cast<TStyleSearch*>(parameter);
    const HRSRC resource = ::FindResourceW(module, resourceName, type);
    const HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return TRUE;
    const std::string_view text(static_cast<const char*>(bytes), ::SizeofResource(module, resource));
    TStyleParseResult parsed = ParseStyleData(text);
    if (!parsed.Style) return TRUE;  // a broken style is as good as none

    const std::string& utf8 = parsed.Style->Name;
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                               wide.data(), static_cast<int>(wide.size()))));
    if (::CompareStringOrdinal(wide.c_str(), static_cast<int>(wide.size()), search.name->c_str(),
                               static_cast<int>(search.name->size()), TRUE) == CSTR_EQUAL) {
        search.found = std::move(parsed.Style);
        return FALSE;
    }
    return TRUE;
}

void DrawTick(HDC dc, const RECT& box, COLORREF colour, UINT dpi)
{
    const int width = std::max(2, ScaleForDpi(2, dpi));
    LOGBRUSH brush{BS_SOLID, colour, 0};
    UniquePen pen(::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, static_cast<DWORD>(width),
                                 &brush, 0, nullptr));
    const SelectObjectRestorer selectPen(dc, pen.get());
    const double w = box.right - box.left;
    const double h = box.bottom - box.top;
    const auto at = [&](double x, double y) {
        return POINT{box.left + static_cast<LONG>(std::lround(x * w)), box.top + static_cast<LONG>(std::lround(y * h))};
    };
    const POINT points[] = {at(0.12, 0.55), at(0.40, 0.82), at(0.88, 0.22)};
    ::Polyline(dc, points, 3);
}

}  // namespace

std::wstring StyleNotFoundText(const std::wstring& name)
{
    std::wstring text = kStyleNotFoundFormat;
    const auto at = text.find(L"%s");
    text.replace(at, 2, name);
    return text;
}

std::optional<TStyleData> FindStyleResource(HMODULE module, const std::wstring& name)
{
    TStyleSearch search{&name, std::nullopt};
    ::EnumResourceNamesW(module, VANTREL_STYLE_TYPE, CheckStyleResource, reinterpret_cast<LONG_PTR>(&search));
    return std::move(search.found);
}

bool TStyleManager::TrySetStyle(const std::wstring& name)
{
    std::optional<TStyleData> style = FindStyleResource(::GetModuleHandleW(nullptr), name);
    if (!style) {
        ShowStyleNotFound(name);
        return false;
    }
    auto active = std::make_unique<TActiveStyle>();
    active->face.reset(::CreateSolidBrush(ToColorRef(style->WindowFace)));
    active->edit.reset(::CreateSolidBrush(ToColorRef(style->EditFace)));
    active->data = std::move(*style);
    Active() = std::move(active);
    return true;
}

void TStyleManager::ResetStyle() noexcept { Active().reset(); }

bool TStyleManager::IsStyled() noexcept { return Active() != nullptr; }

const TStyleData* TStyleManager::ActiveStyle() noexcept { return Active() ? &Active()->data : nullptr; }

COLORREF TStyleManager::FaceColor() noexcept
{
    return Active() ? ToColorRef(Active()->data.WindowFace) : ::GetSysColor(COLOR_BTNFACE);
}

void TStyleManager::ShowStyleNotFound(const std::wstring& name)
{
    const std::wstring text = StyleNotFoundText(name);
    constexpr int kCloseButton = 100;
    const HWND owner = ::GetActiveWindow();
    if (const auto taskDialog = comctl32::TaskDialogIndirect) {
        const TASKDIALOG_BUTTON button{kCloseButton, L"&Close"};
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof config;
        config.hwndParent = owner;
        config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;  // Escape and the close box work too
        config.pszWindowTitle = L"Error";
        config.pszMainIcon = TD_ERROR_ICON;
        config.pszContent = text.c_str();
        config.cButtons = 1;
        config.pButtons = &button;
        config.nDefaultButton = kCloseButton;
        if (SUCCEEDED(taskDialog(&config, nullptr, nullptr, nullptr))) return;
    }
    ShowPlainMessageDialog(owner, L"Error", text, L"&Close");
}

bool TStyleManager::HandleMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    const auto& active = Active();
    if (!active) return false;
    const TStyleData& style = active->data;
    const auto answer = [&result](HBRUSH brush) {
        result = reinterpret_cast<INT_PTR>(brush);
        return true;
    };

    switch (message) {
    case WM_CTLCOLORDLG:
        return answer(active->face.get());
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const auto dc = reinterpret_cast<HDC>(wParam);
        const auto control = reinterpret_cast<HWND>(lParam);
        // Read-only and disabled edit boxes ask as statics; they keep the face as background.
        const auto own = reinterpret_cast<UINT_PTR>(::GetPropW(control, kTextColorProperty));
        ::SetTextColor(dc, own ? static_cast<COLORREF>(own - 1) : ToColorRef(style.WindowText));
        ::SetBkColor(dc, ToColorRef(style.WindowFace));
        return answer(active->face.get());
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        const auto dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, ToColorRef(style.EditText));
        ::SetBkColor(dc, ToColorRef(style.EditFace));
        return answer(active->edit.get());
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_BUTTON) return false;
        const TButtonState* state = ButtonState(item->hwndItem);
        if (!state || !state->ownerDrawn) return false;
        TButtonLook look;
        look.Pressed = (item->itemState & ODS_SELECTED) != 0;
        look.Focused = (item->itemState & ODS_FOCUS) && !(item->itemState & ODS_NOFOCUSRECT);
        look.Disabled = (item->itemState & ODS_DISABLED) != 0;
        look.HidePrefix = (item->itemState & ODS_NOACCEL) != 0;
        look.Default = state->isDefault;
        look.Hot = state->hot;
        look.Glyph = state->glyph;
        const int length = ::GetWindowTextLengthW(item->hwndItem);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(static_cast<std::size_t>(::GetWindowTextW(item->hwndItem, text.data(), length + 1)));
        const auto font = reinterpret_cast<HFONT>(::SendMessageW(item->hwndItem, WM_GETFONT, 0, 0));
        DrawButton(item->hDC, item->rcItem, text, font, look, WindowDpi(item->hwndItem, item->hDC));
        result = TRUE;
        return true;
    }
    default:
        return false;
    }
}

void TStyleManager::ApplyToWindow(HWND form)
{
    if (!Active()) return;
    ::EnumChildWindows(form, StyleChild, 0);
}

void TStyleManager::SetButtonGlyph(HWND button, TButtonGlyph glyph)
{
    if (TButtonState* state = EnsureButtonState(button)) {
        state->glyph = glyph;
        ::InvalidateRect(button, nullptr, FALSE);
    }
}

void TStyleManager::SetTextColor(HWND control, COLORREF color)
{
    ::SetPropW(control, kTextColorProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(color) + 1));
    ::InvalidateRect(control, nullptr, TRUE);
}

void TStyleManager::DrawButton(HDC dc, const RECT& rect, const std::wstring& text, HFONT font, const TButtonLook& look,
                               UINT dpi)
{
    const auto& active = Active();
    if (!active) return;
    const TStyleData& style = active->data;

    const COLORREF face = ToColorRef(look.Disabled  ? style.ButtonFaceDisabled
                                     : look.Pressed ? style.ButtonFacePressed
                                     : look.Hot     ? style.ButtonFaceHot
                                                    : style.ButtonFace);
    const COLORREF border = ToColorRef(look.Disabled  ? style.ButtonBorderDisabled
                                       : look.Default ? style.ButtonBorderDefault
                                                      : style.ButtonBorder);
    const COLORREF textColour = ToColorRef(look.Disabled ? style.ButtonTextDisabled : style.ButtonText);

    // The corners outside the rounded frame show the form behind the button.
    ::FillRect(dc, &rect, active->face.get());

    const int radius = ScaleForDpi(style.ButtonRadius, dpi) * 2;
    {
        UniquePen pen(::CreatePen(PS_SOLID, 1, border));
        UniqueBrush brush(::CreateSolidBrush(face));
        const SelectObjectRestorer selectPen(dc, pen.get());
        const SelectObjectRestorer selectBrush(dc, brush.get());
        ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, radius, radius);
        if (look.Default && !look.Disabled) {
            // A second, softer ring inside makes the default button stand out without weight.
            UniquePen inner(::CreatePen(PS_SOLID, std::max(1, ScaleForDpi(1, dpi)), Blend(border, face, 45)));
            const SelectObjectRestorer selectInner(dc, inner.get());
            const SelectObjectRestorer hollow(dc, ::GetStockObject(NULL_BRUSH));
            ::RoundRect(dc, rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1, std::max(0, radius - 2),
                        std::max(0, radius - 2));
        }
    }

    // Caption and glyph, centred together; pressed buttons shift by a pixel like the classic ones.
    RECT content = rect;
    if (look.Pressed) ::OffsetRect(&content, 1, 1);
    const SelectObjectRestorer selectFont(dc, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    const UINT format = DT_SINGLELINE | DT_VCENTER | (look.HidePrefix ? DT_HIDEPREFIX : 0);
    RECT measured{0, 0, 0, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, format | DT_CALCRECT);
    const int textWidth = measured.right - measured.left;
    const int glyphSize = look.Glyph == TButtonGlyph::None ? 0 : ScaleForDpi(12, dpi);
    const int gap = glyphSize && textWidth ? ScaleForDpi(5, dpi) : 0;
    const int total = glyphSize + gap + textWidth;
    const int left = content.left + (content.right - content.left - total) / 2;
    if (glyphSize) {
        const int top = content.top + (content.bottom - content.top - glyphSize) / 2;
        const RECT box{left, top, left + glyphSize, top + glyphSize};
        DrawTick(dc, box, look.Disabled ? textColour : ToColorRef(style.OkGlyph), dpi);
    }
    RECT textRect{left + glyphSize + gap, content.top, left + total, content.bottom};
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(dc, textColour);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, format);
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);

    if (look.Focused) {
        RECT focus = rect;
        const int inset = ScaleForDpi(3, dpi);
        ::InflateRect(&focus, -inset, -inset);
        const COLORREF oldText = ::SetTextColor(dc, ToColorRef(style.ButtonFocus));
        const COLORREF oldBack = ::SetBkColor(dc, face);
        ::DrawFocusRect(dc, &focus);
        ::SetBkColor(dc, oldBack);
        ::SetTextColor(dc, oldText);
    }
}

}  // namespace vantrel
