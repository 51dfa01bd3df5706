#!/usr/bin/env python3
"""Writes the fuzzer's starting corpus: one datagram of each kind the decoder tells apart.

Identifier 0xBEEF and sequence 3489 are the ones the fuzz target looks for.
Run from anywhere; the files land in corpus/ beside this script.
"""
import os
import struct

ID, SEQ = 0xBEEF, 3489
US, PEER, ROUTER = bytes([198, 18, 0, 1]), bytes([198, 18, 0, 2]), bytes([198, 18, 1, 1])


def ipv4(protocol, src, dst, body, option_words=0, ttl=64):
    header_len = 20 + 4 * option_words
    return (bytes([0x40 | (5 + option_words), 0]) + struct.pack(">H", header_len + len(body))
            + bytes([0x12, 0x34, 0x40, 0, ttl, protocol, 0, 0]) + src + dst
            + b"\x01" * (4 * option_words) + body)


def echo(kind, ident, seq, payload=b""):
    return bytes([kind, 0, 0, 0]) + struct.pack("<HH", ident, seq) + bytes(range(8)) + payload


def error(kind, code, quoted, rest=b"\0\0\0\0"):
    return bytes([kind, code, 0, 0]) + rest + quoted


request = ipv4(1, US, PEER, echo(8, ID, SEQ))
cases = {
    "reply": ipv4(1, PEER, US, echo(0, ID, SEQ)),
    "reply-payload": ipv4(1, PEER, US, echo(0, ID, SEQ, b"abcdefgh" * 4)),
    "reply-options": ipv4(1, PEER, US, echo(0, ID, SEQ), option_words=10),
    "own-request": request,
    "other-id": ipv4(1, PEER, US, echo(0, 1, SEQ)),
    "unreachable": ipv4(1, ROUTER, US, error(3, 1, request[:28])),
    "unreachable-full": ipv4(1, ROUTER, US, error(3, 13, request), option_words=2),
    "quench": ipv4(1, ROUTER, US, error(4, 0, request[:28])),
    "redirect": ipv4(1, ROUTER, US, error(5, 1, request[:28], bytes([198, 18, 1, 254]))),
    "ttl": ipv4(1, ROUTER, US, error(11, 0, ipv4(1, US, PEER, echo(8, ID, SEQ), option_words=3)[:40])),
    "parameter": ipv4(1, ROUTER, US, error(12, 0, request[:28], bytes([20, 0, 0, 0]))),
    "quoted-udp": ipv4(1, ROUTER, US, error(3, 3, ipv4(17, US, PEER, echo(8, ID, SEQ))[:28])),
    "timestamp": ipv4(1, PEER, US, echo(14, ID, SEQ)),
    "short": ipv4(1, PEER, US, b"\0\0"),
}
here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)
for name, data in cases.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
