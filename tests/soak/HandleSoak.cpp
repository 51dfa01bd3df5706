// The accelerated soak: the four windows built as the program builds them, then the tray icon,
// the sampler tick, the IP check, the chart rebuild and paint, the opening and closing of the
// windows and loopback pings by both of the echo client's paths, driven tens of thousands of
// times in one process. Wine answers 0 to
// GetGuiResources and GetProcessHandleCount, so the proof that nothing grows is the programs'
// own count: this target and everything it drives are compiled with VANTREL_COUNT_HANDLES, so
// every owning wrapper kind keeps a live count.
//
// VANTREL_SOAK_ITERATIONS overrides the number of iterations (default 10000, about three minutes under Wine
// on a quiet machine).

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "about/About.h"
#include "app/Application.h"
#include "app/Exceptions.h"
#include "app/Handles.h"
#include "app/VisualStyle.h"
#include "hosttest/IdIcmpClient.h"
#include "hosttest/Unit5.h"
#include "monitor/TrayPictures.h"
#include "monitor/Unit1.h"
#include "app/EntryOverride.h"
#include "netwatch/IdIPWatch.h"
#include "netwatch/IdIcmpService.h"
#include "netwatch/IdWinsock.h"
#include "stats/Unit3.h"
#include "tests/support/HeapCounter.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/ScriptedStatistics.h"

#ifndef VANTREL_COUNT_HANDLES
#error "the soak must be compiled with VANTREL_COUNT_HANDLES, or every count reads 0"
#endif

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vantrel {
namespace {

struct Kind {
    const char* name;
    long (*live)();
};

// What the socket module has handed out and not yet taken back, seen at its entries: the
// owners above count what they hold, these count what the platform has open, so a socket or a
// list freed outside its owner, or never freed, shows too.
struct SocketModuleCounts {
    static inline std::atomic<long> sockets{0};
    static inline std::atomic<long> addressLists{0};
    static inline std::atomic<long> socketsOpened{0};  // in all, to show the pings went through here
    static inline std::atomic<long> listsReturned{0};
    static inline decltype(ws2::socket) realSocket = nullptr;
    static inline decltype(ws2::closesocket) realClosesocket = nullptr;
    static inline decltype(ws2::GetAddrInfoW) realGetAddrInfoW = nullptr;
    static inline decltype(ws2::FreeAddrInfoW) realFreeAddrInfoW = nullptr;

    static long Sockets() { return sockets.load(); }
    static long AddressLists() { return addressLists.load(); }

    static SOCKET WSAAPI Socket(int family, int type, int protocol)
    {
        const SOCKET opened = realSocket(family, type, protocol);
        if (opened != INVALID_SOCKET) {
            ++sockets;
            ++socketsOpened;
        }
        return opened;
    }
    static int WSAAPI Closesocket(SOCKET socket)
    {
        const int result = realClosesocket(socket);
        if (result == 0) --sockets;
        return result;
    }
    static INT WSAAPI GetAddrInfo(PCWSTR name, PCWSTR service, const ADDRINFOW* hints, PADDRINFOW* result)
    {
        const INT error = realGetAddrInfoW(name, service, hints, result);
        if (error == 0 && result && *result) {
            ++addressLists;
            ++listsReturned;
        }
        return error;
    }
    static void WSAAPI FreeAddrInfo(PADDRINFOW info)
    {
        if (info) --addressLists;
        realFreeAddrInfoW(info);
    }
};

const std::array<Kind, 18> kKinds{{
    {"icon", &UniqueIcon::LiveCount},
    {"menu", &UniqueMenu::LiveCount},
    {"font", &UniqueFont::LiveCount},
    {"bitmap", &UniqueBitmap::LiveCount},
    {"brush", &UniqueBrush::LiveCount},
    {"pen", &UniquePen::LiveCount},
    {"region", &UniqueRegion::LiveCount},
    {"memory DC", &UniqueMemoryDC::LiveCount},
    {"module", &UniqueModule::LiveCount},
    {"kernel handle", &UniqueKernelHandle::LiveCount},
    {"window", &UniqueWindow::LiveCount},
    {"image list", &UniqueImageList::LiveCount},
    {"window DC", &WindowDC::LiveCount},
    {"echo service", &UniqueIcmpService::LiveCount},
    {"socket", &UniqueSocket::LiveCount},
    {"address info", &UniqueAddressInfo::LiveCount},
    {"open socket", &SocketModuleCounts::Sockets},
    {"address list", &SocketModuleCounts::AddressLists},
}};

using Counts = std::array<long, kKinds.size()>;

Counts LiveCounts()
{
    Counts counts{};
    for (std::size_t i = 0; i < kKinds.size(); ++i) counts[i] = kKinds[i].live();
    return counts;
}

void ExpectSameCounts(const Counts& before, const Counts& after, const char* when)
{
    for (std::size_t i = 0; i < kKinds.size(); ++i)
        EXPECT_EQ(before[i], after[i]) << kKinds[i].name << " handles " << when;
}

long long PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                   sizeof(counters)))
        return 0;
    return static_cast<long long>(counters.PrivateUsage);
}

