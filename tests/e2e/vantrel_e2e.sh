#!/usr/bin/env bash
# End-to-end run of vantrel.exe, used as a person would: the red face appears in the tray, a
# second copy leaves at once, the menu opens on a right click, "&About" shows the about window,
# Escape closes it, and "&Exit" ends the program with exit code 0 and takes the icon away.
#
# The machine is offline for the run (loopback only), so the program stays "not connected" and
# shows the red face throughout; with a network it would turn green within a second or two.
#
#   vantrel_e2e.sh <vantrel.exe> <wintext.exe> [default|winxp|win7|win10]
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

usage="usage: vantrel_e2e.sh <vantrel.exe> <wintext.exe> [windows version setting]"
exe=$(realpath "${1:?$usage}")
E2E_WINTEXT=$(realpath "${2:?$usage}")
version=${3:-default}
about='About Application'

e2e_setup "vantrel-$version" offline
e2e_wine_version "$version"

e2e_start "$exe"
first=$E2E_PROC

# The not-connected picture: a pure red disc about 14 pixels across with black eyes and frown,
# and no green anywhere (green would be one of the connected pictures).
red_face_shown() {
  local x y w h red black green
  read -r x y w h < <(e2e_tray_icon_rect 0) || return 1
  red=$(e2e_find_color_in_rect "$x" "$y" "$w" "$h" 255,0,0)
  black=$(e2e_find_color_in_rect "$x" "$y" "$w" "$h" 0,0,0)
  green=$(e2e_find_color_in_rect "$x" "$y" "$w" "$h" 0,255,0)
  FACE="red $red, black $black, green $green"
  [ "$red" -ge 110 ] && [ "$black" -ge 8 ] && [ "$green" -eq 0 ]
}
FACE=
no_menu() { ! e2e_wait_menu vantrel.exe 0 >/dev/null; }

started=$(e2e_now_ms)
e2e_wait_for 10 red_face_shown || e2e_fail "no red face in the tray within 10 s (icon cell: $FACE)"
e2e_log "ok: the red face is in the tray after $(e2e_since "$started") s ($FACE pixels)"
read -r icon_x icon_y < <(e2e_tray_icon_pos 0)
read -r tray_x tray_y tray_w tray_h < <(e2e_window_geometry "$(e2e_tray_window)")
e2e_screenshot tray "$tray_x,$tray_y,$tray_w,$tray_h" >/dev/null

started=$(e2e_now_ms)
e2e_start "$exe"
code=$(e2e_wait_exit 3) || e2e_fail "a second vantrel.exe is still running after 3 s"
e2e_log "the second copy ended after $(e2e_since "$started") s"
e2e_assert_equal "the second copy's exit code" 0 "$code"
e2e_assert "the first copy keeps running" e2e_running "$first"
e2e_assert "the first copy keeps its red face" red_face_shown
E2E_PROC=$first

e2e_hover 600 600 0.3
e2e_hover "$icon_x" "$icon_y"
if tooltip=$(e2e_wait_tooltip 5); then
  sleep 0.2
  read -r x y w h < <(e2e_window_geometry "$tooltip")
  e2e_screenshot tooltip "0,0,$((x + w + 20)),$((y + h + 10))" >/dev/null
else
  e2e_fail "no tooltip within 5 s of hovering over the icon"
fi

e2e_click "$icon_x" "$icon_y" 3
menu=$(e2e_wait_menu vantrel.exe 5) || e2e_fail "no menu within 5 s of the right click"
read -r menu_x menu_y menu_w menu_h < <(e2e_window_geometry "$menu")
e2e_assert "the menu's top-left corner is at the pointer" \
  [ "$menu_x" = "$icon_x" -a "$menu_y" = "$icon_y" ]
e2e_screenshot menu "0,0,$((menu_x + menu_w + 40)),$((menu_y + menu_h + 20))" >/dev/null

e2e_menu_key "$menu" a
window=$(e2e_wait_window "^$about\$" 5) || e2e_fail "no about window within 5 s of choosing &About"
e2e_assert "the menu closed when &About was chosen" e2e_wait_for 2 no_menu
sleep 0.3
e2e_screenshot about "$window" >/dev/null
e2e_window_texts "$about" >"$E2E_DIR/about-texts.txt"
while IFS=$'\t' read -r class text; do
  e2e_assert "the about window shows $class '$text'" e2e_window_has_text "$about" "$class" "$text"
done <<'EOF'
Static	Vantrel - Network Online Monitor
Static	Version:
Static	2.00
Button	&Ok
EOF

e2e_key Escape
e2e_assert "Escape closes the about window" e2e_window_gone "^$about\$" 3
e2e_assert "the program keeps running after the about window closed" e2e_running
e2e_assert "the red face is still there" red_face_shown

e2e_click "$icon_x" "$icon_y" 3
menu=$(e2e_wait_menu vantrel.exe 5) || e2e_fail "no menu within 5 s of the second right click"
read -r exit_x exit_y < <(e2e_menu_last_entry_pos "$menu")
e2e_hover "$exit_x" "$exit_y" 0.3
e2e_screenshot menu-exit "0,0,$((menu_x + menu_w + 40)),$((menu_y + menu_h + 20))" >/dev/null
started=$(e2e_now_ms)
e2e_click "$exit_x" "$exit_y" 1
code=$(e2e_wait_exit 2.1) || e2e_fail "vantrel.exe still runs 2 s after &Exit"
e2e_log "the program ended $(e2e_since "$started") s after the click on &Exit"
e2e_assert_equal "the exit code after &Exit" 0 "$code"
e2e_assert "the icon is gone from the tray" [ -z "$(e2e_tray_window)" ]
e2e_assert "no red is left where the icon was" \
  [ "$(e2e_find_color_in_rect "$tray_x" "$tray_y" "$tray_w" "$tray_h" 255,0,0)" = 0 ]
e2e_screenshot after-exit "$tray_x,$tray_y,$tray_w,$tray_h" >/dev/null

e2e_pass
