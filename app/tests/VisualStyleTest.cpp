#include "app/VisualStyle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/EntryOverride.h"
#include "app/Handles.h"
#include "app/SystemModule.h"
#include "tests/support/BitmapWriter.h"
#include "tests/support/Pump.h"

namespace vantrel {
namespace {

constexpr const wchar_t* kStyleName = L"Iceberg Classico";

COLORREF Ref(TStyleColour c) { return RGB(c.Red, c.Green, c.Blue); }

// Stands in for TaskDialogIndirect and remembers what the dialog would have shown.
struct TRecordedDialog {
    int calls = 0;
    std::wstring title, content;
    PCWSTR icon = nullptr;
    std::vector<std::wstring> buttons;
    int defaultButton = 0;
};
TRecordedDialog recorded;

HRESULT WINAPI RecordTaskDialog(const TASKDIALOGCONFIG* config, int* button, int*, BOOL*)
{
    ++recorded.calls;
    recorded.title = config->pszWindowTitle;
    recorded.content = config->pszContent;
    recorded.icon = config->pszMainIcon;
    recorded.buttons.clear();
    for (UINT i = 0; i < config->cButtons; ++i) recorded.buttons.emplace_back(config->pButtons[i].pszButtonText);
    recorded.defaultButton = config->nDefaultButton;
    if (button) *button = config->nDefaultButton;
    return S_OK;
}

class StyleTest : public ::testing::Test {
protected:
    void SetUp() override { recorded = {}; }
    void TearDown() override { TStyleManager::ResetStyle(); }
    void UseStyle() { ASSERT_TRUE(TStyleManager::TrySetStyle(kStyleName)); }

private:
    EntryOverride<comctl32::TaskDialogIndirectFunction> taskDialog_{comctl32::TaskDialogIndirect, &RecordTaskDialog};
};

TEST_F(StyleTest, StyleIsFoundByNameAmongTheProgramsResources)
{
    const HMODULE program = ::GetModuleHandleW(nullptr);
    for (const wchar_t* name : {L"Iceberg Classico", L"ICEBERG classico"}) {
        const auto style = FindStyleResource(program, name);
        ASSERT_TRUE(style) << name;
        EXPECT_EQ(style->Name, "Iceberg Classico");
        EXPECT_EQ(style->WindowFace, (TStyleColour{0xE4, 0xEB, 0xF1}));
    }
    for (const wchar_t* name : {L"Iceberg", L"Iceberg Classico ", L""}) {
        EXPECT_FALSE(FindStyleResource(program, name)) << name;
    }
}

TEST_F(StyleTest, KnownStyleBecomesActiveWithoutADialog)
{
    EXPECT_FALSE(TStyleManager::IsStyled());
    EXPECT_EQ(TStyleManager::FaceColor(), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_TRUE(TStyleManager::TrySetStyle(kStyleName));
    EXPECT_EQ(recorded.calls, 0);
    ASSERT_TRUE(TStyleManager::IsStyled());
    EXPECT_EQ(TStyleManager::ActiveStyle()->Name, "Iceberg Classico");
    EXPECT_EQ(TStyleManager::FaceColor(), RGB(0xE4, 0xEB, 0xF1));
}

TEST_F(StyleTest, UnknownStyleShowsTheErrorDialogAndKeepsTheStandardLook)
{
    EXPECT_FALSE(TStyleManager::TrySetStyle(L"Nordic Night"));
    ASSERT_EQ(recorded.calls, 1);
    EXPECT_EQ(recorded.title, L"Error");
    EXPECT_EQ(recorded.content, L"Style 'Nordic Night' not found");
    EXPECT_EQ(recorded.icon, TD_ERROR_ICON);
    ASSERT_EQ(recorded.buttons.size(), 1u);
    EXPECT_EQ(recorded.buttons[0], L"&Close");
    EXPECT_NE(recorded.defaultButton, 0);
    EXPECT_FALSE(TStyleManager::IsStyled());
    EXPECT_EQ(TStyleManager::FaceColor(), ::GetSysColor(COLOR_BTNFACE));

    // A missing style leaves an active one alone.
    UseStyle();
    EXPECT_FALSE(TStyleManager::TrySetStyle(L"Nordic Night"));
    EXPECT_TRUE(TStyleManager::IsStyled());
}

// What the screen shows inside `window`, as top-down 0xFFRRGGBB pixels.
std::vector<std::uint32_t> CaptureScreen(const RECT& window)
{
    const int width = window.right - window.left, height = window.bottom - window.top;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    WindowDC screen(nullptr);
    UniqueMemoryDC memory(::CreateCompatibleDC(screen.get()));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    {
        const SelectObjectRestorer select(memory.get(), bitmap.get());
        ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), window.left, window.top, SRCCOPY);
    }
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    EXPECT_EQ(::GetDIBits(memory.get(), bitmap.get(), 0, height, pixels.data(), &info, DIB_RGB_COLORS), height);
    for (auto& p : pixels) p |= 0xFF000000;
    return pixels;
}

void SaveScreenshot(const wchar_t* name, const RECT& window)
{
    testing::WriteBmp(testing::ArtifactPath(name), CaptureScreen(window), window.right - window.left,
                      window.bottom - window.top);
}

// ---------------------------------------------------------------------------------------------
// The real dialogs, driven from a second thread as a person would: find the window by its
// caption, read its texts, press "&Close".

struct TSeenDialog {
    bool found = false;
    std::vector<std::wstring> texts;
    bool closeButton = false;
    bool errorIcon = false;
};

std::wstring TextOf(HWND window)
{
    wchar_t text[256]{};
    ::GetWindowTextW(window, text, 256);
    return text;
}

struct TDialogSearch {
    HWND dialog = nullptr;
};

BOOL CALLBACK FindErrorWindow(HWND window, LPARAM parameter)
{
    if (::IsWindowVisible(window) && TextOf(window) == L"Error") {
        reinterpret_cast<TDialogSearch*>(parameter)->dialog = window;
        return FALSE;
    }
    return TRUE;
}

TSeenDialog WatchAndClose(DWORD uiThread, const wchar_t* screenshot)
{
    TSeenDialog seen;
    TDialogSearch search;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!search.dialog && std::chrono::steady_clock::now() < deadline) {
        ::EnumThreadWindows(uiThread, FindErrorWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.dialog) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!search.dialog) return seen;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let it finish building
    seen.found = true;
    RECT window{};
    ::GetWindowRect(search.dialog, &window);
    SaveScreenshot(screenshot, window);
    HWND close = nullptr;
    for (HWND child = ::GetWindow(search.dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = TextOf(child);
        if (!text.empty()) seen.texts.push_back(text);
        if (text == L"&Close") close = child;
        const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        if (icon) seen.errorIcon = true;
    }
    seen.closeButton = close != nullptr;
    if (close) {
        ::PostMessageW(search.dialog, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(close), BN_CLICKED),
                       reinterpret_cast<LPARAM>(close));
    } else {
        ::PostMessageW(search.dialog, WM_CLOSE, 0, 0);
    }
    return seen;
}

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& text)
{
    for (const auto& t : texts) {
        if (t == text) return true;
    }
    return false;
}

