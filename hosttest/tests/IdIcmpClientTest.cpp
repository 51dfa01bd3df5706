// The echo client against a scripted network: the socket entries of the stack and the
// client's clocks are replaced for each test, everything else runs as in the program.

#include "hosttest/IdIcmpClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "hosttest/IcmpClock.h"
#include "hosttest/tests/IcmpFixtures.h"
#include "app/EntryOverride.h"
#include "netwatch/IdWinsock.h"
#include "app/PlatformVersion.h"

namespace vantrel {
namespace {

using namespace icmp::fixtures;

constexpr SOCKET kFirstSocket = 0x500;
constexpr LONGLONG kFrequency = 10'000'000;  // counts per second, as on most systems
constexpr ULONGLONG kTick = 0x0102030405060708ull;
const std::vector<std::uint8_t> kUs = {198, 18, 0, 1};
const std::vector<std::uint8_t> kPeer = {198, 18, 0, 2};
const std::vector<std::uint8_t> kRouter = {198, 18, 3, 2};

std::uint16_t OurIdentifier()
{
    return static_cast<std::uint16_t>(::GetCurrentProcessId() & 0xFFFF);
}

// What the scripted network saw and what it will do. One instance per test (the entries are
// plain function pointers, so they reach it through a static).
struct Network {
    struct Sent {
        SOCKET socket;
        Bytes bytes;
        sockaddr_in to;
    };
    struct Arrival {
        LONGLONG delay;  // counts after the previous arrival (or after sending)
        Bytes datagram;
    };

    LONGLONG now = 1'000'000;
    int opened = 0;
    int closed = 0;
    std::vector<SOCKET> open;
    std::vector<std::string> calls;  // "socket", "setsockopt", "sendto", "shutdown", "closesocket"
    std::vector<int> ttlSet;
    std::vector<Sent> sent;
    std::vector<timeval> selectTimeouts;
    std::deque<Arrival> arrivals;
    std::vector<std::wstring> lookups;
    // Answers a request just sent: queues the datagrams that will arrive.
    std::function<void(const Bytes& request)> responder;

    int lastError = 0;
    int socketError = 0, setsockoptError = 0, selectError = 0, recvfromError = 0, lookupError = 0;
    std::optional<int> sendtoError;
    int sendtoShort = 0;  // bytes to hold back
    std::optional<int> recvfromResult;  // overrides the length reported
    std::vector<std::uint8_t> lookupAddress = {198, 18, 0, 9};

    // The echo service: what it was asked and how it answers.
    struct ServiceCall {
        HANDLE handle;
        IPAddr destination;
        Bytes data;
        UCHAR ttl;
        DWORD replySize;
        DWORD timeout;
    };
    struct ServiceAnswer {
        DWORD returned = 1;      // replies in the buffer
        DWORD lastError = 0;     // for a call that returns 0
        ULONG status = 0;        // IP_SUCCESS, IP_DEST_HOST_UNREACHABLE...
        std::vector<std::uint8_t> from = {198, 18, 0, 2};
        UCHAR ttl = 63;
        LONGLONG takes = 0;      // counts the call lasts
        bool echoData = true;    // a reply carries the request data back
    };
    bool serviceAllowed = false;  // a test that expects the raw socket only fails at any use
    int serviceOpened = 0;
    std::vector<HANDLE> serviceClosed;
    std::vector<ServiceCall> serviceCalls;
    std::deque<ServiceAnswer> serviceAnswers;  // the default answer when empty: an echo after 30 ms
    bool serviceCreateFails = false;

