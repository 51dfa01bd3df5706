#!/usr/bin/env python3
"""Answers ICMP echo requests to one address after a fixed delay.

Runs inside a test host's network namespace whose kernel has been told to ignore echo
requests (net.ipv4.icmp_echo_ignore_all=1), so this program is the only one answering; it
stands in for a host at the far end of a slow link, which the kernel here cannot emulate.

    echo-responder.py <address> <delay-ms> <ready-file>

The ready file is written once the raw socket is open, so that the caller can wait for it.
"""
import heapq
import itertools
import select
import socket
import sys
import time


def checksum(data: bytes) -> bytes:
    if len(data) % 2:
        data += b"\0"
    total = sum((data[i] << 8) | data[i + 1] for i in range(0, len(data), 2))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    value = ~total & 0xFFFF
    return bytes([value >> 8, value & 0xFF])


def main() -> None:
    address, delay, ready_file = sys.argv[1], float(sys.argv[2]) / 1000.0, sys.argv[3]
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    with open(ready_file, "w") as ready:
        ready.write("ready\n")
    due = []  # (time to send, tie-breaker, destination, reply)
    order = itertools.count()
    while True:
        timeout = max(0.0, due[0][0] - time.monotonic()) if due else None
        readable, _, _ = select.select([sock], [], [], timeout)
        if readable:
            datagram, (source, _) = sock.recvfrom(65535)
            header = (datagram[0] & 0x0F) * 4
            message = datagram[header:]
            if len(message) >= 8 and message[0] == 8 and socket.inet_ntoa(datagram[16:20]) == address:
                reply = b"\0\0\0\0" + message[4:]
                reply = reply[:2] + checksum(reply) + reply[4:]
                heapq.heappush(due, (time.monotonic() + delay, next(order), source, reply))
        now = time.monotonic()
        while due and due[0][0] <= now:
            _, _, destination, reply = heapq.heappop(due)
            sock.sendto(reply, (destination, 0))


if __name__ == "__main__":
    main()
