// The statistics window as the program builds it: the four real windows under Wine, the chart
// fed from the monitor window's real sample history, zoomed with real mouse messages and
// closed with real keys. Only the shell's notification entry is replaced (nothing reaches the
// desktop's notification area), and the statistics function is unbound so that the history
// holds exactly what a test puts there.

#include <gtest/gtest.h>

#include "tests/support/Later.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/Pump.h"
#include "tests/support/Watchdog.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "about/About.h"
#include "app/Application.h"
#include "app/Thread.h"
#include "app/VisualStyle.h"
#include "hosttest/Unit5.h"
#include "monitor/TrayIcon.h"
#include "monitor/Unit1.h"
#include "stats/Unit3.h"

namespace vantrel {
namespace {

using testing::Later;

LPARAM At(POINT p)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(p.x)), static_cast<WORD>(static_cast<SHORT>(p.y)));
}

// A day count a little before now, so the samples look like the last half minute.
constexpr double kFirstStamp = 46000.5;
constexpr double kTick = 0.5 / 86400.0;

class StatisticsWindow : public testing::ProgramFixture {
protected:
    void TearDown() override
    {
        ProgramFixture::TearDown();
        EXPECT_TRUE(reports_.empty());
    }

    // Appends samples to the monitor window's history under its lock, as the sampler does.
    static void AppendSamples(const std::vector<NETSTAT_REC>& records)
    {
        for (const NETSTAT_REC& record : records) Form1->History->Append(record);
    }

    static std::vector<NETSTAT_REC> Samples(int count, double firstStamp = kFirstStamp)
    {
        std::vector<NETSTAT_REC> records;
        for (int i = 0; i < count; ++i) records.push_back({firstStamp + i * kTick, 10 + i, 20 + 2 * i});
        return records;
    }

    static void PressOk() { ::SendMessageW(Form3->BitBtn1, BM_CLICK, 0, 0); }

};

TEST_F(StatisticsWindow, AnEmptyHistoryGivesTwoEmptySeriesStillInTheLegend)
{
    Form3->Timer1Timer(nullptr);
    ASSERT_EQ(Form3->Chart1->SeriesCount(), 2);
    EXPECT_EQ(Form3->Chart1->Series(0), Form3->Series1);
    EXPECT_EQ(Form3->Series1->GetTitle(), L"PacketsWritten");
    EXPECT_EQ(Form3->Series2->GetTitle(), L"PacketsRead");
    EXPECT_EQ(Form3->Series1->Count(), 0);
    EXPECT_EQ(Form3->Series2->Count(), 0);
    RECT client{};
    ::GetClientRect(Form3->Chart1->Handle(), &client);
    const TChart::TGeometry geometry = Form3->Chart1->Geometry(client);
    EXPECT_FALSE(::IsRectEmpty(&geometry.Legend));
    // Nothing sampled yet: the totals keep their design-time captions.
    EXPECT_EQ(Form3->InLabel.GetCaption(), L"InLabel");
    EXPECT_EQ(Form3->OutLabel.GetCaption(), L"OutLabel");
}

TEST_F(StatisticsWindow, AFullHistoryIsPlottedAsRatesPerSecondAtItsTimeStamps)
{
    // Counts as the history holds them: 32-bit, so 2^31 and more read as negative.
    const std::int32_t counts[] = {0, 1, 7, 1000, INT32_MAX, static_cast<std::int32_t>(0x80000000u),
                                   static_cast<std::int32_t>(0xFFFFFFFFu)};
    std::vector<NETSTAT_REC> records = Samples(61);  // one more than the history keeps
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].SentSegments = counts[i % std::size(counts)];
        records[i].ReceivedSegments = counts[(i + 3) % std::size(counts)];
    }
    AppendSamples(records);
    Form3->Timer1Timer(nullptr);

    ASSERT_EQ(Form3->Series1->Count(), 60);
    ASSERT_EQ(Form3->Series2->Count(), 60);
    for (int i = 0; i < 60; ++i) {
        const NETSTAT_REC& record = records[static_cast<std::size_t>(i) + 1];  // the first was evicted
        SCOPED_TRACE(i);
        EXPECT_EQ(Form3->Series1->Point(i).X, record.TimeStamp);
        EXPECT_EQ(Form3->Series2->Point(i).X, record.TimeStamp);
        EXPECT_EQ(Form3->Series1->Point(i).Y, 2.0 * record.SentSegments);
        EXPECT_EQ(Form3->Series2->Point(i).Y, 2.0 * record.ReceivedSegments);
    }
    // Record 5 counted 2^31 segments sent: plotted below zero.
    EXPECT_EQ(Form3->Series1->Point(4).Y, -4294967296.0);

    // The next rebuild replaces the points rather than adding to them.
    Form3->Timer1Timer(nullptr);
    EXPECT_EQ(Form3->Series1->Count(), 60);
}

