// The tests' shared loops, watchdog, heap counter and picture writer, run for real: every
// window test leans on them, so a fault here would show as a fault of the program.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/Forms.h"
#include "app/Thread.h"
#include "tests/support/ApplicationFixture.h"
#include "tests/support/BitmapWriter.h"
#include "tests/support/HeapCounter.h"
#include "tests/support/Later.h"
#include "tests/support/Pump.h"
#include "tests/support/Watchdog.h"

namespace vantrel::testing {
namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class Support : public ApplicationFixture {
protected:
    Support() : ApplicationFixture(L"Support test") {}
    void TearDown() override
    {
        Later::CancelAll();
        ApplicationFixture::TearDown();
    }
};

class NeverClosed : public TForm {
public:
    NeverClosed() : TForm(TFormDescription{L"Never closed", 120, 80}) {}
};

TEST_F(Support, AWatchdogEndsAModalLoopThatNothingElseCloses)
{
    static NeverClosed* form;  // a window reference outlives the application, as the program's do
    form = nullptr;
    app_->CreateForm(form);
    const Watchdog watchdog(*app_, 300);
    const auto start = Clock::now();
    form->ShowModal();
    EXPECT_TRUE(watchdog.Fired());
    EXPECT_GE(MillisecondsSince(start), 250);
    EXPECT_LT(MillisecondsSince(start), 3000);
    EXPECT_TRUE(app_->GetTerminated());
    EXPECT_FALSE(form->GetVisible());
}

TEST_F(Support, AWatchdogGoneBeforeItsTimeEndsNothing)
{
    {
        const Watchdog early(*app_, 100);
        EXPECT_FALSE(early.Fired());
    }
    // The application's own loop: it is the one that takes a quit message for the end.
    Pump(400);
    EXPECT_FALSE(app_->GetTerminated());
}

class HandingOver : public TThread {
public:
    std::atomic<bool> handedOver{false};

protected:
    void Execute() override
    {
        ::Sleep(50);
        Synchronize([this] { handedOver = true; });
    }
};

TEST_F(Support, PumpUntilRunsTheWorkersHandOversAndGivesUpAtItsTime)
{
    HandingOver worker;
    worker.Start();
    EXPECT_TRUE(PumpUntil([&] { return worker.handedOver.load(); }, 3000));
    worker.WaitFor();

    const auto start = Clock::now();
    EXPECT_FALSE(PumpUntil([] { return false; }, 200));
    EXPECT_GE(MillisecondsSince(start), 190);
    EXPECT_LT(MillisecondsSince(start), 2000);
}

TEST_F(Support, PumpForRunsTimersAndEndsEarlyOnceTerminated)
{
    int fired = 0;
    Later::After(20, [&] { ++fired; });
    Pump(200);
    EXPECT_EQ(fired, 1);

    Later::After(50, [this] { app_->Terminate(); });
    const auto start = Clock::now();
    Pump(3000);
    EXPECT_LT(MillisecondsSince(start), 1500);
}

TEST(SupportQueue, DiscardingTheQuitMessageKeepsTheOthersAndDiscardingAllLeavesNone)
{
    constexpr UINT kMark = WM_APP + 7;
    DiscardWaiting();
    ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), kMark, 1, 0));
    ::PostQuitMessage(0);
    DiscardQuit();
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, kMark, kMark, PM_NOREMOVE));
    DiscardWaiting();
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST(SupportHeap, ABlockHeldIsCountedAndItsReleaseIsToo)
{
    const long long before = HeapBytesInUse();
    auto* block = new std::vector<char>(256 * 1024, 'x');
    const long long holding = HeapBytesInUse();
    delete block;
    const long long after = HeapBytesInUse();
    EXPECT_GE(holding - before, 256 * 1024);
    EXPECT_LT(after - before, 16 * 1024);
}

std::vector<unsigned char> ReadFile(const std::wstring& path)
{
    std::vector<unsigned char> bytes;
    FILE* in = _wfopen(path.c_str(), L"rb");
    if (!in) return bytes;
    int c;
    while ((c = std::fgetc(in)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(in);
    return bytes;
}

std::uint32_t Le32(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(SupportBitmap, APictureIsWrittenBottomUpInBlueGreenRedWithRowsPaddedToFourBytes)
{
    // Three pixels across take 9 bytes, padded to 12; two rows after the 54 bytes of headers.
    const std::vector<std::uint32_t> pixels = {0x00112233, 0xFF445566, 0x00778899,   // top row
                                               0x00AABBCC, 0x00DDEEFF, 0x00010203};  // bottom row
    const std::wstring path = ArtifactPath(L"support-three-by-two.bmp");
    ASSERT_TRUE(WriteBmp(path, pixels, 3, 2));
    const std::vector<unsigned char> file = ReadFile(path);
    ASSERT_EQ(file.size(), 78u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Le32(file, 2), 78u);   // file size
    EXPECT_EQ(Le32(file, 10), 54u);  // where the pixels start
    EXPECT_EQ(Le32(file, 18), 3u);   // width
    EXPECT_EQ(Le32(file, 22), 2u);   // height, positive: bottom-up
    EXPECT_EQ(file[28], 24);         // bits per pixel
    const std::vector<unsigned char> rows(file.begin() + 54, file.end());
    const std::vector<unsigned char> expected = {0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01, 0, 0, 0,
                                                 0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x99, 0x88, 0x77, 0, 0, 0};
    EXPECT_EQ(rows, expected);

    EXPECT_FALSE(WriteBmp(path, pixels, 3, 3)) << "fewer pixels than the size";
    EXPECT_FALSE(WriteBmp(path, pixels, 0, 2));
}

}  // namespace
}  // namespace vantrel::testing
