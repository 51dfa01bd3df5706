// The monitor window as the program builds it: the four real windows under Wine, with the
// shell's notification entry replaced by a recorder, the IP-information entries by scripted
// adapter records and the TCP statistics function by a scripted counter source. Everything
// else (threads, timers, modal loops, the icon's window, the menu's window) is the real thing.

#include <gtest/gtest.h>

#include "tests/support/Later.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/Pump.h"
#include "tests/support/Watchdog.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "about/About.h"
#include "app/Application.h"
#include "app/Forms.h"
#include "app/Thread.h"
#include "app/VisualStyle.h"
#include "hosttest/Unit5.h"
#include "monitor/FacePictures.h"
#include "monitor/TrayPictures.h"
#include "monitor/TrayIcon.h"
#include "monitor/Unit1.h"
#include "app/EntryOverride.h"
#include "netwatch/IdIPWatch.h"
#include "netwatch/tests/AdapterRecords.h"
#include "stats/Unit3.h"
#include "tests/support/ScriptedStatistics.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

const wchar_t kInitializing[] = L"Vantrel - Initializing...";
const wchar_t kNotConnected[] = L"Vantrel - Not Connected";

// Which of the three faces an icon shows, judged by its pixels against the drawings;
// -1 when it is none of them.
int FaceOf(HICON icon)
{
    if (!icon) return -1;
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return -1;
    UniqueBitmap colour(info.hbmColor);
    UniqueBitmap mask(info.hbmMask);
    BITMAP shape{};
    if (!colour || !::GetObjectW(colour.get(), sizeof shape, &shape)) return -1;
    const int size = shape.bmWidth;
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = size;
    request.bmiHeader.biHeight = -size;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size);
    HDC screen = ::GetDC(nullptr);
    int rows = ::GetDIBits(screen, colour.get(), 0, size, pixels.data(), &request, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (rows != size) return -1;
    for (int index = 0; index < kFaceCount; ++index) {
        TFacePicture face = RenderFace(index, size);
        bool same = true;
        for (int y = 0; y < size && same; ++y) {
            for (int x = 0; x < size && same; ++x) {
                if (Alpha(face.At(x, y)) != 0xFF) continue;  // soft rim and background: not compared
                same = (pixels[static_cast<std::size_t>(y) * size + x] & 0xFFFFFF) == (face.At(x, y) & 0xFFFFFF);
            }
        }
        if (same) return index;
    }
    return -1;
}

// An icon's width in pixels; 0 for no icon.
int SizeOf(HICON icon)
{
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) return 0;
    UniqueBitmap colour(info.hbmColor);
    UniqueBitmap mask(info.hbmMask);
    BITMAP shape{};
    return colour && ::GetObjectW(colour.get(), sizeof shape, &shape) ? shape.bmWidth : 0;
}

// What the program handed the shell, call by call, from whichever thread.
struct ShellCall {
    DWORD message;
    HWND window;
    UINT flags;
    std::wstring tip;
    int face;
    int size;
    DWORD thread;
    bool watcherRunning;  // the connection-state watcher had not ended at the time of the call
};

class ShellRecorder {
public:
    static BOOL WINAPI Notify(DWORD message, NOTIFYICONDATAW* data)
    {
        HANDLE watcher = watcher_.load();
        ShellCall call{message,
                       data->hWnd,
                       data->uFlags,
                       (data->uFlags & NIF_TIP) ? std::wstring(data->szTip) : std::wstring(),
                       FaceOf(data->hIcon),
                       SizeOf(data->hIcon),
                       ::GetCurrentThreadId(),
                       watcher && ::WaitForSingleObject(watcher, 0) == WAIT_TIMEOUT};
        TCriticalSection::Guard guard(lock_);
        calls_.push_back(std::move(call));
        return message == NIM_DELETE ? deleteResult_.load() : TRUE;
    }

    static std::vector<ShellCall> Calls()
    {
        TCriticalSection::Guard guard(lock_);
        return calls_;
    }
    static void Reset()
    {
        TCriticalSection::Guard guard(lock_);
        calls_.clear();
        deleteResult_ = TRUE;
        watcher_ = nullptr;
    }
    static void RefuseRemoval() { deleteResult_ = FALSE; }
    static void WatchThread(HANDLE watcher) { watcher_ = watcher; }

private:
    static inline TCriticalSection lock_;
    static inline std::vector<ShellCall> calls_;
    static inline std::atomic<BOOL> deleteResult_{TRUE};
    static inline std::atomic<HANDLE> watcher_{nullptr};
};

