// The host test window as the program builds it, under Wine on a real message loop: its
// buttons pressed, its timer ticking, real pings to the loopback address. Only the lookup
// entry of the socket layer is replaced, for the name that must not resolve.

#include "hosttest/Unit5.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Forms.h"
#include "app/Timer.h"
#include "app/EntryOverride.h"
#include "app/Exceptions.h"
#include "tests/support/ApplicationFixture.h"
#include "netwatch/IdWinsock.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;
using ::testing::ElementsAre;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::wstring TextOf(HWND window)
{
    int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

class HostTestFormTest : public testing::ApplicationFixture {
protected:
    HostTestFormTest() : ApplicationFixture(L"Durvane Computing network monitor") {}

    void SetUp() override
    {
        ApplicationFixture::SetUp();
        app_->CreateForm(HostTestForm);
        form_ = HostTestForm;
    }

    void TearDown() override
    {
        ApplicationFixture::TearDown();
        HostTestForm = nullptr;
        // An exception that reached the error report is a fault of the window in every test.
        EXPECT_TRUE(reports_.empty()) << (reports_.empty() ? "" : ToUtf8(reports_.front().text));
    }

    std::vector<std::wstring> Lines() const
    {
        std::vector<std::wstring> lines;
        auto count = ::SendMessageW(form_->ListBox1, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring line(static_cast<size_t>(::SendMessageW(form_->ListBox1, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
            auto length = ::SendMessageW(form_->ListBox1, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
            line.resize(static_cast<size_t>(length));
            lines.push_back(line);
        }
        return lines;
    }
    size_t LineCount() const { return static_cast<size_t>(::SendMessageW(form_->ListBox1, LB_GETCOUNT, 0, 0)); }
    std::wstring Caption() const { return TextOf(form_->Button1); }
    void SetHost(const wchar_t* host) { ::SetWindowTextW(form_->Edit1, host); }
    // A press of the button as the mouse makes it: the button itself notifies the window.
    void Press() { ::SendMessageW(form_->Button1, BM_CLICK, 0, 0); }
    void AddLine(const wchar_t* text)
    {
        ::SendMessageW(form_->ListBox1, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }

    THostTestForm* form_ = nullptr;
};

// A whole line of the list for an echo reply: whole milliseconds, a loopback answer well
// inside the period.
bool IsFastEchoLine(const std::wstring& line)
{
    std::wsmatch match;
    static const std::wregex echo(L"Time=(\\d+)ms");
    return std::regex_match(line, match, echo) && std::stoi(match[1].str()) < 1000;
}

TEST_F(HostTestFormTest, BuiltHiddenWithItsControlsAndAnIdleClient)
{
    EXPECT_FALSE(form_->GetVisible());
    EXPECT_EQ(TextOf(form_->Handle()), L"Host Test");
    EXPECT_EQ(form_->Label1.GetCaption(), L"Host:");
    EXPECT_EQ(TextOf(form_->Edit1), L"");
    EXPECT_EQ(LineCount(), 0u);
    EXPECT_FALSE(form_->GetRunning());
    EXPECT_FALSE(form_->Timer1->GetEnabled());
    EXPECT_FALSE(form_->Timer1->IsTicking());
    EXPECT_EQ(form_->Timer1->GetInterval(), 1000u);
    EXPECT_EQ(form_->IdIcmpClient1->GetPacketSize(), 1024);
    EXPECT_EQ(form_->IdIcmpClient1->GetProtocol(), 1);
    EXPECT_EQ(form_->IdIcmpClient1->GetReceiveTimeout(), 5000);
    // Not a default button: Enter in the edit box must not toggle pinging.
    EXPECT_EQ(::GetWindowLongPtrW(form_->Button1, GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    // The list shows lines in the order they came, not sorted.
    EXPECT_EQ(::GetWindowLongPtrW(form_->ListBox1, GWL_STYLE) & LBS_SORT, 0);
}

TEST_F(HostTestFormTest, ShowingStopsAndRelabelsButKeepsTheListAndTheHost)
{
    form_->Show();
    EXPECT_EQ(Caption(), L"&Start Ping");

    SetHost(L"");  // no host: the ticks send nothing while the state is looked at
    Press();
    ASSERT_TRUE(form_->GetRunning());
    SetHost(L"host.example");
    AddLine(L"Time=3ms");
    AddLine(L"Time=4ms");

    form_->Hide();
    // Hiding switches the timer off and leaves the flag to the next showing.
    EXPECT_FALSE(form_->Timer1->GetEnabled());
    EXPECT_FALSE(form_->Timer1->IsTicking());
    EXPECT_TRUE(form_->GetRunning());
    EXPECT_EQ(Caption(), L"&Stop Ping");

    form_->Show();
    EXPECT_EQ(Caption(), L"&Start Ping");
    EXPECT_FALSE(form_->GetRunning());
    EXPECT_FALSE(form_->Timer1->GetEnabled());
    EXPECT_FALSE(form_->Timer1->IsTicking());
    EXPECT_THAT(Lines(), ElementsAre(L"Time=3ms", L"Time=4ms"));
    EXPECT_EQ(TextOf(form_->Edit1), L"host.example");

    // The next press starts again from the stopped state.
    Press();
    EXPECT_TRUE(form_->GetRunning());
    EXPECT_EQ(Caption(), L"&Stop Ping");
}

TEST_F(HostTestFormTest, StartClearsTheListAndTicksStopKeepsTheList)
{
    form_->Show();
    AddLine(L"from before");

    struct Step {
        const wchar_t* caption;
        bool running;
        std::vector<std::wstring> lines;
    };
    // Lines added between the presses show what each press does to the list.
    const Step steps[] = {
        {L"&Stop Ping", true, {}},                        // Start clears
        {L"&Start Ping", false, {L"while running"}},      // Stop keeps
        {L"&Stop Ping", true, {}},                        // Start clears again
        {L"&Start Ping", false, {L"while running"}},
    };
    for (const Step& step : steps) {
        Press();
        SCOPED_TRACE(step.caption);
        EXPECT_EQ(Caption(), step.caption);
        EXPECT_EQ(form_->GetRunning(), step.running);
        EXPECT_EQ(form_->Timer1->GetEnabled(), step.running);
        EXPECT_EQ(form_->Timer1->IsTicking(), step.running);
        EXPECT_EQ(Lines(), step.lines);
        if (step.running) AddLine(L"while running");
    }
}

TEST_F(HostTestFormTest, AnEmptyHostAddsNothingUntilAHostIsTyped)
{
    form_->Show();
    Press();
    Pump(2500);
    EXPECT_EQ(LineCount(), 0u);
    EXPECT_TRUE(form_->Timer1->IsTicking());
    EXPECT_EQ(form_->IdIcmpClient1->GetHost(), L"");

    // The box is read afresh at every tick.
    SetHost(L"127.0.0.1");
    ASSERT_TRUE(PumpUntil([&] { return LineCount() == 2; }, 4000));
    EXPECT_EQ(form_->IdIcmpClient1->GetHost(), L"127.0.0.1");

    // Emptying it again stops the lines, not the timer.
    SetHost(L"");
    Pump(200);  // a tick already due may still add its line
    size_t stopped = LineCount();
    Pump(2300);
    EXPECT_EQ(LineCount(), stopped);
    EXPECT_TRUE(form_->Timer1->IsTicking());
    for (const auto& line : Lines()) EXPECT_TRUE(IsFastEchoLine(line)) << line;
}

TEST_F(HostTestFormTest, PingsTheLoopbackAddressOncePerTickTheFirstAfterOneSecond)
{
    form_->Show();
    SetHost(L"127.0.0.1");
    std::uint16_t sequenceBefore = form_->IdIcmpClient1->GetwSeqNo();
    auto started = Clock::now();
    Press();

    // When each line appeared, in ms after Start.
    std::vector<long long> appeared;
    ASSERT_TRUE(PumpUntil(
        [&] {
            while (appeared.size() < LineCount()) appeared.push_back(MsSince(started));
            return appeared.size() >= 3;
        },
        8000));
    // Not at once: the first ping waits for the timer's first period.
    EXPECT_GE(appeared[0], 950);
    EXPECT_LT(appeared[0], 2500);
    // Then one line per period: no burst, no gap of a missed tick.
    for (size_t i = 1; i < appeared.size(); ++i) {
        EXPECT_GE(appeared[i] - appeared[i - 1], 900) << "line " << i;
        EXPECT_LT(appeared[i] - appeared[i - 1], 1900) << "line " << i;
    }
    std::vector<std::wstring> lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& line : lines) EXPECT_TRUE(IsFastEchoLine(line)) << line;
    EXPECT_EQ(static_cast<std::uint16_t>(form_->IdIcmpClient1->GetwSeqNo() - sequenceBefore), lines.size());

    Press();
    Pump(1500);
    EXPECT_EQ(Lines(), lines);
}

// A standard user's raw socket: refused for want of rights. The platform's echo service is the
// real one, on the loopback address.
SOCKET WSAAPI RefusedRawSocket(int, int, int)
{
    ::SetLastError(WSAEACCES);
    return INVALID_SOCKET;
}

TEST_F(HostTestFormTest, AStandardUserGetsTheSameLinesThroughTheEchoService)
{
    EntryOverride<decltype(ws2::socket)> refused{ws2::socket, &RefusedRawSocket};
    form_->Show();
    SetHost(L"127.0.0.1");
    Press();
    ASSERT_TRUE(PumpUntil([&] { return LineCount() >= 2; }, 6000));
    Press();
    EXPECT_TRUE(form_->IdIcmpClient1->GetUsesEchoService());
    for (const auto& line : Lines()) EXPECT_TRUE(IsFastEchoLine(line)) << line;
}

// The lookup of a name that does not exist fails here without asking anyone: the entry is
// replaced, so no query leaves the machine.
std::vector<std::wstring>* lookedUp = nullptr;

INT WSAAPI NoSuchHost(PCWSTR name, PCWSTR, const ADDRINFOW*, PADDRINFOW* result)
{
    if (lookedUp) lookedUp->push_back(name ? name : L"(null)");
    *result = nullptr;
    return WSAHOST_NOT_FOUND;
}

TEST_F(HostTestFormTest, AnUnresolvableHostAddsAnErrorLinePerTick)
{
    std::vector<std::wstring> names;
    lookedUp = &names;
    // The stack has already started (the window's client took a use of it), so nothing binds
    // over the replacement.
    EntryOverride<decltype(ws2::GetAddrInfoW)> lookup{ws2::GetAddrInfoW, &NoSuchHost};

    form_->Show();
    SetHost(L"vantrel-no-such-host.invalid");
    Press();
    ASSERT_TRUE(PumpUntil([&] { return LineCount() == 2; }, 4000));
    Press();
    lookedUp = nullptr;

    EXPECT_THAT(Lines(), ElementsAre(L"Error sending ping", L"Error sending ping"));
    EXPECT_THAT(names, ElementsAre(L"vantrel-no-such-host.invalid", L"vantrel-no-such-host.invalid"));
    // The failure stays in the list: nothing reaches the error report (checked in TearDown).
}

// Closing a modally shown window by each way a person has: the close box and Escape.
enum class CloseBy { CloseBox, Escape };

void CloseWindow(THostTestForm& form, CloseBy how)
{
    if (how == CloseBy::CloseBox) {
        ::PostMessageW(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
        // To the edit box, as the keyboard delivers it; the dialog handling of the loop turns
        // it into Cancel.
        ::PostMessageW(form.Edit1, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        ::PostMessageW(form.Edit1, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    }
}

class HostTestFormCloseTest : public HostTestFormTest, public ::testing::WithParamInterface<CloseBy> {};

TEST_P(HostTestFormCloseTest, ClosingEndsTheModalLoopAndPingingReopeningShowsStartWithTheOldList)
{
    // What the modal loop runs, step by step, driven from a timer inside it.
    std::vector<std::function<bool()>> steps;
    size_t step = 0;
    Clock::time_point shown;
    TTimer driver;
    driver.SetInterval(50);
    driver.SetOnTimer([&](TObject*) {
        if (step < steps.size() && steps[step]()) ++step;
        // A window that does not close would hang the test: end its loop with another result,
        // which the checks below report.
        if (MsSince(shown) > 15000) form_->SetModalResult(mrOk);
    });

    std::vector<std::wstring> atClose;
    Clock::time_point closedAt;
    steps = {
        [&] {
            SetHost(L"127.0.0.1");
            Press();
            return true;
        },
        [&] { return LineCount() >= 2; },
        [&] {
            atClose = Lines();
            closedAt = Clock::now();
            CloseWindow(*form_, GetParam());
            return true;
        },
    };
    shown = Clock::now();
    ASSERT_EQ(form_->ShowModal(), mrCancel) << "the window did not close";
    ASSERT_EQ(step, steps.size()) << "the loop ended before the steps ran";
    EXPECT_LT(MsSince(closedAt), 1000);
    EXPECT_FALSE(form_->GetVisible());
    EXPECT_FALSE(form_->Timer1->IsTicking());
    Pump(2200);
    EXPECT_EQ(Lines(), atClose) << "pinging went on after the window closed";

    // Reopened: stopped, the old list, the host still there.
    std::wstring captionShown;
    std::vector<std::wstring> linesShown;
    bool tickingShown = true;
    step = 0;
    steps = {
        [&] {
            captionShown = Caption();
            linesShown = Lines();
            tickingShown = form_->Timer1->IsTicking();
            CloseWindow(*form_, GetParam());
            return true;
        },
    };
    shown = Clock::now();
    ASSERT_EQ(form_->ShowModal(), mrCancel) << "the reopened window did not close";
    EXPECT_EQ(captionShown, L"&Start Ping");
    EXPECT_EQ(linesShown, atClose);
    EXPECT_FALSE(tickingShown);
    EXPECT_FALSE(form_->GetRunning());
    EXPECT_EQ(TextOf(form_->Edit1), L"127.0.0.1");
}

INSTANTIATE_TEST_SUITE_P(Ways, HostTestFormCloseTest, ::testing::Values(CloseBy::CloseBox, CloseBy::Escape),
                         [](const auto& info) { return info.param == CloseBy::CloseBox ? "CloseBox" : "Escape"; });

}  // namespace
}  // namespace vantrel
