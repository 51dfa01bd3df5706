// The socket headers must come before the window header declares the IP-information calls.
#include "netwatch/IdIpHelper.h"

#include "monitor/Unit1.h"

#include "about/About.h"
#include "app/Exceptions.h"
#include "app/SystemModule.h"
#include "hosttest/Unit5.h"
#include "monitor/ConnectionCheck.h"
#include "monitor/TrayPictures.h"
#include "monitor/Unit4.h"
#include "netwatch/IdIPWatch.h"

namespace vantrel {

TForm1* Form1 = nullptr;

namespace {

const TFormDescription kForm1Description{L"Form1", 200, 100};

}  // namespace

TForm1::TForm1() : TForm(kForm1Description)
{
    // Components, in the order the window description builds them: the watcher starts
    // watching, the icon goes into the notification area, the timer starts counting.
    IdIPWatch1 = std::make_unique<TIdIPWatch>(this);
    IdIPWatch1->SetActive(true);
    IdIPWatch1->SetHistoryEnabled(false);
    IdIPWatch1->SetHistoryFilename(L"iphist.dat");

    // The faces are drawn at the size the notification area uses at this display's scale.
    ImageList1 = std::make_unique<TImageList>(CreateTrayImageList(TrayIconSizeForDpi(WindowDpi(Handle()))));

    PopupMenu1 = std::make_unique<TPopupMenu>();
    PopupMenu1->Add({L"About1", L"&About", [this](TObject* sender) { About1Click(sender); }});
    PopupMenu1->Add({L"N1", L"-", nullptr});
    PopupMenu1->Add({L"ShowStatistics1", L"&Show Statistics", [this](TObject* sender) { ShowStatistics1Click(sender); }});
    PopupMenu1->Add({L"N2", L"-", nullptr});
    PopupMenu1->Add({L"Telnet1", L"&Host Test", [this](TObject* sender) { Telnet1Click(sender); }});
    PopupMenu1->Add({L"N3", L"-", nullptr});
    PopupMenu1->Add({L"Exit1", L"&Exit", [this](TObject* sender) { Exit1Click(sender); }});

    TrayIcon1 = std::make_unique<TTrayIcon>();
    TrayIcon1->SetIcons(ImageList1.get());
    TrayIcon1->SetPopupMenu(PopupMenu1.get());
    TrayIcon1->SetOnClick([this](TObject* sender) { ShowStatistics1Click(sender); });
    TrayIcon1->SetOnScaleChange([this](UINT dpi) { TrayIcon1ScaleChange(dpi); });
    TrayIcon1->SetVisible(true);

    Timer1 = std::make_unique<TTimer>();
    Timer1->SetInterval(500);
    Timer1->SetEnabled(true);
    Timer1->SetOnTimer([this](TObject* sender) { Timer1Timer(sender); });

    History = std::make_shared<TSharedHistory>();
}

TForm1::~TForm1()
{
    // On the paths that end without the exit sequence (a close request, the end of the
    // session) the watcher may still run: it must be gone before the icon and the IP
    // watcher are.
    StopConnectionWatcher();
    Timer1.reset();
    TrayIcon1.reset();
    PopupMenu1.reset();
    ImageList1.reset();
    IdIPWatch1.reset();
}

void TForm1::FormCreate()
{
    // The module of the TCP statistics is the IP-information table's, loaded once for the
    // whole program and kept until the process ends.
    iphlp::StartIpHelper();
    TrayIcon1->SetHint(L"Vantrel - Initializing...");
    TrayIcon1->SetIconIndex(1);
    TrayIcon1->Refresh();
    connectionThread_ = std::make_unique<CTestConnectionThread>();
    connectionThread_->Start();
    Timer1->SetEnabled(true);
}

void TForm1::FormDestroy()
{
    StopConnectionWatcher();
    History.reset();
}

void TForm1::StopConnectionWatcher()
{
    if (connectionThread_ && !connectionThread_->GetFinished()) {
        connectionThread_->Terminate();
        connectionThread_->WaitFor();
    }
}

void TForm1::About1Click(TObject*)
{
    if (AboutForm && !AboutForm->GetVisible()) AboutForm->ShowModal();
}

void TForm1::ShowStatistics1Click(TObject*)
{
    CloseMenu();
    if (statisticsView_) statisticsView_->Open();
}

void TForm1::Telnet1Click(TObject*)
{
    CloseMenu();
    if (HostTestForm && !HostTestForm->GetVisible()) HostTestForm->ShowModal();
}

void TForm1::Exit1Click(TObject*)
{
    CloseMenu();
    TrayIcon1->SetVisible(false);  // raises when the shell refuses; the rest is then skipped
    Timer1->SetEnabled(false);
    if (connectionThread_) {
        connectionThread_->Terminate();
        connectionThread_->WaitFor();
    }
    Application->Terminate();
}

void TForm1::CheckConnection()
{
    try {
        const bool online = IdIPWatch1->GetIsOnline();
        const TConnectionDisplay display = ConnectionDisplay(online);
        TrayIcon1->SetIconIndex(display.IconIndex);
        TrayIcon1->Refresh();
        if (display.Hint) TrayIcon1->SetHint(display.Hint);
        Online = online;
    } catch (...) {
        // A failed check changes nothing; the next one comes in a second.
    }
}

void TForm1::Timer1Timer(TObject*)
{
    // Asked at every tick: the sampler runs while the platform gives the counters (a test may
    // take the entry away between ticks) and there is a history to fill (none after the window
    // is destroyed).
    sampler_.SetStatisticsAvailable(History && iphlp::TcpStatistics());
    sampler_.Tick(*this);
}

void TForm1::TrayIcon1ScaleChange(UINT dpi)
{
    const int size = TrayIconSizeForDpi(dpi);
    int width = 0, height = 0;
    if (ImageList1 && ImageList1->Handle() && ::ImageList_GetIconSize(ImageList1->Handle(), &width, &height) &&
        width == size)
        return;
    auto faces = std::make_unique<TImageList>(CreateTrayImageList(size));
    if (!faces->Handle()) return;  // the faces there are stay rather than none
    TrayIcon1->SetIcons(faces.get());
    // The old faces go once the icon has taken the new ones.
    ImageList1 = std::move(faces);
}

bool TForm1::StatisticsWindowExists()
{
    return statisticsView_ && statisticsView_->Exists();
}

bool TForm1::FetchStatistics(std::uint32_t& inSegs, std::uint32_t& outSegs)
{
    MIB_TCPSTATS statistics{};
    const auto getTcpStatistics = iphlp::TcpStatistics();
    if (!getTcpStatistics || getTcpStatistics(&statistics) != NO_ERROR) return false;
    inSegs = statistics.dwInSegs;
    outSegs = statistics.dwOutSegs;
    return true;
}

void TForm1::ReportStatisticsFailure()
{
    // Ticks go on while the box is open; a failure meanwhile must not stack another box.
    if (failureBoxOpen_) return;
    failureBoxOpen_ = true;
    ::MessageBoxW(nullptr, L"Could not get TcpStatistics!", L"ERROR", MB_OK | MB_TASKMODAL);
    failureBoxOpen_ = false;
}

std::string TForm1::CurrentIP()
{
    return ToUtf8(IdIPWatch1->GetCurrentIP());
}

void TForm1::SetTooltip(const std::string& text)
{
    TrayIcon1->SetHint(FromUtf8(text));
    TrayIcon1->Refresh();
}

void TForm1::SetTotals(const std::string& received, const std::string& sent)
{
    if (!statisticsView_) return;
    statisticsView_->SetTotals(FromUtf8(received), FromUtf8(sent));
}

bool TForm1::IsOnline()
{
    return Online.load();
}

void TForm1::ShowIcon(int index)
{
    TrayIcon1->SetIconIndex(index);
    TrayIcon1->Refresh();
}

void TForm1::AppendSample(std::int32_t sent, std::int32_t received)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    NETSTAT_REC record{EncodeDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                                      now.wMilliseconds),
                       sent, received};
    History->Append(record);
}

}  // namespace vantrel