    static inline Network* current = nullptr;
};

Network& Net()
{
    return *Network::current;
}

SOCKET WSAAPI FakeSocket(int family, int type, int protocol)
{
    Net().calls.push_back("socket");
    if (family != AF_INET || type != SOCK_RAW || protocol != 1) ADD_FAILURE() << "socket " << family << " " << type << " " << protocol;
    if (Net().socketError) {
        Net().lastError = Net().socketError;
        return INVALID_SOCKET;
    }
    SOCKET s = kFirstSocket + static_cast<SOCKET>(Net().opened++);
    Net().open.push_back(s);
    return s;
}

int WSAAPI FakeSetsockopt(SOCKET, int level, int option, const char* value, int length)
{
    Net().calls.push_back("setsockopt");
    EXPECT_EQ(level, IPPROTO_IP);
    EXPECT_EQ(option, IP_TTL);
    EXPECT_EQ(length, static_cast<int>(sizeof(int)));
    if (Net().setsockoptError) {
        Net().lastError = Net().setsockoptError;
        return SOCKET_ERROR;
    }
    Net().ttlSet.push_back(*reinterpret_cast<const int*>(value));
    return 0;
}

int WSAAPI FakeSendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength)
{
    Net().calls.push_back("sendto");
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(toLength, static_cast<int>(sizeof(sockaddr_in)));
    if (Net().sendtoError) {
        Net().lastError = *Net().sendtoError;
        return SOCKET_ERROR;
    }
    Bytes bytes(buffer, buffer + length);
    Net().sent.push_back({s, bytes, *reinterpret_cast<const sockaddr_in*>(to)});
    if (Net().responder) Net().responder(bytes);
    return length - Net().sendtoShort;
}

int WSAAPI FakeSelect(int, fd_set* readable, fd_set* writable, fd_set* failed, timeval* timeout)
{
    EXPECT_TRUE(readable && readable->fd_count == 1 && !writable && !failed && timeout);
    Net().selectTimeouts.push_back(*timeout);
    if (Net().selectError) {
        Net().lastError = Net().selectError;
        return SOCKET_ERROR;
    }
    LONGLONG limit = (timeout->tv_sec * 1000000LL + timeout->tv_usec) * (kFrequency / 1000000);
    if (Net().arrivals.empty() || Net().arrivals.front().delay > limit) {
        // Nothing in time: the wait takes the whole time-out.
        if (!Net().arrivals.empty()) Net().arrivals.front().delay -= limit;
        Net().now += limit;
        return 0;
    }
    Net().now += Net().arrivals.front().delay;
    Net().arrivals.front().delay = 0;
    return 1;
}

int WSAAPI FakeRecvfrom(SOCKET, char* buffer, int length, int flags, sockaddr* from, int* fromLength)
{
    EXPECT_EQ(flags, 0);
    EXPECT_TRUE(from && fromLength && *fromLength >= static_cast<int>(sizeof(sockaddr_in)));
    if (Net().recvfromError) {
        Net().lastError = Net().recvfromError;
        return SOCKET_ERROR;
    }
    Bytes datagram = std::move(Net().arrivals.front().datagram);
    Net().arrivals.pop_front();
    int copied = std::min(length, static_cast<int>(datagram.size()));
    std::copy_n(datagram.begin(), copied, buffer);
    return Net().recvfromResult.value_or(copied);
}

int WSAAPI FakeShutdown(SOCKET s, int how)
{
    Net().calls.push_back("shutdown");
    EXPECT_EQ(how, SD_SEND);
    EXPECT_FALSE(Net().open.empty() || Net().open.back() != s);
    return 0;
}

int WSAAPI FakeClosesocket(SOCKET s)
{
    Net().calls.push_back("closesocket");
    std::erase(Net().open, s);
    ++Net().closed;
    Net().arrivals.clear();  // whatever was still queued on the socket goes with it
    return 0;
}

int WSAAPI FakeWSAGetLastError()
{
    return Net().lastError;
}

INT WSAAPI FakeGetAddrInfoW(PCWSTR name, PCWSTR service, const ADDRINFOW* hints, PADDRINFOW* result)
{
    Net().lookups.push_back(name);
    EXPECT_EQ(service, nullptr);
    EXPECT_EQ(hints->ai_family, AF_INET);
    EXPECT_EQ(hints->ai_socktype, SOCK_STREAM);
    if (Net().lookupError) return Net().lookupError;
    auto* address = new sockaddr_in{};
    address->sin_family = AF_INET;
    std::copy_n(Net().lookupAddress.begin(), 4, reinterpret_cast<std::uint8_t*>(&address->sin_addr));
    auto* info = new ADDRINFOW{};
    info->ai_family = AF_INET;
    info->ai_addrlen = sizeof(sockaddr_in);
    info->ai_addr = reinterpret_cast<sockaddr*>(address);
    *result = info;
    return 0;
}

void WSAAPI FakeFreeAddrInfoW(PADDRINFOW info)
{
    delete reinterpret_cast<sockaddr_in*>(info->ai_addr);
    delete info;
}

LONGLONG Ms(LONGLONG milliseconds)
{
    return milliseconds * (kFrequency / 1000);
}

const HANDLE kServiceHandle = reinterpret_cast<HANDLE>(0x7A0);

HANDLE WINAPI FakeIcmpCreateFile()
{
    if (!Network::current) return INVALID_HANDLE_VALUE;  // the client outlived its test's network
    EXPECT_TRUE(Net().serviceAllowed) << "the echo service opened where the raw socket should serve";
    if (Net().serviceCreateFails) {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    ++Net().serviceOpened;
    return kServiceHandle;
}

DWORD WINAPI FakeIcmpSendEcho2(HANDLE handle, HANDLE event, FARPROC apc, PVOID context, IPAddr destination,
                               LPVOID data, WORD size, PIP_OPTION_INFORMATION options, LPVOID replyBuffer,
                               DWORD replySize, DWORD timeout)
{
    EXPECT_TRUE(Net().serviceAllowed) << "an echo through the service where the raw socket should serve";
    // The synchronous form: no event, no completion routine.
    EXPECT_EQ(event, nullptr);
    EXPECT_EQ(apc, nullptr);
    EXPECT_EQ(context, nullptr);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    Net().serviceCalls.push_back({handle, destination, Bytes(bytes, bytes + size), options ? options->Ttl : UCHAR{0},
                                  replySize, timeout});
    Network::ServiceAnswer answer;
    answer.takes = Ms(30);
    if (!Net().serviceAnswers.empty()) {
        answer = Net().serviceAnswers.front();
        Net().serviceAnswers.pop_front();
    }
    Net().now += answer.takes;
    // The documented least: a reply record, the request data and 8 bytes for an ICMP error.
    if (replySize < sizeof(ICMP_ECHO_REPLY) + size + 8) {
        ::SetLastError(IP_BUF_TOO_SMALL);
        return 0;
    }
    auto* reply = static_cast<ICMP_ECHO_REPLY*>(replyBuffer);
    std::memset(replyBuffer, 0, replySize);
    if (answer.returned == 0) {
        reply->Status = answer.lastError;
        ::SetLastError(answer.lastError);
        return 0;
    }
    std::memcpy(&reply->Address, answer.from.data(), 4);
    reply->Status = answer.status;
    reply->RoundTripTime = 16;  // the service's own figure, in system ticks: not the one to take
    reply->Options.Ttl = answer.ttl;
    reply->Data = reply + 1;
    if (answer.echoData && answer.status == IP_SUCCESS) {
        reply->DataSize = size;
        std::memcpy(reply->Data, data, size);
    }
    return answer.returned;
}

WINBOOL WINAPI FakeIcmpCloseHandle(HANDLE handle)
{
    if (Network::current) Net().serviceClosed.push_back(handle);
    return TRUE;
}

BOOL WINAPI FakeCounter(LARGE_INTEGER* count)
{
    count->QuadPart = Net().now;
    return TRUE;
}

BOOL WINAPI FakeFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = kFrequency;
    return TRUE;
}

ULONGLONG WINAPI FakeTick()
{
    return kTick;
}

int WINAPI FakeIdnToAscii(DWORD, LPCWSTR, int, LPWSTR out, int capacity)
{
    const wchar_t converted[] = L"xn--bcher-kva.test";
    int length = static_cast<int>(std::size(converted) - 1);
    if (capacity < length) return 0;
    std::copy_n(converted, length, out);
    return length;
}

TPlatformVersion Windows7()
{
    return {6, 1};
}

TPlatformVersion Windows10()
{
    return {10, 0};
}

// The echo reply a host sends back for `request`, `delay` ms later.
Network::Arrival ReplyTo(const Bytes& request, LONGLONG delay, std::vector<std::uint8_t> from = kPeer)
{
    Bytes reply = request;
    reply[0] = 0;
    return {Ms(delay), Ipv4(1, from, kUs, reply, 0, 63)};
}

std::uint16_t SequenceOf(const Bytes& request)
{
    return static_cast<std::uint16_t>(request[6] | (request[7] << 8));
}

class IcmpClientTest : public ::testing::Test {
protected:
    IcmpClientTest()
    {
        client.SetHost(L"198.18.0.2");
        client.OnReply = [this](TObject* sender, const TReplyStatus& status) {
            EXPECT_EQ(sender, &client);
            EXPECT_EQ(&status, &client.GetReplyStatus());
            replies.push_back(status);
        };
        // The host answers every request after 30 ms.
        net.responder = [this](const Bytes& request) { net.arrivals.push_back(ReplyTo(request, 30)); };
    }

