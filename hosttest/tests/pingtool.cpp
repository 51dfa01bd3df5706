// Pings a host a number of times with the echo client and prints one line per ping, for the
// network scripts under tests/netns/.
//
//   pingtool <host> <count> [interval-ms] [first-sequence] [payload]
//
// Each line is "reply seq=.. status=.. time=.. from=.. to=.. ttl=.. type=.. code=.. bytes=..
// path=<raw|service> msg=<Msg>", then "data=<payload echoed>" for an echo, or "error <message>"
// when the ping raised. The path says which way the exchange went: the raw socket, or the
// platform's echo service once the raw socket was refused.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Exceptions.h"
#include "hosttest/IdIcmpClient.h"

namespace {

const char* const kStatusNames[] = {
    "rsEcho", "rsError", "rsTimeOut", "rsErrorUnreachable", "rsErrorTTLExceeded", "rsErrorPacketTooBig",
    "rsErrorParameter", "rsErrorDatagramConversion", "rsErrorSecurityFailure", "rsSourceQuench", "rsRedirect",
    "rsTimeStamp", "rsInfoRequest", "rsAddressMaskRequest", "rsTraceRoute", "rsMobileHostReg",
    "rsMobileHostRedir", "rsIPv6WhereAreYou", "rsIPv6IAmHere", "rsSKIP"};

std::string Narrow(const std::wstring& text)
{
    return vantrel::ToUtf8(text);
}

// The echoed payload: ReplyData without the 8-byte send stamp in front of it.
std::string EchoedPayload(const std::wstring& replyData)
{
    std::string payload;
    for (std::size_t i = 8; i < replyData.size(); ++i) {
        wchar_t c = replyData[i];
        payload += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
    }
    return payload;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: pingtool <host> <count> [interval-ms] [first-sequence] [payload]\n");
        return 2;
    }
    std::wstring host = argv[1];
    int count = _wtoi(argv[2]);
    int interval = argc > 3 ? _wtoi(argv[3]) : 0;
    int sequence = argc > 4 ? _wtoi(argv[4]) : 0;
    std::wstring payload = argc > 5 ? argv[5] : L"";

    try {
        vantrel::TIdIcmpClient client;
        client.SetPacketSize(1024);
        client.SetHost(host);
        client.OnReply = [&client](vantrel::TObject*, const vantrel::TReplyStatus& status) {
            std::printf(
                "reply seq=%u status=%s time=%u from=%s to=%s ttl=%u type=%u code=%u bytes=%d path=%s msg=%s\n",
                status.SequenceId, kStatusNames[static_cast<int>(status.ReplyStatusType)], status.MsRoundTripTime,
                Narrow(status.FromIpAddress).c_str(), Narrow(status.ToIpAddress).c_str(), status.TimeToLive,
                status.MsgType, status.MsgCode, status.BytesReceived,
                client.GetUsesEchoService() ? "service" : "raw", Narrow(status.Msg).c_str());
        };
        for (int i = 0; i < count; ++i) {
            if (i > 0 && interval > 0) ::Sleep(static_cast<DWORD>(interval));
            try {
                client.Ping(payload, static_cast<std::uint16_t>(i == 0 ? sequence : 0));
                if (client.GetReplyStatus().ReplyStatusType == vantrel::TReplyStatusTypes::rsEcho)
                    std::printf("data=%s\n", EchoedPayload(client.GetReplyData()).c_str());
            } catch (const vantrel::Exception& e) {
                std::printf("error %s\n", Narrow(e.Message()).c_str());
            }
            std::fflush(stdout);
        }
    } catch (const vantrel::Exception& e) {
        std::printf("fatal %s\n", Narrow(e.Message()).c_str());
        return 1;
    }
    return 0;
}