TEST(StyleNotFoundDialog, TaskDialogShowsTheTextsAndClosesWithItsButton)
{
    // The test program carries the manifest, so common controls 6 and its task dialog are there.
    ASSERT_NE(comctl32::TaskDialogIndirect, nullptr);
    TSeenDialog seen;
    std::thread watcher([&seen, ui = ::GetCurrentThreadId()] { seen = WatchAndClose(ui, L"style-not-found-task-dialog.bmp"); });
    TStyleManager::ShowStyleNotFound(L"Nordic Night");
    watcher.join();
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(Contains(seen.texts, L"Style 'Nordic Night' not found"));
    EXPECT_TRUE(seen.closeButton);
}

TEST(StyleNotFoundDialog, PlainDialogWithoutTaskDialogShowsTheSame)
{
    TSeenDialog seen;
    {
        EntryOverride missing(comctl32::TaskDialogIndirect, comctl32::TaskDialogIndirectFunction{nullptr});
        std::thread watcher([&seen, ui = ::GetCurrentThreadId()] { seen = WatchAndClose(ui, L"style-not-found-plain-dialog.bmp"); });
        TStyleManager::ShowStyleNotFound(L"Nordic Night");
        watcher.join();
    }
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(Contains(seen.texts, L"Style 'Nordic Night' not found"));
    EXPECT_TRUE(seen.closeButton);
    EXPECT_TRUE(seen.errorIcon);
}

