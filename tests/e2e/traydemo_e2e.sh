#!/usr/bin/env bash
# End-to-end run of the harness's stand-in tray program, as a person would use it: the icon
# appears, a second copy leaves at once, the tooltip shows on hover, the right-click menu opens
# the about dialog, Escape closes it, and "Exit" ends the program with exit code 0.
#
#   traydemo_e2e.sh <traydemo.exe> <wintext.exe> [default|winxp|win7|win10]
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

usage="usage: traydemo_e2e.sh <traydemo.exe> <wintext.exe> [windows version setting]"
exe=$(realpath "${1:?$usage}")
E2E_WINTEXT=$(realpath "${2:?$usage}")
version=${3:-default}
program=$(basename "$exe")
red=255,0,0

e2e_setup "traydemo-$version"
e2e_wine_version "$version"

e2e_start "$exe"
first=$E2E_PROC

no_menu() { ! e2e_wait_menu "$program" 0 >/dev/null; }

e2e_tray_has_red_icon() {
  local x y w h
  read -r x y w h < <(e2e_tray_icon_rect 0) || return 1
  # The disc is 14 pixels across: about 150 pure red pixels in the 20 x 20 cell.
  [ "$(e2e_find_color_in_rect "$x" "$y" "$w" "$h" "$red")" -ge 140 ]
}
e2e_assert "the red icon is in Wine's tray within 20 s" e2e_wait_for 20 e2e_tray_has_red_icon
read -r icon_x icon_y < <(e2e_tray_icon_pos 0)
e2e_assert "the icon's centre ($icon_x,$icon_y) is pure red" e2e_expect_color "$icon_x" "$icon_y" "$red"
read -r tray_x tray_y tray_w tray_h < <(e2e_window_geometry "$(e2e_tray_window)")
e2e_screenshot tray "$tray_x,$tray_y,$tray_w,$tray_h" >/dev/null

started=$(e2e_now_ms)
e2e_start "$exe"
code=$(e2e_wait_exit 3) || e2e_fail "a second copy is still running after 3 s"
e2e_log "the second copy ended with $code after $(e2e_since "$started") s"
e2e_assert_equal "the second copy's exit code" 0 "$code"
e2e_assert "the first copy keeps running" e2e_running "$first"
e2e_assert "the first copy keeps its icon" e2e_tray_has_red_icon
E2E_PROC=$first

# Rest the pointer away first, so that arriving on the icon is a fresh hover.
e2e_hover 600 600 0.3
e2e_hover "$icon_x" "$icon_y"
tooltip=$(e2e_wait_tooltip 5) || e2e_fail "no tooltip within 5 s of hovering over the icon"
sleep 0.2
read -r x y w h < <(e2e_window_geometry "$tooltip")
e2e_assert "the tooltip ($x,$y ${w}x$h) shows below the pointer" [ "$y" -gt "$icon_y" -a "$w" -gt 20 ]
e2e_screenshot tooltip "0,0,$((x + w + 20)),$((y + h + 10))" >/dev/null

e2e_click "$icon_x" "$icon_y" 3
menu=$(e2e_wait_menu "$program" 5) || e2e_fail "no menu within 5 s of the right click"
read -r menu_x menu_y menu_w menu_h < <(e2e_window_geometry "$menu")
e2e_assert "the menu's top-left corner is at the pointer" \
  [ "$menu_x" = "$icon_x" -a "$menu_y" = "$icon_y" ]
e2e_screenshot menu "0,0,$((menu_x + menu_w + 40)),$((menu_y + menu_h + 20))" >/dev/null

e2e_menu_key "$menu" a
about=$(e2e_wait_window '^About Application$' 5) || e2e_fail "no about dialog within 5 s of choosing About"
sleep 0.3
e2e_screenshot about "$about" >/dev/null
e2e_screenshot about-screen root >/dev/null
e2e_assert "the menu closed when the entry was chosen" e2e_wait_for 2 no_menu
e2e_window_texts 'About Application' >"$E2E_DIR/about-texts.txt"
e2e_assert "the about dialog names the program" \
  e2e_window_has_text 'About Application' Static 'Tray demo for the end-to-end harness'
# Windows before 6.0 take the shorter, version-2 notification record. Without a manifest that
# names Windows 10, GetVersionEx reports 6.2 there, as Windows itself does.
case $version in
  winxp) expected='Windows 5.1, notification record 952 bytes' ;;
  win10) expected='Windows 6.2, notification record 976 bytes' ;;
  *) expected='Windows 6.1, notification record 976 bytes' ;;
esac
e2e_assert "the about dialog shows '$expected'" e2e_window_has_text 'About Application' Static "$expected"
e2e_assert "the about dialog has its OK button" e2e_window_has_text 'About Application' Button OK

e2e_key Escape
e2e_assert "Escape closes the about dialog" e2e_window_gone '^About Application$' 3
e2e_assert "the program keeps running after the dialog closed" e2e_running

e2e_click "$icon_x" "$icon_y" 3
menu=$(e2e_wait_menu "$program" 5) || e2e_fail "no menu within 5 s of the second right click"
read -r exit_x exit_y < <(e2e_menu_last_entry_pos "$menu")
e2e_hover "$exit_x" "$exit_y" 0.3
e2e_screenshot menu-exit "0,0,$((exit_x + 60)),$((exit_y + 30))" >/dev/null
e2e_click "$exit_x" "$exit_y" 1
code=$(e2e_wait_exit 2) || e2e_fail "the program still runs 2 s after Exit"
e2e_assert_equal "the exit code after Exit" 0 "$code"
e2e_assert "the icon is gone from the tray" [ -z "$(e2e_tray_window)" ]
e2e_assert "no red is left where the icon was" \
  [ "$(e2e_find_color_in_rect 0 0 "$tray_w" "$tray_h" "$red")" = 0 ]
e2e_screenshot after-exit "0,0,$tray_w,$tray_h" >/dev/null

e2e_pass
