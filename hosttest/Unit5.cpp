#include "hosttest/Unit5.h"

#include <vector>

#include "hosttest/ReplyLine.h"

namespace vantrel {

THostTestForm* HostTestForm = nullptr;

namespace {

TFormDescription HostTestDescription()
{
    TFormDescription description{L"Host Test", 487, 205};
    description.BorderStyle = TBorderStyle::Sizeable;
    description.Position = TPosition::Designed;
    description.Left = 616;
    description.Top = 243;
    return description;
}

constexpr int kEditId = 301;
constexpr int kButtonId = 302;
constexpr int kListId = 303;

}  // namespace

THostTestForm::THostTestForm() : TForm(HostTestDescription())
{
    Label1.Create(*this, L"Host:", 16, 12);
    Edit1 = AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, 52, 8, 189, 21, kEditId, WS_EX_CLIENTEDGE);
    Button1 = AddControl(L"BUTTON", L"&Ping", BS_PUSHBUTTON | WS_TABSTOP, 252, 8, 75, 25, kButtonId);
    ListBox1 = AddControl(L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 16, 48, 463, 149,
                          kListId, WS_EX_CLIENTEDGE);
    ::SendMessageW(ListBox1, LB_SETITEMHEIGHT, 0, Scale(13));

    Timer1 = std::make_unique<TTimer>();
    Timer1->SetEnabled(false);
    Timer1->SetOnTimer([this](TObject* sender) { Timer1Timer(sender); });

    IdIcmpClient1 = std::make_unique<TIdIcmpClient>(this);
    IdIcmpClient1->SetProtocol(1);
    IdIcmpClient1->SetProtocolIPv6(0);
    IdIcmpClient1->SetIPVersion(TIdIPVersion::Id_IPv4);
    IdIcmpClient1->SetPacketSize(1024);
    IdIcmpClient1->OnReply = [this](TObject* sender, const TReplyStatus& status) { IdIcmpClient1Reply(sender, status); };
}

THostTestForm::~THostTestForm()
{
    Timer1.reset();
    IdIcmpClient1.reset();
}

void THostTestForm::FormShow()
{
    ::SetWindowTextW(Button1, L"&Start Ping");
    running_ = false;
    Timer1->SetEnabled(false);
}

void THostTestForm::FormHide()
{
    Timer1->SetEnabled(false);
}

void THostTestForm::Button1Click(TObject*)
{
    running_ = !running_;
    if (running_) {
        ::SendMessageW(ListBox1, LB_RESETCONTENT, 0, 0);
        Timer1->SetEnabled(true);
        ::SetWindowTextW(Button1, L"&Stop Ping");
    } else {
        Timer1->SetEnabled(false);
        ::SetWindowTextW(Button1, L"&Start Ping");
    }
}

void THostTestForm::Timer1Timer(TObject*)
{
    int length = ::GetWindowTextLengthW(Edit1);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    ::GetWindowTextW(Edit1, text.data(), length + 1);
    std::wstring host(text.data(), static_cast<size_t>(length));
    IdIcmpClient1->SetHost(host);
    if (host.empty()) return;
    try {
        // Blocks this thread for the lookup and up to the receive time-out.
        IdIcmpClient1->Ping(L"", 0);
    } catch (...) {
        AddLine(L"Error sending ping");
    }
}

void THostTestForm::IdIcmpClient1Reply(TObject*, const TReplyStatus& AReplyStatus)
{
    AddLine(ReplyLine(AReplyStatus));
}

void THostTestForm::AddLine(const std::wstring& line)
{
    ::SendMessageW(ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void THostTestForm::LayoutControls()
{
    // The list's lines are as tall as its font, which changed with the scale.
    ::SendMessageW(ListBox1, LB_SETITEMHEIGHT, 0, Scale(13));
}

void THostTestForm::OnCommand(int id, int notifyCode, HWND)
{
    if (id == kButtonId && notifyCode == BN_CLICKED)
        Button1Click(this);
    else if (id == IDCANCEL)
        Close();  // Escape closes the window, as in any dialog
}

}  // namespace vantrel
