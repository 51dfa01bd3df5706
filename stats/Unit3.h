#pragma once
// TForm3: the statistics window. A chart of the sample history, rebuilt every second, and
// the cumulative totals that the sampler writes.

#include <memory>

#include "app/Forms.h"
#include "app/Timer.h"
#include "monitor/SharedHistory.h"
#include "stats/Chart.h"

namespace vantrel {

class TForm3 : public TForm {
public:
    TForm3();
    ~TForm3() override;

    std::unique_ptr<TChart> Chart1;
    TLineSeries* Series1 = nullptr;  // "PacketsWritten"
    TLineSeries* Series2 = nullptr;  // "PacketsRead"
    TLabel Label1;
    TLabel Label2;
    HWND BitBtn1 = nullptr;
    TLabel InLabel;
    TLabel OutLabel;
    std::unique_ptr<TTimer> Timer1;

    void Timer1Timer(TObject* Sender);

    // Refills both series from the sample history under its lock; on show, also undoes
    // any zoom.
    void RebuildChart(bool undoZoom);

    // The history the chart shows, as the program entry wires it. Held weakly: the monitor
    // window owns it and may drop it first.
    void SetHistory(std::weak_ptr<const TSharedHistory> history) { history_ = std::move(history); }

protected:
    void FormShow() override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    void LayoutControls() override;

private:
    std::weak_ptr<const TSharedHistory> history_;
};

extern TForm3* Form3;

}  // namespace vantrel