using testing::Later;
using testing::ScriptedStatistics;

// The visible top-level windows of this thread captioned `caption`.
std::vector<HWND> WindowsCaptioned(const std::wstring& caption)
{
    // A named CALLBACK, not a lambda: on x86 the callback is stdcall, which no lambda converts to.
    struct Search {
        std::wstring caption;
        std::vector<HWND> found;
        static BOOL CALLBACK Visit(HWND window, LPARAM parameter)
        {
            auto* s = reinterpret_cast<Search*>(parameter);
            wchar_t text[128] = {};
            ::GetWindowTextW(window, text, 128);
            if (::IsWindowVisible(window) && s->caption == text) s->found.push_back(window);
            return TRUE;
        }
    } search{caption, {}};
    ::EnumThreadWindows(::GetCurrentThreadId(), Search::Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool HasChildText(HWND window, const std::wstring& wanted)
{
    struct Search {
        std::wstring wanted;
        bool found = false;
        static BOOL CALLBACK Visit(HWND child, LPARAM parameter)
        {
            auto* s = reinterpret_cast<Search*>(parameter);
            wchar_t text[128] = {};
            ::GetWindowTextW(child, text, 128);
            if (s->wanted == text) s->found = true;
            return TRUE;
        }
    } search{wanted};
    ::EnumChildWindows(window, Search::Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class MonitorWindow : public testing::ProgramFixture {
protected:
    MonitorWindow() : ProgramFixture(&ScriptedStatistics::Get, &ShellRecorder::Notify) {}

    void SetUp() override
    {
        ShellRecorder::Reset();
        ScriptedStatistics::Reset();
        addresses_ = std::make_unique<testing::FakeIpHelper>();  // no adapters: offline until a test adds one
        mainThread_ = ::GetCurrentThreadId();
        created_ = Clock::now();
        ProgramFixture::SetUp();
        if (HasFatalFailure()) return;

        // The connection-state watcher makes its first check at once: its calls to the shell
        // are the ones from a thread other than this one.
        ASSERT_TRUE(WaitUntil([this] { return WatcherThreadId() != 0; }, 2000));
        watcher_ = ::OpenThread(SYNCHRONIZE, FALSE, WatcherThreadId());
        ASSERT_NE(watcher_, nullptr);
        ShellRecorder::WatchThread(watcher_);
    }

    void TearDown() override
    {
        // The windows go first, the watcher thread with them, before the addresses it reads.
        ProgramFixture::TearDown();
        ShellRecorder::WatchThread(nullptr);
        if (watcher_) ::CloseHandle(watcher_);
        watcher_ = nullptr;
        addresses_.reset();
    }

    DWORD WatcherThreadId() const
    {
        for (const ShellCall& call : ShellRecorder::Calls()) {
            if (call.thread != mainThread_) return call.thread;
        }
        return 0;
    }

    bool WatcherRunning() const { return ::WaitForSingleObject(watcher_, 0) == WAIT_TIMEOUT; }

    // Waits without handling messages: for what other threads do.
    static bool WaitUntil(const std::function<bool()>& done, long milliseconds)
    {
        const auto start = Clock::now();
        while (!done()) {
            if (MillisecondsSince(start) > milliseconds) return false;
            ::Sleep(5);
        }
        return true;
    }

    // Chooses a menu entry by its caption, as TrackPopupMenu delivers the choice.
    void Choose(const std::wstring& caption)
    {
        HMENU menu = Form1->PopupMenu1->Handle();
        for (int position = 0; position < ::GetMenuItemCount(menu); ++position) {
            wchar_t text[64] = {};
            ::GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
            if (caption == text) {
                ::SendMessageW(Form1->PopupMenu1->Window(), WM_COMMAND,
                               MAKEWPARAM(::GetMenuItemID(menu, position), 0), 0);
                return;
            }
        }
        ADD_FAILURE() << "no menu entry captioned " << std::string(caption.begin(), caption.end());
    }

    void ClickIcon()
    {
        HWND icon = Form1->TrayIcon1->Handle();
        ::SendMessageW(icon, WM_VANTREL_TRAY_CALLBACK, 0, WM_LBUTTONDOWN);
        ::SendMessageW(icon, WM_VANTREL_TRAY_CALLBACK, 0, WM_LBUTTONUP);
    }

    // The calls made on the user-interface thread since `from`.
    std::vector<ShellCall> MainThreadCallsSince(std::size_t from) const
    {
        std::vector<ShellCall> calls = ShellRecorder::Calls(), mine;
        for (std::size_t i = from; i < calls.size(); ++i) {
            if (calls[i].thread == mainThread_) mine.push_back(calls[i]);
        }
        return mine;
    }

    // Puts the machine online at once: one IP check and one connection check, which the
    // watchers would otherwise make within the next second.
    void GoOnline(const char* address)
    {
        addresses_->adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {testing::V4(address)}}};
        Form1->IdIPWatch1->PollAddress();
        Form1->CheckConnection();
        ASSERT_TRUE(Form1->Online.load());
    }

    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i) Form1->Timer1Timer(nullptr);
    }

    std::unique_ptr<testing::FakeIpHelper> addresses_;
    DWORD mainThread_ = 0;
    HANDLE watcher_ = nullptr;
    Clock::time_point created_;
};

