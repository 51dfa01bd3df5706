#!/usr/bin/env bash
# End-to-end run of vantrel.exe going online and offline, watched the way a person would watch
# the notification area: the face's pixels are sampled.
#
# 1. Wine runs in a network namespace of its own with only loopback: the face is red and stays
#    red, also while TCP traffic flows on the namespace's loopback (the face blinks only while
#    connected), and the tooltip (hover) says "Vantrel - Not Connected".
# 2. A veth pair joins that namespace to a second one, with addresses in 198.18.0.0/15: the face
#    turns green within about two seconds.
# 3. The address is taken away again: the face turns red within about two seconds and stays red,
#    with traffic too.
# 4. The program exits through its menu, Wine restarts in the machine's own namespace, and there
#    the face turns green shortly after the program starts.
# Nothing here touches the machine's own interfaces; phase 4 only reads them.
#
#   vantrel_online_e2e.sh <vantrel.exe>
# Exit code 77 (skipped) when network namespaces cannot be created here.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

exe=$(realpath "${1:?usage: vantrel_online_e2e.sh <vantrel.exe>}")

probe="e2e$$probe"
if ! ip netns add "$probe" 2>/dev/null; then
  echo "SKIPPED: network namespaces cannot be created here (needs root and iproute2)"
  exit 77
fi
ip netns delete "$probe"

# The address change must be seen within about two seconds: the address check runs every
# 500 ms and the connection check once a second, so 1.5 s plus the time to look.
limit_ms=2500

e2e_setup vantrel-online offline
wine_netns=$E2E_NETNS
peer_netns="${wine_netns}peer"
own_cleanup() {
  local status=$?
  set +e
  e2e__delete_netns "$peer_netns"
  # The library's clean-up deletes the namespace it made and exits with the status it sees.
  E2E_NETNS=$wine_netns
  (exit "$status")
  e2e__cleanup
}
trap own_cleanup EXIT

# shellcheck source=faces.sh
source "$(dirname "${BASH_SOURCE[0]}")/faces.sh"

# wait_face <faces, as in "smile|wide"> <seconds>: polls every 0.1 s; prints the milliseconds it took.
wait_face() {
  local started deadline
  started=$(e2e_now_ms)
  deadline=$(e2e__deadline "$2")
  until face_is "$1"; do
    e2e__past "$deadline" && return 1
    sleep 0.1
  done
  echo $(($(e2e_now_ms) - started))
}

# stays <faces> <seconds>: samples every 0.2 s and fails at the first other face.
stays() {
  local deadline samples=0
  deadline=$(e2e__deadline "$2")
  until e2e__past "$deadline"; do
    face_is "$1" || {
      e2e_log "sample $samples: $FACE"
      return 1
    }
    samples=$((samples + 1))
    sleep 0.2
  done
  e2e_log "$samples samples over $2 s, all $1 (last: $FACE)"
}

tray_shot() {
  local x y w h
  read -r x y w h < <(e2e_window_geometry "$(e2e_tray_window)")
  e2e_screenshot "$1" "$x,$y,$w,$h" >/dev/null
}


tcp_segments() {
  # shellcheck disable=SC2016 # the dollars are awk's
  ip netns exec "$wine_netns" awk '/^Tcp:/ { n++; if (n == 2) print $11 + $12 }' /proc/net/snmp
}
# stays_red_with_traffic <seconds>
stays_red_with_traffic() {
  local before after
  e2e_start_traffic "$wine_netns"
  before=$(tcp_segments)
  stays red "$1" || {
    e2e_stop_traffic
    return 1
  }
  after=$(tcp_segments)
  e2e_stop_traffic
  e2e_log "the namespace counted $((after - before)) TCP segments meanwhile"
  # Enough that every half-second tick of the sampler saw segments.
  [ $((after - before)) -ge 500 ]
}

# --- 1. Offline: loopback only ------------------------------------------------------------
e2e_hover 600 600
e2e_start "$exe"
e2e_wait_for 10 e2e_tray_window >/dev/null || e2e_fail "no tray icon within 10 s"
picture_rect
wait_face red 5 >/dev/null || e2e_fail "no red face within 5 s of the icon showing ($FACE)"
e2e_assert "offline, the face stays red" stays red 3
# The sampler sees the segments but blinks only while connected.
e2e_assert "offline with TCP traffic, the face stays red" stays_red_with_traffic 3
tray_shot offline-tray

