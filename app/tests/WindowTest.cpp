// The window base and the window class, run for real: what reaches a window's handlers, what
// an exception in one of them does, and who destroys what.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Exceptions.h"
#include "app/Window.h"
#include "tests/support/ApplicationFixture.h"

namespace vantrel {
namespace {

constexpr UINT kRaise = WM_APP + 1;
constexpr UINT kAnswer = WM_APP + 2;

const TWindowClass& ProbeClass()
{
    static const TWindowClass windowClass({L"VantrelWindowTestProbe"});
    return windowClass;
}

// Records the messages it is given; kRaise throws, kAnswer answers 42.
class TProbe : public TWindow {
public:
    explicit TProbe(LRESULT failedResult = 0) : failedResult_(failedResult)
    {
        CreateHandle(ProbeClass(), 0, L"probe", WS_POPUP, 0, 0, 10, 10, nullptr);
    }
    ~TProbe() override { DestroyHandle(); }

    std::vector<UINT> seen;
    std::vector<HWND> handleWhenSeen;
    int failures = 0;

    // Lets the test destroy the window behind the object's back, as a parent does.
    HWND HandleAtDestroy = nullptr;

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(message);
        handleWhenSeen.push_back(Handle());
        switch (message) {
        case kRaise:
            throw Exception(L"Handler failed");
        case kAnswer:
            return 42;
        case WM_DESTROY:
            HandleAtDestroy = Handle();
            break;
        default:
            break;
        }
        return TWindow::OnMessage(message, wParam, lParam);
    }

    LRESULT OnFailedMessage(UINT, WPARAM, LPARAM) override
    {
        ++failures;
        return failedResult_;
    }

    LRESULT failedResult_;
};

class WindowTest : public testing::ApplicationFixture {
protected:
    WindowTest() : ApplicationFixture(L"Window test") {}
};

bool Saw(const TProbe& probe, UINT message)
{
    for (UINT seen : probe.seen)
        if (seen == message) return true;
    return false;
}

TEST_F(WindowTest, HandlersHearTheWindowFromCreationToDestructionAndTheRestGetsTheDefault)
{
    auto probe = std::make_unique<TProbe>();
    const HWND window = probe->Handle();
    ASSERT_TRUE(::IsWindow(window));
    ASSERT_FALSE(probe->seen.empty());
    // The first message already finds the object, with its handle set.
    EXPECT_EQ(probe->seen.front(), static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(probe->handleWhenSeen.front(), window);

    EXPECT_EQ(::SendMessageW(window, kAnswer, 0, 0), 42);
    // Unhandled: the platform keeps the text.
    ASSERT_TRUE(::SetWindowTextW(window, L"renamed"));
    wchar_t text[32]{};
    ::GetWindowTextW(window, text, 32);
    EXPECT_STREQ(text, L"renamed");

    probe.reset();
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(WindowTest, AWindowDestroyedWithoutItsObjectIsForgottenNotDestroyedAgain)
{
    TProbe probe;
    const HWND window = probe.Handle();
    ASSERT_TRUE(::DestroyWindow(window));
    EXPECT_EQ(probe.HandleAtDestroy, window);
    EXPECT_EQ(probe.Handle(), nullptr);
    // WM_NCDESTROY is the base's own: the object has already let go of the window.
    EXPECT_FALSE(Saw(probe, WM_NCDESTROY));
    // A message for the gone window reaches nobody.
    const std::size_t seenBefore = probe.seen.size();
    ::SendMessageW(window, kAnswer, 0, 0);
    EXPECT_EQ(probe.seen.size(), seenBefore);
}

TEST_F(WindowTest, AnExceptionInAHandlerIsReportedAndAnsweredByTheWindowsRule)
{
    struct Case {
        LRESULT failedResult;
    };
    for (const Case& c : {Case{0}, Case{7}}) {
        reports_.clear();
        TProbe probe(c.failedResult);
        EXPECT_EQ(::SendMessageW(probe.Handle(), kRaise, 0, 0), c.failedResult);
        EXPECT_EQ(probe.failures, 1);
        ASSERT_EQ(reports_.size(), 1u);
        EXPECT_EQ(reports_[0].text, L"Handler failed.");
        // The window goes on answering.
        EXPECT_EQ(::SendMessageW(probe.Handle(), kAnswer, 0, 0), 42);
        EXPECT_EQ(probe.failures, 1);
    }
}

TEST(WindowClassTest, RegistersOncePerNameAndUnregistersWhenItGoes)
{
    const wchar_t name[] = L"VantrelWindowTestOwnedClass";
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    {
        TWindowClass owned({name});
        EXPECT_NE(owned.Atom(), 0);
        EXPECT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), name, &info));
        // A second owner of the same name is refused: there is one per name.
        EXPECT_THROW(TWindowClass({name}), EOSError);
    }
    EXPECT_FALSE(::GetClassInfoExW(::GetModuleHandleW(nullptr), name, &info));
    // And it can be registered again afterwards.
    TWindowClass again({name});
    EXPECT_NE(again.Atom(), 0);
}

}  // namespace
}  // namespace vantrel
