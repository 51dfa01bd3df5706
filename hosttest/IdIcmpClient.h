#pragma once
// The ICMP echo client: one echo exchange with an IPv4 host per Ping, over a raw socket.
//
// Ping blocks its caller for the host lookup plus at most ReceiveTimeout. The raw socket sees
// every ICMP datagram that reaches the machine; the codec (hosttest/IcmpCodec.h) picks out the
// one that answers the request in flight and the rest are skipped.
//
// Only an elevated process may open a raw socket. For everyone else the platform refuses it
// with WSAEACCES, and the client then makes the same exchange through the platform's ICMP echo
// service (hosttest/EchoServiceStatus.h), with the same result for the same outcome.

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Handles.h"
#include "hosttest/ReplyStatus.h"
#include "netwatch/IdComponent.h"
#include "netwatch/IdException.h"
#include "netwatch/IdIcmpService.h"
#include "netwatch/IdLocalAddress.h"
#include "netwatch/IdWinsock.h"

namespace vantrel {

// sendto refused the datagram as too large for the socket.
class EIdPackageSizeTooBig : public EIdSocketError {
public:
    EIdPackageSizeTooBig();
};

// sendto took fewer bytes than the request holds.
class EIdNotAllBytesSent : public EIdSocketError {
public:
    EIdNotAllBytesSent();
};

class EIdIcmpException : public EIdException {
public:
    using EIdException::EIdException;
};

// The socket wrapper: owns at most one socket and closes it.
class TIdSocketHandle {
public:
    TIdSocketHandle();
    virtual ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    SOCKET GetHandle() const noexcept { return FHandle.get(); }
    bool HandleAllocated() const noexcept { return static_cast<bool>(FHandle); }

    // Opens a socket of the wrapper's IP version; raises EIdSocketError when refused.
    void AllocateSocket(int type, int protocol);
    void SetSockOpt(int level, int option, int value);
    // Shuts down sending, then closes. Does nothing when no socket is open.
    virtual void CloseSocket() noexcept;

    TIdIPVersion GetIPVersion() const noexcept { return FIPVersion; }
    // Raises when a socket is open and the version would change.
    void SetIPVersion(TIdIPVersion value);

private:
    UniqueSocket FHandle;
    TIdIPVersion FIPVersion = TIdIPVersion::Id_IPv4;
    TCriticalSection FLock;  // held while the socket is closed
};

class TIdRawBase : public TIdComponent {
public:
    explicit TIdRawBase(TObject* owner = nullptr);
    ~TIdRawBase() override;

    TIdSocketHandle& GetBinding() noexcept { return FBinding; }

    const std::wstring& GetHost() const noexcept { return FHost; }
    virtual void SetHost(const std::wstring& value) { FHost = value; }
    std::uint16_t GetPort() const noexcept { return FPort; }
    void SetPort(std::uint16_t value) noexcept { FPort = value; }
    std::int32_t GetReceiveTimeout() const noexcept { return FReceiveTimeout; }
    void SetReceiveTimeout(std::int32_t value) noexcept { FReceiveTimeout = value; }
    std::int32_t GetProtocol() const noexcept { return FProtocol; }
    void SetProtocol(std::int32_t value) noexcept { FProtocol = value; }
    std::int32_t GetProtocolIPv6() const noexcept { return FProtocolIPv6; }
    void SetProtocolIPv6(std::int32_t value) noexcept { FProtocolIPv6 = value; }
    TIdIPVersion GetIPVersion() const noexcept { return FBinding.GetIPVersion(); }
    void SetIPVersion(TIdIPVersion value) { FBinding.SetIPVersion(value); }
    std::int32_t GetTTL() const noexcept { return FTTL; }
    void SetTTL(std::int32_t value) noexcept { FTTL = value; }

