#pragma once
// The program's visual style. The style data travels among the program's resources; once a
// style is active, every form's dialog procedure hands its messages to HandleMessage first,
// which paints backgrounds, texts, edit boxes and push buttons in the style's colours. With no
// active style HandleMessage declines everything and the forms keep the standard look.

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

#include "app/StyleData.h"

namespace vantrel {

enum class TButtonGlyph { None, OkTick };

// The state of an owner-drawn push button at the moment it is drawn.
struct TButtonLook {
    bool Pressed = false;
    bool Focused = false;  // draw the focus ring
    bool Default = false;  // the button Enter presses
    bool Disabled = false;
    bool Hot = false;          // under the mouse
    bool HidePrefix = false;   // keyboard cues are hidden: no access-key underline
    TButtonGlyph Glyph = TButtonGlyph::None;
};

// The text of the dialog shown for a missing style.
inline constexpr const wchar_t* kStyleNotFoundFormat = L"Style '%s' not found";
std::wstring StyleNotFoundText(const std::wstring& name);

// Looks up the style called `name` (case-insensitively) among the style resources of
// `module`; a resource whose data does not parse counts as absent.
std::optional<TStyleData> FindStyleResource(HMODULE module, const std::wstring& name);

class TStyleManager {
public:
    // Makes the style `name` from the program's resources the active one. When there is no
    // such style, shows the "Style '...' not found" dialog and returns false; the look stays
    // as it was. User-interface thread only, before the forms are created.
    static bool TrySetStyle(const std::wstring& name);
    // Back to the standard look (forms already styled keep their owner-drawn buttons blank:
    // only for tests and for the end of the program).
    static void ResetStyle() noexcept;
    static bool IsStyled() noexcept;
    static const TStyleData* ActiveStyle() noexcept;

    // The background of the forms: the style's face, or the system's button face. Controls
    // that paint their own background use it so that they sit on the form without a seam.
    static COLORREF FaceColor() noexcept;

    // Every form's dialog procedure calls this first; true when the message was answered,
    // with the dialog procedure's return value in `result`.
    static bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    // Called once after a form has created its controls: push buttons become owner-drawn
    // (keeping their default-button behaviour), edit boxes and lists get flat borders.
    static void ApplyToWindow(HWND form);
    // The picture drawn beside a push button's caption. Any time before or after ApplyToWindow.
    static void SetButtonGlyph(HWND button, TButtonGlyph glyph);
    // The text colour of one static control (a link, say) instead of the style's text colour.
    static void SetTextColor(HWND control, COLORREF color);

    // Draws a push button of the active style; `rect` is the whole button.
    static void DrawButton(HDC dc, const RECT& rect, const std::wstring& text, HFONT font, const TButtonLook& look,
                           UINT dpi);

    // The dialog for a missing style: caption "Error", error icon, one button "&Close". A task
    // dialog where the common controls have one (comctl32::TaskDialogIndirect), else a plain one.
    static void ShowStyleNotFound(const std::wstring& name);
};

}  // namespace vantrel