int Iterations()
{
    const char* text = std::getenv("VANTREL_SOAK_ITERATIONS");
    int value = text ? std::atoi(text) : 0;
    return value > 0 ? value : 10000;
}

// A machine busy with other work runs the same iterations several times slower (every icon
// change is a message to another process). Past this budget the loop ends early, but never
// before kMinimumIterations: enough for every periodic step to come round many times and for
// a leak of the smallest heap block per iteration to show.
constexpr DWORD kTimeBudgetMs = 300000;
constexpr int kMinimumIterations = 3000;

// The raw socket refused as it is to a user without administrator rights.
SOCKET WSAAPI RefusedRawSocket(int, int, int)
{
    ::SetLastError(WSAEACCES);
    return INVALID_SOCKET;
}

// Two loopback pings through the platform's echo service and one through the raw socket, each
// path with a client of its own made and destroyed here. Returns the pings answered and the
// echo service handles that were live during the pings.
std::pair<int, long> PingLoopbackBothWays()
{
    int answered = 0;
    long serviceHandles = 0;
    auto ping = [&answered](TIdIcmpClient& client) {
        client.Ping(L"", 0);
        if (client.GetReplyStatus().ReplyStatusType == TReplyStatusTypes::rsEcho) ++answered;
    };
    {
        EntryOverride<decltype(ws2::socket)> refused(ws2::socket, &RefusedRawSocket);
        TIdIcmpClient client;
        client.SetHost(L"127.0.0.1");
        ping(client);
        ping(client);
        serviceHandles = UniqueIcmpService::LiveCount();
    }
    // A loopback address in a form only the resolver reads (the literal parser takes four parts):
    // the name goes through GetAddrInfoW, answered from the text itself, and its list is freed.
    TIdIcmpClient client;
    client.SetHost(L"127.1");
    ping(client);
    return {answered, serviceHandles};
}

// The window that the closing timer below closes.
TForm* formToClose = nullptr;

void CALLBACK CloseFormToClose(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    if (formToClose && formToClose->Handle()) ::PostMessageW(formToClose->Handle(), WM_CLOSE, 0, 0);
}

// Shows a window modally and closes it from inside its own loop, as a person clicking the
// icon and then the close box would. The modal loop shows and paints the window before the
// timer's close request comes.
void OpenAndClose(TForm& form)
{
    formToClose = &form;
    ::SetTimer(nullptr, 0, 1, CloseFormToClose);
    form.ShowModal();
    formToClose = nullptr;
}

// A memory picture the size of the chart at 100 % scaling, selected into its own DC.
class PaintTarget {
public:
    PaintTarget()
    {
        WindowDC screen(nullptr);
        dc_.reset(::CreateCompatibleDC(screen.get()));
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 521, -385, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        picture_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        old_ = ::SelectObject(dc_.get(), picture_.get());
    }
    ~PaintTarget() { ::SelectObject(dc_.get(), old_); }
    PaintTarget(const PaintTarget&) = delete;
    PaintTarget& operator=(const PaintTarget&) = delete;
    bool Valid() const noexcept { return dc_ && picture_; }
    HDC Dc() const noexcept { return dc_.get(); }

private:
    UniqueMemoryDC dc_;
    UniqueBitmap picture_;
    HGDIOBJ old_ = nullptr;
};

