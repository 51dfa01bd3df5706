#!/usr/bin/env bash
# Real pings under Wine to test hosts in network namespaces that this script creates.
#
#   realping-netns.sh <pingtool.exe> <delayed|concurrent|silent|rejected|unresolvable>
#                     [administrator|standard-user <icmpprobe.exe>]
#
# As an administrator (root, the default) the client takes the raw socket; as a standard user
# the raw socket is refused and the platform's echo service answers instead. Each reply line
# says which path it came by, and the probe proves first that the session is what it claims.
# Exits 77 (skipped) only when namespaces cannot be created.
set -euo pipefail
pingtool=$1
scenario=$2
user=${3:-administrator}
probe=${4:-}
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../tests/netns/netns-lib.sh"

vt_require_netns
vt_make_client

case "$user" in
administrator)
  path=raw probe_code=10
  ;;
standard-user)
  path=service probe_code=0
  vt_standard_user
  ;;
*)
  echo "unknown user $user" >&2
  exit 2
  ;;
esac
if [ -n "$probe" ]; then
  # Run in this shell, not in a command substitution: the first Wine run makes the session's
  # prefix, which the clean-up must know about.
  probe_status=0
  vt_wine "$probe" >"$vt_scratch/probe.txt" 2>&1 || probe_status=$?
  tr -d '\r' <"$vt_scratch/probe.txt"
  [ "$probe_status" -eq "$probe_code" ] ||
    vt_fail "the session is not that of an $user: the probe ended with $probe_status, not $probe_code"
fi

# Runs pingtool in the client namespace; its output, without Windows line ends. A run that
# ends badly fails the test with what it printed, never silently through errexit.
ping_tool() {
  local out status=0
  out=$(vt_wine "$pingtool" "$@") || status=$?
  out=$(tr -d '\r' <<<"$out")
  if [ "$status" -ne 0 ]; then
    echo "$out" >&2  # stdout is the caller's capture; the failure must show in the log
    vt_fail "pingtool $* ended with exit code $status"
  fi
  echo "$out"
}

field() {  # field NAME LINE
  sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"
}

# Every reply came by the path this kind of user has.
expect_path() {  # expect_path REPLIES
  local line
  while read -r line; do
    [ "$(field path "$line")" = "$path" ] || vt_fail "not by the $path path: $line"
  done <<<"$1"
}

replies_of() {
  grep '^reply ' <<<"$1" || true
}

expect_count() {  # expect_count WHAT N TEXT
  local got
  got=$(grep -c . <<<"$3" || true)
  [ "$got" -eq "$2" ] || vt_fail "expected $2 $1, got $got"
}

case "$scenario" in
unresolvable)
  # Only loopback in this namespace: the lookup cannot leave the machine.
  out=$(ping_tool vantrel-no-such-host.invalid 2)
  echo "$out"
  expect_count "error lines" 2 "$(grep '^error Socket Error # ' <<<"$out" || true)"
  [ -z "$(replies_of "$out")" ] || vt_fail "a reply for a name that does not resolve"
  ;;

delayed)
  vt_add_host 1
  vt_start_responder 1 30
  # A first run starts Wine's own services in the namespace; measure once they have settled.
  ping_tool 198.18.1.2 1 >/dev/null
  # iputils takes its times from the kernel's receive stamps, we take ours when the wait
  # returns. Under Wine the wait returns through its server, which hands the answer over either
  # at once or one kernel tick (4 ms at 250 Hz) late; on a busy machine the late hand-over
  # becomes the common one, even with a processor of our own, while iputils, native, reads the
  # same. So the fastest quarter of our readings is judged: that is the path's own cost. A
  # measuring fault (a coarse clock, a stamp in the wrong place) shifts every reading, the
  # fastest too, and does so in every round; a busy moment does not, so a round that misses is
  # measured again, up to three rounds.
  verdict=""
  for round in 1 2 3; do
    reference=$(ip netns exec "$vt_client" ping -n -c 20 -i 0.2 198.18.1.2)
    echo "$reference"
    theirs=$(sed -n 's|^rtt min/avg/max/mdev = [0-9.]*/\([0-9.]*\)/.*|\1|p' <<<"$reference")
    [ -n "$theirs" ] || vt_fail "iputils ping got no replies"
    out=$(ping_tool 198.18.1.2 20 200 0 vantrel-probe)
    echo "$out"
    replies=$(replies_of "$out")
    expect_count replies 20 "$replies"
    expect_path "$replies"
    while read -r line; do
      [ "$(field status "$line")" = rsEcho ] || vt_fail "not an echo: $line"
      [ "$(field from "$line")" = 198.18.1.2 ] || vt_fail "wrong sender: $line"
      # Nothing can answer sooner than the responder's 30 ms.
      [ "$(field time "$line")" -ge 30 ] || vt_fail "faster than the host answers: $line"
    done <<<"$replies"
    expect_count "echoed payloads" 20 "$(grep -x 'data=vantrel-probe' <<<"$out" || true)"
    # Of the 20 readings, sorted: the fifth, where the fastest quarter ends.
    fast=$(while read -r line; do field time "$line"; done <<<"$replies" | sort -n |
      awk '{ t[NR] = $1 } END { print t[5] }')
    verdict="round $round: fastest quarter up to $fast ms, iputils average $theirs ms"
    echo "$verdict"
    awk -v ours="$fast" -v theirs="$theirs" 'BEGIN { d = ours - theirs; exit !(d <= 2 && d >= -2) }' &&
      break
    [ "$round" -lt 3 ] || vt_fail "$verdict: not within 2 ms in any of three rounds"
  done
  ;;