// ---------------------------------------------------------------------------------------------
// Start sequence

TEST_F(MonitorWindow, StartAddsTheIconThenShowsInitializingAndTheWatcherSaysNotConnected)
{
    // Nothing has been pumped yet: all of this happened while the windows were built.
    const std::vector<ShellCall> calls = ShellRecorder::Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[0].window, Form1->TrayIcon1->Handle());
    EXPECT_EQ(calls[0].thread, mainThread_);

    // What the start sequence left before the watcher's first check: tooltip and red face.
    std::size_t firstWatcherCall = 0;
    while (calls[firstWatcherCall].thread == mainThread_) ++firstWatcherCall;
    ASSERT_GT(firstWatcherCall, 1u);
    const ShellCall& started = calls[firstWatcherCall - 1];
    EXPECT_EQ(started.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(started.tip, kInitializing);
    EXPECT_EQ(started.face, kFaceNotConnected);

    // The watcher's first check finds the IP watcher without a verdict yet.
    ASSERT_TRUE(WaitUntil(
        [] {
            for (const ShellCall& call : ShellRecorder::Calls()) {
                if (call.tip == kNotConnected) return true;
            }
            return false;
        },
        1000));
    EXPECT_LT(MillisecondsSince(created_), 1500);
    for (const ShellCall& call : ShellRecorder::Calls()) {
        if (call.tip == kNotConnected) {
            EXPECT_NE(call.thread, mainThread_);
            EXPECT_EQ(call.face, kFaceNotConnected);
            break;
        }
    }
    EXPECT_FALSE(Form1->Online.load());
    EXPECT_TRUE(Form1->Timer1->IsTicking());
    EXPECT_TRUE(reports_.empty());
}

TEST_F(MonitorWindow, AnAddressTurnsTheFaceGreenAndLosingItTurnsItRedAgain)
{
    // The sampler stays out of it, so the tooltip is the watcher's alone.
    const EntryOverride<decltype(iphlp::GetTcpStatistics)> noStatistics(iphlp::GetTcpStatistics, nullptr);
    auto lastCall = [] {
        std::vector<ShellCall> calls = ShellRecorder::Calls();
        return calls.empty() ? ShellCall{} : calls.back();
    };

    addresses_->adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {testing::V4("192.0.2.7")}}};
    // The IP watcher checks every 500 ms and the connection watcher every second.
    ASSERT_TRUE(PumpUntil([&] { return Form1->Online.load() && lastCall().face == kFaceConnected; }, 2500))
        << "last face " << lastCall().face;
    EXPECT_EQ(Form1->IdIPWatch1->GetCurrentIP(), L"192.0.2.7");

    addresses_->adapters.clear();
    ASSERT_TRUE(PumpUntil(
        [&] {
            ShellCall last = lastCall();
            return !Form1->Online.load() && last.face == kFaceNotConnected && last.tip == kNotConnected;
        },
        2500));
    EXPECT_EQ(Form1->TrayIcon1->GetHint(), kNotConnected);
}

