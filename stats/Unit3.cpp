#include "stats/Unit3.h"

#include "app/VisualStyle.h"
#include "stats/StatisticsChart.h"

namespace vantrel {

TForm3* Form3 = nullptr;

namespace {

const TFormDescription kForm3Description{L"Network Statistics", 537, 468};
constexpr int kChartId = 200;
constexpr int kChartLeft = 8;
constexpr int kChartTop = 8;
constexpr int kChartWidth = 521;
constexpr int kChartHeight = 385;

}  // namespace

TForm3::TForm3() : TForm(kForm3Description)
{
    // The OK button comes first in the tab order, so it has the focus when the window opens.
    BitBtn1 = AddControl(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 224, 440, 75, 25, IDOK);
    TStyleManager::SetButtonGlyph(BitBtn1, TButtonGlyph::OkTick);

    Chart1 = std::make_unique<TChart>(Handle(), kChartId, RECT{kChartLeft, kChartTop, kChartLeft + kChartWidth, kChartTop + kChartHeight});
    SetUpStatisticsChart(*Chart1);
    Chart1->SetPanelColor(TStyleManager::FaceColor());
    Series1 = Chart1->Series(0);
    Series2 = Chart1->Series(1);

    Label1.Create(*this, L"Use a drag operation from top left to bottom right to zoom in.", 128, 400);
    Label2.Create(*this, L"Use a drag operation from bottom right to top left to zoom out.", 128, 416);
    InLabel.Create(*this, L"InLabel", 336, 447);
    OutLabel.Create(*this, L"OutLabel", 448, 447);

    Timer1 = std::make_unique<TTimer>();
    Timer1->SetInterval(1000);
    Timer1->SetOnTimer([this](TObject* sender) { Timer1Timer(sender); });
}

TForm3::~TForm3()
{
    Timer1.reset();
    Chart1.reset();
}

void TForm3::RebuildChart(bool undoZoom)
{
    const std::shared_ptr<const TSharedHistory> shared = history_.lock();
    if (!shared) return;  // the history does not exist (yet, or any more)
    shared->Read([&](const TSampleHistory& history) {
        std::size_t n = history.Count();
        Series1->Clear();
        Series2->Clear();
        if (undoZoom) Chart1->UndoZoom();
        // A sample counts the segments of one 500 ms tick; the axis speaks of packets per
        // second, so each count is plotted as the rate it stands for.
        for (std::size_t i = 0; i < n; ++i) {
            const NETSTAT_REC& record = history[i];
            Series1->AddXY(record.TimeStamp, 2.0 * record.SentSegments);
            Series2->AddXY(record.TimeStamp, 2.0 * record.ReceivedSegments);
        }
    });
}

void TForm3::Timer1Timer(TObject*)
{
    RebuildChart(false);
}

void TForm3::FormShow()
{
    RebuildChart(true);
}

void TForm3::LayoutControls()
{
    // The chart is a control of its own making, not one of the form's list: it follows the
    // window's new scale here, its size and its fonts.
    if (!Chart1) return;
    PlaceControl(Chart1->Handle(), kChartLeft, kChartTop, kChartWidth, kChartHeight);
    Chart1->SetDpi(Dpi());
}

void TForm3::OnCommand(int id, int, HWND)
{
    // Enter and the OK button close the window; there is no cancel button, so Escape does
    // nothing (the close box still closes).
    if (id == IDOK) SetModalResult(mrOk);
}

}  // namespace vantrel