    // Bytes as text, one character per byte, sent to `Host` and `Port` (or to `AHost`).
    virtual void Send(const std::wstring& AData);
    virtual void Send(std::vector<std::uint8_t>& ABuffer);
    virtual void Send(const std::wstring& AHost, std::uint16_t APort, const std::wstring& AData);
    virtual void Send(const std::wstring& AHost, std::uint16_t APort, std::vector<std::uint8_t>& ABuffer);

protected:
    // The dotted IPv4 address for `host`: LOCALHOST and literals directly, everything else
    // through the platform's lookup. Raises EIdSocketError when the lookup fails.
    std::wstring ResolveHost(const std::wstring& host);
    // Opens the socket if none is open, with the TTL set on it.
    void EnsureSocket();
    // Sends ABuffer to the dotted IPv4 `address` on the open socket.
    void SendTo(const std::wstring& address, std::uint16_t APort, const std::vector<std::uint8_t>& ABuffer);

    TIdSocketHandle FBinding;
    std::wstring FHost;
    std::uint16_t FPort = 0;
    std::int32_t FReceiveTimeout = 0;
    std::int32_t FProtocol = 255;
    std::int32_t FProtocolIPv6 = 0;
    std::int32_t FTTL = 128;
};

class TIdRawClient : public TIdRawBase {
public:
    using TIdRawBase::TIdRawBase;
};

using TOnReplyEvent = std::function<void(TObject* ASender, const TReplyStatus& AReplyStatus)>;

class TIdCustomIcmpClient : public TIdRawClient {
public:
    explicit TIdCustomIcmpClient(TObject* owner = nullptr);

    // One echo exchange. SequenceID 0 keeps the client's own counter. Completes with a reply,
    // an ICMP error answer or a time-out, each handed to OnReply; anything else raises, and
    // then the sequence number does not advance and the socket stays open.
    void Ping(const std::wstring& ABuffer = L"", std::uint16_t SequenceID = 0);

    // Waits up to ATimeOut ms for the answer to the request just sent.
    const TReplyStatus& Receive(std::int32_t ATimeOut);

    using TIdRawBase::Send;
    // Resolves `AHost`, writes the checksum into ABuffer and sends it.
    void Send(const std::wstring& AHost, std::uint16_t APort, std::vector<std::uint8_t>& ABuffer) override;

    std::int32_t GetPacketSize() const noexcept { return FPacketSize; }
    // Negative sizes store 0, sizes above 1024 store 1024.
    void SetPacketSize(std::int32_t value) noexcept;

    const TReplyStatus& GetReplyStatus() const noexcept { return FReplyStatus; }
    const std::wstring& GetReplyData() const noexcept { return FReplyData; }
    std::uint16_t GetwSeqNo() const noexcept { return wSeqNo; }
    // True once the raw socket has been refused for want of rights: from then on, for the
    // client's life, every exchange goes through the echo service.
    bool GetUsesEchoService() const noexcept { return FRawRefused; }

    TOnReplyEvent OnReply;

protected:
    virtual void DoReply();

    std::int32_t FPacketSize = 32;
    std::uint16_t wSeqNo;
    TReplyStatus FReplyStatus;
    std::wstring FReplyData;

private:
    void PrepareEchoRequest(const std::wstring& ABuffer);
    // Opens the raw socket unless one is open or it was refused before; a refusal for want of
    // rights is remembered instead of raised.
    void OpenRawSocketOrRemember();
    // The exchange with the dotted IPv4 `address` through the echo service.
    void EchoThroughService(const std::wstring& address);

    std::uint16_t FIdentifier;
    LONGLONG FSentAt = 0;  // performance count just before the request went out
    std::vector<std::uint8_t> FRequest;
    std::vector<std::uint8_t> FReceived;
    bool FRawRefused = false;
    UniqueIcmpService FEchoService;  // opened by the first exchange through the service
    std::vector<std::uint8_t> FServiceReply;
};

class TIdIcmpClient : public TIdCustomIcmpClient {
public:
    using TIdCustomIcmpClient::TIdCustomIcmpClient;
};

}  // namespace vantrel
