// The other windows disabled for a scope, as under a modal window or an error box: which
// windows, and what is left after.

#include <gtest/gtest.h>

#include "tests/support/ApplicationFixture.h"
#include "tests/support/Later.h"

#include <stdexcept>
#include <string>

#include "app/Application.h"
#include "app/Forms.h"
#include "app/Handles.h"

namespace vantrel {
namespace {

// A top-level window of this thread; shown, and enabled unless asked otherwise.
UniqueWindow TopLevel(bool shown, bool enabled = true)
{
    UniqueWindow window(::CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP | (shown ? WS_VISIBLE : 0), 0, 0, 20, 20,
                                          nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    EXPECT_TRUE(window);
    if (!enabled) ::EnableWindow(window.get(), FALSE);
    return window;
}

bool Enabled(HWND window)
{
    return ::IsWindowEnabled(window) != FALSE;
}

TEST(DisabledWindows, TheShownEnabledTopLevelWindowsExceptTheKeptOneAreDisabledForTheScopeOnly)
{
    const UniqueWindow kept = TopLevel(true);
    const UniqueWindow shown = TopLevel(true);
    const UniqueWindow hidden = TopLevel(false);
    const UniqueWindow alreadyDisabled = TopLevel(true, false);
    UniqueWindow destroyedMeanwhile = TopLevel(true);
    // A form's control: it goes with its window, and is not disabled on its own.
    const HWND child = ::CreateWindowExW(0, L"STATIC", L"child", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, shown.get(),
                                         nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    UniqueWindow shownLater;
    {
        const TDisabledWindows disabled(kept.get());
        EXPECT_TRUE(Enabled(kept.get()));
        EXPECT_FALSE(Enabled(shown.get()));
        EXPECT_FALSE(Enabled(destroyedMeanwhile.get()));
        EXPECT_FALSE(Enabled(alreadyDisabled.get()));
        EXPECT_TRUE(Enabled(hidden.get())) << "a hidden window (the icon's, a timer's) keeps working";
        EXPECT_TRUE(::IsWindowEnabled(child)) << "a child window is left to its parent";

        destroyedMeanwhile.reset();
        // Not there when the scope began: not the scope's to enable.
        shownLater = TopLevel(true, false);
    }
    EXPECT_TRUE(Enabled(kept.get()));
    EXPECT_TRUE(Enabled(shown.get()));
    EXPECT_TRUE(Enabled(hidden.get()));
    EXPECT_FALSE(Enabled(alreadyDisabled.get())) << "disabled before the scope, disabled after";
    EXPECT_FALSE(Enabled(shownLater.get()));
    EXPECT_TRUE(::IsWindowEnabled(child));
}

TEST(DisabledWindows, AnotherThreadsWindowsAreLeftAlone)
{
    struct Shared {
        HWND window = nullptr;
        UniqueKernelHandle created{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        UniqueKernelHandle finish{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    } shared;
    struct Body {
        static DWORD WINAPI Run(void* parameter)
        {
            auto* shared = static_cast<Shared*>(parameter);
            UniqueWindow window = TopLevel(true);
            shared->window = window.get();
            ::SetEvent(shared->created.get());
            ::WaitForSingleObject(shared->finish.get(), 10000);
            return 0;
        }
    };
    UniqueKernelHandle thread(::CreateThread(nullptr, 0, Body::Run, &shared, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(::WaitForSingleObject(shared.created.get(), 10000), WAIT_OBJECT_0);
    const UniqueWindow ours = TopLevel(true);
    {
        const TDisabledWindows disabled(nullptr);
        EXPECT_FALSE(Enabled(ours.get()));
        EXPECT_TRUE(Enabled(shared.window));
    }
    ::SetEvent(shared.finish.get());
    ::WaitForSingleObject(thread.get(), 10000);
}

// The two users: a modal window and the error box disable the same windows.
class DisabledUnderModalTest : public testing::ApplicationFixture {
protected:
    DisabledUnderModalTest() : ApplicationFixture(L"Disabled windows test") {}
    void TearDown() override
    {
        testing::Later::CancelAll();
        ApplicationFixture::TearDown();
    }
};

class ProbeForm : public TForm {
public:
    ProbeForm() : TForm(TFormDescription{L"Probe form", 120, 60}) {}
};

struct Seen {
    bool otherEnabled = true;
    bool modalEnabled = false;
    bool hiddenEnabled = false;
    bool looked = false;
};

TEST_F(DisabledUnderModalTest, AModalWindowDisablesTheOtherShownWindowsUntilItCloses)
{
    ProbeForm other;
    ProbeForm modal;
    other.Show();
    const UniqueWindow hidden = TopLevel(false);
    Seen seen;
    testing::Later::After(200, [&] {
        seen = {Enabled(other.Handle()), Enabled(modal.Handle()), Enabled(hidden.get()), true};
        modal.SetModalResult(mrOk);
    });
    EXPECT_EQ(modal.ShowModal(), mrOk);
    ASSERT_TRUE(seen.looked);
    EXPECT_FALSE(seen.otherEnabled);
    EXPECT_TRUE(seen.modalEnabled);
    EXPECT_TRUE(seen.hiddenEnabled);
    EXPECT_TRUE(Enabled(other.Handle()));
}

TEST_F(DisabledUnderModalTest, TheErrorBoxDisablesTheOtherShownWindowsUntilItCloses)
{
    // One of the two is active and owns the box (which disables its owner itself); the other
    // is disabled for the box.
    const UniqueWindow hidden = TopLevel(false);
    const UniqueWindow disabledBefore = TopLevel(true, false);
    ProbeForm first;
    ProbeForm second;
    first.Show();
    second.Show();
    bool looked = false;
    bool firstEnabled = true, secondEnabled = true, hiddenEnabled = false;
    testing::Later::After(300, [&] {
        firstEnabled = Enabled(first.Handle());
        secondEnabled = Enabled(second.Handle());
        hiddenEnabled = Enabled(hidden.get());
        looked = true;
        HWND box = ::FindWindowW(L"#32770", L"Disabled windows test");
        if (box) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    app_->ErrorReportHook = nullptr;  // the box itself, not the fixture's record of it
    app_->ShowException(std::runtime_error("probe failure"));
    ASSERT_TRUE(looked);
    EXPECT_FALSE(firstEnabled);
    EXPECT_FALSE(secondEnabled);
    EXPECT_TRUE(hiddenEnabled);
    EXPECT_TRUE(Enabled(first.Handle()));
    EXPECT_TRUE(Enabled(second.Handle()));
    EXPECT_FALSE(Enabled(disabledBefore.get()));
}

}  // namespace
}  // namespace vantrel
