#pragma once
// The bytes of ICMP echo over IPv4: the request the client sends, the checksum, the host
// literals it resolves without a lookup, and the decoder that decides whether a received
// datagram answers the request in flight.
//
// A raw ICMP socket hands us every ICMP datagram that reaches the machine, from anyone, so
// the decoder trusts no byte: every length and offset is checked before it is read. No
// Windows header here, so all of this is built natively and fuzzed.

#include "hosttest/ReplyStatus.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::icmp {

using IPv4Address = std::array<std::uint8_t, 4>;

inline constexpr std::uint8_t kEchoReply = 0;
inline constexpr std::uint8_t kDestinationUnreachable = 3;
inline constexpr std::uint8_t kSourceQuench = 4;
inline constexpr std::uint8_t kRedirect = 5;
inline constexpr std::uint8_t kEchoRequest = 8;
inline constexpr std::uint8_t kTimeExceeded = 11;
inline constexpr std::uint8_t kParameterProblem = 12;

// Type, code, checksum, identifier, sequence number and the 8-byte send stamp.
inline constexpr std::size_t kEchoHeaderSize = 16;
inline constexpr std::int32_t kMaxPacketSize = 1024;
inline constexpr std::uint16_t kFirstSequence = 3489;
// An IPv4 datagram is at most 65535 bytes; one byte more lets a receive that filled the whole
// buffer be told apart from a datagram that was cut short.
inline constexpr std::size_t kReceiveBufferSize = 65536;

// Negative sizes become 0, anything above the limit becomes the limit.
std::int32_t ClampPacketSize(std::int32_t value) noexcept;

// The sequence number after a completed exchange: the 16-bit counter simply wraps.
constexpr std::uint16_t NextSequence(std::uint16_t sequence) noexcept
{
    return static_cast<std::uint16_t>(sequence + 1u);
}

// Fills `request` with an echo request whose checksum field is still 0 (it is written when
// the request is sent). Identifier, sequence and stamp go least significant byte first: the
// echoing host returns them untouched and we read them back the same way. The payload is one
// byte per character, '?' for characters above 255, cut to `packetSize` characters.
void BuildEchoRequest(std::vector<std::uint8_t>& request, std::uint16_t identifier, std::uint16_t sequence,
                      std::uint64_t sendStamp, std::wstring_view payload, std::int32_t packetSize);

// RFC 1071 over `data`, the words taken least significant byte first, so the result is
// stored least significant byte first as well.
std::uint16_t InternetChecksum(std::span<const std::uint8_t> data) noexcept;

// Zeroes bytes 2-3, computes the checksum over the whole request and stores it there.
// Requests shorter than the ICMP header are left alone.
void WriteChecksum(std::span<std::uint8_t> request) noexcept;

// "LOCALHOST" in any letter case, or exactly four dot-separated decimal parts 0..255, each
// with blanks allowed around it. Anything else needs the name lookup: nullopt.
std::optional<IPv4Address> ParseHostLiteral(std::wstring_view host);

// The address as the rest of the program writes one (netwatch/IdAddressText.h).
std::wstring FormatIPv4(const IPv4Address& address);

enum class Verdict {
    Answer,     // answers the request in flight
    NotOurs,    // a well-formed datagram for someone else, or our own request seen again
    Malformed,  // too short or inconsistent to be read
};

struct Datagram {
    Verdict verdict = Verdict::Malformed;
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint8_t timeToLive = 0;
    IPv4Address from{};
    IPv4Address to{};
    std::uint16_t sequence = 0;
    TReplyStatusTypes status = TReplyStatusTypes::rsError;
    std::optional<std::wstring> msg;         // the text of an answer
    std::optional<IPv4Address> redirectTo;   // the gateway of a redirect
    std::optional<std::wstring> replyData;   // an echo reply's bytes from the stamp on
};

// Decodes one received datagram (IPv4 header included). The answer is an echo reply carrying
// `identifier` and `sequence`, or an ICMP error whose quoted datagram is our echo request with
// both. Fields other than `verdict` are meaningful only for an answer.
Datagram DecodeDatagram(std::span<const std::uint8_t> datagram, std::uint16_t identifier, std::uint16_t sequence);

// The kind of result an ICMP type stands for; nullopt for types we do not know.
std::optional<TReplyStatusTypes> ReplyStatusTypeOf(std::uint8_t type) noexcept;

// The short description of an ICMP type and code; `pointer` is the octet a parameter problem
// points at. nullopt where the table has no text.
std::optional<std::wstring> MessageText(std::uint8_t type, std::uint8_t code, std::uint8_t pointer);

// The text of an answer: the table's, or for a type and code it has no text for, one that
// names them, so that a line about this exchange never shows an earlier exchange's text.
std::wstring ReplyMessage(std::uint8_t type, std::uint8_t code, std::uint8_t pointer);

// Whole milliseconds between two readings of a counter running at `frequency` per second,
// truncated; 0 when the counter went backwards or the frequency is unusable.
std::uint32_t ElapsedMilliseconds(std::int64_t start, std::int64_t now, std::int64_t frequency) noexcept;

// Writes a decoded answer into the client's record; `roundTrip` is our own measurement.
void ApplyAnswer(TReplyStatus& status, const Datagram& answer, std::int32_t bytesReceived, std::uint32_t roundTrip);

// Writes the result of a wait that ended without an answer. Code and redirect target keep
// their previous values.
void ApplyTimeOut(TReplyStatus& status, std::uint16_t sequence, std::uint32_t waited);

}  // namespace vantrel::icmp
