// Says what this Wine session lets an unprivileged program do, straight from the platform and
// without any of the program's own code, so that a script that simulates a standard Windows
// user can prove the simulation holds before it trusts a result.
//
//   icmpprobe                           raw socket and echo service to 127.0.0.1
//   icmpprobe <address> <timeout-ms>    one echo through the service, every field printed
//
// The first form prints "raw=refused <code>" or "raw=allowed", then "service=<status> <ms>ms"
// or "service=failed <GetLastError>", and exits 0 for a standard user (raw refused with 10013,
// the service answering), 10 where raw sockets are allowed and the service answers (an
// administrator), 1 otherwise.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Echo {
    DWORD returned;
    DWORD lastError;
    ICMP_ECHO_REPLY reply;
    double milliseconds;
};

Echo SendEcho(IPAddr address, DWORD timeout)
{
    Echo echo{};
    HANDLE service = ::IcmpCreateFile();
    if (service == INVALID_HANDLE_VALUE) {
        echo.lastError = ::GetLastError();
        return echo;
    }
    char payload[16] = "icmpprobe";
    std::vector<unsigned char> buffer(sizeof(ICMP_ECHO_REPLY) + sizeof payload + 8 + 1024);
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    ::SetLastError(0);
    echo.returned = ::IcmpSendEcho2(service, nullptr, nullptr, nullptr, address, payload, sizeof payload, nullptr,
                                    buffer.data(), static_cast<DWORD>(buffer.size()), timeout);
    echo.lastError = ::GetLastError();
    ::QueryPerformanceCounter(&end);
    echo.milliseconds = double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
    std::memcpy(&echo.reply, buffer.data(), sizeof echo.reply);
    ::IcmpCloseHandle(service);
    return echo;
}

}  // namespace

int main(int argc, char** argv)
{
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;

    if (argc >= 3) {
        IN_ADDR address{};
        if (::inet_pton(AF_INET, argv[1], &address) != 1) return 2;
        Echo echo = SendEcho(address.S_un.S_addr, static_cast<DWORD>(std::atoi(argv[2])));
        IN_ADDR from{};
        from.S_un.S_addr = echo.reply.Address;
        char text[INET_ADDRSTRLEN] = "";
        ::inet_ntop(AF_INET, &from, text, sizeof text);
        std::printf("returned=%lu lastError=%lu status=%lu address=%s rtt=%lu ttl=%u size=%u took=%.1fms\n",
                    echo.returned, echo.lastError, echo.reply.Status, text, echo.reply.RoundTripTime,
                    echo.reply.Options.Ttl, echo.reply.DataSize, echo.milliseconds);
        return 0;
    }

    SOCKET raw = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    int rawError = raw == INVALID_SOCKET ? ::WSAGetLastError() : 0;
    if (raw != INVALID_SOCKET) {
        ::closesocket(raw);
        std::printf("raw=allowed\n");
    } else {
        std::printf("raw=refused %d\n", rawError);
    }

    IN_ADDR loopback{};
    ::inet_pton(AF_INET, "127.0.0.1", &loopback);
    Echo echo = SendEcho(loopback.S_un.S_addr, 2000);
    bool answered = echo.returned > 0 && echo.reply.Status == IP_SUCCESS;
    if (answered)
        std::printf("service=%lu %.1fms\n", echo.reply.Status, echo.milliseconds);
    else
        std::printf("service=failed %lu\n", echo.lastError);
    std::fflush(stdout);

    if (!answered) return 1;
    if (raw != INVALID_SOCKET) return 10;
    return rawError == WSAEACCES ? 0 : 1;
}