// ---------------------------------------------------------------------------------------------
// Traffic sampler through the statistics function

TEST_F(MonitorWindow, TicksWriteTooltipLabelsHistoryAndBlinkThroughTheRealWindows)
{
    GoOnline("192.0.2.7");
    ScriptedStatistics::in = 1000;
    ScriptedStatistics::out = 500;

    std::size_t mark = ShellRecorder::Calls().size();
    Ticks(4);  // warm-up
    EXPECT_EQ(ScriptedStatistics::calls.load(), 0);
    EXPECT_TRUE(MainThreadCallsSince(mark).empty());
    EXPECT_EQ(Form3->InLabel.GetCaption(), L"InLabel");
    EXPECT_EQ(Form3->OutLabel.GetCaption(), L"OutLabel");

    // The first working tick compares against nothing: totals since start, no sample.
    Ticks(1);
    EXPECT_EQ(ScriptedStatistics::calls.load(), 1);
    std::vector<ShellCall> mine = MainThreadCallsSince(mark);
    ASSERT_FALSE(mine.empty());
    EXPECT_EQ(mine.back().tip, L"192.0.2.7\nSegs In:1000\nSegs Out:500");
    EXPECT_EQ(Form3->InLabel.GetCaption(), L"0");
    EXPECT_EQ(Form3->OutLabel.GetCaption(), L"0");
    EXPECT_EQ(Form1->History->Count(), 0u);
    // The counters moved (from nothing) while online: the first blink frame.
    EXPECT_EQ(mine.back().face, kFaceActivity);

    // The next one counts the step; the labels show the totals one tick behind.
    ScriptedStatistics::in = 1014;
    ScriptedStatistics::out = 509;
    SYSTEMTIME before{}, after{};
    ::GetLocalTime(&before);
    mark = ShellRecorder::Calls().size();
    Ticks(1);
    ::GetLocalTime(&after);
    mine = MainThreadCallsSince(mark);
    ASSERT_FALSE(mine.empty());
    EXPECT_EQ(mine.back().tip, L"192.0.2.7\nSegs In:14\nSegs Out:9");
    EXPECT_EQ(Form3->InLabel.GetCaption(), L"1000");
    EXPECT_EQ(Form3->OutLabel.GetCaption(), L"500");
    ASSERT_EQ(Form1->History->Count(), 1u);
    const NETSTAT_REC sample = (*Form1->History)[0];
    EXPECT_EQ(sample.SentSegments, 9);
    EXPECT_EQ(sample.ReceivedSegments, 14);
    auto stamp = [](const SYSTEMTIME& t) {
        return EncodeDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    };
    EXPECT_GE(sample.TimeStamp, stamp(before));
    EXPECT_LE(sample.TimeStamp, stamp(after));
    // Traffic goes on: the face alternates between resting and activity.
    EXPECT_EQ(mine.back().face, kFaceConnected);
    for (int expected : {kFaceActivity, kFaceConnected}) {
        ScriptedStatistics::in = ScriptedStatistics::in + 3;
        mark = ShellRecorder::Calls().size();
        Ticks(1);
        mine = MainThreadCallsSince(mark);
        ASSERT_FALSE(mine.empty());
        EXPECT_EQ(mine.back().face, expected);
        EXPECT_EQ(mine.back().tip, L"192.0.2.7\nSegs In:3\nSegs Out:0");
    }
    EXPECT_EQ(Form1->History->Count(), 3u);

    // The statistics window charts the samples as rates per second at their time stamps.
    Form3->Timer1Timer(nullptr);
    ASSERT_EQ(Form3->Series1->Count(), 3);
    ASSERT_EQ(Form3->Series2->Count(), 3);
    EXPECT_EQ(Form3->Series1->Point(0).X, sample.TimeStamp);
    EXPECT_EQ(Form3->Series1->Point(0).Y, 18.0);
    EXPECT_EQ(Form3->Series2->Point(0).Y, 28.0);
    EXPECT_EQ(Form3->Series2->Point(2).Y, 6.0);
    EXPECT_TRUE(reports_.empty());
}

