#include "hosttest/IdIcmpClient.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "hosttest/EchoServiceStatus.h"
#include "hosttest/IcmpClock.h"
#include "hosttest/IcmpCodec.h"
#include "netwatch/IdWinsock.h"
#include "app/PlatformVersion.h"

namespace vantrel {

namespace {

constexpr int kAccessDenied = 10013;    // WSAEACCES
constexpr int kMessageTooLong = 10040;  // WSAEMSGSIZE
constexpr int kHostNotFound = 11001;    // WSAHOST_NOT_FOUND
constexpr int kMaxDnsName = 255;
// The echo service writes its own ICMP header (type, code, checksum, identifier, sequence).
constexpr std::size_t kIcmpHeaderSize = 8;
// Room the service needs beyond the reply record and the echoed data: the 8 bytes of an ICMP
// error and the status block of the call (two pointers wide).
constexpr std::size_t kServiceReplyExtra = 8 + 2 * sizeof(void*);

std::vector<std::uint8_t> TextBytes(const std::wstring& text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size());
    for (wchar_t c : text) bytes.push_back(static_cast<std::uint32_t>(c) > 255 ? '?' : static_cast<std::uint8_t>(c));
    return bytes;
}

// The name in its ASCII-compatible form. From Windows 8 on the lookup converts by itself;
// before, IdnToAscii does it where Normaliz.dll or IdnDL.dll provides it.
std::wstring LookupName(const std::wstring& host)
{
    if (host.empty() || VersionAtLeast(PlatformVersion(), 6, 2) || !ws2::IdnToAscii) return host;
    wchar_t ascii[kMaxDnsName + 1];
    int length = ws2::IdnToAscii(0, host.c_str(), static_cast<int>(host.size()), ascii, kMaxDnsName);
    // A name IdnToAscii refuses goes to the lookup unchanged, which then reports it.
    return length > 0 ? std::wstring(ascii, static_cast<std::size_t>(length)) : host;
}

}  // namespace

EIdPackageSizeTooBig::EIdPackageSizeTooBig() : EIdSocketError(kMessageTooLong, L"Package Size Too Big.") {}

EIdNotAllBytesSent::EIdNotAllBytesSent() : EIdSocketError(0, L"Not all bytes sent.") {}

// ---------------------------------------------------------------------------------------------

TIdSocketHandle::TIdSocketHandle() = default;

TIdSocketHandle::~TIdSocketHandle()
{
    CloseSocket();
}

void TIdSocketHandle::AllocateSocket(int type, int protocol)
{
    int family = FIPVersion == TIdIPVersion::Id_IPv4 ? AF_INET : AF_INET6;
    UniqueSocket handle(ws2::socket(family, type, protocol));
    if (!handle) RaiseSocketError(ws2::WSAGetLastError());
    FHandle = std::move(handle);
}

void TIdSocketHandle::SetSockOpt(int level, int option, int value)
{
    if (ws2::setsockopt(FHandle.get(), level, option, reinterpret_cast<const char*>(&value), sizeof value) == SOCKET_ERROR)
        RaiseSocketError(ws2::WSAGetLastError());
}

void TIdSocketHandle::CloseSocket() noexcept
{
    TCriticalSection::Guard guard(FLock);
    if (FHandle) {
        ws2::shutdown(FHandle.get(), SD_SEND);
        FHandle.reset();
    }
}

void TIdSocketHandle::SetIPVersion(TIdIPVersion value)
{
    if (value == FIPVersion) return;
    if (HandleAllocated()) throw EIdException(L"Cannot change IPVersion when connected");
    FIPVersion = value;
}

// ---------------------------------------------------------------------------------------------

TIdRawBase::TIdRawBase(TObject* owner) : TIdComponent(owner) {}

TIdRawBase::~TIdRawBase()
{
    FBinding.CloseSocket();
}

void TIdRawBase::Send(const std::wstring& AData)
{
    auto bytes = TextBytes(AData);
    Send(bytes);
}

void TIdRawBase::Send(std::vector<std::uint8_t>& ABuffer)
{
    Send(FHost, FPort, ABuffer);
}

void TIdRawBase::Send(const std::wstring& AHost, std::uint16_t APort, const std::wstring& AData)
{
    auto bytes = TextBytes(AData);
    Send(AHost, APort, bytes);
}

void TIdRawBase::Send(const std::wstring& AHost, std::uint16_t APort, std::vector<std::uint8_t>& ABuffer)
{
    std::wstring address = ResolveHost(AHost);
    EnsureSocket();
    SendTo(address, APort, ABuffer);
}

void TIdRawBase::SendTo(const std::wstring& address, std::uint16_t APort, const std::vector<std::uint8_t>& ABuffer)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = ws2::htons(APort);
    auto bytes = *icmp::ParseHostLiteral(address);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<std::uint8_t*>(&to.sin_addr));
    int sent = ws2::sendto(FBinding.GetHandle(), reinterpret_cast<const char*>(ABuffer.data()),
                           static_cast<int>(ABuffer.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent == SOCKET_ERROR) {
        int error = ws2::WSAGetLastError();
        if (error == kMessageTooLong) throw EIdPackageSizeTooBig();
        RaiseSocketError(error);
    }
    if (static_cast<std::size_t>(sent) < ABuffer.size()) throw EIdNotAllBytesSent();
}

