#pragma once
// TForm3: the statistics window. A chart of the sample history, rebuilt every second, and
// the cumulative totals that the sampler writes.

#include <memory>

#include "app/Forms.h"
#include "app/Timer.h"
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

protected:
    void FormShow() override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    void LayoutControls() override;
};

extern TForm3* Form3;

}  // namespace vantrel