// ---------------------------------------------------------------------------------------------
// Messages and drawing.

TEST_F(StyleTest, WithoutAStyleEveryMessageIsLeftToTheStandardLook)
{
    UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    for (const UINT message : {WM_CTLCOLORDLG, WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX, WM_CTLCOLORBTN}) {
        INT_PTR result = 0;
        EXPECT_FALSE(TStyleManager::HandleMessage(nullptr, message, reinterpret_cast<WPARAM>(dc.get()), 0, result));
    }
}

COLORREF BrushColour(INT_PTR brush)
{
    LOGBRUSH logical{};
    EXPECT_EQ(::GetObjectW(reinterpret_cast<HBRUSH>(brush), sizeof logical, &logical), static_cast<int>(sizeof logical));
    return logical.lbColor;
}

TEST_F(StyleTest, ControlColourMessagesAnswerTheStylesBrushesAndColours)
{
    UseStyle();
    const TStyleData& style = *TStyleManager::ActiveStyle();
    UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    const auto wParam = reinterpret_cast<WPARAM>(dc.get());
    const struct {
        UINT message;
        COLORREF brush, text, background;
    } cases[] = {
        {WM_CTLCOLORDLG, Ref(style.WindowFace), CLR_INVALID, CLR_INVALID},
        {WM_CTLCOLORSTATIC, Ref(style.WindowFace), Ref(style.WindowText), Ref(style.WindowFace)},
        {WM_CTLCOLORBTN, Ref(style.WindowFace), Ref(style.WindowText), Ref(style.WindowFace)},
        {WM_CTLCOLOREDIT, Ref(style.EditFace), Ref(style.EditText), Ref(style.EditFace)},
        {WM_CTLCOLORLISTBOX, Ref(style.EditFace), Ref(style.EditText), Ref(style.EditFace)},
    };
    for (const auto& c : cases) {
        ::SetTextColor(dc.get(), RGB(1, 2, 3));
        ::SetBkColor(dc.get(), RGB(4, 5, 6));
        INT_PTR result = 0;
        ASSERT_TRUE(TStyleManager::HandleMessage(nullptr, c.message, wParam, 0, result)) << c.message;
        EXPECT_EQ(BrushColour(result), c.brush) << c.message;
        if (c.text != CLR_INVALID) {
            EXPECT_EQ(::GetTextColor(dc.get()), c.text) << c.message;
            EXPECT_EQ(::GetBkColor(dc.get()), c.background) << c.message;
        }
    }

    // A control with a colour of its own (a link) keeps it.
    UniqueWindow label(::CreateWindowExW(0, L"STATIC", L"link", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr));
    TStyleManager::SetTextColor(label.get(), RGB(0, 0, 255));
    INT_PTR result = 0;
    ASSERT_TRUE(TStyleManager::HandleMessage(nullptr, WM_CTLCOLORSTATIC, wParam, reinterpret_cast<LPARAM>(label.get()), result));
    EXPECT_EQ(::GetTextColor(dc.get()), RGB(0, 0, 255));

    // Messages the style has no business with.
    EXPECT_FALSE(TStyleManager::HandleMessage(nullptr, WM_PAINT, 0, 0, result));
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_LISTBOX;
    EXPECT_FALSE(TStyleManager::HandleMessage(nullptr, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item), result));
}

