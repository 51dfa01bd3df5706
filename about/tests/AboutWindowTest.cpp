// The about window as the program builds it (the first window, so the application's main
// window), shown modally and closed the ways a person closes it.

#include <gtest/gtest.h>

#include "tests/support/ApplicationFixture.h"
#include "tests/support/Later.h"
#include "tests/support/Watchdog.h"

#include <functional>
#include <memory>

#include "about/About.h"
#include "app/Application.h"
#include "app/VisualStyle.h"

namespace vantrel {
namespace {

using testing::Later;

class AboutWindow : public testing::ApplicationFixture {
protected:
    void SetUp() override
    {
        ApplicationFixture::SetUp();
        TStyleManager::TrySetStyle(L"Iceberg Classico");
        app_->CreateForm(AboutForm);
        ASSERT_NE(AboutForm, nullptr);
        ASSERT_EQ(app_->MainForm, AboutForm);
    }
    void TearDown() override
    {
        Later::CancelAll();
        ApplicationFixture::TearDown();
        TStyleManager::ResetStyle();
        EXPECT_TRUE(reports_.empty());
    }
};

TEST_F(AboutWindow, OkEnterAndEscapeCloseWithOkTheCloseBoxWithCancel)
{
    // Keys go where the keyboard sends them: the control with the focus, once the window has
    // it (on a busy machine the modal window may not be active yet 150 ms after it was asked
    // to show). Under Wine a focus change from the display that arrives late (the window was
    // hidden and shown again a moment ago) can take the activation away again; a person would
    // click the window then, and so does the test after half a second.
    int looks = 0;
    std::function<void(WPARAM)> pressOnceFocused = [&](WPARAM virtualKey) {
        HWND focus = ::GetFocus();
        if (!focus || ::GetAncestor(focus, GA_ROOT) != AboutForm->Handle()) {
            if (++looks % 10 == 0) ::SetForegroundWindow(AboutForm->Handle());
            Later::After(50, [&, virtualKey] { pressOnceFocused(virtualKey); });
            return;
        }
        ::PostMessageW(focus, WM_KEYDOWN, virtualKey, 1);
        ::PostMessageW(focus, WM_KEYUP, virtualKey, 0xC0000001);
    };
    auto key = [&](WPARAM virtualKey) { return [&, virtualKey] { pressOnceFocused(virtualKey); }; };
    struct Case {
        const char* name;
        std::function<void()> act;
        int result;
    };
    const Case cases[] = {
        {"&Ok", [] { ::SendMessageW(AboutForm->BitBtn1, BM_CLICK, 0, 0); }, mrOk},
        {"Enter", key(VK_RETURN), mrOk},
        // The button is the cancel button too.
        {"Escape", key(VK_ESCAPE), mrOk},
        {"close box", [] { ::PostMessageW(AboutForm->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }, mrCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Later::After(150, c.act);
        const testing::Watchdog watchdog(*app_, 4000);
        const int result = AboutForm->ShowModal();
        EXPECT_FALSE(watchdog.Fired());
        EXPECT_EQ(result, c.result);
        EXPECT_FALSE(AboutForm->GetVisible());
        Later::CancelAll();
    }
}

}  // namespace
}  // namespace vantrel
