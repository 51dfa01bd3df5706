// The notification icon against a recording stand-in for the shell.

#include <gtest/gtest.h>

#include "tests/support/ApplicationFixture.h"
#include "tests/support/Pump.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Exceptions.h"
#include "app/PlatformVersion.h"
#include "app/SystemModule.h"
#include "app/Thread.h"
#include "monitor/TrayIcon.h"
#include "app/EntryOverride.h"

namespace vantrel {
namespace {

struct Call {
    DWORD message;
    NOTIFYICONDATAW data;
    DWORD tick;
    BOOL result;
};

struct Recorder {
    static inline std::vector<Call> calls;
    static inline BOOL result = TRUE;
    static inline int failingAdds = 0;  // a shell too busy to answer: the next adds fail
    static inline std::atomic<int> inFlight{0};
    static inline std::atomic<bool> overlapped{false};

    static BOOL WINAPI Record(DWORD message, NOTIFYICONDATAW* data)
    {
        if (++inFlight > 1) overlapped = true;
        ::Sleep(0);  // give the other thread every chance to barge in
        BOOL answer = result;
        if (message == NIM_ADD && failingAdds > 0) {
            --failingAdds;
            answer = FALSE;
        }
        calls.push_back({message, *data, ::GetTickCount(), answer});
        --inFlight;
        return answer;
    }
};

HIMAGELIST ThreeIcons()
{
    HIMAGELIST list = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0);
    for (COLORREF colour : {RGB(0, 255, 0), RGB(255, 0, 0), RGB(0, 200, 0)}) {
        HDC screen = ::GetDC(nullptr);
        HBITMAP picture = ::CreateCompatibleBitmap(screen, 16, 16);
        HDC dc = ::CreateCompatibleDC(screen);
        HGDIOBJ old = ::SelectObject(dc, picture);
        HBRUSH brush = ::CreateSolidBrush(colour);
        RECT all{0, 0, 16, 16};
        ::FillRect(dc, &all, brush);
        ::DeleteObject(brush);
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
        ::ReleaseDC(nullptr, screen);
        ::ImageList_AddMasked(list, picture, RGB(255, 0, 255));
        ::DeleteObject(picture);
    }
    return list;
}

class TrayIconTest : public testing::ApplicationFixture {
protected:
    void SetUp() override
    {
        ApplicationFixture::SetUp();
        Recorder::calls.clear();
        Recorder::result = TRUE;
        Recorder::failingAdds = 0;
        Recorder::overlapped = false;
        shell_ = std::make_unique<EntryOverride<ShellNotifyIconFunction>>(ShellNotifyIcon, &Recorder::Record);
        icon_ = std::make_unique<TTrayIcon>();
        icon_->SetIcons(&icons_);
        icon_->SetVisible(true);
    }
    void TearDown() override
    {
        icon_.reset();
        shell_.reset();
        ApplicationFixture::TearDown();
        // An exception that reached the error report is a fault in every test here.
        EXPECT_TRUE(reports_.empty());
    }
    size_t CallsOf(DWORD message) const
    {
        size_t n = 0;
        for (const Call& call : Recorder::calls) n += call.message == message;
        return n;
    }
    static std::vector<Call> AddsSince(size_t from)
    {
        std::vector<Call> adds;
        for (size_t i = from; i < Recorder::calls.size(); ++i) {
            if (Recorder::calls[i].message == NIM_ADD) adds.push_back(Recorder::calls[i]);
        }
        return adds;
    }

    TImageList icons_{ThreeIcons()};
    std::unique_ptr<TTrayIcon> icon_;
    std::unique_ptr<EntryOverride<ShellNotifyIconFunction>> shell_;
};

TEST_F(TrayIconTest, TheRecordIsFilledAsTheShellExpects)
{
    ASSERT_EQ(Recorder::calls.size(), 1u);
    const Call& add = Recorder::calls[0];
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.data.hWnd, icon_->Handle());
    EXPECT_EQ(add.data.uID, static_cast<UINT>(reinterpret_cast<UINT_PTR>(icon_->Handle())));
    EXPECT_EQ(add.data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON));  // no tooltip yet
    EXPECT_EQ(add.data.uCallbackMessage, 1025u);
    EXPECT_NE(add.data.hIcon, nullptr);
}