    // The shared stack is started before any entry is replaced, so that its start-up binds
    // nothing over the replacements.
    TIdComponent stackUse;
    Network net;
    // Published for the replaced entries until after the client below has closed its socket.
    struct Current {
        explicit Current(Network* network) { Network::current = network; }
        ~Current() { Network::current = nullptr; }
    } current{&net};
    EntryOverride<decltype(ws2::socket)> socket_{ws2::socket, &FakeSocket};
    EntryOverride<decltype(ws2::setsockopt)> setsockopt_{ws2::setsockopt, &FakeSetsockopt};
    EntryOverride<decltype(ws2::sendto)> sendto_{ws2::sendto, &FakeSendto};
    EntryOverride<decltype(ws2::select)> select_{ws2::select, &FakeSelect};
    EntryOverride<decltype(ws2::recvfrom)> recvfrom_{ws2::recvfrom, &FakeRecvfrom};
    EntryOverride<decltype(ws2::shutdown)> shutdown_{ws2::shutdown, &FakeShutdown};
    EntryOverride<decltype(ws2::closesocket)> closesocket_{ws2::closesocket, &FakeClosesocket};
    EntryOverride<decltype(ws2::WSAGetLastError)> lastError_{ws2::WSAGetLastError, &FakeWSAGetLastError};
    EntryOverride<decltype(ws2::GetAddrInfoW)> lookup_{ws2::GetAddrInfoW, &FakeGetAddrInfoW};
    EntryOverride<decltype(ws2::FreeAddrInfoW)> free_{ws2::FreeAddrInfoW, &FakeFreeAddrInfoW};
    EntryOverride<decltype(icmpclock::QueryPerformanceCounter)> counter_{icmpclock::QueryPerformanceCounter, &FakeCounter};
    EntryOverride<decltype(icmpclock::QueryPerformanceFrequency)> frequency_{icmpclock::QueryPerformanceFrequency,
                                                                              &FakeFrequency};
    EntryOverride<decltype(icmpclock::GetTickCount64)> tick_{icmpclock::GetTickCount64, &FakeTick};
    EntryOverride<decltype(iphlp::IcmpCreateFile)> icmpCreate_{iphlp::IcmpCreateFile, &FakeIcmpCreateFile};
    EntryOverride<decltype(iphlp::IcmpSendEcho2)> icmpSend_{iphlp::IcmpSendEcho2, &FakeIcmpSendEcho2};
    EntryOverride<decltype(iphlp::IcmpCloseHandle)> icmpClose_{iphlp::IcmpCloseHandle, &FakeIcmpCloseHandle};