class Soak : public testing::ProgramFixture {
protected:
    // The platform's own notification entry: the icon's handles are among those counted.
    Soak() : ProgramFixture(&testing::ScriptedStatistics::Get, nullptr) {}

    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
        initial_ = LiveCounts();
        // Counters that grow a little on every call: each tick has traffic, so the icon blinks.
        testing::ScriptedStatistics::Grow(1000, 500, 11, 5);
        ProgramFixture::SetUp();
        if (HasFatalFailure()) return;
        // The style's handles must be among those counted.
        ASSERT_TRUE(TStyleManager::IsStyled());
        CountSocketModule();
    }

    void TearDown() override
    {
        if (Form1 && Form1->TrayIcon1) Form1->TrayIcon1->SetVisible(false);
        ProgramFixture::TearDown();
    }

    // The four entries replaced by counting wrappers around the platform's functions. The
    // entries start at binders that store the platform's function in the entry at their first
    // call, which would take a wrapper's place: they are bound first, by a socket opened and
    // closed and a numeric look-up (no name leaves the machine), before the wrappers go in.
    void CountSocketModule()
    {
        {
            UniqueSocket probe(ws2::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
            ASSERT_TRUE(probe) << "no socket: " << ws2::WSAGetLastError();
            ADDRINFOW hints{};
            hints.ai_family = AF_INET;
            hints.ai_flags = AI_NUMERICHOST;
            UniqueAddressInfo list;
            ASSERT_EQ(ws2::GetAddrInfoW(L"127.0.0.1", nullptr, &hints, list.put()), 0);
            ASSERT_TRUE(list);
        }
        SocketModuleCounts::realSocket = ws2::socket;
        SocketModuleCounts::realClosesocket = ws2::closesocket;
        SocketModuleCounts::realGetAddrInfoW = ws2::GetAddrInfoW;
        SocketModuleCounts::realFreeAddrInfoW = ws2::FreeAddrInfoW;
        socket_ = std::make_unique<EntryOverride<decltype(ws2::socket)>>(ws2::socket, &SocketModuleCounts::Socket);
        closesocket_ = std::make_unique<EntryOverride<decltype(ws2::closesocket)>>(ws2::closesocket,
                                                                                   &SocketModuleCounts::Closesocket);
        lookup_ = std::make_unique<EntryOverride<decltype(ws2::GetAddrInfoW)>>(ws2::GetAddrInfoW,
                                                                               &SocketModuleCounts::GetAddrInfo);
        free_ = std::make_unique<EntryOverride<decltype(ws2::FreeAddrInfoW)>>(ws2::FreeAddrInfoW,
                                                                              &SocketModuleCounts::FreeAddrInfo);
    }

    // Put back when the fixture goes, after TearDown has taken the program down.
    std::unique_ptr<EntryOverride<decltype(ws2::socket)>> socket_;
    std::unique_ptr<EntryOverride<decltype(ws2::closesocket)>> closesocket_;
    std::unique_ptr<EntryOverride<decltype(ws2::GetAddrInfoW)>> lookup_;
    std::unique_ptr<EntryOverride<decltype(ws2::FreeAddrInfoW)>> free_;
    Counts initial_{};
};