TEST(NotifyIconRecordSize, DependsOnThePlatformVersion)
{
#ifdef _WIN64
    constexpr DWORD kFull = 976, kBefore6 = 952;
#else
    constexpr DWORD kFull = 956, kBefore6 = 936;
#endif
    struct Case {
        TPlatformVersion (*version)();
        DWORD expected;
    };
    const Case cases[] = {
        {[] { return TPlatformVersion{5, 1}; }, kBefore6},
        {[] { return TPlatformVersion{6, 0}; }, kFull},
        {[] { return TPlatformVersion{10, 0}; }, kFull},
        {[] { return TPlatformVersion{}; }, kFull},  // the version could not be told
    };
    for (const Case& c : cases) {
        EntryOverride version(PlatformVersion, c.version);
        EXPECT_EQ(NotifyIconRecordSize(), c.expected) << PlatformVersion().Major;
    }
}

TEST_F(TrayIconTest, SettingTheSameValueAgainSendsNothingButRefreshAlwaysSends)
{
    icon_->SetHint(L"Vantrel - Initializing...");
    icon_->SetIconIndex(1);
    size_t afterChanges = Recorder::calls.size();
    EXPECT_EQ(afterChanges, 3u);
    icon_->SetHint(L"Vantrel - Initializing...");
    icon_->SetIconIndex(1);
    EXPECT_EQ(Recorder::calls.size(), afterChanges);
    icon_->Refresh();
    icon_->Refresh();
    EXPECT_EQ(Recorder::calls.size(), afterChanges + 2);
    EXPECT_EQ(Recorder::calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(std::wstring(Recorder::calls.back().data.szTip), L"Vantrel - Initializing...");
}

TEST_F(TrayIconTest, TooltipsAreCutAt127AndAnEmptyOneClearsTheTipFlag)
{
    std::wstring longText(200, L'x');
    longText[126] = L'E';
    icon_->SetHint(longText);
    EXPECT_EQ(std::wstring(Recorder::calls.back().data.szTip), longText.substr(0, 127));
    EXPECT_TRUE(Recorder::calls.back().data.uFlags & NIF_TIP);
    EXPECT_EQ(icon_->GetHint(), longText);  // what was wanted is kept whole

    icon_->SetHint(L"");
    EXPECT_FALSE(Recorder::calls.back().data.uFlags & NIF_TIP);
}

TEST_F(TrayIconTest, ChangesWhileHiddenAreKeptAndTakenAlongWhenShownAgain)
{
    icon_->SetVisible(false);
    EXPECT_EQ(Recorder::calls.back().message, static_cast<DWORD>(NIM_DELETE));
    size_t calls = Recorder::calls.size();
    icon_->SetHint(L"hidden");
    icon_->SetIconIndex(2);
    icon_->Refresh();
    EXPECT_EQ(Recorder::calls.size(), calls);
    icon_->SetVisible(true);
    EXPECT_EQ(Recorder::calls.back().message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(std::wstring(Recorder::calls.back().data.szTip), L"hidden");
}

TEST_F(TrayIconTest, AFailedRemovalRaisesAndTheIconStays)
{
    Recorder::result = FALSE;
    try {
        icon_->SetVisible(false);
        FAIL() << "no exception";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), L"Cannot remove shell notification icon");
    }
    EXPECT_TRUE(icon_->GetVisible());
    // A failed change is ignored: it is asked of the shell, nothing is raised, and what was
    // wanted is kept.
    const std::size_t before = Recorder::calls.size();
    EXPECT_NO_THROW(icon_->SetHint(L"still here"));
    ASSERT_EQ(Recorder::calls.size(), before + 1);
    EXPECT_EQ(Recorder::calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(std::wstring(Recorder::calls.back().data.szTip), L"still here");
    EXPECT_EQ(icon_->GetHint(), L"still here");
    EXPECT_TRUE(icon_->GetVisible());
    Recorder::result = TRUE;
}

TEST_F(TrayIconTest, TheShellRestartingBringsTheIconBackAsItWas)
{
    icon_->SetHint(L"192.168.1.20");
    icon_->SetIconIndex(2);
    Recorder::calls.clear();
    ::SendMessageW(icon_->Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_EQ(Recorder::calls.size(), 1u);
    EXPECT_EQ(Recorder::calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(std::wstring(Recorder::calls[0].data.szTip), L"192.168.1.20");
    EXPECT_NE(Recorder::calls[0].data.hIcon, nullptr);
}

// What the icon's window asks of the message filter, entry by entry.
struct FilterRecorder {
    struct Request {
        HWND window;  // nullptr for the process-wide Vista call
        UINT message;
        DWORD action;
        bool withStatus;
    };
    static inline std::vector<Request> requests;

    static BOOL WINAPI PerWindow(HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT status)
    {
        requests.push_back({window, message, action, status != nullptr});
        return TRUE;
    }
    static BOOL WINAPI ProcessWide(UINT message, DWORD flag)
    {
        requests.push_back({nullptr, message, flag, false});
        return TRUE;
    }
};

TEST_F(TrayIconTest, AnElevatedCopyLetsTheTaskbarBroadcastThroughTheMessageFilter)
{
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    struct Case {
        const char* system;
        user32::ChangeWindowMessageFilterExFunction perWindow;
        user32::ChangeWindowMessageFilterFunction processWide;
        bool expectPerWindow;
        bool expectProcessWide;
    };
    const Case cases[] = {
        {"Windows 7 and later", &FilterRecorder::PerWindow, &FilterRecorder::ProcessWide, true, false},
        {"Vista", nullptr, &FilterRecorder::ProcessWide, false, true},
        {"XP, no integrity levels", nullptr, nullptr, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system);
        FilterRecorder::requests.clear();
        EntryOverride perWindow(user32::ChangeWindowMessageFilterEx, c.perWindow);
        EntryOverride processWide(user32::ChangeWindowMessageFilter, c.processWide);
        TTrayIcon icon;
        icon.SetIcons(&icons_);
        icon.SetVisible(true);
        ASSERT_EQ(FilterRecorder::requests.size(), (c.expectPerWindow || c.expectProcessWide) ? 1u : 0u);
        if (FilterRecorder::requests.empty()) continue;
        const FilterRecorder::Request& request = FilterRecorder::requests[0];
        EXPECT_EQ(request.message, taskbarCreated);
        if (c.expectPerWindow) {
            EXPECT_EQ(request.window, icon.Handle());
            EXPECT_EQ(request.action, static_cast<DWORD>(MSGFLT_ALLOW));
            EXPECT_FALSE(request.withStatus);
        } else {
            EXPECT_EQ(request.window, nullptr);
            EXPECT_EQ(request.action, static_cast<DWORD>(MSGFLT_ADD));
        }
        // And the broadcast, once in, brings the icon back as before.
        const size_t mark = Recorder::calls.size();
        ::SendMessageW(icon.Handle(), taskbarCreated, 0, 0);
        ASSERT_EQ(AddsSince(mark).size(), 1u);
        EXPECT_EQ(AddsSince(mark)[0].data.hWnd, icon.Handle());
    }
}

TEST_F(TrayIconTest, AnAddTheBusyShellRefusedIsTriedOnceASecondUntilItTakes)
{
    icon_->SetVisible(false);
    Recorder::failingAdds = 2;
    const size_t mark = Recorder::calls.size();
    icon_->SetVisible(true);
    ASSERT_EQ(AddsSince(mark).size(), 1u);
    EXPECT_FALSE(AddsSince(mark)[0].result);
    // Meanwhile the program goes on changing what the icon should show.
    icon_->SetHint(L"Vantrel - Not Connected");
    icon_->SetIconIndex(1);
    testing::RunMessagesFor(3500);

    const std::vector<Call> adds = AddsSince(mark);
    ASSERT_EQ(adds.size(), 3u);  // the refused one, one more refused, the one that took
    EXPECT_FALSE(adds[1].result);
    EXPECT_TRUE(adds[2].result);
    for (size_t i = 1; i < adds.size(); ++i) {
        const DWORD apart = adds[i].tick - adds[i - 1].tick;
        EXPECT_GE(apart, 900u) << "attempt " << i;  // a timer, not a loop
        EXPECT_LE(apart, 1600u) << "attempt " << i;
    }
    // The icon appears with what it should show now.
    EXPECT_EQ(std::wstring(adds[2].data.szTip), L"Vantrel - Not Connected");
    EXPECT_TRUE(adds[2].data.uFlags & NIF_TIP);
    EXPECT_EQ(adds[2].data.hIcon, icon_->Record().hIcon);
    EXPECT_NE(adds[2].data.hIcon, adds[0].data.hIcon);  // picture 1, not the start's picture 0
    EXPECT_EQ(std::count_if(Recorder::calls.begin() + static_cast<std::ptrdiff_t>(mark), Recorder::calls.end(),
                            [](const Call& call) { return call.message != NIM_ADD && call.message != NIM_MODIFY; }),
              0);
}

TEST_F(TrayIconTest, RetriesStopWhenTheIconIsNoLongerWanted)
{
    icon_->SetVisible(false);
    Recorder::failingAdds = 1000;
    const size_t mark = Recorder::calls.size();
    icon_->SetVisible(true);
    testing::RunMessagesFor(1300);
    EXPECT_EQ(AddsSince(mark).size(), 2u);
    icon_->SetVisible(false);
    EXPECT_EQ(Recorder::calls.back().message, static_cast<DWORD>(NIM_DELETE));
    testing::RunMessagesFor(2300);
    EXPECT_EQ(AddsSince(mark).size(), 2u);
}

TEST_F(TrayIconTest, SessionEndRemovesTheIcon)
{
    EXPECT_EQ(::SendMessageW(icon_->Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
    Recorder::calls.clear();
    ::SendMessageW(icon_->Handle(), WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(Recorder::calls.empty());
    ::SendMessageW(icon_->Handle(), WM_ENDSESSION, TRUE, 0);
    ASSERT_EQ(Recorder::calls.size(), 1u);
    EXPECT_EQ(Recorder::calls[0].message, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(TrayIconTest, ALeftClickRunsTheActionOnceAndOtherMouseMessagesNothing)
{
    int clicks = 0;
    icon_->SetOnClick([&](TObject*) { ++clicks; });
    auto callback = [&](UINT mouse) { ::SendMessageW(icon_->Handle(), WM_USER + 1, 0, mouse); };
    callback(WM_LBUTTONUP);  // no press seen: nothing
    EXPECT_EQ(clicks, 0);
    // A double click arrives as down, up, double click, up: it acts as one click... and the
    // second up without a new press does nothing.
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) callback(mouse);
    EXPECT_EQ(clicks, 1);
    for (UINT mouse : {WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_RBUTTONDBLCLK}) callback(mouse);
    EXPECT_EQ(clicks, 1);
}

TEST_F(TrayIconTest, AClickWhoseActionFailsIsReportedAndLeavesNoClickPending)
{
    int clicks = 0;
    std::vector<std::wstring> reports;
    app_->ErrorReportHook = [&](const std::wstring&, const std::wstring& text) { reports.push_back(text); };
    icon_->SetOnClick([&](TObject*) {
        ++clicks;
        throw std::runtime_error("the window could not be made");
    });
    auto callback = [&](UINT mouse) { ::SendMessageW(icon_->Handle(), WM_USER + 1, 0, mouse); };
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP}) callback(mouse);
    ASSERT_EQ(clicks, 1);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(L"the window could not be made"), std::wstring::npos);
    // A release with no press of its own (the button went down elsewhere) is still no click.
    callback(WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP}) callback(mouse);
    EXPECT_EQ(clicks, 2);
}

class Hammer : public TThread {
public:
    explicit Hammer(TTrayIcon& icon) : icon_(icon) {}

protected:
    void Execute() override
    {
        for (int i = 0; i < 400; ++i) {
            icon_.SetIconIndex(i % 2);
            icon_.Refresh();
            icon_.SetHint(i % 2 ? L"Vantrel - Not Connected" : L"watcher");
        }
    }

private:
    TTrayIcon& icon_;
};

TEST_F(TrayIconTest, TwoThreadsOperatingTheIconNeverInterleave)
{
    Hammer hammer(*icon_);
    hammer.Start();
    for (int i = 0; i < 400; ++i) {
        icon_->SetHint(L"192.168.1.20\nSegs In:" + std::to_wstring(i) + L"\nSegs Out:1");
        icon_->SetIconIndex(2);
        icon_->Refresh();
    }
    hammer.WaitFor();
    EXPECT_FALSE(Recorder::overlapped.load());
    // Every record handed to the shell is whole: its tip flag matches its text.
    for (const Call& call : Recorder::calls) {
        if (call.message != NIM_MODIFY) continue;
        EXPECT_EQ((call.data.uFlags & NIF_TIP) != 0, call.data.szTip[0] != L'\0');
    }
}

}  // namespace
}  // namespace vantrel