    TIdIcmpClient client;
    std::vector<TReplyStatus> replies;
};

TEST_F(IcmpClientTest, FirstPingOfANewClientSendsSixteenBytesAndTakesTheReply)
{
    EXPECT_EQ(client.GetPacketSize(), 32);
    EXPECT_EQ(client.GetReceiveTimeout(), 5000);
    EXPECT_EQ(client.GetProtocol(), 1);
    EXPECT_EQ(client.GetTTL(), 128);

    client.Ping(L"", 0);

    ASSERT_EQ(net.sent.size(), 1u);
    const Bytes& request = net.sent[0].bytes;
    std::uint16_t id = OurIdentifier();
    EXPECT_THAT(request, ::testing::ElementsAre(8, 0, request[2], request[3], id & 0xFF, id >> 8, 0xA1, 0x0D, 8, 7, 6,
                                                5, 4, 3, 2, 1));
    std::uint32_t sum = 0;  // the checksum verified the textbook way, in network order
    for (std::size_t i = 0; i < request.size(); i += 2) sum += (request[i] << 8) | request[i + 1];
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    EXPECT_EQ(sum, 0xFFFFu);
    EXPECT_EQ(net.sent[0].to.sin_family, AF_INET);
    EXPECT_EQ(net.sent[0].to.sin_port, 0);
    EXPECT_EQ(net.sent[0].to.sin_addr.S_un.S_addr, (2u << 24) | (0u << 16) | (18u << 8) | 198u);
    EXPECT_THAT(net.ttlSet, ::testing::ElementsAre(128));
    EXPECT_THAT(net.calls, ::testing::ElementsAre("socket", "setsockopt", "sendto", "shutdown", "closesocket"));
    EXPECT_TRUE(net.lookups.empty());

    ASSERT_EQ(replies.size(), 1u);
    const TReplyStatus& status = replies[0];
    EXPECT_EQ(status.ReplyStatusType, TReplyStatusTypes::rsEcho);
    EXPECT_EQ(status.MsRoundTripTime, 30u);
    EXPECT_EQ(status.FromIpAddress, L"198.18.0.2");
    EXPECT_EQ(status.ToIpAddress, L"198.18.0.1");
    EXPECT_EQ(status.SequenceId, 3489);
    EXPECT_EQ(status.TimeToLive, 63);
    EXPECT_EQ(status.Msg, L"Echo");
    EXPECT_EQ(status.BytesReceived, 36);
    EXPECT_EQ(client.GetReplyData(), (std::wstring{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(client.GetwSeqNo(), 3490);
}

TEST_F(IcmpClientTest, ForeignDatagramsAreSkippedUntilTheAnswer)
{
    // Before the real reply: our own request seen again, another program's reply with our
    // sequence number, a reply to an earlier request, and an error about someone else. Each
    // would have ended the exchange too early if it were taken.
    net.responder = [this](const Bytes& request) {
        std::uint16_t seq = SequenceOf(request);
        net.arrivals.push_back({Ms(1), Ipv4(1, kUs, kPeer, request)});
        net.arrivals.push_back({Ms(2), Ipv4(1, kPeer, kUs, Echo(0, OurIdentifier() ^ 0x5555, seq))});
        net.arrivals.push_back({Ms(3), Ipv4(1, kPeer, kUs, Echo(0, OurIdentifier(), seq - 1))});
        net.arrivals.push_back({Ms(4), Ipv4(1, kRouter, kUs, Error(3, 1, Ipv4(1, kUs, kPeer, Echo(8, 1, seq))))});
        net.arrivals.push_back({Ms(5), Bytes{0x45, 0, 0}});
        net.arrivals.push_back(ReplyTo(request, 20));
    };
    client.Ping(L"payload", 0);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].ReplyStatusType, TReplyStatusTypes::rsEcho);
    EXPECT_EQ(replies[0].MsRoundTripTime, 35u);
    EXPECT_EQ(client.GetReplyData().substr(8), L"payload");
    // The wait went on for what was left of the time-out after each foreign datagram.
    ASSERT_EQ(net.selectTimeouts.size(), 6u);
    EXPECT_EQ(net.selectTimeouts[0].tv_sec, 5);
    EXPECT_EQ(net.selectTimeouts[0].tv_usec, 0);
    EXPECT_EQ(net.selectTimeouts[5].tv_sec, 4);
    EXPECT_EQ(net.selectTimeouts[5].tv_usec, 985000);
}

TEST_F(IcmpClientTest, NoAnswerIsATimeOutAfterTheWholeWait)
{
    net.responder = [this](const Bytes& request) {
        // Only foreign traffic, once a second.
        for (int i = 0; i < 6; ++i)
            net.arrivals.push_back({Ms(1000), Ipv4(1, kPeer, kUs, Echo(0, OurIdentifier() + 1, SequenceOf(request)))});
    };
    client.Ping(L"", 0);
    ASSERT_EQ(replies.size(), 1u);
    const TReplyStatus& status = replies[0];
    EXPECT_EQ(status.ReplyStatusType, TReplyStatusTypes::rsTimeOut);
    EXPECT_EQ(status.Msg, L"Timeout");
    EXPECT_EQ(status.FromIpAddress, L"0.0.0.0");
    EXPECT_EQ(status.ToIpAddress, L"0.0.0.0");
    EXPECT_EQ(status.MsRoundTripTime, 5000u);
    EXPECT_EQ(status.BytesReceived, 0);
    EXPECT_EQ(status.SequenceId, 3489);
    ASSERT_GE(net.selectTimeouts.size(), 2u);
    EXPECT_EQ(net.selectTimeouts[1].tv_sec, 4);
    EXPECT_EQ(client.GetwSeqNo(), 3490) << "a time-out is a completed exchange";
    EXPECT_EQ(net.closed, 1);

    net.responder = nullptr;
    client.Ping(L"", 0);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[1].ReplyStatusType, TReplyStatusTypes::rsTimeOut);
    EXPECT_EQ(replies[1].MsRoundTripTime, 5000u);
    EXPECT_EQ(replies[1].SequenceId, 3490);
}

TEST_F(IcmpClientTest, AnErrorQuotingOurRequestCompletesTheExchange)
{
    net.responder = [this](const Bytes& request) {
        Bytes quoted = Ipv4(1, kUs, kPeer, request);
        quoted.resize(28);
        net.arrivals.push_back({Ms(7), Ipv4(1, kRouter, kUs, Error(3, 1, quoted))});
    };
    client.Ping(L"", 0);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].ReplyStatusType, TReplyStatusTypes::rsErrorUnreachable);
    EXPECT_EQ(replies[0].Msg, L"host unreachable;");
    EXPECT_EQ(replies[0].FromIpAddress, L"198.18.3.2");
    EXPECT_EQ(replies[0].MsRoundTripTime, 7u);
    EXPECT_EQ(replies[0].MsgType, 3);
    EXPECT_EQ(replies[0].MsgCode, 1);
    EXPECT_EQ(client.GetwSeqNo(), 3490);
}