TEST_F(MonitorWindow, WithoutTheStatisticsFunctionTheSamplerStaysInert)
{
    GoOnline("192.0.2.7");
    const EntryOverride<decltype(iphlp::GetTcpStatistics)> noStatistics(iphlp::GetTcpStatistics, nullptr);
    const std::size_t mark = ShellRecorder::Calls().size();
    for (DWORD step = 1; step <= 8; ++step) {
        ScriptedStatistics::in = 1000 * step;
        ScriptedStatistics::out = 700 * step;
        Ticks(1);
    }
    EXPECT_EQ(ScriptedStatistics::calls.load(), 0);
    EXPECT_TRUE(MainThreadCallsSince(mark).empty());
    EXPECT_EQ(Form3->InLabel.GetCaption(), L"InLabel");
    EXPECT_EQ(Form3->OutLabel.GetCaption(), L"OutLabel");
    EXPECT_EQ(Form1->History->Count(), 0u);
    EXPECT_NE(Form1->TrayIcon1->GetHint().find(L"Vantrel - "), std::wstring::npos);
}

TEST_F(MonitorWindow, RepeatedStatisticsFailuresKeepOneErrorBoxOpen)
{
    ScriptedStatistics::result = ERROR_NOT_SUPPORTED;
    Ticks(4);  // warm-up: nothing fetched, nothing shown
    EXPECT_TRUE(WindowsCaptioned(L"ERROR").empty());

    struct Observation {
        bool seen = false;
        bool text = false;
        std::size_t mostAtOnce = 0;
        int fetchesWhileOpen = 0;
    };
    // Looks for the box from a timer (the box's own loop runs it), makes more failing ticks
    // come while it is open, counts the boxes, then presses OK.
    std::function<void(Observation&, int)> watch = [&](Observation& seen, int attempts) {
        std::vector<HWND> boxes = WindowsCaptioned(L"ERROR");
        if (boxes.empty()) {
            if (attempts > 0) Later::After(50, [&, attempts] { watch(seen, attempts - 1); });
            return;
        }
        seen.seen = true;
        seen.text = HasChildText(boxes[0], L"Could not get TcpStatistics!");
        const int fetches = ScriptedStatistics::calls;
        Ticks(3);
        seen.fetchesWhileOpen = ScriptedStatistics::calls - fetches;
        boxes = WindowsCaptioned(L"ERROR");
        seen.mostAtOnce = boxes.size();
        for (HWND box : boxes) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    };

    Observation first;
    Later::After(50, [&] { watch(first, 40); });
    const testing::Watchdog watchdog(*app_, 4000);
    Ticks(1);  // returns when the box has been closed
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(first.seen);
    EXPECT_TRUE(first.text);
    EXPECT_EQ(first.fetchesWhileOpen, 3);  // each failing tick still fetched...
    EXPECT_EQ(first.mostAtOnce, 1u);       // ...but no second box on top of the first
    EXPECT_TRUE(WindowsCaptioned(L"ERROR").empty());

    // Once closed, the next failure is reported again.
    Observation second;
    Later::After(50, [&] { watch(second, 40); });
    Ticks(1);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(second.seen);
    EXPECT_EQ(second.mostAtOnce, 1u);
}

// ---------------------------------------------------------------------------------------------
// Exit sequence

