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
  while read -r line; do
    # On loopback our own request comes back first; only the reply may be taken.
    grep -q ' status=rsEcho ' <<<"$line" || fail "$host: not an echo: $line"
    grep -q ' type=0 ' <<<"$line" || fail "$host: took a datagram of another type: $line"
    grep -q ' from=127.0.0.1 ' <<<"$line" || fail "$host: sender: $line"
    time=$(sed -n 's/.* time=\([0-9]*\) .*/\1/p' <<<"$line")
    [ "$time" -le 20 ] || fail "$host: $time ms on loopback"
  done < <(grep '^reply ' <<<"$out")
  [ "$(grep -cx 'data=vantrel-probe' <<<"$out" || true)" -eq 3 ] || fail "$host: payload not echoed"
done
echo "PASS"