TEST_F(Soak, NothingGrowsOverTensOfThousandsOfTicksChecksRebuildsAndPaints)
{
    auto target = std::make_unique<PaintTarget>();
    ASSERT_TRUE(target->Valid());
    const RECT bounds{0, 0, 521, 385};

    int index = 0;
    int ticks = 0, iconChanges = 0, checks = 0, rebuilds = 0, paints = 0, openings = 0, rescales = 0, pings = 0,
        answers = 0;
    long serviceHandlesDuringPings = 0;
    auto iteration = [&](int i) {
        Form1->Timer1Timer(nullptr);
        ++ticks;
        index ^= 1;
        Form1->TrayIcon1->SetIconIndex(index);
        ++iconChanges;
        if (i % 2 == 0) {
            // The IP watcher's check with a fresh enumeration (about 10 ms under Wine, hence
            // every other time), then the watcher thread's verdict.
            Form1->IdIPWatch1->ForceCheck();
            Form1->CheckConnection();
            ++checks;
        }
        Form3->RebuildChart(false);
        ++rebuilds;
        if (i % 4 == 0) {
            Form3->Chart1->Draw(target->Dc(), bounds);
            ++paints;
        }
        if (i % 100 == 50) {
            // The notification area changes scale and back: the faces are drawn anew each
            // time, and the old ones must go.
            RECT suggested{0, 0, 1, 1};
            const UINT dpi = (i / 100) % 2 ? 144 : 96;
            ::SendMessageW(Form1->TrayIcon1->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                           reinterpret_cast<LPARAM>(&suggested));
            ++rescales;
        }
        if (i % 500 == 250) {
            // The statistics window paints its chart on the screen (its back buffer made
            // anew), the host test window opens and closes.
            OpenAndClose(*Form3);
            OpenAndClose(*HostTestForm);
            openings += 2;
        }
        if (i % 100 == 50) {
            auto [answered, serviceHandles] = PingLoopbackBothWays();
            pings += 3;
            answers += answered;
            serviceHandlesDuringPings = std::max(serviceHandlesDuringPings, serviceHandles);
        }
        // The background checks, timers and hand-overs run between the driven calls.
        app_->ProcessMessages();
    };

    const int warmUp = 1000;
    for (int i = 0; i < warmUp; ++i) iteration(i);
    const Counts afterWarmUp = LiveCounts();
    const long long heapAfterWarmUp = testing::HeapBytesInUse();
    const long long privateAfterWarmUp = PrivateBytes();

    // The counts are real: the program holds icons, fonts, bitmaps, a DC and kernel handles.
    EXPECT_GT(afterWarmUp[0], 0) << "no live icon: are the counts compiled in?";
    EXPECT_GT(afterWarmUp[2], 0) << "no live font";
    EXPECT_GT(afterWarmUp[9], 0) << "no live kernel handle";
    EXPECT_EQ(serviceHandlesDuringPings, 1) << "the echo service's handle is not counted while it is open";
    EXPECT_GT(SocketModuleCounts::socketsOpened.load(), 0) << "the raw pings opened no socket through the counted entry";
    EXPECT_GT(SocketModuleCounts::listsReturned.load(), 0) << "the resolved ping got no address list through the counted entry";

    const int iterations = Iterations();
    const int minimum = std::min(iterations, kMinimumIterations);
    const DWORD started = ::GetTickCount();
    int done = 0;
    for (; done < iterations; ++done) {
        if (done >= minimum && ::GetTickCount() - started >= kTimeBudgetMs) break;
        iteration(warmUp + done);
    }
    const DWORD elapsed = ::GetTickCount() - started;

    const Counts afterLoop = LiveCounts();
    const long long heapAfterLoop = testing::HeapBytesInUse();
    const long long privateAfterLoop = PrivateBytes();

    std::printf("%d of %d iterations in %lu ms; with the warm-up: %d ticks, %d icon changes, %d IP checks, %d rebuilds, %d paints, "
                "%d windows opened and closed, %d notification-area scale changes, %d loopback pings (%d answered)\n",
                done, iterations, static_cast<unsigned long>(elapsed), ticks, iconChanges, checks, rebuilds, paints,
                openings, rescales, pings, answers);
    for (std::size_t i = 0; i < kKinds.size(); ++i)
        std::printf("  %-14s live: start %ld, after warm-up %ld, after the loop %ld\n", kKinds[i].name, initial_[i],
                    afterWarmUp[i], afterLoop[i]);
    std::printf("  heap in use: after warm-up %lld, after the loop %lld bytes\n", heapAfterWarmUp, heapAfterLoop);
    std::printf("  private bytes: after warm-up %lld, after the loop %lld\n", privateAfterWarmUp, privateAfterLoop);

    ExpectSameCounts(afterWarmUp, afterLoop, "after the loop, against after the warm-up");
    // The history is a fixed ring and the lists are refilled in place: the heap may move by
    // a few allocations that are in flight, not by anything per iteration (one leaked block of
    // the smallest size, 16 bytes, per iteration would be 48 KB at the fewest iterations run).
    EXPECT_LT(heapAfterLoop - heapAfterWarmUp, 16 * 1024);
    // The process's private bytes include the platform's own caches (fonts, X resources),
    // which settle during the warm-up; allow a small band over them.
    if (privateAfterWarmUp > 0) {
        EXPECT_LT(privateAfterLoop - privateAfterWarmUp, 1024 * 1024);
    }
    EXPECT_EQ(answers, pings) << "loopback pings that got no echo";
    EXPECT_TRUE(reports_.empty()) << "error reports during the soak, the first: "
                                  << (reports_.empty() ? std::string() : ToUtf8(reports_.front().caption + L": " + reports_.front().text));

    // The whole program taken down: every count back to where it was before it started.
    target.reset();
    TearDown();
    ExpectSameCounts(initial_, LiveCounts(), "after the windows are destroyed, against before they were made");
}

}  // namespace
}  // namespace vantrel
