// Per-operation cost of the monitor, in process: the four windows built as the program builds
// them, then each operation timed call by call with the performance counter. Prints one line
// per operation:
//
//   op <name> median_us=<m> p99_us=<p> calls=<n>
//
// Usage: opbench.exe [scale]   (scale multiplies the number of calls; default 1)

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "about/About.h"
#include "app/Application.h"
#include "app/EntryOverride.h"
#include "app/Handles.h"
#include "app/ProgramWindows.h"
#include "app/VisualStyle.h"
#include "hosttest/Unit5.h"
#include "monitor/Unit1.h"
#include "netwatch/IdIPWatch.h"
#include "netwatch/IdStack.h"
#include "stats/Unit3.h"
#include "tests/support/ScriptedStatistics.h"

using namespace vantrel;

namespace {

BOOL WINAPI NoShell(DWORD, NOTIFYICONDATAW*)
{
    return TRUE;
}

double TicksPerMicrosecond()
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1e6;
}

struct Figure {
    double median;
    double p99;
};

// Times `calls` calls of `operation` after `warmUp` untimed ones.
Figure Measure(int warmUp, int calls, const std::function<void()>& operation)
{
    for (int i = 0; i < warmUp; ++i) operation();
    static const double perMicrosecond = TicksPerMicrosecond();
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(calls));
    for (int i = 0; i < calls; ++i) {
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        operation();
        ::QueryPerformanceCounter(&end);
        samples.push_back(static_cast<double>(end.QuadPart - start.QuadPart) / perMicrosecond);
    }
    std::sort(samples.begin(), samples.end());
    auto at = [&](double fraction) {
        std::size_t index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
        return samples[std::min(index, samples.size() - 1)];
    };
    return {at(0.5), at(0.99)};
}

void Report(const char* name, int calls, Figure figure)
{
    std::printf("op %s median_us=%.2f p99_us=%.2f calls=%d\n", name, figure.median, figure.p99, calls);
    std::fflush(stdout);
}

void FillHistory()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    double start = EncodeDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, 0);
    for (std::size_t i = 0; i < TSampleHistory::kBound; ++i) {
        double stamp = start + static_cast<double>(i) * 0.5 / 86400.0;
        Form1->History->Append({stamp, static_cast<std::int32_t>(i * 3 % 40), static_cast<std::int32_t>(i * 7 % 55)});
    }
}

}  // namespace

int main(int argc, char** argv)
{
    int scale = 1;
    if (argc > 1) scale = std::max(1, std::atoi(argv[1]));

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    TApplication application;
    application.ErrorReportHook = [](const std::wstring& caption, const std::wstring& text) {
        std::fwprintf(stderr, L"error report: %ls: %ls\n", caption.c_str(), text.c_str());
    };
    application.Initialize();
    CreateProgramWindows(application);
    application.ProcessMessages();

    // Nothing else may run meanwhile: the background checks and the timers stop, and no
    // message is handled between the timed calls.
    Form1->StopConnectionWatcher();
    Form1->IdIPWatch1->SetActive(false);
    Form1->Timer1->SetEnabled(false);
    Form3->Timer1->SetEnabled(false);
    // The statistics call as a script: every tick has traffic to report and the icon blinks as
    // it does under load.
    testing::ScriptedStatistics::Grow(1000, 500, 7, 3);
    const EntryOverride<decltype(iphlp::GetTcpStatistics)> statistics(iphlp::GetTcpStatistics,
                                                                      &testing::ScriptedStatistics::Get);
    application.ProcessMessages();

    std::printf("dpi=%u chart=%ldx%ld\n", Form3->Chart1->Dpi(), 521L, 385L);

    const ShellNotifyIconFunction realShell = ShellNotifyIcon;

    // The tick with the statistics call scripted and the shell's entry answering at once:
    // what the program itself spends per tick.
    ShellNotifyIcon = NoShell;
    Report("tick", 20000 * scale, Measure(200, 20000 * scale, [] { Form1->Timer1Timer(nullptr); }));
    // The same tick with the real shell behind the icon (each tick refreshes the icon).
    ShellNotifyIcon = realShell;
    Report("tick_with_shell", 5000 * scale, Measure(100, 5000 * scale, [] { Form1->Timer1Timer(nullptr); }));
    application.ProcessMessages();

    TIdStack* stack = TIdStack::GetSharedStack();
    Report("address_check", 2000 * scale, Measure(20, 2000 * scale, [stack] { stack->GetLocalAddress(); }));

    FillHistory();
    Report("chart_rebuild", 20000 * scale, Measure(200, 20000 * scale, [] { Form3->RebuildChart(false); }));
    application.ProcessMessages();

    {
        // A memory DC with a 521 x 385 picture, the chart's size at 100 % scaling.
        WindowDC screen(nullptr);
        UniqueMemoryDC dc(::CreateCompatibleDC(screen.get()));
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 521;
        info.bmiHeader.biHeight = -385;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        UniqueBitmap picture(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        SelectObjectRestorer selected(dc.get(), picture.get());
        const RECT bounds{0, 0, 521, 385};
        Report("chart_paint", 1000 * scale,
               Measure(20, 1000 * scale, [&] { Form3->Chart1->Draw(dc.get(), bounds); }));
    }

    int index = 0;
    Report("icon_change", 5000 * scale, Measure(50, 5000 * scale, [&index] {
               index ^= 1;
               Form1->TrayIcon1->SetIconIndex(index);
           }));

    Form1->TrayIcon1->SetVisible(false);
    application.DestroyForms();
    return 0;
}
