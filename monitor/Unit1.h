#pragma once
// TForm1: the hidden monitor window. It owns the notification icon and its menu, the IP
// watcher, the traffic sampler's timer and sample history, and the connection-state watcher.

#include <windows.h>
#include <iphlpapi.h>

#include <atomic>
#include <memory>

#include "app/Forms.h"
#include "app/Handles.h"
#include "app/Thread.h"
#include "app/Timer.h"
#include "monitor/SharedHistory.h"
#include "monitor/StatisticsView.h"
#include "monitor/TrafficSampler.h"
#include "monitor/TrayIcon.h"

namespace vantrel {

class TIdIPWatch;
class CTestConnectionThread;

class TForm1 : public TForm, private ISamplerHost {
public:
    TForm1();
    ~TForm1() override;

    // Components, as the window description lists them.
    std::unique_ptr<TIdIPWatch> IdIPWatch1;
    std::unique_ptr<TImageList> ImageList1;
    std::unique_ptr<TPopupMenu> PopupMenu1;
    std::unique_ptr<TTrayIcon> TrayIcon1;
    std::unique_ptr<TTimer> Timer1;

    // The sample history with its lock. Shared: the statistics window is given it at the
    // program entry and holds it weakly, so it sees when the history is gone.
    std::shared_ptr<TSharedHistory> History;

    // Written by the connection-state watcher, read by the sampler.
    std::atomic<bool> Online{false};

    // Menu actions.
    void About1Click(TObject* Sender);
    void ShowStatistics1Click(TObject* Sender);
    void Telnet1Click(TObject* Sender);
    void Exit1Click(TObject* Sender);

    void Timer1Timer(TObject* Sender);
    // The notification area's scale may have changed: the faces are drawn again at its size.
    void TrayIcon1ScaleChange(UINT dpi);
    // One check of the connection-state watcher (runs on its thread).
    void CheckConnection();

    // The sampler reads the TCP counters through iphlp::GetTcpStatistics (netwatch/IdIpHelper.h),
    // the entry tests replace.
    TTrafficSampler& Sampler() noexcept { return sampler_; }

    // The statistics window, as the program entry wires it; none until then.
    void SetStatisticsView(IStatisticsView* view) noexcept { statisticsView_ = view; }

    // Stops the connection-state watcher and waits for it; safe to call more than once.
    void StopConnectionWatcher();

protected:
    void FormCreate() override;
    void FormDestroy() override;

private:
    // ISamplerHost
    bool StatisticsWindowExists() override;
    bool FetchStatistics(std::uint32_t& inSegs, std::uint32_t& outSegs) override;
    void ReportStatisticsFailure() override;
    std::string CurrentIP() override;
    void SetTooltip(const std::string& text) override;
    void SetTotals(const std::string& received, const std::string& sent) override;
    bool IsOnline() override;
    void ShowIcon(int index) override;
    void AppendSample(std::int32_t sent, std::int32_t received) override;

    TTrafficSampler sampler_;
    std::unique_ptr<CTestConnectionThread> connectionThread_;
    bool failureBoxOpen_ = false;
    IStatisticsView* statisticsView_ = nullptr;
};

extern TForm1* Form1;

}  // namespace vantrel
