#!/usr/bin/env bash
# End-to-end run of the host test window in vantrel.exe, used as a person would with the mouse:
# "&Host Test" from the tray menu, 127.0.0.1 typed into the host box, Start, three lines in the
# list, Stop, the close box, and the window opened again with its list kept and the button
# saying "&Start Ping". Then three test hosts in network namespaces made here: one answering
# after 30 ms, one ignoring echo requests, one whose firewall rejects them with host
# unreachable; and a name that does not resolve.
#
# The whole Wine session runs in a network namespace with loopback and the test hosts' links
# only, so no ping and no name lookup leaves the machine.
#
# Run as root, the program pings through a raw socket as an administrator's would. With
# "standard-user" the session is that of a user without administrator rights: the raw socket
# is refused and the program must give the same lines through the platform's echo service.
# icmpprobe.exe proves first which of the two the session is.
#
# The button and the host box are read inside Wine with wintext.exe. A list box keeps its lines
# out of reach of WM_GETTEXT, so the list is read from the screen: its rows are 13 pixels high
# and a row with dark pixels on the light background holds a line. The screenshots stay in the
# artefact folder for a person to read the lines themselves.
#
#   hosttest_e2e.sh <vantrel.exe> <wintext.exe> <icmpprobe.exe> [standard-user]
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source-path=SCRIPTDIR source=../netns/netns-lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../netns/netns-lib.sh"

usage="usage: hosttest_e2e.sh <vantrel.exe> <wintext.exe> <icmpprobe.exe> [standard-user]"
exe=$(realpath "${1:?$usage}")
E2E_WINTEXT=$(realpath "${2:?$usage}")
probe=$(realpath "${3:?$usage}")
user=${4:-administrator}
title='Host Test'

vt_require_netns
case $user in
administrator) e2e_setup hosttest offline ;;
standard-user) e2e_setup hosttest-standard-user offline standard-user ;;
*)
  echo "$usage" >&2
  exit 2
  ;;
esac
vt_join_e2e_session

# The window's designed client size and the list's place in it, in pixels at 96 DPI.
client_width=487
client_height=205
list_left=16 list_top=48 list_width=463 list_height=149
row_height=13

window_id() {
  xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1
}

# Sets FRAME_X, FRAME_Y (the client area's top-left corner on the screen) and the window's
# geometry WX WY WW WH. Frames are drawn by Wine here: equal on the sides and the bottom, the
# caption on top.
client_origin() {
  local border caption
  read -r WX WY WW WH < <(e2e_window_geometry "$1") || return 1
  border=$(((WW - client_width) / 2))
  caption=$((WH - client_height - 2 * border))
  FRAME_X=$((WX + border))
  FRAME_Y=$((WY + border + caption))
  CAPTION=$caption
  BORDER=$border
}

# click_client <window id> <x> <y>: a left click at a point of the client area.
click_client() {
  client_origin "$1"
  e2e_click $((FRAME_X + $2)) $((FRAME_Y + $3)) 1
}

# list_rows <window id>: prints how many rows of the list, from the top, hold text: dark pixels
# on the list's light background. Counting stops at the first empty row.
list_rows() {
  client_origin "$1" || return 1
  # Inside the 2-pixel sunken edge.
  local x=$((FRAME_X + list_left + 2)) y=$((FRAME_Y + list_top + 2))
  local w=$((list_width - 4 - 20)) h=$((list_height - 4))  # without the scroll bar's place
  import -window root -crop "${w}x${h}+${x}+${y}" +repage -depth 8 rgb:- | od -An -v -tu1 -w3 |
    awk -v w="$w" -v rh="$row_height" '
      { row = int(int((NR - 1) / w) / rh); if ($1 + $2 + $3 < 250) dark[row]++ }
      END { n = 0; while (dark[n] >= 8) n++; print n }'
}

# list_row_widths <window id>: prints, for each row that holds text, the width in pixels from
# the list's left edge to the row's last dark pixel. The three kinds of line differ in length:
# "Time=31ms" is short, "Request timed out." longer, "Reply from <address>: <message>" longest.
list_row_widths() {
  client_origin "$1" || return 1
  local x=$((FRAME_X + list_left + 2)) y=$((FRAME_Y + list_top + 2))
  local w=$((list_width - 4 - 20)) h=$((list_height - 4))
  import -window root -crop "${w}x${h}+${x}+${y}" +repage -depth 8 rgb:- | od -An -v -tu1 -w3 |
    awk -v w="$w" -v rh="$row_height" '
      { i = NR - 1; row = int(int(i / w) / rh)
        if ($1 + $2 + $3 < 250) { dark[row]++; if (i % w + 1 > right[row]) right[row] = i % w + 1 } }
      END { for (n = 0; dark[n] >= 8; n++) print right[n] }'
}