TEST_F(MonitorWindow, ExitRemovesTheIconStopsTimerAndWatcherAndEndsTheLoop)
{
    long exitMilliseconds = -1;
    std::size_t mark = 0;
    Later::After(300, [&] {
        mark = ShellRecorder::Calls().size();
        const auto start = Clock::now();
        Choose(L"&Exit");
        exitMilliseconds = MillisecondsSince(start);
    });
    const testing::Watchdog watchdog(*app_, 5000);
    app_->Run();

    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(app_->GetTerminated());
    EXPECT_GE(exitMilliseconds, 0);
    EXPECT_LT(exitMilliseconds, 1000);
    EXPECT_FALSE(WatcherRunning());
    EXPECT_FALSE(Form1->Timer1->GetEnabled());
    EXPECT_FALSE(Form1->Timer1->IsTicking());
    std::vector<ShellCall> mine = MainThreadCallsSince(mark);
    ASSERT_FALSE(mine.empty());
    EXPECT_EQ(mine.front().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(mine.front().window, Form1->TrayIcon1->Handle());
    EXPECT_TRUE(reports_.empty());
}

TEST_F(MonitorWindow, ExitWhenTheShellRefusesTheRemovalReportsAndKeepsRunning)
{
    ShellRecorder::RefuseRemoval();
    Choose(L"&Exit");

    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].caption, L"Durvane Computing network monitor");
    EXPECT_EQ(reports_[0].text, L"Cannot remove shell notification icon.");
    EXPECT_TRUE(Form1->Timer1->GetEnabled());
    EXPECT_TRUE(Form1->TrayIcon1->GetVisible());
    EXPECT_TRUE(WatcherRunning());
    MSG quit;
    EXPECT_FALSE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_FALSE(app_->GetTerminated());
}

TEST_F(MonitorWindow, ExitFromNestedModalWindowsClosesThemInnermostFirst)
{
    std::vector<std::wstring> closed;
    bool bothOpen = false;
    bool statisticsOpenWhenHostTestClosed = false;
    Later::After(100, [&] {
        Later::After(150, [&] {
            Later::After(150, [&] {
                bothOpen = Form3->GetVisible() && HostTestForm->GetVisible();
                Choose(L"&Exit");
            });
            Choose(L"&Host Test");
            closed.push_back(L"HostTestForm");
            statisticsOpenWhenHostTestClosed = Form3->GetVisible();
        });
        Choose(L"&Show Statistics");
        closed.push_back(L"Form3");
    });
    const testing::Watchdog watchdog(*app_, 5000);
    app_->Run();

    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(bothOpen);
    EXPECT_EQ(closed, (std::vector<std::wstring>{L"HostTestForm", L"Form3"}));
    EXPECT_TRUE(statisticsOpenWhenHostTestClosed);
    EXPECT_FALSE(Form3->GetVisible());
    EXPECT_FALSE(HostTestForm->GetVisible());
    EXPECT_FALSE(WatcherRunning());
    EXPECT_TRUE(reports_.empty());
}