// A 32-bit top-down bitmap to draw into and read back.
class TCanvas {
public:
    TCanvas(int width, int height) : width_(width), height_(height), dc_(::CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<std::uint32_t*>(bits);
        old_ = ::SelectObject(dc_.get(), bitmap_.get());
    }
    ~TCanvas() { ::SelectObject(dc_.get(), old_); }
    HDC dc() const { return dc_.get(); }
    COLORREF At(int x, int y) const
    {
        ::GdiFlush();
        const std::uint32_t p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int Count(COLORREF colour, int left, int right) const
    {
        int count = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = left; x < right; ++x) count += At(x, y) == colour;
        }
        return count;
    }
    int Width() const { return width_; }

private:
    int width_, height_;
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
    std::uint32_t* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

TEST_F(StyleTest, ButtonsShowTheirStateAndTheGreenTick)
{
    UseStyle();
    const TStyleData& style = *TStyleManager::ActiveStyle();
    UniqueFont font(::CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif"));
    const struct {
        const char* name;
        TButtonLook look;
        TStyleColour face, border;
        bool tick;
    } cases[] = {
        {"plain", {}, style.ButtonFace, style.ButtonBorder, false},
        {"ok", {.Glyph = TButtonGlyph::OkTick}, style.ButtonFace, style.ButtonBorder, true},
        {"default", {.Default = true, .Glyph = TButtonGlyph::OkTick}, style.ButtonFace, style.ButtonBorderDefault, true},
        {"pressed", {.Pressed = true, .Glyph = TButtonGlyph::OkTick}, style.ButtonFacePressed, style.ButtonBorder, true},
        {"hot", {.Hot = true}, style.ButtonFaceHot, style.ButtonBorder, false},
        {"disabled", {.Default = true, .Disabled = true, .Glyph = TButtonGlyph::OkTick}, style.ButtonFaceDisabled,
         style.ButtonBorderDisabled, false},
    };
    for (const auto& c : cases) {
        TCanvas canvas(75, 25);
        TStyleManager::DrawButton(canvas.dc(), RECT{0, 0, 75, 25}, L"OK", font.get(), c.look, 96);
        EXPECT_EQ(canvas.At(4, 20), Ref(c.face)) << c.name;
        EXPECT_EQ(canvas.At(0, 12), Ref(c.border)) << c.name;
        EXPECT_EQ(canvas.At(37, 0), Ref(c.border)) << c.name;
        // The corner outside the rounded frame is the form's face.
        EXPECT_EQ(canvas.At(0, 0), Ref(style.WindowFace)) << c.name;
        const int ticks = canvas.Count(Ref(style.OkGlyph), 0, 75);
        if (c.tick) {
            EXPECT_GE(ticks, 12) << c.name;
            // The tick sits left of the caption's centre, the caption right of it.
            EXPECT_EQ(canvas.Count(Ref(style.OkGlyph), 37, 75), 0) << c.name;
        } else {
            EXPECT_EQ(ticks, 0) << c.name;
        }
        const int text = canvas.Count(Ref(c.look.Disabled ? style.ButtonTextDisabled : style.ButtonText), 0, 75);
        EXPECT_GT(text, 5) << c.name << ": the caption is drawn";
    }

    // At 200 % the tick grows with the button.
    TCanvas small(75, 25), large(150, 50);
    const TButtonLook ok{.Glyph = TButtonGlyph::OkTick};
    TStyleManager::DrawButton(small.dc(), RECT{0, 0, 75, 25}, L"OK", font.get(), ok, 96);
    TStyleManager::DrawButton(large.dc(), RECT{0, 0, 150, 50}, L"OK", font.get(), ok, 192);
    EXPECT_GT(large.Count(Ref(style.OkGlyph), 0, 150), 3 * small.Count(Ref(style.OkGlyph), 0, 75));
}

TEST_F(StyleTest, ResettingTheStyleDestroysItsBrushes)
{
    UseStyle();
    UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    std::vector<HGDIOBJ> brushes;
    for (const UINT message : {WM_CTLCOLORDLG, WM_CTLCOLOREDIT}) {
        INT_PTR result = 0;
        ASSERT_TRUE(TStyleManager::HandleMessage(nullptr, message, reinterpret_cast<WPARAM>(dc.get()), 0, result));
        brushes.push_back(reinterpret_cast<HGDIOBJ>(result));
        EXPECT_EQ(::GetObjectType(brushes.back()), static_cast<DWORD>(OBJ_BRUSH));
    }
    // Setting the style again replaces the brushes rather than piling them up.
    UseStyle();
    for (const HGDIOBJ brush : brushes) EXPECT_EQ(::GetObjectType(brush), 0u);
    INT_PTR result = 0;
    ASSERT_TRUE(TStyleManager::HandleMessage(nullptr, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc.get()), 0, result));
    TStyleManager::ResetStyle();
    EXPECT_EQ(::GetObjectType(reinterpret_cast<HGDIOBJ>(result)), 0u);
}