TEST_F(IcmpClientTest, SequenceNumbersFollowTheCounterAndWrap)
{
    client.Ping(L"x", 7);
    client.Ping(L"x", 0);
    ASSERT_EQ(net.sent.size(), 2u);
    EXPECT_EQ(SequenceOf(net.sent[0].bytes), 7);
    EXPECT_EQ(SequenceOf(net.sent[1].bytes), 8);

    TIdIcmpClient fresh;
    fresh.SetHost(L"198.18.0.2");
    for (int ping = 0; ping < 62047; ++ping) fresh.Ping(L"", 0);
    net.sent.clear();
    fresh.Ping(L"", 0);
    ASSERT_EQ(net.sent.size(), 1u);
    EXPECT_EQ(SequenceOf(net.sent[0].bytes), 0) << "3489 + 62047 wraps to 0, and SequenceID 0 keeps it";
    EXPECT_EQ(fresh.GetwSeqNo(), 1);
    // Every exchange ran on a socket of its own, and every one of them was closed.
    EXPECT_EQ(net.opened, 2 + 62048);
    EXPECT_EQ(net.closed, net.opened);
    EXPECT_TRUE(net.open.empty());
}

TEST_F(IcmpClientTest, PacketSizeIsClampedAndLimitsThePayload)
{
    const std::pair<std::int32_t, std::int32_t> sizes[] = {{-5, 0}, {5000, 1024}, {1024, 1024}, {100, 100}};
    for (auto [in, out] : sizes) {
        client.SetPacketSize(in);
        EXPECT_EQ(client.GetPacketSize(), out) << in;
    }
    client.SetPacketSize(1024);
    client.Ping(std::wstring(2000, L'z'), 0);
    ASSERT_EQ(net.sent.size(), 1u);
    EXPECT_EQ(net.sent[0].bytes.size(), 1040u);
    EXPECT_EQ(replies.at(0).ReplyStatusType, TReplyStatusTypes::rsEcho);
    EXPECT_EQ(client.GetReplyData().size(), 1032u);
}

TEST_F(IcmpClientTest, HostsResolveWithoutALookupOnlyWhenLiteral)
{
    struct Case {
        const wchar_t* host;
        std::vector<std::uint8_t> destination;
        bool lookedUp;
    };
    const Case cases[] = {
        {L"LOCALHOST", {127, 0, 0, 1}, false},   {L"localhost", {127, 0, 0, 1}, false},
        {L"LocalHost", {127, 0, 0, 1}, false},   {L"  198.18.0.7 ", {198, 18, 0, 7}, false},
        {L"198.18.0", {198, 18, 0, 9}, true},    {L"198.18.0.7.5", {198, 18, 0, 9}, true},
        {L"testhost", {198, 18, 0, 9}, true},
    };
    for (const auto& c : cases) {
        net.sent.clear();
        net.lookups.clear();
        client.SetHost(c.host);
        client.Ping(L"", 0);
        ASSERT_EQ(net.sent.size(), 1u);
        auto* to = reinterpret_cast<const std::uint8_t*>(&net.sent[0].to.sin_addr);
        EXPECT_EQ(std::vector<std::uint8_t>(to, to + 4), c.destination) << ToUtf8(c.host);
        EXPECT_EQ(!net.lookups.empty(), c.lookedUp) << ToUtf8(c.host);
        if (c.lookedUp) {
            EXPECT_EQ(net.lookups[0], c.host);
        }
    }
}