std::wstring TIdRawBase::ResolveHost(const std::wstring& host)
{
    if (auto literal = icmp::ParseHostLiteral(host)) return icmp::FormatIPv4(*literal);

    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    UniqueAddressInfo found;
    std::wstring name = LookupName(host);
    int error = ws2::GetAddrInfoW(name.c_str(), nullptr, &hints, found.put());
    if (error != 0) RaiseSocketError(error);
    for (const ADDRINFOW* entry = found.get(); entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || !entry->ai_addr || entry->ai_addrlen < sizeof(sockaddr_in)) continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        icmp::IPv4Address bytes;
        std::copy_n(reinterpret_cast<const std::uint8_t*>(&address->sin_addr), 4, bytes.begin());
        return icmp::FormatIPv4(bytes);
    }
    RaiseSocketError(kHostNotFound);
}

void TIdRawBase::EnsureSocket()
{
    if (FBinding.HandleAllocated()) return;
    FBinding.AllocateSocket(SOCK_RAW, FProtocol);
    FBinding.SetSockOpt(IPPROTO_IP, IP_TTL, FTTL);
}

// ---------------------------------------------------------------------------------------------

TIdCustomIcmpClient::TIdCustomIcmpClient(TObject* owner)
    : TIdRawClient(owner),
      wSeqNo(icmp::kFirstSequence),
      FIdentifier(static_cast<std::uint16_t>(::GetCurrentProcessId() & 0xFFFF)),
      FReceived(icmp::kReceiveBufferSize)
{
    FProtocol = 1;
    FProtocolIPv6 = 58;
    FReceiveTimeout = 5000;
}

void TIdCustomIcmpClient::SetPacketSize(std::int32_t value) noexcept
{
    FPacketSize = icmp::ClampPacketSize(value);
}

void TIdCustomIcmpClient::Ping(const std::wstring& ABuffer, std::uint16_t SequenceID)
{
    std::wstring address = ResolveHost(FHost);
    if (SequenceID != 0) wSeqNo = SequenceID;
    PrepareEchoRequest(ABuffer);
    OpenRawSocketOrRemember();
    if (FRawRefused) {
        EchoThroughService(address);
    } else {
        Send(address, FPort, FRequest);
        Receive(FReceiveTimeout);
        // A fresh socket for every exchange: nothing left over from this one can reach the next.
        FBinding.CloseSocket();
    }
    DoReply();
    wSeqNo = icmp::NextSequence(wSeqNo);
}

void TIdCustomIcmpClient::OpenRawSocketOrRemember()
{
    if (FRawRefused || FBinding.HandleAllocated()) return;
    try {
        EnsureSocket();
    } catch (const EIdSocketError& error) {
        // Only the refusal to open the socket: an open socket that refuses the TTL is a
        // failure like any other. Asking again at every ping would only be refused again.
        if (error.LastError != kAccessDenied || FBinding.HandleAllocated()) throw;
        FRawRefused = true;
    }
}

void TIdCustomIcmpClient::EchoThroughService(const std::wstring& address)
{
    if (!FEchoService) {
        FEchoService.reset(iphlp::IcmpCreateFile());
        if (!FEchoService) RaiseSocketError(static_cast<int>(::GetLastError()));
    }
    // Our request after its ICMP header, the send stamp and the payload, is the service's
    // request data: the host echoes the same bytes as on the raw path.
    const std::uint8_t* data = FRequest.data() + kIcmpHeaderSize;
    const auto dataSize = static_cast<WORD>(FRequest.size() - kIcmpHeaderSize);
    FServiceReply.assign(sizeof(ICMP_ECHO_REPLY) + dataSize + kServiceReplyExtra, 0);
    IP_OPTION_INFORMATION options{};
    options.Ttl = static_cast<UCHAR>(FTTL);
    IPAddr destination;
    std::memcpy(&destination, icmp::ParseHostLiteral(address)->data(), sizeof destination);

    const LONGLONG frequency = icmpclock::PerformanceFrequency();
    const LONGLONG started = icmpclock::PerformanceCount();
    const DWORD replies = iphlp::IcmpSendEcho2(FEchoService.get(), nullptr, nullptr, nullptr, destination,
                                               const_cast<std::uint8_t*>(data), dataSize, &options,
                                               FServiceReply.data(), static_cast<DWORD>(FServiceReply.size()),
                                               static_cast<DWORD>(std::max(FReceiveTimeout, 0)));
    const DWORD lastError = ::GetLastError();
    // The service's own millisecond field comes in the system tick's steps; ours is measured
    // as on the raw path.
    const std::uint32_t roundTrip =
        icmp::ElapsedMilliseconds(started, icmpclock::PerformanceCount(), frequency);

    ICMP_ECHO_REPLY reply;
    std::memcpy(&reply, FServiceReply.data(), sizeof reply);
    icmp::ServiceReply outcome;
    // No reply at all (a time-out among them) is told by the last error.
    outcome.status = replies > 0 ? reply.Status : lastError;
    std::memcpy(outcome.from.data(), &reply.Address, outcome.from.size());
    outcome.timeToLive = reply.Options.Ttl;
    outcome.optionsSize = reply.Options.OptionsSize;
    // The echoed data lies inside our buffer; anything else is not taken.
    const auto* first = static_cast<const std::uint8_t*>(reply.Data);
    const std::uint8_t* bufferEnd = FServiceReply.data() + FServiceReply.size();
    if (replies > 0 && first >= FServiceReply.data() && first <= bufferEnd &&
        reply.DataSize <= static_cast<std::size_t>(bufferEnd - first))
        outcome.data = {first, reply.DataSize};
    if (!icmp::ApplyServiceReply(FReplyStatus, FReplyData, outcome, wSeqNo, roundTrip))
        RaiseSocketError(static_cast<int>(outcome.status));
}