// ---------------------------------------------------------------------------------------------
// A small styled form: a label, an edit box, a list and two buttons.

constexpr int kEditId = 10;
constexpr int kListId = 11;
std::vector<int> commands;

INT_PTR CALLBACK TestFormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = 0;
    if (TStyleManager::HandleMessage(window, message, wParam, lParam, result)) return result;
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) commands.push_back(LOWORD(wParam));
    return message == WM_INITDIALOG;
}

class TTestForm {
public:
    TTestForm()
    {
        DWord(DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        DWord(0);
        Word(5);
        for (const short v : {10, 10, 180, 110}) Word(static_cast<WORD>(v));
        Word(0), Word(0);
        Text(L"Styled form");
        Word(8);
        Text(L"MS Shell Dlg");
        Item(SS_LEFT, 7, 9, 40, 8, 0xFFFF, 0x0082, L"&Host name:", 0);
        Item(ES_AUTOHSCROLL | WS_TABSTOP, 50, 7, 123, 12, kEditId, 0x0081, L"198.18.0.1", WS_EX_CLIENTEDGE);
        Item(LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, 7, 24, 166, 55, kListId, 0x0083, L"", WS_EX_CLIENTEDGE);
        Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 66, 87, 50, 16, IDOK, 0x0080, L"OK", 0);
        Item(BS_PUSHBUTTON | WS_TABSTOP, 123, 87, 50, 16, IDCANCEL, 0x0080, L"Cancel", 0);
        handle_ = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words_.data()),
                                               nullptr, TestFormProc, 0);
    }
    ~TTestForm()
    {
        if (handle_) ::DestroyWindow(handle_);
    }
    HWND Handle() const { return handle_; }
    HWND Item(int id) const { return ::GetDlgItem(handle_, id); }

private:
    void Word(WORD value) { words_.push_back(value); }
    void DWord(DWORD value) { Word(LOWORD(value)), Word(HIWORD(value)); }
    void Text(const wchar_t* text)
    {
        for (; *text; ++text) Word(static_cast<WORD>(*text));
        Word(0);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const wchar_t* text, DWORD exStyle)
    {
        if (words_.size() % 2) Word(0);
        DWord(style | WS_CHILD | WS_VISIBLE);
        DWord(exStyle);
        for (const short v : {x, y, cx, cy}) Word(static_cast<WORD>(v));
        Word(id), Word(0xFFFF), Word(atom);
        Text(text);
        Word(0);
    }

    std::vector<WORD> words_;
    HWND handle_ = nullptr;
};

LRESULT DialogCode(HWND control) { return ::SendMessageW(control, WM_GETDLGCODE, 0, 0); }
LONG_PTR ButtonType(HWND button) { return ::GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK; }