TEST_F(IcmpClientTest, InternationalNamesAreConvertedWhereTheLookupCannot)
{
    EntryOverride<decltype(ws2::IdnToAscii)> idn(ws2::IdnToAscii, &FakeIdnToAscii);
    client.SetHost(L"b\u00FCcher.test");
    {
        EntryOverride<PlatformVersionFunction> version(PlatformVersion, &Windows7);
        client.Ping(L"", 0);
    }
    {
        EntryOverride<PlatformVersionFunction> version(PlatformVersion, &Windows10);
        client.Ping(L"", 0);
    }
    ASSERT_GE(net.lookups.size(), 2u);
    EXPECT_EQ(net.lookups.front(), L"xn--bcher-kva.test");
    EXPECT_EQ(net.lookups.back(), L"b\u00FCcher.test");
}

TEST_F(IcmpClientTest, FailuresRaiseKeepTheSocketAndTheSequence)
{
    struct Case {
        const char* what;
        std::function<void(Network&)> arrange;
        std::wstring message;  // prefix of the exception's message
        bool notASocket = false;
    };
    const Case cases[] = {
        {"lookup fails", [](Network& n) { n.lookupError = 11001; }, L"Socket Error # 11001\r\n"},
        {"raw socket not supported", [](Network& n) { n.socketError = 10044; }, L"Socket Error # 10044\r\n"},
        {"TTL refused for want of rights", [](Network& n) { n.setsockoptError = 10013; }, L"Socket Error # 10013\r\n"},
        {"TTL refused", [](Network& n) { n.setsockoptError = 10042; }, L"Socket Error # 10042\r\n"},
        {"message too long", [](Network& n) { n.sendtoError = 10040; }, L"Package Size Too Big."},
        {"send fails", [](Network& n) { n.sendtoError = 10051; }, L"Socket Error # 10051\r\n"},
        {"not all sent", [](Network& n) { n.sendtoShort = 1; }, L"Not all bytes sent."},
        {"select fails", [](Network& n) { n.selectError = 10038; }, L"Socket Error # 10038\r\n", true},
        {"recvfrom fails", [](Network& n) { n.recvfromError = 10040; }, L"Socket Error # 10040\r\n"},
        {"datagram cut short", [](Network& n) { n.recvfromResult = 65536; }, L"Socket Error # 10040\r\n"},
    };
    for (const auto& c : cases) {
        Network fresh;
        fresh.responder = [](const Bytes& request) { Net().arrivals.push_back(ReplyTo(request, 30)); };
        net = std::move(fresh);
        c.arrange(net);
        TIdIcmpClient failing;
        failing.SetHost(net.lookupError ? L"nowhere" : L"198.18.0.2");
        failing.OnReply = [](TObject*, const TReplyStatus&) { ADD_FAILURE() << "OnReply after a failure"; };
        try {
            failing.Ping(L"", 0);
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const EIdNotASocket& e) {
            EXPECT_TRUE(c.notASocket) << c.what;
            EXPECT_EQ(e.Message().rfind(c.message, 0), 0u) << c.what << ": " << ToUtf8(e.Message());
        } catch (const EIdSocketError& e) {
            EXPECT_FALSE(c.notASocket) << c.what;
            EXPECT_EQ(e.Message().rfind(c.message, 0), 0u) << c.what << ": " << ToUtf8(e.Message());
        }
        EXPECT_EQ(failing.GetwSeqNo(), 3489) << c.what;
        EXPECT_EQ(net.closed, 0) << c.what << ": the socket is left as it was";
        bool opened = net.opened > 0 && net.socketError == 0;
        EXPECT_EQ(failing.GetBinding().HandleAllocated(), opened) << c.what;

        // The next ping repeats the sequence number on the same socket, without setting the
        // TTL again.
        int socketsBefore = net.opened;
        std::size_t ttlBefore = net.ttlSet.size();
        Network healthy;
        healthy.responder = [](const Bytes& request) { Net().arrivals.push_back(ReplyTo(request, 30)); };
        healthy.opened = net.opened;
        healthy.ttlSet = net.ttlSet;
        healthy.open = net.open;
        net = std::move(healthy);
        failing.SetHost(L"198.18.0.2");
        failing.OnReply = nullptr;
        failing.Ping(L"", 0);
        ASSERT_FALSE(net.sent.empty()) << c.what;
        EXPECT_EQ(SequenceOf(net.sent.back().bytes), 3489) << c.what;
        if (opened) {
            EXPECT_EQ(net.opened, socketsBefore) << c.what << ": same socket";
            EXPECT_EQ(net.ttlSet.size(), ttlBefore) << c.what << ": TTL not set again";
        }
        EXPECT_EQ(failing.GetwSeqNo(), 3490) << c.what;
    }
}

TEST_F(IcmpClientTest, IPVersionCannotChangeWhileASocketIsOpen)
{
    net.selectError = 10050;
    EXPECT_THROW(client.Ping(L"", 0), EIdSocketError);
    ASSERT_TRUE(client.GetBinding().HandleAllocated());
    try {
        client.SetIPVersion(TIdIPVersion::Id_IPv6);
        ADD_FAILURE() << "no exception";
    } catch (const EIdException& e) {
        EXPECT_EQ(e.Message(), L"Cannot change IPVersion when connected");
    }
    EXPECT_EQ(client.GetIPVersion(), TIdIPVersion::Id_IPv4);
    client.SetIPVersion(TIdIPVersion::Id_IPv4);  // the same value is no change
}

