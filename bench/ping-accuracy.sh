#!/usr/bin/env bash
# Ping accuracy: 20 pings of the host test's echo client and 20 of iputils ping to a namespace
# test host that answers after 30 ms. The last line is the figure for the table.
#
#   ping-accuracy.sh <pingtool.exe> [administrator|standard-user]
#
# As an administrator the client pings through its raw socket; as a standard user the raw
# socket is refused and it pings through the platform's echo service.
set -euo pipefail
pingtool=$1
user=${2:-administrator}
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../tests/netns/netns-lib.sh"

case "$user" in
administrator) path=raw ;;
standard-user) path=service ;;
*) vt_fail "unknown user $user" ;;
esac
vt_require_netns
vt_make_client
[ "$path" = raw ] || vt_standard_user
vt_add_host 1
vt_start_responder 1 30
# The first run starts Wine's services in the namespace; measure once they have settled. Run in
# this shell: it makes the session's prefix, which the clean-up must know about.
vt_wine "$pingtool" 198.18.1.2 1 >/dev/null

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }'; }
theirs=$(ip netns exec "$vt_client" ping -n -c 20 -i 0.2 198.18.1.2 | sed -n 's/.* time=\([0-9.]*\) ms.*/\1/p' | median)
replies=$(vt_wine "$pingtool" 198.18.1.2 20 200 | tr -d '\r' | grep '^reply .*status=rsEcho' || true)
[ -n "$theirs" ] || vt_fail "iputils ping got no replies"
[ -n "$replies" ] || vt_fail "the echo client got no replies"
if grep -qv " path=$path " <<<"$replies"; then vt_fail "replies not by the $path path"; fi
ours=$(sed -n 's/.* time=\([0-9]*\).*/\1/p' <<<"$replies" | median)
awk -v o="$ours" -v t="$theirs" -v p="$path" \
  'BEGIN { printf "%+.2f ms (ours %.1f ms by the %s path, iputils %.2f ms)\n", o - t, o, p, t }'