TEST_F(StyleTest, OwnerDrawnButtonsKeepTheDefaultButtonBehaviour)
{
    UseStyle();
    TTestForm form;
    ASSERT_TRUE(form.Handle());
    TStyleManager::ApplyToWindow(form.Handle());
    const HWND ok = form.Item(IDOK), cancel = form.Item(IDCANCEL);
    EXPECT_EQ(ButtonType(ok), BS_OWNERDRAW);
    EXPECT_EQ(ButtonType(cancel), BS_OWNERDRAW);
    EXPECT_TRUE(DialogCode(ok) & DLGC_DEFPUSHBUTTON);
    EXPECT_TRUE(DialogCode(cancel) & DLGC_UNDEFPUSHBUTTON);

    // Enter in the edit box presses the default button.
    commands.clear();
    ::SetFocus(form.Item(kEditId));
    MSG enter{form.Item(kEditId), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(::IsDialogMessageW(form.Handle(), &enter));
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], IDOK);

    // Moving the default moves the look with it, and the buttons stay owner-drawn.
    ::SendMessageW(form.Handle(), DM_SETDEFID, IDCANCEL, 0);
    EXPECT_TRUE(DialogCode(cancel) & DLGC_DEFPUSHBUTTON);
    EXPECT_TRUE(DialogCode(ok) & DLGC_UNDEFPUSHBUTTON);
    EXPECT_EQ(ButtonType(ok), BS_OWNERDRAW);
    EXPECT_EQ(ButtonType(cancel), BS_OWNERDRAW);
    commands.clear();
    EXPECT_TRUE(::IsDialogMessageW(form.Handle(), &enter));
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], IDCANCEL);
}

TEST_F(StyleTest, StyledFormOnScreen)
{
    UseStyle();
    const TStyleData& style = *TStyleManager::ActiveStyle();
    TTestForm form;
    ASSERT_TRUE(form.Handle());
    TStyleManager::SetButtonGlyph(form.Item(IDOK), TButtonGlyph::OkTick);
    TStyleManager::ApplyToWindow(form.Handle());
    for (const wchar_t* line : {L"Reply from 198.18.0.1: time=1 ms", L"Reply from 198.18.0.1: time=2 ms",
                                L"Request timed out."}) {
        ::SendDlgItemMessageW(form.Handle(), kListId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }
    ::SetWindowPos(form.Handle(), HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(form.Handle());
    ::SetFocus(form.Item(kEditId));
    testing::RunMessagesFor(500);

    RECT window{};
    ::GetWindowRect(form.Handle(), &window);
    const int width = window.right - window.left;
    const std::vector<std::uint32_t> pixels = CaptureScreen(window);
    SaveScreenshot(L"styled-form.bmp", window);

    const auto at = [&](HWND control, int x, int y) {
        POINT point{x, y};
        ::ClientToScreen(control, &point);
        const std::uint32_t p = pixels[static_cast<std::size_t>(point.y - window.top) * width + (point.x - window.left)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    };
    const auto count = [&](HWND control, COLORREF colour) {
        RECT r{};
        ::GetClientRect(control, &r);
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) n += at(control, x, y) == colour;
        }
        return n;
    };
    EXPECT_EQ(at(form.Handle(), 3, 3), Ref(style.WindowFace)) << "form background";
    RECT edit{};
    ::GetClientRect(form.Item(kEditId), &edit);
    EXPECT_EQ(at(form.Item(kEditId), edit.right - 2, 1), Ref(style.EditFace)) << "edit background";
    EXPECT_EQ(at(form.Item(kEditId), -2, 2), Ref(style.Accent)) << "focused edit border";
    EXPECT_EQ(at(form.Item(kListId), -2, 2), Ref(style.EditBorder)) << "list border";
    EXPECT_GE(count(form.Item(IDOK), Ref(style.OkGlyph)), 12) << "tick on OK";
    EXPECT_EQ(count(form.Item(IDCANCEL), Ref(style.OkGlyph)), 0);
    EXPECT_EQ(at(form.Item(IDOK), 0, 8), Ref(style.ButtonBorderDefault)) << "default button frame";
}

}  // namespace
}  // namespace vantrel
