#!/usr/bin/env bash
# Makes the README's pictures of vantrel.exe under Wine, used with the mouse as in the
# end-to-end tests: the tray with its menu open, the tooltip, the statistics window with traffic
# and zoomed in, the host test window with replies, a time-out and an unreachable line, and the
# about window. Run it again after changing what a window shows, look at the pictures, and
# commit them.
#
#   tests/e2e/screenshots.sh <vantrel.exe> <wintext.exe> [folder]   (default: docs/ of the repository)
#
# The Wine session runs in a network namespace of its own (root), online through the links to
# three test hosts made here: 198.18.1.2 answers after 30 ms, 198.18.2.2 ignores echo requests,
# 198.18.3.2 rejects them with host unreachable. The traffic is HTTP on that namespace's
# loopback. No ping, lookup or fetch leaves the machine.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source-path=SCRIPTDIR source=../netns/netns-lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../netns/netns-lib.sh"

usage="usage: screenshots.sh <vantrel.exe> <wintext.exe> [folder]"
exe=$(realpath "${1:?$usage}")
E2E_WINTEXT=$(realpath "${2:?$usage}")
out=$(mkdir -p "${3:-$E2E_REPO/docs}" && cd "${3:-$E2E_REPO/docs}" && pwd)

vt_require_netns
e2e_setup screenshots offline
vt_join_e2e_session
vt_add_echo_hosts

# keep <name> <what, as for e2e_screenshot>: a screenshot, and a copy for the README made small
# (no metadata, the best compression).
keep() {
  local shot
  shot=$(e2e_screenshot "$1" "$2")
  convert "$shot" -strip -define png:compression-level=9 "$out/$1.png"
  e2e_log "kept $out/$1.png ($(stat -c %s "$out/$1.png") bytes)"
}

# open_from_menu <entry 1..4> <title>: the icon's menu with a right click, the entry clicked;
# prints the id of the window it opens.
open_from_menu() {
  local menu x y
  e2e_click "$icon_x" "$icon_y" 3
  menu=$(e2e_wait_menu vantrel.exe 5) || e2e_fail "no menu within 5 s of the right click"
  read -r x y < <(e2e_tray_menu_entry_pos "$menu" "$1")
  e2e_click "$x" "$y" 1
  e2e_wait_window "^$2\$" 5 || e2e_fail "no window '$2' within 5 s of choosing menu entry $1"
}

e2e_start_traffic "$E2E_NETNS"
e2e_hover 600 600
e2e_start "$exe"
e2e_wait_for 30 e2e_tray_window >/dev/null || e2e_fail "no tray icon within 30 s"
read -r icon_x icon_y < <(e2e_tray_icon_pos 0)
sleep 2

# --- The menu, "&Show Statistics" under the pointer ---------------------------------------------
e2e_click "$icon_x" "$icon_y" 3
menu=$(e2e_wait_menu vantrel.exe 5) || e2e_fail "no menu within 5 s of the right click"
read -r mx my mw mh < <(e2e_window_geometry "$menu")
read -r x y < <(e2e_tray_menu_entry_pos "$menu" 2)
e2e_hover "$x" "$y" 0.4
keep tray-menu "0,0,$((mx + mw + 2)),$((my + mh + 2))"
e2e_key --window "$menu" Escape
e2e_hover 600 600 0.5

# --- The tooltip ----------------------------------------------------------------------------------
e2e_hover "$icon_x" "$icon_y"
tooltip=$(e2e_wait_tooltip 5) || e2e_fail "no tooltip within 5 s of hovering over the icon"
sleep 0.7
read -r x y w h < <(e2e_window_geometry "$tooltip")
keep tooltip "0,0,$((x + w + 2)),$((y + h + 2))"
e2e_hover 600 1000 0.3

# --- The statistics window: ten seconds of traffic, then a zoom ----------------------------------
e2e_click "$icon_x" "$icon_y" 1
window=$(e2e_wait_window '^Network Statistics$' 5) || e2e_fail "no statistics window within 5 s"
e2e_hover 600 1000
sleep 10
keep statistics "$window"
# A drag right and down over the middle of the plot zooms in on it.
read -r wx wy ww wh < <(e2e_window_geometry "$window")
from_x=$((wx + ww * 30 / 100)) from_y=$((wy + wh * 25 / 100))
to_x=$((wx + ww * 60 / 100)) to_y=$((wy + wh * 60 / 100))
xdotool mousemove "$from_x" "$from_y"
sleep 0.2
xdotool mousedown 1
for step in $(seq 1 12); do
  xdotool mousemove $((from_x + (to_x - from_x) * step / 12)) $((from_y + (to_y - from_y) * step / 12))
  sleep 0.05
done
xdotool mouseup 1
e2e_hover 600 1000 1.5
keep statistics-zoomed "$window"
e2e_key --window "$window" Return
e2e_window_gone '^Network Statistics$' 3 || e2e_fail "Enter did not close the statistics window"
e2e_stop_traffic

# --- The host test window: replies, then a host that is silent, then one that rejects ----------
window=$(open_from_menu 3 'Host Test')
sleep 0.3
# The client area is 487 x 205 at 96 DPI, inside frames that Wine draws alike on three sides.
read -r wx wy ww wh < <(e2e_window_geometry "$window")
border=$(((ww - 487) / 2))
client_x=$((wx + border)) client_y=$((wy + wh - 205 - border))
host_box() {
  e2e_click $((client_x + 140)) $((client_y + 18)) 1
  e2e_key End shift+Home BackSpace
  e2e_type "$1"
}
# third_number <n>: while pinging, 198.18.x.2 becomes 198.18.n.2 with one key on the selected
# digit, so that no tick pings a name half typed.
third_number() {
  e2e_click $((client_x + 140)) $((client_y + 18)) 1
  e2e_key End Left Left shift+Left "$1"
}
host_is() {
  [ "$(e2e_window_texts 'Host Test' | awk -F'\t' '$1 == "Edit" { print $2; exit }')" = "$1" ]
}
button_says() {
  e2e_window_texts 'Host Test' | grep -qxF "Button"$'\t'"$1"
}
start_stop() {
  e2e_click $((client_x + 289)) $((client_y + 20)) 1
}
host_box 198.18.1.2
start_stop
e2e_wait_for 5 button_says '&Stop Ping' || e2e_fail "Start did not start the pings"
sleep 2.5
third_number 2
# The next tick's ping waits 5 s for its time-out, and the window with it.
sleep 7
third_number 3
# Typed during a ping in flight, the key waits for it.
e2e_wait_for 10 host_is 198.18.3.2 || e2e_fail "the host box does not say 198.18.3.2"
sleep 1.5
start_stop
e2e_wait_for 8 button_says '&Start Ping' || e2e_fail "Stop did not stop the pings"
sleep 0.5
e2e_hover 600 1000 0.3
keep hosttest "$window"
e2e_key --window "$window" Escape
e2e_window_gone '^Host Test$' 3 || e2e_click $((wx + ww - border - 10)) $((wy + border + 8)) 1

# --- The about window -----------------------------------------------------------------------------
window=$(open_from_menu 1 'About Application')
e2e_hover 600 1000 0.5
keep about "$window"
e2e_key --window "$window" Return
e2e_window_gone '^About Application$' 3 || e2e_fail "Enter did not close the about window"

# --- Exit --------------------------------------------------------------------------------------------
e2e_exit_through_menu
e2e_log "pictures in $out: $(cd "$out" && ls ./*.png | tr '\n' ' ')"
e2e_pass