TEST_F(MonitorWindow, AClickOnTheIconOpensStatisticsOnceAndAboutOpensOnce)
{
    struct Case {
        const char* name;
        std::function<void()> open;  // opens the window modally; returns when it closed
        std::function<TForm*()> window;
    };
    const Case cases[] = {
        {"left click on the icon", [this] { ClickIcon(); }, [] { return static_cast<TForm*>(Form3); }},
        {"&About", [this] { Choose(L"&About"); }, [] { return static_cast<TForm*>(AboutForm); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool openedByFirst = false;
        bool stillOpenAfterSecond = false;
        long secondMilliseconds = -1;
        Later::After(100, [&] {
            openedByFirst = c.window()->GetVisible();
            const auto start = Clock::now();
            c.open();  // the window is shown: this must return at once and change nothing
            secondMilliseconds = MillisecondsSince(start);
            stillOpenAfterSecond = c.window()->GetVisible();
            ::PostMessageW(c.window()->Handle(), WM_COMMAND, IDOK, 0);
        });
        const testing::Watchdog watchdog(*app_, 4000);
        c.open();
        EXPECT_FALSE(watchdog.Fired());
        EXPECT_TRUE(openedByFirst);
        EXPECT_GE(secondMilliseconds, 0);
        EXPECT_LT(secondMilliseconds, 1000);  // a second modal loop would last until the watchdog
        EXPECT_TRUE(stillOpenAfterSecond);
        EXPECT_FALSE(c.window()->GetVisible());
        Later::CancelAll();
    }
    EXPECT_TRUE(reports_.empty());
}

// ---------------------------------------------------------------------------------------------
// Session end and the end without the exit sequence

TEST_F(MonitorWindow, SessionEndQueriesAreAnsweredYesAndTheEndRemovesTheIcon)
{
    HWND icon = Form1->TrayIcon1->Handle();
    EXPECT_EQ(::SendMessageW(app_->Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(::SendMessageW(icon, WM_QUERYENDSESSION, 0, 0), TRUE);

    auto deletesOf = [icon] {
        int n = 0;
        for (const ShellCall& call : ShellRecorder::Calls()) n += call.message == NIM_DELETE && call.window == icon;
        return n;
    };
    ::SendMessageW(icon, WM_ENDSESSION, FALSE, 0);  // the session goes on after all
    EXPECT_EQ(deletesOf(), 0);
    ::SendMessageW(icon, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(deletesOf(), 1);
}

// ---------------------------------------------------------------------------------------------
// The notification area's scale

TEST_F(MonitorWindow, TheFacesAreDrawnAgainAtTheNotificationAreasSizeWhenItCanHaveChanged)
{
    // Wine sends none of these itself: the messages come as the system would send them.
    HWND icon = Form1->TrayIcon1->Handle();
    const int startSize = TrayIconSizeForDpi(WindowDpi(icon));
    auto dpiChanged = [icon](UINT dpi) {
        RECT suggested{0, 0, 1, 1};
        ::SendMessageW(icon, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    };
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    // Messages to the icon's window run on this thread: its calls are the ones to look at.
    ASSERT_TRUE(WaitUntil([] { return !ShellRecorder::Calls().empty(); }, 2000));

    struct Step {
        const char* what;
        std::function<void()> send;
        bool reachesShell;
        DWORD message;
        int size;
    };
    const Step steps[] = {
        {"150 %", [&] { dpiChanged(144); }, true, NIM_MODIFY, TrayIconSizeForDpi(144)},
        {"150 % again: nothing changed", [&] { dpiChanged(144); }, false, 0, 0},
        {"200 %", [&] { dpiChanged(192); }, true, NIM_MODIFY, TrayIconSizeForDpi(192)},
        {"a changed setting: the window's own scale",
         [icon] { ::SendMessageW(icon, WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0); }, true, NIM_MODIFY,
         startSize},
        {"125 %", [&] { dpiChanged(120); }, true, NIM_MODIFY, TrayIconSizeForDpi(120)},
        {"a new taskbar", [icon, taskbarCreated] { ::SendMessageW(icon, taskbarCreated, 0, 0); }, true, NIM_ADD,
         startSize},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const std::size_t mark = ShellRecorder::Calls().size();
        step.send();
        const std::vector<ShellCall> mine = MainThreadCallsSince(mark);
        if (!step.reachesShell) {
            EXPECT_TRUE(mine.empty());
            continue;
        }
        ASSERT_FALSE(mine.empty());
        EXPECT_EQ(mine.back().message, step.message);
        EXPECT_EQ(mine.back().size, step.size);
        // The same face and tooltip, drawn anew.
        EXPECT_EQ(mine.back().face, Form1->TrayIcon1->GetIconIndex());
        EXPECT_EQ(mine.back().tip, Form1->TrayIcon1->GetHint());
        int width = 0, height = 0;
        ASSERT_TRUE(::ImageList_GetIconSize(Form1->ImageList1->Handle(), &width, &height));
        EXPECT_EQ(width, step.size);
        EXPECT_EQ(Form1->ImageList1->Count(), kFaceCount);
    }
    EXPECT_TRUE(reports_.empty());
}

TEST_F(MonitorWindow, DestroyingTheWindowsStopsTheWatcherBeforeTheIconGoes)
{
    // The watcher refreshes the icon every second: it must be gone before the icon is.
    ASSERT_TRUE(WatcherRunning());
    HWND icon = Form1->TrayIcon1->Handle();
    const std::size_t mark = ShellRecorder::Calls().size();

    const auto start = Clock::now();
    app_->DestroyForms();
    EXPECT_LT(MillisecondsSince(start), 1500);
    EXPECT_FALSE(WatcherRunning());

    std::vector<ShellCall> calls = ShellRecorder::Calls();
    bool removed = false;
    for (std::size_t i = mark; i < calls.size(); ++i) {
        if (calls[i].message == NIM_DELETE && calls[i].window == icon) {
            removed = true;
            EXPECT_FALSE(calls[i].watcherRunning);
        }
        if (removed) {
            EXPECT_EQ(calls[i].thread, mainThread_);
        }
    }
    EXPECT_TRUE(removed);
    EXPECT_TRUE(reports_.empty());
}

}  // namespace
}  // namespace vantrel