rows_at_least() {
  local rows
  rows=$(list_rows "$1") || return 1
  [ "$rows" -ge "$2" ]
}

button_caption() {
  e2e_window_texts "$title" | awk -F'\t' '$1 == "Button" { print $2; exit }'
}

caption_is() {
  [ "$(button_caption)" = "$1" ]
}

host_text() {
  e2e_window_texts "$title" | awk -F'\t' '$1 == "Edit" { print $2; exit }'
}

shot() {
  local id
  id=$(window_id)
  e2e_screenshot "$1" "$id" >/dev/null
}

# open_host_test: right click on the icon, "&Host Test" clicked with the mouse; prints the
# window's id.
open_host_test() {
  local menu mx my mw mh x y
  e2e_click "$icon_x" "$icon_y" 3
  menu=$(e2e_wait_menu vantrel.exe 5) || e2e_fail "no menu within 5 s of the right click"
  read -r mx my mw mh < <(e2e_window_geometry "$menu")
  read -r x y < <(e2e_tray_menu_entry_pos "$menu" 3)
  e2e_hover "$x" "$y" 0.3
  e2e_screenshot "$1" "0,0,$((mx + mw + 40)),$((my + mh + 20))" >/dev/null
  e2e_click "$x" "$y" 1
  e2e_wait_window "^$title\$" 5 || e2e_fail "no host test window within 5 s of choosing &Host Test"
}

# What the session lets a program do, straight from the platform: for a standard user the raw
# socket refused with 10013 and the echo service answering on loopback (exit 0), for an
# administrator both allowed (exit 10), and the program takes the raw socket first.
probe_status=0
e2e_wine "$probe" </dev/null >"$E2E_DIR/probe.txt" 2>&1 || probe_status=$?
e2e_log "probe: $(tr -d '\r' <"$E2E_DIR/probe.txt" | tr '\n' ' ')"
if [ "$user" = standard-user ]; then
  e2e_assert_equal "the session refuses raw sockets and the echo service answers" 0 "$probe_status"
else
  e2e_assert_equal "the session allows raw sockets" 10 "$probe_status"
fi

e2e_start "$exe"
red_face() {
  local x y w h
  read -r x y w h < <(e2e_tray_icon_rect 0) || return 1
  [ "$(e2e_find_color_in_rect "$x" "$y" "$w" "$h" 255,0,0)" -ge 100 ]
}
e2e_wait_for 10 red_face || e2e_fail "no icon in the tray within 10 s"
read -r icon_x icon_y < <(e2e_tray_icon_pos 0)

window=$(open_host_test menu)
sleep 0.3
client_origin "$window"
e2e_log "window at $WX,$WY, $WW x $WH (border $BORDER, caption $CAPTION)"
e2e_assert_equal "the window's client width" "$client_width" $((WW - 2 * BORDER))
shot 1-opened
e2e_assert_equal "the button before the first start" "&Start Ping" "$(button_caption)"
e2e_assert_equal "rows in the list of a new window" 0 "$(list_rows "$window")"

# The host box: clicked and typed into.
click_client "$window" 140 18
e2e_type 127.0.0.1
sleep 0.2
e2e_assert_equal "the host box" 127.0.0.1 "$(host_text)"
shot 2-host-typed

started=$(e2e_now_ms)
click_client "$window" 289 20
e2e_wait_for 3 caption_is "&Stop Ping" ||
  e2e_assert_equal "the button while pinging" "&Stop Ping" "$(button_caption)"
e2e_assert "three lines within 6 s of Start" e2e_wait_for 6 rows_at_least "$window" 3
e2e_log "three lines $(e2e_since "$started") s after Start"
shot 3-three-lines