// A standard user: the platform refuses the raw socket for want of rights.
class StandardUserTest : public IcmpClientTest {
protected:
    StandardUserTest()
    {
        net.socketError = 10013;
        net.serviceAllowed = true;
    }
};

TEST_F(StandardUserTest, TheRefusedRawSocketIsAskedForOnceAndTheServiceCarriesEveryExchange)
{
    client.SetPacketSize(1024);
    for (int ping = 0; ping < 3; ++ping) client.Ping(L"payload", 0);

    EXPECT_TRUE(client.GetUsesEchoService());
    EXPECT_EQ(std::count(net.calls.begin(), net.calls.end(), "socket"), 1) << "the refusal is remembered";
    EXPECT_TRUE(net.sent.empty());
    EXPECT_EQ(net.serviceOpened, 1) << "one service handle for the client's life";
    ASSERT_EQ(net.serviceCalls.size(), 3u);
    ASSERT_EQ(replies.size(), 3u);
    for (int ping = 0; ping < 3; ++ping) {
        const auto& call = net.serviceCalls[ping];
        EXPECT_EQ(call.handle, kServiceHandle);
        EXPECT_EQ(call.destination, (2u << 24) | (0u << 16) | (18u << 8) | 198u);
        // The send stamp and the payload, as after the ICMP header on the raw path.
        EXPECT_EQ(call.data, (Bytes{8, 7, 6, 5, 4, 3, 2, 1, 'p', 'a', 'y', 'l', 'o', 'a', 'd'}));
        EXPECT_EQ(call.ttl, 128);
        EXPECT_EQ(call.timeout, 5000u);
        EXPECT_GE(call.replySize, sizeof(ICMP_ECHO_REPLY) + call.data.size() + 8);

        const TReplyStatus& status = replies[ping];
        EXPECT_EQ(status.ReplyStatusType, TReplyStatusTypes::rsEcho);
        EXPECT_EQ(status.MsRoundTripTime, 30u) << "measured around the call, not the service's 16";
        EXPECT_EQ(status.FromIpAddress, L"198.18.0.2");
        EXPECT_EQ(status.TimeToLive, 63);
        EXPECT_EQ(status.SequenceId, 3489 + ping);
        EXPECT_EQ(status.MsgType, 0);
        EXPECT_EQ(status.Msg, L"Echo");
        EXPECT_EQ(status.BytesReceived, 20 + 8 + 15);
    }
    EXPECT_EQ(client.GetReplyData(), (std::wstring{8, 7, 6, 5, 4, 3, 2, 1} + L"payload"));
    EXPECT_EQ(client.GetwSeqNo(), 3492);
    EXPECT_TRUE(net.serviceClosed.empty());
    {
        // The handle belongs to the client and goes with it.
        TIdIcmpClient other;
        other.SetHost(L"198.18.0.2");
        other.Ping(L"", 0);
    }
    EXPECT_EQ(net.serviceOpened, 2);
    EXPECT_THAT(net.serviceClosed, ::testing::ElementsAre(kServiceHandle));
}

TEST_F(StandardUserTest, EveryOutcomeOfTheServiceIsTheOneTheRawPathGives)
{
    struct Case {
        const char* what;
        Network::ServiceAnswer answer;
        TReplyStatusTypes kind;
        std::uint32_t roundTrip;
        const wchar_t* from;
        const wchar_t* msg;
    };
    Network::ServiceAnswer timeOut;
    timeOut.returned = 0;
    timeOut.lastError = IP_REQ_TIMED_OUT;
    timeOut.takes = Ms(5000);
    Network::ServiceAnswer hostUnreachable;
    hostUnreachable.status = IP_DEST_HOST_UNREACHABLE;
    hostUnreachable.from = kRouter;
    hostUnreachable.takes = Ms(4);
    Network::ServiceAnswer portUnreachable = hostUnreachable;
    portUnreachable.status = IP_DEST_PORT_UNREACHABLE;
    Network::ServiceAnswer ttlExpired = hostUnreachable;
    ttlExpired.status = IP_TTL_EXPIRED_TRANSIT;
    Network::ServiceAnswer echo;
    echo.takes = Ms(12);
    // In this order, so that each line would show a stale text if the record kept one.
    const Case cases[] = {
        {"no answer", timeOut, TReplyStatusTypes::rsTimeOut, 5000, L"0.0.0.0", L"Timeout"},
        {"host unreachable", hostUnreachable, TReplyStatusTypes::rsErrorUnreachable, 4, L"198.18.3.2",
         L"host unreachable;"},
        {"port unreachable", portUnreachable, TReplyStatusTypes::rsErrorUnreachable, 4, L"198.18.3.2",
         L"ICMP type 3, code 3"},
        {"TTL expired", ttlExpired, TReplyStatusTypes::rsErrorTTLExceeded, 4, L"198.18.3.2",
         L"time to live exceeded in transit"},
        {"echo", echo, TReplyStatusTypes::rsEcho, 12, L"198.18.0.2", L"Echo"},
    };
    for (const Case& c : cases) net.serviceAnswers.push_back(c.answer);
    for (const Case& c : cases) {
        client.Ping(L"", 0);
        ASSERT_FALSE(replies.empty()) << c.what;
        const TReplyStatus& status = replies.back();
        EXPECT_EQ(status.ReplyStatusType, c.kind) << c.what;
        EXPECT_EQ(status.MsRoundTripTime, c.roundTrip) << c.what;
        EXPECT_EQ(status.FromIpAddress, c.from) << c.what;
        EXPECT_EQ(status.Msg, c.msg) << c.what;
    }
    EXPECT_EQ(replies.size(), std::size(cases)) << "each outcome is a completed exchange";
    EXPECT_EQ(client.GetwSeqNo(), 3489 + std::size(cases));
}