TEST_F(StatisticsWindow, AZoomSurvivesTheRebuildAndShowingTheWindowAgainUndoesIt)
{
    AppendSamples(Samples(40));
    Form3->Timer1Timer(nullptr);

    bool startsZoom = false, zoomed = false, survived = false;
    double zoomedFrom = 0;
    Later::After(100, [&] {
        HWND chart = Form3->Chart1->Handle();
        RECT client{};
        ::GetClientRect(chart, &client);
        const RECT front = Form3->Chart1->Geometry(client).Front;
        const POINT from{front.left + 20, front.top + 20};
        const POINT to{from.x + (front.right - front.left) / 2, from.y + (front.bottom - front.top) / 2};
        startsZoom = Form3->Chart1->StartsZoom(from);
        ::SendMessageW(chart, WM_LBUTTONDOWN, MK_LBUTTON, At(from));
        ::SendMessageW(chart, WM_MOUSEMOVE, MK_LBUTTON, At({(from.x + to.x) / 2, (from.y + to.y) / 2}));
        ::SendMessageW(chart, WM_MOUSEMOVE, MK_LBUTTON, At(to));
        ::SendMessageW(chart, WM_LBUTTONUP, 0, At(to));
        const TChartScales& scales = Form3->Chart1->Scales();
        zoomed = !scales.GetScalesRestored() && !scales.BottomAxis.Automatic;
        const TAxisScale bottom = scales.BottomAxis;
        const TAxisScale left = scales.LeftAxis;
        zoomedFrom = bottom.Minimum;

        // The next second's rebuild, with a newer sample in the history.
        AppendSamples(Samples(1, kFirstStamp + 40 * kTick));
        Form3->Timer1Timer(nullptr);
        survived = !scales.GetScalesRestored() && scales.BottomAxis == bottom && scales.LeftAxis == left &&
                   Form3->Series1->Count() == 41;
        PressOk();
    });
    const testing::Watchdog watchdog(*app_, 4000);
    EXPECT_EQ(Form3->ShowModal(), mrOk);
    EXPECT_TRUE(startsZoom);
    EXPECT_TRUE(zoomed);
    EXPECT_GT(zoomedFrom, kFirstStamp);  // the view starts inside the samples: zoomed in
    EXPECT_TRUE(survived);
    EXPECT_FALSE(Form3->Chart1->Scales().GetScalesRestored());  // hidden, the zoom stays

    bool unzoomedOnShow = false;
    Later::After(100, [&] {
        unzoomedOnShow =
            Form3->Chart1->Scales().GetScalesRestored() && Form3->Chart1->Scales().BottomAxis.Automatic;
        PressOk();
    });
    EXPECT_EQ(Form3->ShowModal(), mrOk);
    EXPECT_TRUE(unzoomedOnShow);
    EXPECT_FALSE(watchdog.Fired());
}

