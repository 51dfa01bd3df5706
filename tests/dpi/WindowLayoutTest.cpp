// The four windows as the program builds them, measured at the display's scale: every control
// with text lies inside its window's client area, every label's text fits the label in the
// label's own font, every button's caption fits its button, and the about window's centred
// lines stand in its middle. Then the scale changes under the windows as Windows changes it
// when a window moves to a monitor of another scale (WM_DPICHANGED, sent here because Wine
// sends none), and the same holds at the new scale, with fonts of the new size, and again
// after the way back.
//
// tests/dpi/layout-at-dpi.sh runs this at 96, 120, 144 and 192 dpi, each in a Wine prefix of
// its own whose LogPixels say so; a picture of each window at each scale is kept.

#include <gtest/gtest.h>


#include <cstdlib>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "about/About.h"
#include "app/Application.h"
#include "app/Exceptions.h"
#include "app/Handles.h"
#include "app/VisualStyle.h"
#include "hosttest/Unit5.h"
#include "monitor/TrayIcon.h"
#include "monitor/Unit1.h"
#include "stats/Unit3.h"
#include "stats/tests/ChartTestSupport.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/Pump.h"
#include "tests/support/BitmapWriter.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vantrel {
namespace {

std::wstring TextOf(HWND window)
{
    wchar_t text[512] = L"";
    const int length = ::GetWindowTextW(window, text, 512);
    return std::wstring(text, static_cast<std::size_t>(length));
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = L"";
    ::GetClassNameW(window, name, 64);
    return name;
}

std::string Narrow(const std::wstring& text)
{
    return ToUtf8(text);
}

// A control's rectangle in its parent's client coordinates.
RECT PlaceOf(HWND control)
{
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The size of `text` in the control's own font, measured as a static or a button draws it.
SIZE TextExtent(HWND control, const std::wstring& text, UINT format)
{
    UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    SelectObjectRestorer selected(dc.get(), font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(SYSTEM_FONT));
    RECT bounds{0, 0, 0, 0};
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &bounds, DT_CALCRECT | DT_SINGLELINE | format);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

int FontHeightOf(HWND control)
{
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    if (!font || !::GetObjectW(font, sizeof description, &description)) return 0;
    return description.lfHeight;
}

std::vector<HWND> ChildrenOf(HWND window)
{
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// What the window description gives each window that is ever shown.
struct ShownWindow {
    const char* name;
    TForm* (*form)();
    SIZE client96;
};

const ShownWindow kShownWindows[] = {
    {"about", [] { return static_cast<TForm*>(AboutForm); }, {261, 289}},
    {"hosttest", [] { return static_cast<TForm*>(HostTestForm); }, {487, 205}},
    {"statistics", [] { return static_cast<TForm*>(Form3); }, {537, 468}},
};

class WindowLayout : public testing::ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        if (HasFatalFailure()) return;
        // The scale the script set up, so that a prefix that ignored it cannot pass for it.
        if (const char* expected = std::getenv("VANTREL_EXPECTED_DPI")) {
            ASSERT_EQ(Form3->Dpi(), static_cast<UINT>(std::atoi(expected)));
        }
        startDpi_ = Form3->Dpi();
    }

    void TearDown() override
    {
        ProgramFixture::TearDown();
        EXPECT_TRUE(reports_.empty());
    }

    // Every check of the window as it stands; `dpi` is the scale it should be laid out for.
    static void ExpectLaidOut(TForm& form, UINT dpi)
    {
        RECT client{};
        ::GetClientRect(form.Handle(), &client);
        const auto scaled = [dpi](int value) { return ::MulDiv(value, static_cast<int>(dpi), 96); };
        for (HWND control : ChildrenOf(form.Handle())) {
            const std::wstring className = ClassOf(control);
            const std::wstring text = TextOf(control);
            const RECT place = PlaceOf(control);
            SCOPED_TRACE(Narrow(className + L" '" + text + L"'"));
            EXPECT_GE(place.left, 0);
            EXPECT_GE(place.top, 0);
            EXPECT_LE(place.right, client.right);
            EXPECT_LE(place.bottom, client.bottom);
            const SIZE size{place.right - place.left, place.bottom - place.top};
            if (text.empty()) continue;
            if (className == L"Static") {
                const SIZE extent = TextExtent(control, text, DT_NOPREFIX);
                EXPECT_LE(extent.cx, size.cx) << "the label's text is wider than the label";
                EXPECT_LE(extent.cy, size.cy) << "the label's text is taller than the label";
            } else if (className == L"Button") {
                // The caption, the style's tick beside the statistics window's OK, and room for
                // the focus ring on either side.
                const SIZE extent = TextExtent(control, text, 0);
                const bool tick = &form == Form3 && control == Form3->BitBtn1;
                const int glyph = tick && TStyleManager::IsStyled() ? scaled(12) + scaled(5) : 0;
                EXPECT_LE(extent.cx + glyph + 2 * scaled(3), size.cx) << "the caption does not fit its button";
                EXPECT_LE(extent.cy, size.cy) << "the caption is taller than its button";
            }
        }
        if (&form == AboutForm) {
            // The product, rights, web and support lines are centred across the window.
            for (HWND line : {AboutForm->Label1.Handle(), AboutForm->Label2.Handle(), AboutForm->Label3,
                              AboutForm->Label4.Handle()}) {
                const RECT place = PlaceOf(line);
                SCOPED_TRACE(Narrow(TextOf(line)));
                EXPECT_LE(std::abs((place.left + place.right) - client.right), 4) << "off centre by "
                                                                                   << ((place.left + place.right) - client.right) / 2.0
                                                                                   << " px";
            }
            EXPECT_EQ(TextOf(AboutForm->Label1.Handle()), L"Vantrel - Network Online Monitor");
        }
    }

    // Shows the window, keeps a picture of it as the screen shows it, and hides it again.
    void Picture(TForm& form, const std::string& name)
    {
        RECT frame{};
        ::GetWindowRect(form.Handle(), &frame);
        ::RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        testing::RunMessagesFor(300);
        test::TBitmap picture(frame.right - frame.left, frame.bottom - frame.top);
        {
            WindowDC dc(form.Handle(), WindowDC::Whole);
            ::BitBlt(picture.DC(), 0, 0, picture.Width(), picture.Height(), dc.get(), 0, 0, SRCCOPY);
        }
        const std::wstring file = L"layout-" + std::to_wstring(startDpi_) + L"dpi-" +
                                  std::wstring(name.begin(), name.end()) + L".bmp";
        EXPECT_TRUE(picture.SaveBmp(testing::ArtifactPath(file.c_str())));
    }

    UINT startDpi_ = 96;
};

TEST_F(WindowLayout, EveryWindowFitsItsTextsAtTheDisplaysScale)
{
    // The monitor window is never shown, and has nothing to show.
    {
        SCOPED_TRACE("monitor");
        EXPECT_EQ(Form1->Dpi(), startDpi_);
        ExpectLaidOut(*Form1, startDpi_);
    }
    for (const ShownWindow& shown : kShownWindows) {
        SCOPED_TRACE(shown.name);
        TForm& form = *shown.form();
        EXPECT_EQ(form.Dpi(), startDpi_);
        // Hidden, a window keeps the captions it was given; it is laid out as it opens.
        form.Show();
        RECT client{};
        ::GetClientRect(form.Handle(), &client);
        EXPECT_EQ(client.right, ::MulDiv(shown.client96.cx, static_cast<int>(startDpi_), 96));
        EXPECT_EQ(client.bottom, ::MulDiv(shown.client96.cy, static_cast<int>(startDpi_), 96));
        ExpectLaidOut(form, startDpi_);
        Picture(form, shown.name);
        form.Hide();
    }
}

TEST_F(WindowLayout, AScaleChangeLaysEveryControlOutAgainWithFontsOfTheNewSize)
{
    const UINT otherDpi = startDpi_ == 192 ? 96 : 192;
    for (const ShownWindow& shown : kShownWindows) {
        SCOPED_TRACE(shown.name);
        TForm& form = *shown.form();
        form.Show();
        std::map<HWND, RECT> before;
        for (HWND control : ChildrenOf(form.Handle())) before[control] = PlaceOf(control);

        for (const UINT dpi : {otherDpi, startDpi_}) {
            SCOPED_TRACE(dpi);
            const auto scaled = [dpi](int value) { return ::MulDiv(value, static_cast<int>(dpi), 96); };
            // The rectangle Windows suggests: the window grown or shrunk, here moved to the
            // screen's top-left corner so that its picture shows all of it.
            RECT suggested{0, 0, scaled(static_cast<int>(shown.client96.cx)), scaled(static_cast<int>(shown.client96.cy))};
            ::AdjustWindowRectEx(&suggested, static_cast<DWORD>(::GetWindowLongPtrW(form.Handle(), GWL_STYLE)), FALSE,
                                 static_cast<DWORD>(::GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE)));
            ::OffsetRect(&suggested, -suggested.left, -suggested.top);
            ::SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));