click_client "$window" 289 20
sleep 1.5  # a tick due as Stop was clicked may still add its line
e2e_assert_equal "the button after Stop" "&Start Ping" "$(button_caption)"
stopped_rows=$(list_rows "$window")
e2e_assert "at least three lines after Stop" [ "$stopped_rows" -ge 3 ]
sleep 2
e2e_assert_equal "no lines added after Stop" "$stopped_rows" "$(list_rows "$window")"
shot 4-stopped

# The close box: the rightmost button of the caption.
client_origin "$window"
e2e_click $((WX + WW - BORDER - 10)) $((WY + BORDER + CAPTION / 2)) 1
e2e_assert "the close box closes the window" e2e_window_gone "^$title\$" 3
e2e_assert "the program keeps running" e2e_running

window=$(open_host_test menu-again)
sleep 0.3
shot 5-reopened
e2e_assert_equal "the button after reopening" "&Start Ping" "$(button_caption)"
e2e_assert_equal "the list after reopening" "$stopped_rows" "$(list_rows "$window")"
e2e_assert_equal "the host box after reopening" 127.0.0.1 "$(host_text)"

# The test hosts: one answering after 30 ms, one ignoring echo requests, one rejecting them.
vt_add_echo_hosts

# type_host <window id> <host>: replaces the host box's text, by keyboard as a person would.
type_host() {
  click_client "$1" 140 18
  e2e_key End shift+Home BackSpace
  e2e_type "$2"
  sleep 0.2
  e2e_assert_equal "the host box" "$2" "$(host_text)"
}

# ping_host <name> <host> <lines> <seconds>: Start, waits for that many lines, Stop; leaves
# the widths of the lines in WIDTHS and the seconds from Start to the first line in FIRST.
ping_host() {
  local name=$1 host=$2 lines=$3 seconds=$4 started
  type_host "$window" "$host"
  started=$(e2e_now_ms)
  click_client "$window" 289 20
  e2e_wait_for 3 caption_is "&Stop Ping" || e2e_fail "$name: the button does not say &Stop Ping after Start"
  e2e_wait_for "$seconds" rows_at_least "$window" 1 || e2e_fail "$name: no line within $seconds s"
  FIRST=$(e2e_since "$started")
  e2e_wait_for "$seconds" rows_at_least "$window" "$lines" || e2e_fail "$name: fewer than $lines lines"
  shot "$name"
  # A ping in flight holds the window until it ends; the click waits for it.
  click_client "$window" 289 20
  e2e_wait_for 8 caption_is "&Start Ping" || e2e_fail "$name: the button does not say &Start Ping after Stop"
  WIDTHS=$(list_row_widths "$window" | tr '\n' ' ')
  e2e_log "$name: first line after $FIRST s, line widths $WIDTHS"
}

# widths_between <low> <high>: true when every line's width lies in the range.
widths_between() {
  local width
  for width in $WIDTHS; do
    [ "$width" -ge "$1" ] && [ "$width" -le "$2" ] || return 1
  done
}

# The widths of the loopback lines ("Time=Nms") set the scale for the others.
loopback_widths=$(list_row_widths "$window" | tr '\n' ' ')
e2e_log "loopback line widths: $loopback_widths"

ping_host 6-delayed-host 198.18.1.2 3 6
e2e_assert "the 30 ms host's lines are round trips (Time=NNms): widths $WIDTHS" widths_between 40 75

ping_host 7-silent-host 198.18.2.2 2 14
e2e_assert "a time-out line comes about 6 s after Start (one period, then 5 s): $FIRST s" \
  awk -v t="$FIRST" 'BEGIN { exit !(t >= 5.5 && t <= 8.5) }'
e2e_assert "the silent host's lines say Request timed out.: widths $WIDTHS" widths_between 85 120

ping_host 8-rejecting-host 198.18.3.2 3 6
e2e_assert "the rejecting host's lines are Reply from 198.18.3.2: host unreachable;: widths $WIDTHS" \
  widths_between 170 260

# A name that does not resolve: the session's namespace has no route to any name server, so the
# lookup fails here, at once. "Error sending ping" is about as long as "Request timed out.", but
# it comes at every tick instead of every 5 s.
ping_host 9-unresolvable-host vantrel-no-such-host.invalid 2 4
e2e_assert "the first error line comes with the first tick: $FIRST s" \
  awk -v t="$FIRST" 'BEGIN { exit !(t >= 0.9 && t <= 3) }'
e2e_assert "the unresolvable host's lines say Error sending ping: widths $WIDTHS" widths_between 85 120

e2e_pass