TEST_F(StandardUserTest, AServiceThatCannotSendOrIsMissingFailsThePing)
{
    Network::ServiceAnswer failure;
    failure.returned = 0;
    failure.lastError = IP_GENERAL_FAILURE;
    net.serviceAnswers.push_back(failure);
    client.OnReply = [](TObject*, const TReplyStatus&) { ADD_FAILURE() << "OnReply after a failure"; };
    try {
        client.Ping(L"", 0);
        ADD_FAILURE() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.Message().rfind(L"Socket Error # 11050\r\n", 0), 0u) << ToUtf8(e.Message());
    }
    EXPECT_EQ(client.GetReplyStatus().ReplyStatusType, TReplyStatusTypes::rsError);
    EXPECT_EQ(client.GetwSeqNo(), 3489) << "a failed ping repeats its sequence number";

    // Without the service (an old system, or the entry bound to its substitute).
    net.serviceCreateFails = true;
    TIdIcmpClient without;
    without.SetHost(L"198.18.0.2");
    without.OnReply = client.OnReply;
    EXPECT_THROW(without.Ping(L"", 0), EIdSocketError);
    EXPECT_THROW(without.Ping(L"", 0), EIdSocketError);
    EXPECT_EQ(std::count(net.calls.begin(), net.calls.end(), "socket"), 2) << "one refusal for each client";
    EXPECT_EQ(without.GetwSeqNo(), 3489);
}

TEST_F(IcmpClientTest, OnlyARefusalToOpenTheSocketForWantOfRightsTurnsToTheService)
{
    // Another refusal is a failure, asked again at the next ping; a refusal for want of rights
    // at a later step (the broadcast address at sendto, for one) is a failure too.
    net.socketError = 10044;
    EXPECT_THROW(client.Ping(L"", 0), EIdSocketError);
    EXPECT_THROW(client.Ping(L"", 0), EIdSocketError);
    EXPECT_EQ(std::count(net.calls.begin(), net.calls.end(), "socket"), 2);
    net.socketError = 0;
    net.sendtoError = 10013;
    EXPECT_THROW(client.Ping(L"", 0), EIdSocketError);
    EXPECT_FALSE(client.GetUsesEchoService());
    EXPECT_TRUE(net.serviceCalls.empty());
}

// The real echo service of the platform on the loopback address; only the raw socket is
// refused, at the socket entry.
int WSAAPI RefuseRawSocket()
{
    return 10013;
}

SOCKET WSAAPI RefusedSocket(int, int type, int)
{
    EXPECT_EQ(type, SOCK_RAW);
    return INVALID_SOCKET;
}

class RealEchoServiceTest : public ::testing::Test {
protected:
    TIdComponent stackUse;
    EntryOverride<decltype(ws2::socket)> socket_{ws2::socket, &RefusedSocket};
    EntryOverride<decltype(ws2::WSAGetLastError)> lastError_{ws2::WSAGetLastError, &RefuseRawSocket};
};

TEST_F(RealEchoServiceTest, LoopbackAnswersThroughTheServiceWithTheSameRecord)
{
    TIdIcmpClient client;
    client.SetPacketSize(1024);
    client.SetHost(L"127.0.0.1");
    std::vector<TReplyStatus> replies;
    client.OnReply = [&](TObject*, const TReplyStatus& status) { replies.push_back(status); };
    for (int ping = 0; ping < 3; ++ping) client.Ping(L"vantrel-probe", 0);

    EXPECT_TRUE(client.GetUsesEchoService());
    ASSERT_EQ(replies.size(), 3u);
    for (int ping = 0; ping < 3; ++ping) {
        const TReplyStatus& status = replies[ping];
        EXPECT_EQ(status.ReplyStatusType, TReplyStatusTypes::rsEcho) << ToUtf8(status.Msg);
        EXPECT_EQ(status.FromIpAddress, L"127.0.0.1");
        EXPECT_EQ(status.Msg, L"Echo");
        EXPECT_EQ(status.SequenceId, 3489 + ping);
        EXPECT_GT(status.TimeToLive, 0);
        EXPECT_LE(status.MsRoundTripTime, 200u);
        EXPECT_EQ(status.BytesReceived, 20 + 8 + 8 + 13);
    }
    // The echoed bytes: our send stamp, then the payload.
    ASSERT_EQ(client.GetReplyData().size(), 8u + 13u);
    EXPECT_EQ(client.GetReplyData().substr(8), L"vantrel-probe");
    EXPECT_EQ(client.GetwSeqNo(), 3492);
}

}  // namespace
}  // namespace vantrel
