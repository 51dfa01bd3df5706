#include "about/About.h"

#include <string>

#include "app/VisualStyle.h"
#include "resources/Version.h"
#include "resources/resource.h"

namespace vantrel {

TAboutForm* AboutForm = nullptr;

namespace {

const TFormDescription kAboutDescription{L"About Application", 261, 289};
constexpr int kLinkId = 103;
constexpr int kClientWidth = 261;

}  // namespace

TAboutForm::TAboutForm() : TForm(kAboutDescription)
{
    logo_.reset(static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    // The picture is stretched to its box, which scales with the display.
    Image1 = AddControl(L"STATIC", L"", SS_BITMAP | SS_REALSIZECONTROL, 48, 0, 161, 121, 100);
    ::SendMessageW(Image1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_.get()));
    PlaceControl(Image1, 48, 0, 161, 121);

    Label1.Create(*this, L"Label1", 0, 128, taCenter, kClientWidth);
    Label2.Create(*this, L"Copyright \u00A9 2003-2009 Durvane Computing", 0, 144, taCenter, kClientWidth);
    Label3 = AddControl(L"STATIC", WebAddress, SS_CENTER | SS_NOTIFY | SS_NOPREFIX, 0, 160, kClientWidth, 16, kLinkId);
    CreateLinkFont();
    TStyleManager::SetTextColor(Label3, RGB(0, 0, 255));
    Label4.Create(*this, L"Support: support@durvane.com", 0, 184, taCenter, kClientWidth);
    BitBtn1 = AddControl(L"BUTTON", L"&Ok", BS_DEFPUSHBUTTON | WS_TABSTOP, 95, 208, 75, 25, IDOK);
    Label5.Create(*this, L"Version:", 96, 240);
    Label6.Create(*this, L"Label6", 144, 240);
}

void TAboutForm::CreateLinkFont()
{
    LOGFONTW font{};
    font.lfHeight = -Scale(13);
    font.lfWeight = FW_BOLD;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, L"Arial", LF_FACESIZE);
    // The link lets go of its old font before that is destroyed.
    UniqueFont fresh(::CreateFontIndirectW(&font));
    ::SendMessageW(Label3, WM_SETFONT, reinterpret_cast<WPARAM>(fresh.get()), TRUE);
    linkFont_ = std::move(fresh);
}

void TAboutForm::FormCreate()
{
    Label1.SetCaption(L"Vantrel - Network Online Monitor");
    Label6.SetCaption(VANTREL_VERSION_LABEL);
}

void TAboutForm::LayoutControls()
{
    // The centred labels place themselves whenever they are sized; the link has its own font.
    if (Label3) CreateLinkFont();
}

void TAboutForm::BitBtn1Click(TObject*)
{
    Close();
}

void TAboutForm::Label3Click(TObject*)
{
    // The shell opens the address in the user's browser; a failure to start it is silent.
    // A bare "explorer" would be looked for in the program's own folder and the current one
    // before the Windows folder, and people download the program into the folder where
    // everything else they download lands: explorer is named by its full path, quoted
    // because that path may hold spaces.
    char windows[MAX_PATH];
    const UINT length = ::GetSystemWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    std::string command = "\"";
    command.append(windows, length);
    if (command.back() != '\\') command += '\\';
    command += "explorer.exe\" ";
    for (const wchar_t* c = WebAddress; *c; ++c) command += static_cast<char>(*c);
    ::WinExec(command.c_str(), SW_SHOW);
}

void TAboutForm::OnCommand(int id, int notifyCode, HWND)
{
    if (id == IDOK || id == IDCANCEL) {
        // OK, Enter and Escape all close the window.
        SetModalResult(mrOk);
        BitBtn1Click(this);
    } else if (id == kLinkId && notifyCode == STN_CLICKED) {
        Label3Click(this);
    }
}

bool TAboutForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == Label3 && !TStyleManager::IsStyled()) {
        // In the standard look the link still reads as a link (the style colours it itself).
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, RGB(0, 0, 255));
        ::SetBkMode(dc, TRANSPARENT);
        result = reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    if (message == WM_SETCURSOR && reinterpret_cast<HWND>(wParam) == Label3) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        ::SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    }
    return false;
}

}  // namespace vantrel
