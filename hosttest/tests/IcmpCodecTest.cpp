#include "hosttest/IcmpCodec.h"
#include "hosttest/tests/IcmpFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

namespace vantrel::icmp {
namespace {

using namespace fixtures;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr std::uint16_t kId = 0xBEEF;
constexpr std::uint16_t kSeq = 3489;
const std::vector<std::uint8_t> kUs = {198, 18, 0, 1};
const std::vector<std::uint8_t> kPeer = {198, 18, 0, 2};
const std::vector<std::uint8_t> kRouter = {198, 18, 1, 1};

std::string ToNarrow(std::wstring_view text)
{
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// The textbook check: summing the whole message, checksum included, in network order and
// folding gives all ones.
bool ChecksumVerifies(const Bytes& message)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < message.size(); i += 2)
        sum += (message[i] << 8) | (i + 1 < message.size() ? message[i + 1] : 0);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return sum == 0xFFFF;
}

TEST(EchoRequest, FirstRequestOfANewClientIsSixteenBytes)
{
    Bytes request;
    BuildEchoRequest(request, 0x4D2C, kFirstSequence, 0x0102030405060708ull, L"", 1024);
    WriteChecksum(request);
    ASSERT_EQ(request.size(), 16u);
    EXPECT_EQ(request[0], 8);
    EXPECT_EQ(request[1], 0);
    EXPECT_THAT(std::vector(request.begin() + 4, request.end()),
                ElementsAre(0x2C, 0x4D, 0xA1, 0x0D, 8, 7, 6, 5, 4, 3, 2, 1));
    EXPECT_TRUE(ChecksumVerifies(request));
}

TEST(EchoRequest, ChecksumMatchesTheRfcExampleAndOddLengths)
{
    // RFC 1071's worked example sums to 0xDDF2; the checksum on the wire is 22 0D, which the
    // least-significant-first reading gives as 0x0D22.
    const Bytes example = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    EXPECT_EQ(InternetChecksum(example), 0x0D22);

    for (std::size_t length : {8u, 9u, 17u, 1040u, 1041u}) {
        Bytes request(length);
        for (std::size_t i = 0; i < length; ++i) request[i] = static_cast<std::uint8_t>(i * 37 + 11);
        request[0] = 8;
        WriteChecksum(request);
        EXPECT_TRUE(ChecksumVerifies(request)) << length;
    }
}

TEST(EchoRequest, PayloadIsOneBytePerCharacterCutToPacketSize)
{
    struct Case {
        std::wstring text;
        std::int32_t packetSize;
        std::size_t length;
    };
    const Case cases[] = {
        {L"", 32, 16},
        {L"abc", 32, 19},
        {L"abc", 2, 18},
        {L"abc", -5, 16},
        {std::wstring(2000, L'x'), 1024, 1040},
        {std::wstring(2000, L'x'), 5000, 1040},
    };
    for (const auto& c : cases) {
        Bytes request;
        BuildEchoRequest(request, kId, kSeq, 0, c.text, c.packetSize);
        EXPECT_EQ(request.size(), c.length) << c.packetSize;
    }

    Bytes request;
    BuildEchoRequest(request, kId, kSeq, 0, L"A\u00FF\u0100\u20AC", 32);
    EXPECT_THAT(std::vector(request.begin() + 16, request.end()), ElementsAre('A', 0xFF, '?', '?'));
}

TEST(EchoRequest, PacketSizeClampAndSequenceWrap)
{
    const std::pair<std::int32_t, std::int32_t> clamps[] = {
        {-5, 0}, {0, 0}, {32, 32}, {1024, 1024}, {1025, 1024}, {5000, 1024},
        {std::numeric_limits<std::int32_t>::min(), 0}, {std::numeric_limits<std::int32_t>::max(), 1024}};
    for (auto [in, out] : clamps) EXPECT_EQ(ClampPacketSize(in), out) << in;

    std::uint16_t sequence = kFirstSequence;
    for (int ping = 0; ping < 62047; ++ping) sequence = NextSequence(sequence);
    EXPECT_EQ(sequence, 0);
}

TEST(HostLiteral, LocalhostAndDottedAddressesNeedNoLookup)
{
    const std::pair<std::wstring, IPv4Address> literals[] = {
        {L"LOCALHOST", {127, 0, 0, 1}},   {L"localhost", {127, 0, 0, 1}},  {L"LocalHost", {127, 0, 0, 1}},
        {L"10.0.0.1", {10, 0, 0, 1}},     {L"  10.0.0.1", {10, 0, 0, 1}},  {L"10.0.0.1  ", {10, 0, 0, 1}},
        {L"10 . 0 .0\t. 1", {10, 0, 0, 1}}, {L"010.000.0.01", {10, 0, 0, 1}},
        {L"255.255.255.255", {255, 255, 255, 255}}, {L"0.0.0.0", {0, 0, 0, 0}},
    };
    for (const auto& [host, address] : literals) {
        auto parsed = ParseHostLiteral(host);
        ASSERT_TRUE(parsed) << ToNarrow(host);
        EXPECT_EQ(*parsed, address);
    }
}

TEST(HostLiteral, EverythingElseGoesToTheLookup)
{
    const wchar_t* names[] = {L"10.0.0",    L"10.0.0.1.5", L"256.0.0.1",  L"10..0.1",  L"10.0.0.",
                              L".10.0.0.1", L"a.b.c.d",    L"-1.0.0.1",   L"+1.0.0.1", L"0x0A.0.0.1",
                              L"",          L" localhost", L"localhost.", L"LOCALHOSTS", L"99999999999.0.0.1",
                              L"example.test", L"1 0.0.0.1", L"\u0661.0.0.1"};
    for (const wchar_t* name : names) EXPECT_FALSE(ParseHostLiteral(name)) << ToNarrow(name);
}

TEST(HostLiteral, FormatsAddressesWithoutLeadingZeros)
{
    EXPECT_EQ(FormatIPv4({198, 18, 0, 7}), L"198.18.0.7");
    EXPECT_EQ(FormatIPv4({0, 0, 0, 0}), L"0.0.0.0");
    EXPECT_EQ(FormatIPv4({255, 10, 100, 1}), L"255.10.100.1");
}

TEST(Decoder, EchoReplyWithOurIdentifierAndSequenceIsTheAnswer)
{
    for (std::uint8_t optionWords : {0, 1, 10}) {
        Bytes datagram = Ipv4(1, kPeer, kUs, Echo(0, kId, kSeq, {'h', 'i'}), optionWords, 57);
        Datagram d = DecodeDatagram(datagram, kId, kSeq);
        ASSERT_EQ(d.verdict, Verdict::Answer) << int(optionWords);
        EXPECT_EQ(d.status, TReplyStatusTypes::rsEcho);
        EXPECT_EQ(d.type, 0);
        EXPECT_EQ(d.sequence, kSeq);
        EXPECT_EQ(d.timeToLive, 57);
        EXPECT_EQ(d.from, (IPv4Address{198, 18, 0, 2}));
        EXPECT_EQ(d.to, (IPv4Address{198, 18, 0, 1}));
        EXPECT_EQ(d.msg, L"Echo");
        EXPECT_FALSE(d.redirectTo);
        ASSERT_TRUE(d.replyData);
        EXPECT_EQ(*d.replyData, (std::wstring{0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, L'h', L'i'}));
    }
}

TEST(Decoder, ErrorQuotingOurRequestIsTheAnswer)
{
    struct Case {
        std::uint8_t type, code;
        std::vector<std::uint8_t> rest;
        TReplyStatusTypes status;
        std::wstring msg;
    };
    const Case cases[] = {
        {3, 1, {0, 0, 0, 0}, TReplyStatusTypes::rsErrorUnreachable, L"host unreachable;"},
        {3, 13, {0, 0, 0, 0}, TReplyStatusTypes::rsErrorUnreachable, L"Communication Administratively Prohibited"},
        {4, 0, {0, 0, 0, 0}, TReplyStatusTypes::rsSourceQuench, L"Source Quench Message"},
        {5, 1, {198, 18, 1, 254}, TReplyStatusTypes::rsRedirect, L"Redirect datagrams for the Host."},
        {11, 0, {0, 0, 0, 0}, TReplyStatusTypes::rsErrorTTLExceeded, L"time to live exceeded in transit"},
        {12, 0, {20, 0, 0, 0}, TReplyStatusTypes::rsErrorParameter, L"Parameter Problem (offset 20)"},
    };
    for (const auto& c : cases) {
        for (std::uint8_t quotedOptions : {0, 3}) {
            // Routers quote the header and at least the first 8 bytes; some quote more.
            Bytes ourRequest = Ipv4(1, kUs, kPeer, Echo(8, kId, kSeq), quotedOptions);
            Bytes first8(ourRequest.begin(), ourRequest.end() - 8);
            for (const Bytes& quoted : {first8, ourRequest}) {
                Bytes datagram = Ipv4(1, kRouter, kUs, Error(c.type, c.code, quoted, c.rest), 2, 250);
                Datagram d = DecodeDatagram(datagram, kId, kSeq);
                ASSERT_EQ(d.verdict, Verdict::Answer) << int(c.type);
                EXPECT_EQ(d.status, c.status);
                EXPECT_EQ(d.msg, c.msg);
                EXPECT_EQ(d.type, c.type);
                EXPECT_EQ(d.code, c.code);
                EXPECT_EQ(d.sequence, kSeq);
                EXPECT_EQ(d.from, (IPv4Address{198, 18, 1, 1})) << "the router that sent it";
                EXPECT_EQ(d.timeToLive, 250);
                EXPECT_FALSE(d.replyData);
                if (c.type == 5) EXPECT_EQ(d.redirectTo, (IPv4Address{198, 18, 1, 254}));
                else EXPECT_FALSE(d.redirectTo);
            }
        }
    }
}

TEST(Decoder, ForeignDatagramsAreSkipped)
{
    Bytes ourRequest = Ipv4(1, kUs, kPeer, Echo(8, kId, kSeq));
    // A UDP datagram whose first 8 bytes happen to read like our request: only the protocol
    // field of the quoted header tells them apart.
    Bytes udp = Ipv4(17, kUs, kPeer, Echo(8, kId, kSeq));
    const std::pair<const char*, Bytes> foreign[] = {
        {"reply with another identifier", Ipv4(1, kPeer, kUs, Echo(0, kId ^ 1, kSeq))},
        {"another program's reply, same sequence", Ipv4(1, kPeer, kUs, Echo(0, 0x0001, kSeq))},
        {"reply with another sequence", Ipv4(1, kPeer, kUs, Echo(0, kId, kSeq + 1))},
        {"reply with the sequence bytes swapped", Ipv4(1, kPeer, kUs, Echo(0, kId, 0xA10D))},
        {"our own request seen again", Ipv4(1, kUs, kPeer, Echo(8, kId, kSeq))},
        {"someone's request to us", Ipv4(1, kPeer, kUs, Echo(8, 0x0001, 1))},
        {"error quoting another identifier", Ipv4(1, kRouter, kUs, Error(3, 1, Ipv4(1, kUs, kPeer, Echo(8, 7, kSeq))))},
        {"error quoting another sequence", Ipv4(1, kRouter, kUs, Error(11, 0, Ipv4(1, kUs, kPeer, Echo(8, kId, 1))))},
        {"error quoting an echo reply", Ipv4(1, kRouter, kUs, Error(3, 3, Ipv4(1, kUs, kPeer, Echo(0, kId, kSeq))))},
        {"error quoting a UDP datagram", Ipv4(1, kRouter, kUs, Error(3, 3, udp))},
        {"timestamp request", Ipv4(1, kPeer, kUs, Echo(13, kId, kSeq))},
        {"timestamp reply", Ipv4(1, kPeer, kUs, Echo(14, kId, kSeq))},
        {"address mask reply", Ipv4(1, kPeer, kUs, Echo(18, kId, kSeq))},
        {"router advertisement", Ipv4(1, kPeer, kUs, Echo(9, kId, kSeq))},
        {"unlisted type 42", Ipv4(1, kPeer, kUs, Echo(42, kId, kSeq))},
        {"unlisted type 255", Ipv4(1, kPeer, kUs, Echo(255, kId, kSeq))},
        // Type 3 wrapped around a quoted request of type 3: only an echo request is ours.
        {"error quoting an error", Ipv4(1, kRouter, kUs, Error(3, 1, Ipv4(1, kUs, kPeer, Error(3, 1, ourRequest))))},
    };
    for (const auto& [what, datagram] : foreign)
        EXPECT_EQ(DecodeDatagram(datagram, kId, kSeq).verdict, Verdict::NotOurs) << what;
}

TEST(Decoder, TruncatedAtEveryLengthIsRejectedSafely)
{
    // Each fixture is as short as an answer can be, so every shorter prefix is unreadable.
    // Each prefix is copied into a buffer of exactly its length, so that a read past the end
    // is caught by the address sanitizer.
    Bytes ourRequest = Ipv4(1, kUs, kPeer, Echo(8, kId, kSeq), 1);
    Bytes quoted(ourRequest.begin(), ourRequest.end() - 8);
    const Bytes answers[] = {
        Ipv4(1, kPeer, kUs, Echo(0, kId, kSeq)),
        Ipv4(1, kPeer, kUs, Echo(0, kId, kSeq), 4),
        Ipv4(1, kRouter, kUs, Error(3, 1, quoted), 2),
        Ipv4(1, kRouter, kUs, Error(12, 0, quoted, {30, 0, 0, 0})),
    };
    for (const Bytes& answer : answers) {
        ASSERT_EQ(DecodeDatagram(answer, kId, kSeq).verdict, Verdict::Answer);
        for (std::size_t length = 0; length < answer.size(); ++length) {
            auto prefix = std::make_unique<std::uint8_t[]>(length);
            std::copy_n(answer.begin(), length, prefix.get());
            Datagram d = DecodeDatagram({prefix.get(), length}, kId, kSeq);
            EXPECT_NE(d.verdict, Verdict::Answer) << length << " of " << answer.size();
        }
    }
}

TEST(Decoder, ImplausibleIpHeadersAreMalformed)
{
    Bytes reply = Ipv4(1, kPeer, kUs, Echo(0, kId, kSeq));
    const std::pair<const char*, std::uint8_t> headers[] = {
        {"IPv6 version", 0x65}, {"header length 16", 0x44}, {"header length 0", 0x40}, {"header length 60", 0x4F}};
    for (auto [what, first] : headers) {
        Bytes datagram = reply;
        datagram[0] = first;
        EXPECT_EQ(DecodeDatagram(datagram, kId, kSeq).verdict, Verdict::Malformed) << what;
    }

    Bytes quotedShortHeader = Ipv4(1, kUs, kPeer, Echo(8, kId, kSeq));
    quotedShortHeader[0] = 0x43;
    EXPECT_EQ(DecodeDatagram(Ipv4(1, kRouter, kUs, Error(3, 1, quotedShortHeader)), kId, kSeq).verdict,
              Verdict::Malformed);
}

TEST(Tables, TypesAndTexts)
{
    using enum TReplyStatusTypes;
    const std::pair<int, std::optional<TReplyStatusTypes>> types[] = {
        {0, rsEcho}, {8, rsEcho}, {3, rsErrorUnreachable}, {4, rsSourceQuench}, {5, rsRedirect},
        {11, rsErrorTTLExceeded}, {12, rsErrorParameter}, {13, rsTimeStamp}, {16, rsInfoRequest},
        {17, rsAddressMaskRequest}, {30, rsTraceRoute}, {31, rsErrorDatagramConversion},
        {32, rsMobileHostRedir}, {33, rsIPv6WhereAreYou}, {34, rsIPv6IAmHere}, {36, rsMobileHostReg},
        {39, rsSKIP}, {40, rsErrorSecurityFailure},
        {1, std::nullopt}, {2, std::nullopt}, {6, std::nullopt}, {7, std::nullopt}, {9, std::nullopt},
        {10, std::nullopt}, {19, std::nullopt}, {29, std::nullopt}, {37, std::nullopt}, {38, std::nullopt},
        {41, std::nullopt}, {255, std::nullopt}};
    for (auto [type, status] : types) EXPECT_EQ(ReplyStatusTypeOf(static_cast<std::uint8_t>(type)), status) << type;

    struct Text {
        std::uint8_t type, code, pointer;
        std::optional<std::wstring> text;
    };
    const Text texts[] = {
        {0, 9, 0, L"Echo"},
        {3, 0, 0, L"net unreachable;"},
        {3, 2, 0, L"protocol unreachable;"},
        {3, 3, 0, std::nullopt},
        {3, 4, 0, L"Fragmentation Needed and Don't Fragment was Set"},
        {3, 15, 0, L"Precedence cutoff in effect"},
        {3, 16, 0, std::nullopt},
        {5, 3, 0, L"Redirect datagrams for the Type of Service and Host."},
        {5, 4, 0, std::nullopt},
        {11, 1, 0, L"fragment reassembly time exceeded."},
        {11, 2, 0, std::nullopt},
        {12, 1, 255, L"Parameter Problem (offset 255)"},
        {14, 0, 0, L"Timestamp"},
        {18, 0, 0, L"Address Mask Request"},
        {30, 1, 0, L"No route for Outbound Packet; packet discarded"},
        {31, 2, 0, L"Unknown mandatory option present"},
        {31, 11, 0, L"Unknown mandatory transport option present"},
        {31, 12, 0, std::nullopt},
        {34, 0, 0, L"IPv6 I-Am-Here"},
        {39, 0, 0, L"SKIP"},
        {40, 0, 0, L"Bad SPI"},
        {40, 5, 0, L"Need Authorization"},
        {40, 6, 0, std::nullopt},
        {42, 0, 0, std::nullopt},
    };
    for (const auto& t : texts) EXPECT_EQ(MessageText(t.type, t.code, t.pointer), t.text) << int(t.type) << "/" << int(t.code);
}

TEST(Clock, ElapsedMillisecondsAreWholeAndSafe)
{
    struct Case {
        std::int64_t start, now, frequency;
        std::uint32_t ms;
    };
    const Case cases[] = {
        {1000, 1000 + 30'999'999, 1'000'000'000, 30},  // truncated, not rounded
        {5, 5 + 50'000'000, 10'000'000, 5000},
        {0, 3'579'545, 3'579'545, 1000},
        {100, 99, 10'000'000, 0},  // went backwards
        {0, 1000, 0, 0},
        {0, std::numeric_limits<std::int64_t>::max(), 1000, std::numeric_limits<std::uint32_t>::max()},
        {std::numeric_limits<std::int64_t>::max() - 10, std::numeric_limits<std::int64_t>::max(), 1000, 10},
    };
    for (const auto& c : cases) EXPECT_EQ(ElapsedMilliseconds(c.start, c.now, c.frequency), c.ms) << c.now;
}

TEST(Status, AnswerAndTimeOutWriteOnlyTheirFields)
{
    TReplyStatus status;
    status.MsgCode = 9;
    status.RedirectTo = L"1.2.3.4";
    status.Msg = L"previous";
    status.PacketNumber = 0;

    Bytes unreachable = Ipv4(1, kRouter, kUs, Error(3, 3, Ipv4(1, kUs, kPeer, Echo(8, kId, kSeq))));
    Datagram d = DecodeDatagram(unreachable, kId, kSeq);
    ASSERT_EQ(d.verdict, Verdict::Answer);
    ApplyAnswer(status, d, static_cast<std::int32_t>(unreachable.size()), 12);
    EXPECT_EQ(status.ReplyStatusType, TReplyStatusTypes::rsErrorUnreachable);
    EXPECT_EQ(status.Msg, L"ICMP type 3, code 3") << "code 3 has no text of its own, and an earlier one would mislead";
    EXPECT_EQ(status.FromIpAddress, L"198.18.1.1");
    EXPECT_EQ(status.ToIpAddress, L"198.18.0.1");
    EXPECT_EQ(status.MsgCode, 3);
    EXPECT_EQ(status.MsRoundTripTime, 12u);
    EXPECT_EQ(status.BytesReceived, static_cast<std::int32_t>(unreachable.size()));
    EXPECT_EQ(status.RedirectTo, L"1.2.3.4");

    ApplyTimeOut(status, 77, 5001);
    EXPECT_EQ(status.ReplyStatusType, TReplyStatusTypes::rsTimeOut);
    EXPECT_EQ(status.Msg, L"Timeout");
    EXPECT_EQ(status.FromIpAddress, L"0.0.0.0");
    EXPECT_EQ(status.ToIpAddress, L"0.0.0.0");
    EXPECT_EQ(status.MsgType, 0);
    EXPECT_EQ(status.SequenceId, 77);
    EXPECT_EQ(status.TimeToLive, 0);
    EXPECT_EQ(status.BytesReceived, 0);
    EXPECT_EQ(status.MsRoundTripTime, 5001u);
    EXPECT_EQ(status.MsgCode, 3) << "a time-out keeps the code";
    EXPECT_EQ(status.RedirectTo, L"1.2.3.4");
}

}  // namespace
}  // namespace vantrel::icmp
