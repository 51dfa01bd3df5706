// The rules of the user-interface thread, run for real under the platform's message loop.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Exceptions.h"
#include "app/Forms.h"
#include "app/Thread.h"
#include "app/Timer.h"
#include "tests/support/ApplicationFixture.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;

class ApplicationTest : public testing::ApplicationFixture {
protected:
    ApplicationTest() : ApplicationFixture(L"Test title") {}
};

class TestForm : public TForm {
public:
    TestForm() : TForm(TFormDescription{L"Test form", 200, 100}) {}
};

TEST_F(ApplicationTest, TicksArriveWhileAModalWindowIsOpen)
{
    static TestForm* form;  // a window reference outlives the application, as the program's do
    form = nullptr;
    app_->CreateForm(form);
    int ticks = 0;
    TTimer counter;
    counter.SetInterval(20);
    counter.SetOnTimer([&](TObject*) { ++ticks; });
    TTimer closer;
    closer.SetInterval(400);
    closer.SetOnTimer([&](TObject*) { form->SetModalResult(mrOk); });

    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_GE(ticks, 5);
    EXPECT_FALSE(form->GetVisible());
}

TEST_F(ApplicationTest, TicksArriveWhileAMessageBoxIsOpen)
{
    int ticks = 0;
    int ticksDuringBox = -1;
    TTimer counter;
    counter.SetInterval(20);
    counter.SetOnTimer([&](TObject*) {
        ++ticks;
        if (ticks == 15) {
            HWND box = ::FindWindowW(nullptr, L"Box under test");
            if (box) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    TTimer opener;
    opener.SetInterval(30);
    opener.SetOnTimer([&](TObject* sender) {
        static_cast<TTimer*>(sender)->SetEnabled(false);
        int before = ticks;
        ::MessageBoxW(app_->Handle(), L"ticks go on", L"Box under test", MB_OK);
        ticksDuringBox = ticks - before;
        app_->Terminate();
    });
    app_->Run();
    EXPECT_GE(ticksDuringBox, 10);
}

TEST_F(ApplicationTest, DueTicksDoNotPileUpBehindABusyHandler)
{
    int ticks = 0;
    TTimer timer;
    timer.SetInterval(20);
    timer.SetOnTimer([&](TObject*) {
        if (++ticks == 1) ::Sleep(400);  // twenty periods pass while the thread is busy
    });
    Pump(50);
    ASSERT_GE(ticks, 1);
    // Right after the busy handler at most one due tick is delivered, not twenty.
    auto afterBusy = ticks;
    Pump(15);
    EXPECT_LE(ticks - afterBusy, 2);
}

TEST_F(ApplicationTest, ChangingATimerRestartsItsPeriodButSettingTheSameValueDoesNot)
{
    struct Case {
        const char* name;
        void (*change)(TTimer&);
        bool restarts;
    };
    const Case cases[] = {
        {"same interval", [](TTimer& t) { t.SetInterval(300); }, false},
        {"same enabled", [](TTimer& t) { t.SetEnabled(true); }, false},
        {"new interval", [](TTimer& t) { t.SetInterval(301); }, true},
        {"disable and enable", [](TTimer& t) { t.SetEnabled(false); t.SetEnabled(true); }, true},
    };
    for (const Case& c : cases) {
        TTimer timer;
        timer.SetInterval(300);
        auto start = Clock::now();
        Clock::time_point firstTick{};
        timer.SetOnTimer([&](TObject*) {
            if (firstTick == Clock::time_point{}) firstTick = Clock::now();
        });
        Pump(200);
        c.change(timer);
        Pump(700);
        ASSERT_NE(firstTick, Clock::time_point{}) << c.name;
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(firstTick - start).count();
        if (c.restarts)
            EXPECT_GE(ms, 470) << c.name;
        else
            EXPECT_LT(ms, 430) << c.name;
    }
}

TEST_F(ApplicationTest, ATimerTicksOnlyWithIntervalEnabledAndHandler)
{
    TTimer timer;
    EXPECT_TRUE(timer.GetEnabled());
    EXPECT_EQ(timer.GetInterval(), 1000u);
    int ticks = 0;
    timer.SetInterval(10);
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    Pump(200);
    EXPECT_GT(ticks, 0) << "enabled, with an interval and a handler";

    // Taking away any one of the three stops the ticks; giving it back starts them again.
    timer.SetInterval(0);
    ticks = 0;
    Pump(200);
    EXPECT_EQ(ticks, 0) << "interval 0";
    timer.SetInterval(10);
    timer.SetEnabled(false);
    ticks = 0;
    Pump(200);
    EXPECT_EQ(ticks, 0) << "disabled";
    timer.SetEnabled(true);
    Pump(200);
    EXPECT_GT(ticks, 0) << "enabled again";
}

TEST_F(ApplicationTest, AnExceptionInATickIsReportedAndTheTimerGoesOn)
{
    int ticks = 0;
    TTimer timer;
    timer.SetInterval(20);
    timer.SetOnTimer([&](TObject*) {
        ++ticks;
        throw Exception(L"Tick failed in step 7");
    });
    Pump(200);
    ASSERT_GE(ticks, 3);
    ASSERT_FALSE(reports_.empty());
    EXPECT_EQ(reports_.front().caption, L"Test title");
    EXPECT_EQ(reports_.front().text, L"Tick failed in step 7.");
    EXPECT_EQ(reports_.size(), static_cast<size_t>(ticks));
}

TEST_F(ApplicationTest, TheExitClosesNestedModalWindowsInnermostFirst)
{
    static TestForm* outer;  // a window reference outlives the application, as the program's do
    outer = nullptr;
    static TestForm* inner;  // a window reference outlives the application, as the program's do
    inner = nullptr;
    app_->CreateForm(outer);
    app_->CreateForm(inner);
    std::vector<std::string> closed;
    TTimer openInner;
    openInner.SetInterval(50);
    openInner.SetOnTimer([&](TObject* sender) {
        static_cast<TTimer*>(sender)->SetEnabled(false);
        int result = inner->ShowModal();
        closed.push_back("inner " + std::to_string(result));
    });
    TTimer exitLater;
    exitLater.SetInterval(200);
    bool outerEnabledUnderInner = true;
    exitLater.SetOnTimer([&](TObject*) {
        outerEnabledUnderInner = ::IsWindowEnabled(outer->Handle()) != FALSE;
        app_->Terminate();
    });

    int result = outer->ShowModal();
    closed.push_back("outer " + std::to_string(result));

    EXPECT_EQ(closed, (std::vector<std::string>{"inner 2", "outer 2"}));
    EXPECT_FALSE(outerEnabledUnderInner);  // the outer window waits for the inner one
    EXPECT_TRUE(app_->GetTerminated());
    EXPECT_FALSE(inner->GetVisible());
    EXPECT_FALSE(outer->GetVisible());
}

class HandOverThread : public TThread {
public:
    std::atomic<DWORD> ranOn{0};
    std::atomic<bool> sawException{false};

protected:
    void Execute() override
    {
        ::Sleep(50);  // the user-interface thread is inside WaitFor by now
        Synchronize([this] { ranOn = ::GetCurrentThreadId(); });
        try {
            Synchronize([] { throw Exception(L"raised on the user-interface thread"); });
        } catch (const Exception& error) {
            sawException = error.Message() == L"raised on the user-interface thread";
        }
    }
};

TEST_F(ApplicationTest, WaitForKeepsRunningHandOvers)
{
    HandOverThread thread;
    thread.Start();
    auto start = Clock::now();
    thread.WaitFor();  // would deadlock if the hand-over could not run here
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(thread.ranOn.load(), ::GetCurrentThreadId());
    EXPECT_TRUE(thread.sawException.load());
    EXPECT_TRUE(thread.GetFinished());
}

class SleepyThread : public TThread {
protected:
    void Execute() override
    {
        while (!GetTerminated()) SleepUnlessTerminated(1000);
    }
};

TEST_F(ApplicationTest, TerminateEndsASleepPromptly)
{
    SleepyThread thread;
    thread.Start();
    ::Sleep(30);
    auto start = Clock::now();
    thread.Terminate();
    thread.WaitFor();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(300));
}

struct Probe : TForm {
    Probe() : TForm(TFormDescription{L"Probe", 100, 100}) { seenDuringConstruction = *slot; }
    static inline Probe** slot = nullptr;
    static inline Probe* seenDuringConstruction = nullptr;
};

struct Failing : TForm {
    Failing() : TForm(TFormDescription{L"Failing", 100, 100}) { throw Exception(L"no"); }
};

struct Throws : TForm {
    Throws() : TForm(TFormDescription{L"Throws", 100, 100}) {}
    void FormCreate() override { throw Exception(L"Thread creation failed"); }
};

TEST_F(ApplicationTest, CreateFormSetsTheReferenceBeforeConstructionAndClearsItOnFailure)
{
    static Probe* probe;  // a window reference outlives the application, as the program's do
    probe = nullptr;
    Probe::slot = &probe;
    app_->CreateForm(probe);
    EXPECT_EQ(Probe::seenDuringConstruction, probe);
    EXPECT_EQ(app_->MainForm, probe);  // the first window created is the main window

    Failing* failing = nullptr;
    EXPECT_THROW(app_->CreateForm(failing), Exception);
    EXPECT_EQ(failing, nullptr);
}

TEST_F(ApplicationTest, AnExceptionInTheCreationHandlerIsReportedAndTheWindowLives)
{
    static Throws* form;  // a window reference outlives the application, as the program's do
    form = nullptr;
    app_->CreateForm(form);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(::IsWindow(form->Handle()));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].caption, L"Test title");
    EXPECT_EQ(reports_[0].text, L"Thread creation failed.");
}

TEST_F(ApplicationTest, CloseRequestToTheApplicationWindow)
{
    static TestForm* about;  // a window reference outlives the application, as the program's do
    about = nullptr;
    app_->CreateForm(about);
    // While the main window is open modally, a close request ends only its loop.
    TTimer closeRequest;
    closeRequest.SetInterval(50);
    closeRequest.SetOnTimer([&](TObject* sender) {
        static_cast<TTimer*>(sender)->SetEnabled(false);
        ::SendMessageW(app_->Handle(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(about->ShowModal(), mrCancel);
    EXPECT_FALSE(app_->GetTerminated());
    // With no window open it ends the program.
    ::SendMessageW(app_->Handle(), WM_CLOSE, 0, 0);
    Pump(100);
    EXPECT_TRUE(app_->GetTerminated());
    EXPECT_EQ(::SendMessageW(app_->Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
}

}  // namespace
}  // namespace vantrel