TEST_F(StatisticsWindow, OkAndEnterCloseWithOkEscapeDoesNothing)
{
    // Keys go where the keyboard sends them: the control with the focus.
    auto key = [](WPARAM virtualKey) {
        return [virtualKey] {
            HWND focus = ::GetFocus();
            ::PostMessageW(focus ? focus : Form3->BitBtn1, WM_KEYDOWN, virtualKey, 1);
            ::PostMessageW(focus ? focus : Form3->BitBtn1, WM_KEYUP, virtualKey, 0xC0000001);
        };
    };
    struct Case {
        const char* name;
        std::function<void()> act;
        bool closes;
        int result;
    };
    const Case cases[] = {
        {"OK button", [] { PressOk(); }, true, mrOk},
        {"Enter", key(VK_RETURN), true, mrOk},
        {"Escape", key(VK_ESCAPE), false, mrNone},
        {"close box", [] { ::PostMessageW(Form3->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }, true, mrCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool focusOnOk = false;
        bool openAfterAct = false;
        Later::After(100, [&] {
            // The OK button comes first in the tab order, so it has the focus whenever the
            // window is active (another program on the same display may hold the foreground).
            HWND first = ::GetNextDlgTabItem(Form3->Handle(), nullptr, FALSE);
            focusOnOk = first == Form3->BitBtn1 &&
                        (::GetForegroundWindow() != Form3->Handle() || ::GetFocus() == Form3->BitBtn1);
            c.act();
        });
        // Long enough for a posted key to have been handled.
        Later::After(400, [&] {
            openAfterAct = Form3->GetVisible();
            if (openAfterAct) PressOk();
        });
        const testing::Watchdog watchdog(*app_, 4000);
        const int result = Form3->ShowModal();
        EXPECT_FALSE(watchdog.Fired());
        EXPECT_TRUE(focusOnOk);
        EXPECT_EQ(openAfterAct, !c.closes);
        EXPECT_EQ(result, c.closes ? c.result : mrOk);
        EXPECT_FALSE(Form3->GetVisible());
        Later::CancelAll();
    }
}

// The totals change twice a second into a window that is almost never shown: while it is
// hidden the window text is left alone, and what the window shows when it opens is the latest
// caption, at its own width.
TEST_F(StatisticsWindow, TotalsSetWhileHiddenReachTheWindowWhenItIsShown)
{
    auto windowText = [](const TLabel& label) {
        wchar_t text[64] = L"";
        int length = ::GetWindowTextW(label.Handle(), text, 64);
        return std::wstring(text, length);
    };
    auto width = [](const TLabel& label) {
        RECT r{};
        ::GetWindowRect(label.Handle(), &r);
        return r.right - r.left;
    };
    // As the monitor window's sampler sets them.
    auto setTotals = [](const wchar_t* received, const wchar_t* sent) {
        Form3->InLabel.SetCaption(received);
        Form3->OutLabel.SetCaption(sent);
    };
    const int designWidth = width(Form3->InLabel);

    setTotals(L"1", L"2");
    setTotals(L"123456789", L"7");
    EXPECT_EQ(Form3->InLabel.GetCaption(), L"123456789");
    EXPECT_EQ(Form3->OutLabel.GetCaption(), L"7");
    EXPECT_EQ(windowText(Form3->InLabel), L"InLabel");
    EXPECT_EQ(windowText(Form3->OutLabel), L"OutLabel");

    Form3->Show();
    EXPECT_EQ(windowText(Form3->InLabel), L"123456789");
    EXPECT_EQ(windowText(Form3->OutLabel), L"7");
    EXPECT_NE(width(Form3->InLabel), designWidth);
    const int nineDigits = width(Form3->InLabel);

    // While shown, a change reaches the window at once and the label fits its new text.
    setTotals(L"1", L"7");
    EXPECT_EQ(windowText(Form3->InLabel), L"1");
    EXPECT_LT(width(Form3->InLabel), nineDigits);

    Form3->Hide();
    setTotals(L"42", L"43");
    EXPECT_EQ(windowText(Form3->InLabel), L"1");
    Form3->Show();
    EXPECT_EQ(windowText(Form3->InLabel), L"42");
    EXPECT_EQ(windowText(Form3->OutLabel), L"43");
    Form3->Hide();
}

}  // namespace
}  // namespace vantrel