# The connection check writes "Vantrel - Not Connected" once a second and the traffic sampler
# overwrites it with its three lines at its next tick, so the one-line text shows for up to half
# a second in each second. The tooltip window follows its text; a one-line tooltip is the short
# one.
read -r icon_x icon_y < <(e2e_tray_icon_pos 0)
e2e_hover "$icon_x" "$icon_y"
tooltip=$(e2e_wait_tooltip 5) || e2e_fail "no tooltip within 5 s of hovering over the icon"
one_line=
three_lines=
deadline=$(e2e__deadline 6)
until e2e__past "$deadline" || { [ -n "$one_line" ] && [ -n "$three_lines" ]; }; do
  read -r x y w h < <(e2e_window_geometry "$tooltip") || break
  if [ -z "$one_line" ] && [ "$h" -lt 24 ]; then
    one_line="$w x $h"
    e2e_screenshot tooltip-not-connected "0,0,$((x + w + 20)),$((y + h + 10))" >/dev/null
  elif [ -z "$three_lines" ] && [ "$h" -ge 36 ]; then
    three_lines="$w x $h"
    e2e_screenshot tooltip-offline-sampler "0,0,$((x + w + 20)),$((y + h + 10))" >/dev/null
  fi
  sleep 0.05
done
e2e_assert "the one-line \"not connected\" tooltip showed (${one_line:-never})" [ -n "$one_line" ]
e2e_log "the sampler's three-line tooltip: ${three_lines:-never seen}"
e2e_hover 600 600 0.5

# --- 2. Online: a 198.18 address on a veth pair ----------------------------------------------
ip netns add "$peer_netns"
ip netns exec "$peer_netns" ip link set lo up
ip link add e2eveth0 netns "$wine_netns" type veth peer name e2eveth1 netns "$peer_netns"
ip -n "$peer_netns" addr add 198.18.0.2/24 dev e2eveth1
ip -n "$peer_netns" link set e2eveth1 up
ip -n "$wine_netns" link set e2eveth0 up
e2e_assert "still red with an interface that has no address" stays red 2
ip -n "$wine_netns" addr add 198.18.0.1/24 dev e2eveth0
e2e_log "added 198.18.0.1/24 to the namespace"
took=$(wait_face smile 10) || e2e_fail "the face did not turn green within 10 s of the address ($FACE)"
e2e_log "the face turned green $((took / 1000)).$(printf %03d $((took % 1000))) s after the address came"
e2e_assert "green within $limit_ms ms of the address (took $took ms)" [ "$took" -le "$limit_ms" ]
# Unless other traffic flows here, the smile stays; no traffic runs in this namespace.
e2e_assert "online, the face stays green" stays smile 3
tray_shot online-tray
ip netns exec "$peer_netns" ping -c 1 -W 2 198.18.0.1 >/dev/null ||
  e2e_fail "the test network itself does not work: 198.18.0.1 does not answer"

# --- 3. Offline again: the address goes ------------------------------------------------------
ip -n "$wine_netns" addr del 198.18.0.1/24 dev e2eveth0
e2e_log "removed 198.18.0.1/24 from the namespace"
took=$(wait_face red 10) || e2e_fail "the face did not turn red within 10 s of losing the address ($FACE)"
e2e_log "the face turned red $((took / 1000)).$(printf %03d $((took % 1000))) s after the address went"
e2e_assert "red within $limit_ms ms of losing the address (took $took ms)" [ "$took" -le "$limit_ms" ]
e2e_assert "offline again, the face stays red" stays red 2
e2e_assert "offline again with TCP traffic, the face stays red" stays_red_with_traffic 3
tray_shot offline-again-tray

e2e_exit_through_menu

# --- 4. The machine's own namespace ----------------------------------------------------------
# Wine's sockets and address lists come from its server and its device process, so the whole
# session moves: stop it, then start it again outside the namespace.
wineserver -k >/dev/null 2>&1 || true
timeout 10 wineserver -w >/dev/null 2>&1 || true
E2E_NETNS=
started=$(e2e_now_ms)
e2e_wine cmd /c ver >/dev/null 2>&1 || e2e_fail "Wine does not start in the machine's own namespace"
e2e_log "Wine restarted in the machine's own namespace in $(e2e_since "$started") s"
e2e_log "the machine's addresses: $(ip -4 -o addr show | awk '{print $2 "=" $4}' | tr '\n' ' ')"
e2e_start "$exe"
e2e_wait_for 10 e2e_tray_window >/dev/null || e2e_fail "no tray icon within 10 s"
picture_rect
# Other programs of this machine may send TCP segments, which make the face blink: either green
# picture counts.
took=$(wait_face 'smile|wide' 5) || e2e_fail "no green face within 5 s of the icon showing ($FACE)"
e2e_log "green $((took / 1000)).$(printf %03d $((took % 1000))) s after the icon showed"
tray_shot own-namespace-tray
read -r icon_x icon_y < <(e2e_tray_icon_pos 0)
e2e_hover "$icon_x" "$icon_y"
if tooltip=$(e2e_wait_tooltip 5); then
  sleep 0.7
  read -r x y w h < <(e2e_window_geometry "$tooltip")
  e2e_screenshot tooltip-own-namespace "0,0,$((x + w + 20)),$((y + h + 10))" >/dev/null
fi
e2e_hover 600 600 0.3
e2e_assert "in the machine's own namespace the face stays green" stays 'smile|wide' 2
e2e_exit_through_menu

e2e_pass
