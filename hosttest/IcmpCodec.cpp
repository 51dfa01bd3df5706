#include "hosttest/IcmpCodec.h"

#include <algorithm>
#include <limits>

#include "netwatch/IdAddressText.h"

namespace vantrel::icmp {

namespace {

constexpr std::size_t kMinIpHeader = 20;
constexpr std::size_t kIcmpHeader = 8;
constexpr std::uint8_t kProtocolIcmp = 1;

std::uint16_t ReadLittle16(std::span<const std::uint8_t> bytes, std::size_t at) noexcept
{
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

void WriteLittle(std::vector<std::uint8_t>& out, std::uint64_t value, int count)
{
    for (int i = 0; i < count; ++i) {
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        value >>= 8;
    }
}

IPv4Address ReadAddress(std::span<const std::uint8_t> bytes, std::size_t at) noexcept
{
    return {bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]};
}

// Length of the IPv4 header starting at `at`, or 0 when there is no plausible one there.
std::size_t IpHeaderLength(std::span<const std::uint8_t> bytes, std::size_t at) noexcept
{
    if (bytes.size() < at + kMinIpHeader) return 0;
    if ((bytes[at] >> 4) != 4) return 0;
    std::size_t length = static_cast<std::size_t>(bytes[at] & 0x0F) * 4;
    if (length < kMinIpHeader || bytes.size() < at + length) return 0;
    return length;
}

bool IsErrorType(std::uint8_t type) noexcept
{
    return type == kDestinationUnreachable || type == kSourceQuench || type == kRedirect ||
           type == kTimeExceeded || type == kParameterProblem;
}

bool IsBlank(wchar_t c) noexcept { return c <= L' '; }

std::optional<std::uint8_t> ParseOctet(std::wstring_view part)
{
    while (!part.empty() && IsBlank(part.front())) part.remove_prefix(1);
    while (!part.empty() && IsBlank(part.back())) part.remove_suffix(1);
    if (part.empty()) return std::nullopt;
    unsigned value = 0;
    for (wchar_t c : part) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - L'0');
        if (value > 255) return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

}  // namespace

std::int32_t ClampPacketSize(std::int32_t value) noexcept
{
    return std::clamp(value, std::int32_t{0}, kMaxPacketSize);
}

void BuildEchoRequest(std::vector<std::uint8_t>& request, std::uint16_t identifier, std::uint16_t sequence,
                      std::uint64_t sendStamp, std::wstring_view payload, std::int32_t packetSize)
{
    std::size_t payloadLength = std::min(payload.size(), static_cast<std::size_t>(ClampPacketSize(packetSize)));
    request.clear();
    request.reserve(kEchoHeaderSize + payloadLength);
    request.push_back(kEchoRequest);
    request.push_back(0);  // code
    WriteLittle(request, 0, 2);  // checksum, written when sent
    WriteLittle(request, identifier, 2);
    WriteLittle(request, sequence, 2);
    WriteLittle(request, sendStamp, 8);
    for (std::size_t i = 0; i < payloadLength; ++i) {
        auto c = static_cast<std::uint32_t>(payload[i]);
        request.push_back(c > 255 ? static_cast<std::uint8_t>('?') : static_cast<std::uint8_t>(c));
    }
}

std::uint16_t InternetChecksum(std::span<const std::uint8_t> data) noexcept
{
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < data.size(); i += 2) sum += static_cast<std::uint32_t>(data[i] | (data[i + 1] << 8));
    if (i < data.size()) sum += data[i];
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

void WriteChecksum(std::span<std::uint8_t> request) noexcept
{
    if (request.size() < kIcmpHeader) return;
    request[2] = 0;
    request[3] = 0;
    std::uint16_t checksum = InternetChecksum(request);
    request[2] = static_cast<std::uint8_t>(checksum & 0xFF);
    request[3] = static_cast<std::uint8_t>(checksum >> 8);
}

std::optional<IPv4Address> ParseHostLiteral(std::wstring_view host)
{
    constexpr std::wstring_view localhost = L"LOCALHOST";
    if (host.size() == localhost.size() &&
        std::equal(host.begin(), host.end(), localhost.begin(), [](wchar_t a, wchar_t b) {
            return (a >= L'a' && a <= L'z' ? static_cast<wchar_t>(a - L'a' + L'A') : a) == b;
        })) {
        return IPv4Address{127, 0, 0, 1};
    }
    IPv4Address address{};
    std::size_t part = 0;
    for (;;) {
        std::size_t dot = host.find(L'.');
        if (part == 3) {
            if (dot != std::wstring_view::npos) return std::nullopt;  // a fifth part
            auto octet = ParseOctet(host);
            if (!octet) return std::nullopt;
            address[3] = *octet;
            return address;
        }
        if (dot == std::wstring_view::npos) return std::nullopt;  // fewer than four parts
        auto octet = ParseOctet(host.substr(0, dot));
        if (!octet) return std::nullopt;
        address[part++] = *octet;
        host.remove_prefix(dot + 1);
    }
}

std::wstring FormatIPv4(const IPv4Address& address)
{
    return IPv4ToText(address.data());
}

Datagram DecodeDatagram(std::span<const std::uint8_t> datagram, std::uint16_t identifier, std::uint16_t sequence)
{
    Datagram out;
    // The header length comes from the sender: options make it longer than 20 bytes, and a
    // header length the datagram cannot hold makes the datagram unreadable.
    std::size_t h = IpHeaderLength(datagram, 0);
    if (h == 0 || datagram.size() < h + kIcmpHeader) return out;

    out.type = datagram[h];
    out.code = datagram[h + 1];
    out.timeToLive = datagram[8];
    out.from = ReadAddress(datagram, 12);
    out.to = ReadAddress(datagram, 16);
    out.verdict = Verdict::NotOurs;

    if (out.type == kEchoReply) {
        // Every request we send is at least the 16-byte header, and the host echoes it whole.
        if (datagram.size() < h + kEchoHeaderSize) {
            out.verdict = Verdict::Malformed;
            return out;
        }
        out.sequence = ReadLittle16(datagram, h + 6);
        if (ReadLittle16(datagram, h + 4) != identifier || out.sequence != sequence) return out;
        out.replyData.emplace();
        for (std::size_t i = h + kIcmpHeader; i < datagram.size(); ++i) out.replyData->push_back(datagram[i]);
    } else if (IsErrorType(out.type)) {
        // An error message quotes the IPv4 header of the datagram that caused it and at least
        // its first 8 bytes: for our request, type, code, checksum, identifier and sequence.
        std::size_t quoted = h + kIcmpHeader;
        std::size_t quotedHeader = IpHeaderLength(datagram, quoted);
        if (quotedHeader == 0 || datagram.size() < quoted + quotedHeader + kIcmpHeader) {
            out.verdict = Verdict::Malformed;
            return out;
        }
        std::size_t request = quoted + quotedHeader;
        if (datagram[quoted + 9] != kProtocolIcmp || datagram[request] != kEchoRequest) return out;
        out.sequence = ReadLittle16(datagram, request + 6);
        if (ReadLittle16(datagram, request + 4) != identifier || out.sequence != sequence) return out;
        if (out.type == kRedirect) out.redirectTo = ReadAddress(datagram, h + 4);
    } else {
        // Our own requests (seen again on loop-back paths), and every other kind of message.
        return out;
    }

    out.verdict = Verdict::Answer;
    out.status = *ReplyStatusTypeOf(out.type);
    out.msg = ReplyMessage(out.type, out.code, datagram[h + 4]);
    return out;
}

std::optional<TReplyStatusTypes> ReplyStatusTypeOf(std::uint8_t type) noexcept
{
    using enum TReplyStatusTypes;
    switch (type) {
    case 0: case 8: return rsEcho;
    case 3: return rsErrorUnreachable;
    case 4: return rsSourceQuench;
    case 5: return rsRedirect;
    case 11: return rsErrorTTLExceeded;
    case 12: return rsErrorParameter;
    case 13: case 14: return rsTimeStamp;
    case 15: case 16: return rsInfoRequest;
    case 17: case 18: return rsAddressMaskRequest;
    case 30: return rsTraceRoute;
    case 31: return rsErrorDatagramConversion;
    case 32: return rsMobileHostRedir;
    case 33: return rsIPv6WhereAreYou;
    case 34: return rsIPv6IAmHere;
    case 35: case 36: return rsMobileHostReg;
    case 39: return rsSKIP;
    case 40: return rsErrorSecurityFailure;
    default: return std::nullopt;
    }
}

std::optional<std::wstring> MessageText(std::uint8_t type, std::uint8_t code, std::uint8_t pointer)
{
    auto pick = [code](std::initializer_list<const wchar_t*> texts, unsigned first) -> std::optional<std::wstring> {
        if (code < first || code - first >= texts.size()) return std::nullopt;
        const wchar_t* text = texts.begin()[code - first];
        if (!text) return std::nullopt;
        return std::wstring(text);
    };
    switch (type) {
    case 0: case 8: return L"Echo";
    case 3:
        return pick({L"net unreachable;", L"host unreachable;", L"protocol unreachable;", nullptr,
                     L"Fragmentation Needed and Don't Fragment was Set", L"Source Route Failed",
                     L"Destination Network Unknown", L"Destination Host Unknown", L"Source Host Isolated",
                     L"Communication with Destination Network is Administratively Prohibited",
                     L"Communication with Destination Host is Administratively Prohibited",
                     L"Destination Network Unreachable for Type of Service",
                     L"Destination Host Unreachable for Type of Service",
                     L"Communication Administratively Prohibited", L"Host Precedence Violation",
                     L"Precedence cutoff in effect"},
                    0);
    case 4: return L"Source Quench Message";
    case 5:
        return pick({L"Redirect datagrams for the Network.", L"Redirect datagrams for the Host.",
                     L"Redirect datagrams for the Type of Service and Network.",
                     L"Redirect datagrams for the Type of Service and Host."},
                    0);
    case 11: return pick({L"time to live exceeded in transit", L"fragment reassembly time exceeded."}, 0);
    case 12: return L"Parameter Problem (offset " + std::to_wstring(pointer) + L")";
    case 13: case 14: return L"Timestamp";
    case 15: return L"Information Request";
    case 16: return L"Information Reply";
    case 17: case 18: return L"Address Mask Request";
    case 30:
        return pick({L"Outbound Packet successfully forwarded", L"No route for Outbound Packet; packet discarded"}, 0);
    case 31:
        return pick({L"Unknown or unspecified error", L"Don't Convert option present",
                     L"Unknown mandatory option present", L"Known unsupported option present",
                     L"Unsupported transport protocol", L"Overall length exceeded", L"IP header length exceeded",
                     L"Transport protocol > 255", L"Port conversion out of range",
                     L"Transport header length exceeded", L"32 Bit Rollover missing and ACK set",
                     L"Unknown mandatory transport option present"},
                    0);
    case 32: return L"Mobile Host Redirect";
    case 33: return L"IPv6 Where-Are-You";
    case 34: return L"IPv6 I-Am-Here";
    case 35: return L"Mobile Registration Request";
    case 36: return L"Mobile Registration Reply";
    case 39: return L"SKIP";
    case 40:
        return pick({L"Bad SPI", L"Authentication Failed", L"Decompression Failed", L"Decryption Failed",
                     L"Need Authentication", L"Need Authorization"},
                    0);
    default: return std::nullopt;
    }
}

std::wstring ReplyMessage(std::uint8_t type, std::uint8_t code, std::uint8_t pointer)
{
    if (auto text = MessageText(type, code, pointer)) return *text;
    return L"ICMP type " + std::to_wstring(type) + L", code " + std::to_wstring(code);
}

std::uint32_t ElapsedMilliseconds(std::int64_t start, std::int64_t now, std::int64_t frequency) noexcept
{
    if (frequency <= 0 || now < start) return 0;
    auto ticks = static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(start);
    auto perSecond = static_cast<std::uint64_t>(frequency);
    std::uint64_t seconds = ticks / perSecond;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (seconds >= kMax / 1000) return static_cast<std::uint32_t>(kMax);
    // Split so that ticks * 1000 cannot overflow for any realistic counter frequency.
    std::uint64_t ms = seconds * 1000 + (ticks % perSecond) * 1000 / perSecond;
    return static_cast<std::uint32_t>(std::min(ms, kMax));
}

void ApplyAnswer(TReplyStatus& status, const Datagram& answer, std::int32_t bytesReceived, std::uint32_t roundTrip)
{
    status.BytesReceived = bytesReceived;
    status.FromIpAddress = FormatIPv4(answer.from);
    status.ToIpAddress = FormatIPv4(answer.to);
    status.MsgType = answer.type;
    status.MsgCode = answer.code;
    status.SequenceId = answer.sequence;
    status.MsRoundTripTime = roundTrip;
    status.TimeToLive = answer.timeToLive;
    status.ReplyStatusType = answer.status;
    status.Msg = answer.msg ? *answer.msg : ReplyMessage(answer.type, answer.code, 0);
    if (answer.redirectTo) status.RedirectTo = FormatIPv4(*answer.redirectTo);
}

void ApplyTimeOut(TReplyStatus& status, std::uint16_t sequence, std::uint32_t waited)
{
    status.BytesReceived = 0;
    status.FromIpAddress = L"0.0.0.0";
    status.ToIpAddress = L"0.0.0.0";
    status.MsgType = 0;
    status.SequenceId = sequence;
    status.MsRoundTripTime = waited;
    status.TimeToLive = 0;
    status.ReplyStatusType = TReplyStatusTypes::rsTimeOut;
    status.Msg = L"Timeout";
}

}  // namespace vantrel::icmp
