#!/usr/bin/env bash
# Ping accuracy: 20 pings of the host test's echo client and 20 of iputils ping to a namespace
# test host that answers after 30 ms. The last line is the figure for the table.
#
#   ping-accuracy.sh <pingtool.exe>
set -euo pipefail
pingtool=$1
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../tests/netns/netns-lib.sh"

vt_require_netns
vt_make_client
vt_add_host 1
vt_start_responder 1 30
# The first run starts Wine's services in the namespace; measure once they have settled.
vt_wine "$pingtool" 198.18.1.2 1 >/dev/null

theirs=$(ip netns exec "$vt_client" ping -n -c 20 -i 0.2 198.18.1.2 |
  sed -n 's/.* time=\([0-9.]*\) ms.*/\1/p' | sort -n | awk '{ v[NR] = $1 } END { if (NR) print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }')
ours=$(vt_wine "$pingtool" 198.18.1.2 20 200 | tr -d '\r' | grep '^reply .*status=rsEcho' |
  sed -n 's/.* time=\([0-9]*\).*/\1/p' | sort -n | awk '{ v[NR] = $1 } END { if (NR) print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }')
[ -n "$theirs" ] || vt_fail "iputils ping got no replies"
[ -n "$ours" ] || vt_fail "the echo client got no replies"
awk -v o="$ours" -v t="$theirs" 'BEGIN { printf "%+.2f ms (ours %.1f ms, iputils %.2f ms)\n", o - t, o, t }'
