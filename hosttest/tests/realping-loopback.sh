#!/usr/bin/env bash
# Real pings under Wine to the loopback address, by literal and by LOCALHOST.
#
#   realping-loopback.sh <pingtool.exe>
set -euo pipefail
pingtool=$1
wine_run="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../tools/wine-run"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

for host in 127.0.0.1 LocalHost; do
  out=$("$wine_run" "$pingtool" "$host" 3 0 0 vantrel-probe | tr -d '\r')
  echo "$out"
  [ "$(grep -c '^reply ' <<<"$out" || true)" -eq 3 ] || fail "$host: expected 3 replies"
  times=()
  while read -r line; do
    # On loopback our own request comes back first; only the reply may be taken.
    grep -q ' status=rsEcho ' <<<"$line" || fail "$host: not an echo: $line"
    grep -q ' type=0 ' <<<"$line" || fail "$host: took a datagram of another type: $line"
    grep -q ' from=127.0.0.1 ' <<<"$line" || fail "$host: sender: $line"
    time=$(sed -n 's/.* time=\([0-9]*\) .*/\1/p' <<<"$line")
    # Never a wait that ran into a time-out or slept in steps before it looked again.
    [ "$time" -le 250 ] || fail "$host: $time ms on loopback"
    times+=("$time")
  done < <(grep '^reply ' <<<"$out")
  # One round trip may be late by however long a busy machine kept us from running; the middle
  # one of three is what the measuring itself is worth.
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 2p)
  echo "$host: round trips ${times[*]} ms, median $median ms"
  [ "$median" -le 20 ] || fail "$host: a median of $median ms on loopback"
  [ "$(grep -cx 'data=vantrel-probe' <<<"$out" || true)" -eq 3 ] || fail "$host: payload not echoed"
done
echo "PASS"