concurrent)
  # Another program pings the same host 200 times a second: its replies reach our raw socket
  # throughout every wait, and one always arrives long before our own 30 ms answer.
  vt_add_host 1
  vt_start_responder 1 30
  ip netns exec "$vt_client" ping -n -q -i 0.005 198.18.1.2 >"$vt_scratch/other.txt" 2>&1 &
  other=$!
  vt_pids+=("$other")
  # Its traffic is flowing before ours starts. A busy machine halves its rate, and the echo
  # service's run is short, so it gets a second and a half of lead for its 200 replies.
  sleep 1.5
  out=$(ping_tool 198.18.1.2 10 100 0 vantrel-probe)
  kill -INT "$other"
  wait "$other" || true
  cat "$vt_scratch/other.txt"
  echo "$out"
  received=$(sed -n 's/.* \([0-9]*\) received.*/\1/p' "$vt_scratch/other.txt")
  [ "${received:-0}" -gt 200 ] || vt_fail "the other program got only ${received:-0} replies"
  replies=$(replies_of "$out")
  expect_count replies 10 "$replies"
  expect_path "$replies"
  while read -r line; do
    time=$(field time "$line")
    [ "$(field status "$line")" = rsEcho ] || vt_fail "not an echo: $line"
    # Every reply of the other program arrives sooner than our own can.
    [ "$time" -ge 30 ] || vt_fail "took someone else's reply: $line"
  done <<<"$replies"
  expect_count "echoed payloads" 10 "$(grep -x 'data=vantrel-probe' <<<"$out" || true)"
  ;;

silent)
  vt_add_host 2
  ip netns exec "$(vt_host_ns 2)" sysctl -qw net.ipv4.icmp_echo_ignore_all=1
  started=$(date +%s%N)
  out=$(ping_tool 198.18.2.2 2)
  elapsed=$(( ($(date +%s%N) - started) / 1000000 ))
  echo "$out"
  replies=$(replies_of "$out")
  expect_count replies 2 "$replies"
  expect_path "$replies"
  while read -r line; do
    time=$(field time "$line")
    [ "$(field status "$line")" = rsTimeOut ] || vt_fail "not a time-out: $line"
    [ "$(field from "$line")" = 0.0.0.0 ] || vt_fail "a sender on a time-out: $line"
    [ "$time" -ge 4990 ] && [ "$time" -le 5500 ] || vt_fail "waited $time ms: $line"
    grep -q ' msg=Timeout$' <<<"$line" || vt_fail "message: $line"
  done <<<"$replies"
  [ "$elapsed" -ge 9900 ] || vt_fail "two time-outs took only $elapsed ms"
  ;;

rejected)
  vt_add_host 3
  ip netns exec "$(vt_host_ns 3)" iptables -A INPUT -p icmp --icmp-type echo-request \
    -j REJECT --reject-with icmp-host-unreachable
  out=$(ping_tool 198.18.3.2 3 200)
  echo "$out"
  replies=$(replies_of "$out")
  expect_count replies 3 "$replies"
  expect_path "$replies"
  while read -r line; do
    [ "$(field status "$line")" = rsErrorUnreachable ] || vt_fail "not unreachable: $line"
    [ "$(field from "$line")" = 198.18.3.2 ] || vt_fail "not from the rejecting host: $line"
    [ "$(field type "$line")" = 3 ] && [ "$(field code "$line")" = 1 ] || vt_fail "type/code: $line"
    [ "$(field time "$line")" -lt 1000 ] || vt_fail "too slow for a local rejection: $line"
    grep -q ' msg=host unreachable;$' <<<"$line" || vt_fail "message: $line"
  done <<<"$replies"
  ;;

*)
  echo "unknown scenario $scenario" >&2
  exit 2
  ;;
esac
echo "PASS: $scenario as $user"
