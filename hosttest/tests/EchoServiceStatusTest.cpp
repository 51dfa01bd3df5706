// The echo service's outcomes against the raw path's: for every status the service documents,
// the record the client fills, and for every ICMP error the same record as the raw path writes
// when the same error arrives as a datagram.

#include "hosttest/EchoServiceStatus.h"
#include "hosttest/tests/IcmpFixtures.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vantrel::icmp {
namespace {

using namespace fixtures;
using enum TReplyStatusTypes;

constexpr std::uint16_t kId = 0x1234;
constexpr std::uint16_t kSeq = 3490;
const IPv4Address kRouter{198, 18, 3, 2};
const IPv4Address kUs{198, 18, 3, 1};

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// A record as an earlier exchange left it, so that a field the service path forgets to write
// shows up.
TReplyStatus Stale()
{
    TReplyStatus status;
    status.BytesReceived = 999;
    status.FromIpAddress = L"9.9.9.9";
    status.ToIpAddress = L"8.8.8.8";
    status.MsgType = 99;
    status.MsgCode = 99;
    status.SequenceId = 1;
    status.MsRoundTripTime = 12345;
    status.TimeToLive = 1;
    status.ReplyStatusType = rsRedirect;
    status.Msg = L"text of an earlier exchange";
    status.RedirectTo = L"7.7.7.7";
    return status;
}

struct Case {
    std::uint32_t status;
    const char* name;
    ServiceOutcome outcome;
    TReplyStatusTypes kind;  // for echo and ICMP errors
    std::uint8_t type, code;
    std::optional<std::wstring> msg;
};

// Every status the service documents for a reply, and two it does not.
const Case kCases[] = {
    {0, "IP_SUCCESS", ServiceOutcome::Echo, rsEcho, 0, 0, L"Echo"},
    {11001, "IP_BUF_TOO_SMALL", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
    {11002, "IP_DEST_NET_UNREACHABLE", ServiceOutcome::IcmpError, rsErrorUnreachable, 3, 0, L"net unreachable;"},
    {11003, "IP_DEST_HOST_UNREACHABLE", ServiceOutcome::IcmpError, rsErrorUnreachable, 3, 1, L"host unreachable;"},
    {11004, "IP_DEST_PROT_UNREACHABLE", ServiceOutcome::IcmpError, rsErrorUnreachable, 3, 2, L"protocol unreachable;"},
    // The one the raw path's table has no text for: the line still names this exchange.
    {11005, "IP_DEST_PORT_UNREACHABLE", ServiceOutcome::IcmpError, rsErrorUnreachable, 3, 3, L"ICMP type 3, code 3"},
    {11006, "IP_NO_RESOURCES", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
    {11007, "IP_BAD_OPTION", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
    {11008, "IP_HW_ERROR", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
    {11009, "IP_PACKET_TOO_BIG", ServiceOutcome::IcmpError, rsErrorUnreachable, 3, 4,
     L"Fragmentation Needed and Don't Fragment was Set"},
    {11010, "IP_REQ_TIMED_OUT", ServiceOutcome::TimeOut, rsTimeOut, 0, 0, L"Timeout"},
    {11011, "IP_BAD_REQ", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
    {11012, "IP_BAD_ROUTE", ServiceOutcome::IcmpError, rsErrorUnreachable, 3, 5, L"Source Route Failed"},
    {11013, "IP_TTL_EXPIRED_TRANSIT", ServiceOutcome::IcmpError, rsErrorTTLExceeded, 11, 0,
     L"time to live exceeded in transit"},
    {11014, "IP_TTL_EXPIRED_REASSEM", ServiceOutcome::IcmpError, rsErrorTTLExceeded, 11, 1,
     L"fragment reassembly time exceeded."},
    {11015, "IP_PARAM_PROBLEM", ServiceOutcome::IcmpError, rsErrorParameter, 12, 0, L"Parameter Problem (offset 0)"},
    {11016, "IP_SOURCE_QUENCH", ServiceOutcome::IcmpError, rsSourceQuench, 4, 0, L"Source Quench Message"},
    {11017, "IP_OPTION_TOO_BIG", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
    {11018, "IP_BAD_DESTINATION", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
    {11050, "IP_GENERAL_FAILURE", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
    {11255, "IP_PENDING (only for calls that do not wait)", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
    {50, "ERROR_NOT_SUPPORTED (no service)", ServiceOutcome::Failure, rsError, 0, 0, std::nullopt},
};

TEST(EchoService, EveryStatusFillsTheRecordAsTheRawPathWould)
{
    const Bytes echoed = {8, 7, 6, 5, 4, 3, 2, 1, 'h', 'i'};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClassifyServiceStatus(c.status).outcome, c.outcome);

        TReplyStatus status = Stale();
        std::wstring replyData = L"earlier";
        ServiceReply reply;
        reply.status = c.status;
        reply.from = c.outcome == ServiceOutcome::Echo ? IPv4Address{198, 18, 1, 2} : kRouter;
        reply.to = kUs;
        reply.timeToLive = 63;
        reply.data = echoed;
        bool completed = ApplyServiceReply(status, replyData, reply, kSeq, 31);

        EXPECT_EQ(completed, c.outcome != ServiceOutcome::Failure);
        EXPECT_EQ(status.ReplyStatusType, c.kind);
        EXPECT_EQ(status.RedirectTo, L"7.7.7.7") << "no redirect comes through the service";
        EXPECT_EQ(status.PacketNumber, 0);
        const std::wstring expectedData =
            c.outcome == ServiceOutcome::Echo ? std::wstring{8, 7, 6, 5, 4, 3, 2, 1, 'h', 'i'} : L"earlier";
        EXPECT_EQ(replyData, expectedData);
        switch (c.outcome) {
        case ServiceOutcome::Failure:
            EXPECT_EQ(status.Msg, L"text of an earlier exchange") << "a failure writes nothing but the kind";
            EXPECT_EQ(status.SequenceId, 1);
            break;
        case ServiceOutcome::TimeOut:
            EXPECT_EQ(status.Msg, L"Timeout");
            EXPECT_EQ(status.FromIpAddress, L"0.0.0.0");
            EXPECT_EQ(status.ToIpAddress, L"0.0.0.0");
            EXPECT_EQ(status.MsRoundTripTime, 31u) << "the time waited";
            EXPECT_EQ(status.BytesReceived, 0);
            EXPECT_EQ(status.TimeToLive, 0);
            EXPECT_EQ(status.SequenceId, kSeq);
            break;
        case ServiceOutcome::Echo:
        case ServiceOutcome::IcmpError:
            EXPECT_EQ(status.Msg, *c.msg);
            EXPECT_EQ(status.MsgType, c.type);
            EXPECT_EQ(status.MsgCode, c.code);
            EXPECT_EQ(status.FromIpAddress, c.outcome == ServiceOutcome::Echo ? L"198.18.1.2" : L"198.18.3.2");
            EXPECT_EQ(status.ToIpAddress, L"198.18.3.1");
            EXPECT_EQ(status.MsRoundTripTime, 31u);
            EXPECT_EQ(status.TimeToLive, 63);
            EXPECT_EQ(status.SequenceId, kSeq);
            // The datagram the raw path would have received: headers and the echoed bytes, or
            // the least an ICMP error carries.
            EXPECT_EQ(status.BytesReceived, c.outcome == ServiceOutcome::Echo ? 20 + 8 + 10 : 56);
            break;
        }
    }
}

TEST(EchoService, AnIcmpErrorGivesTheRecordOfTheSameErrorReceivedRaw)
{
    for (const Case& c : kCases) {
        if (c.outcome != ServiceOutcome::IcmpError) continue;
        SCOPED_TRACE(c.name);
        // The same error as a raw socket receives it, quoting our request.
        Bytes request = Ipv4(1, {198, 18, 3, 1}, {198, 18, 3, 2}, Echo(8, kId, kSeq));
        Bytes datagram = Ipv4(1, {198, 18, 3, 2}, {198, 18, 3, 1}, Error(c.type, c.code, request), 0, 63);
        Datagram decoded = DecodeDatagram(datagram, kId, kSeq);
        ASSERT_EQ(decoded.verdict, Verdict::Answer);
        TReplyStatus raw = Stale();
        ApplyAnswer(raw, decoded, static_cast<std::int32_t>(datagram.size()), 31);

        TReplyStatus viaService = Stale();
        std::wstring replyData;
        ServiceReply reply;
        reply.status = c.status;
        reply.from = kRouter;
        reply.to = kUs;
        reply.timeToLive = 63;
        ASSERT_TRUE(ApplyServiceReply(viaService, replyData, reply, kSeq, 31));

        EXPECT_EQ(viaService.ReplyStatusType, raw.ReplyStatusType);
        EXPECT_EQ(viaService.MsgType, raw.MsgType);
        EXPECT_EQ(viaService.MsgCode, raw.MsgCode);
        EXPECT_EQ(viaService.Msg, raw.Msg) << Narrow(raw.Msg);
        EXPECT_EQ(viaService.FromIpAddress, raw.FromIpAddress);
        EXPECT_EQ(viaService.ToIpAddress, raw.ToIpAddress);
        EXPECT_EQ(viaService.TimeToLive, raw.TimeToLive);
        EXPECT_EQ(viaService.SequenceId, raw.SequenceId);
        EXPECT_EQ(viaService.MsRoundTripTime, raw.MsRoundTripTime);
    }
}

TEST(EchoService, OptionsInTheReplyCountInItsSize)
{
    TReplyStatus status;
    std::wstring replyData;
    const Bytes echoed(16, 0);
    ServiceReply reply;
    reply.optionsSize = 8;
    reply.data = echoed;
    ASSERT_TRUE(ApplyServiceReply(status, replyData, reply, kSeq, 0));
    EXPECT_EQ(status.BytesReceived, 20 + 8 + 8 + 16);
}

}  // namespace
}  // namespace vantrel::icmp
