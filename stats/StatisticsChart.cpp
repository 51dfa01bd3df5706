#include "stats/StatisticsChart.h"

#include <memory>

namespace vantrel {

void SetUpStatisticsChart(TChart& chart)
{
    chart.Title.SetText({L"Network Statistics"});
    chart.LeftAxis.Title.SetCaption(L"Packets Per Second");
    chart.BackWall.Brush.SetStyle(bsClear);
    chart.SetAllowPanning(pmNone);
    chart.Zoom.SetAnimated(true);

    auto written = std::make_unique<TLineSeries>();
    written->SetTitle(L"PacketsWritten");
    written->SetSeriesColor(RGB(255, 0, 0));
    written->XValues.SetDateTime(true);
    chart.AddSeries(std::move(written));
    auto read = std::make_unique<TLineSeries>();
    read->SetTitle(L"PacketsRead");
    read->SetSeriesColor(RGB(255, 0, 255));
    read->XValues.SetDateTime(false);
    chart.AddSeries(std::move(read));
}

}  // namespace vantrel