void TIdCustomIcmpClient::PrepareEchoRequest(const std::wstring& ABuffer)
{
    icmp::BuildEchoRequest(FRequest, FIdentifier, wSeqNo, icmpclock::GetTickCount64(), ABuffer, FPacketSize);
}

void TIdCustomIcmpClient::Send(const std::wstring& AHost, std::uint16_t APort, std::vector<std::uint8_t>& ABuffer)
{
    std::wstring address = ResolveHost(AHost);
    EnsureSocket();
    icmp::WriteChecksum(ABuffer);
    FSentAt = icmpclock::PerformanceCount();
    SendTo(address, APort, ABuffer);
}

const TReplyStatus& TIdCustomIcmpClient::Receive(std::int32_t ATimeOut)
{
    const LONGLONG frequency = icmpclock::PerformanceFrequency();
    const LONGLONG waitStart = icmpclock::PerformanceCount();
    auto waited = [&] { return icmp::ElapsedMilliseconds(waitStart, icmpclock::PerformanceCount(), frequency); };
    const std::uint32_t limit = static_cast<std::uint32_t>(std::max(ATimeOut, 0));
    std::uint32_t remaining = limit;

    for (;;) {
        fd_set readable;
        readable.fd_count = 1;
        readable.fd_array[0] = FBinding.GetHandle();
        timeval timeout{static_cast<long>(remaining / 1000), static_cast<long>((remaining % 1000) * 1000)};
        int ready = ws2::select(0, &readable, nullptr, nullptr, &timeout);
        // The datagram was there when the wait ended: that is when the answer came, not when
        // the platform has also handed it over (under Wine a second trip through its server).
        const LONGLONG arrivedAt = icmpclock::PerformanceCount();
        if (ready == SOCKET_ERROR) RaiseSocketError(ws2::WSAGetLastError());
        if (ready == 0) break;

        sockaddr_in from{};
        int fromLength = sizeof from;
        int received = ws2::recvfrom(FBinding.GetHandle(), reinterpret_cast<char*>(FReceived.data()),
                                     static_cast<int>(FReceived.size()), 0, reinterpret_cast<sockaddr*>(&from),
                                     &fromLength);
        if (received == SOCKET_ERROR) RaiseSocketError(ws2::WSAGetLastError());
        // No IPv4 datagram fills the buffer; one that does was cut short by a platform that
        // truncates silently.
        if (static_cast<std::size_t>(received) >= FReceived.size()) RaiseSocketError(kMessageTooLong);

        if (received > 0) {
            FReplyStatus.ReplyStatusType = TReplyStatusTypes::rsError;
            auto datagram = icmp::DecodeDatagram({FReceived.data(), static_cast<std::size_t>(received)}, FIdentifier,
                                                 wSeqNo);
            if (datagram.verdict == icmp::Verdict::Answer) {
                std::uint32_t roundTrip = icmp::ElapsedMilliseconds(FSentAt, arrivedAt, frequency);
                icmp::ApplyAnswer(FReplyStatus, datagram, received, roundTrip);
                if (datagram.replyData) FReplyData = std::move(*datagram.replyData);
                return FReplyStatus;
            }
        }
        // Someone else's datagram: keep waiting for what is left of the time-out.
        std::uint32_t elapsed = waited();
        icmp::ApplyTimeOut(FReplyStatus, wSeqNo, elapsed);
        if (elapsed >= limit) return FReplyStatus;
        remaining = limit - elapsed;
    }
    icmp::ApplyTimeOut(FReplyStatus, wSeqNo, waited());
    return FReplyStatus;
}

void TIdCustomIcmpClient::DoReply()
{
    if (OnReply) OnReply(this, FReplyStatus);
}

}  // namespace vantrel