            EXPECT_EQ(form.Dpi(), dpi);
            RECT now{};
            ::GetWindowRect(form.Handle(), &now);
            EXPECT_TRUE(::EqualRect(&now, &suggested)) << "the window did not take the suggested rectangle";
            RECT client{};
            ::GetClientRect(form.Handle(), &client);
            EXPECT_EQ(client.right, scaled(static_cast<int>(shown.client96.cx)));
            EXPECT_EQ(client.bottom, scaled(static_cast<int>(shown.client96.cy)));
            ExpectLaidOut(form, dpi);

            for (HWND control : ChildrenOf(form.Handle())) {
                SCOPED_TRACE(Narrow(ClassOf(control) + L" '" + TextOf(control) + L"'"));
                // The chart draws with fonts of its own (checked below), the logo has no text.
                if (ClassOf(control) == L"VantrelChart") continue;
                if (control == AboutForm->Image1) continue;
                const int expected = control == AboutForm->Label3 ? -scaled(13) : scaled(-11);
                EXPECT_EQ(FontHeightOf(control), expected) << "the control kept a font of the old size";
            }
            if (&form == Form3) {
                // The chart, its own kind of control, follows too: its size and its fonts.
                const RECT chart = PlaceOf(Form3->Chart1->Handle());
                EXPECT_EQ(chart.left, scaled(8));
                EXPECT_EQ(chart.top, scaled(8));
                EXPECT_EQ(chart.right - chart.left, scaled(521));
                EXPECT_EQ(chart.bottom - chart.top, scaled(385));
                EXPECT_EQ(Form3->Chart1->Dpi(), dpi);
            }
            if (&form == HostTestForm) {
                EXPECT_EQ(::SendMessageW(HostTestForm->ListBox1, LB_GETITEMHEIGHT, 0, 0), scaled(13));
            }
            if (dpi == otherDpi) {
                Picture(form, std::string(shown.name) + "-at-" + std::to_string(dpi) + "dpi");
            }
        }
        // The way back leaves every control where it was.
        for (HWND control : ChildrenOf(form.Handle())) {
            SCOPED_TRACE(Narrow(ClassOf(control) + L" '" + TextOf(control) + L"'"));
            const RECT after = PlaceOf(control);
            EXPECT_TRUE(::EqualRect(&after, &before[control]));
        }
        form.Hide();
    }
}

}  // namespace
}  // namespace vantrel
