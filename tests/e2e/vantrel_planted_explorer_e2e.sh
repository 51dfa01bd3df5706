#!/usr/bin/env bash
# The about window's link with a program named explorer.exe planted where people download
# things: beside vantrel.exe, and in the folder it is started from. A person opens the about
# window from the icon's menu and clicks the web address; the planted programs must not run.
#
# Each stand-in leaves a mark (a file beside itself with the command line it got) when it is
# started. The whole Wine session runs in a network namespace with only loopback, so whatever
# the real explorer does with the address cannot leave the machine.
#
#   vantrel_planted_explorer_e2e.sh <vantrel.exe> <standin_explorer.exe> <wintext.exe>
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

usage="usage: vantrel_planted_explorer_e2e.sh <vantrel.exe> <standin_explorer.exe> <wintext.exe>"
exe=$(realpath "${1:?$usage}")
standin=$(realpath "${2:?$usage}")
E2E_WINTEXT=$(realpath "${3:?$usage}")
about='About Application'
address='http://www.durvane.com/vantrel/'

e2e_setup vantrel-planted-explorer offline
# Wine's explorer hands an address to winebrowser, which would start the machine's own browser;
# here its browser only writes down the address it was given.
browser="$E2E_TMP/browser"
opened="$E2E_TMP/opened"
printf '#!/bin/sh\necho "$*" >>"%s"\n' "$opened" >"$browser"
chmod +x "$browser"
e2e_wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$browser" /f >/dev/null 2>&1 ||
  e2e_fail "could not give winebrowser a browser of the test's own"

downloads="$E2E_TMP/Downloads"
started_in="$E2E_TMP/Desktop"
mkdir -p "$downloads" "$started_in"
cp "$exe" "$downloads/vantrel.exe"
cp "$standin" "$downloads/explorer.exe"
cp "$standin" "$started_in/explorer.exe"
mark_of() { echo "$1/standin-explorer-ran.txt"; }

# The stand-in is one the search would find: started by its bare name from the folder it sits
# in, it runs and leaves its mark.
(cd "$started_in" && e2e_wine cmd /c explorer.exe probe </dev/null >/dev/null 2>&1) || true
e2e_wait_for 5 [ -f "$(mark_of "$started_in")" ] ||
  e2e_fail "the stand-in left no mark when started by its bare name: the test could not see it run"
e2e_log "ok: the stand-in runs when named bare: $(cat "$(mark_of "$started_in")")"
rm -f "$(mark_of "$started_in")"

# What the click started, seen from outside: Wine gives each Windows process its command line as
# its own, so the processes whose command lines hold the address are the ones the link started.
address_processes() {
  local pid line
  for pid in $(ip netns pids "$E2E_NETNS" 2>/dev/null); do
    line=$(tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline") || continue
    case $line in *"$address"*) echo "$line" ;; esac
  done
}

cd "$started_in"
e2e_start "$downloads/vantrel.exe"
e2e_wait_for 10 e2e_tray_window >/dev/null || e2e_fail "no tray icon within 10 s"
sleep 0.5
read -r icon_x icon_y < <(e2e_tray_icon_pos 0)
e2e_click "$icon_x" "$icon_y" 3
menu=$(e2e_wait_menu vantrel.exe 5) || e2e_fail "no menu within 5 s of the right click"
read -r x y < <(e2e_tray_menu_entry_pos "$menu" 1)
e2e_click "$x" "$y" 1
window=$(e2e_wait_window "^$about\$" 5) || e2e_fail "no about window within 5 s of choosing &About"
sleep 0.3
e2e_assert "the about window shows the address" e2e_window_has_text "$about" Static "$address"

# The link's line, 160 to 176 in the client area at 96 dpi, centred; the window's frame is what
# its outer size has beyond the 261 x 289 client area (Wine draws the frame itself here).
read -r wx wy ww wh < <(e2e_window_geometry "$window")
border=$(((ww - 261) / 2))
client_top=$((wy + wh - border - 289))
link_x=$((wx + ww / 2))
link_y=$((client_top + 168))
blue=$(e2e_find_color_in_rect "$((wx + border))" "$((client_top + 160))" 261 16 0,0,255 60)
e2e_assert "the link's blue text is where the click goes ($blue pixels)" [ "$blue" -ge 40 ]
e2e_screenshot about "$window" >/dev/null
e2e_click "$link_x" "$link_y" 1
e2e_log "clicked the link at $link_x,$link_y"

# The address reaches the browser within a few seconds; a planted explorer leaves its mark.
seen="$E2E_TMP/started"
: >"$seen"
deadline=$(e2e__deadline 10)
until e2e__past "$deadline"; do
  address_processes >>"$seen"
  [ -f "$(mark_of "$downloads")" ] || [ -f "$(mark_of "$started_in")" ] && break
  grep -qF "$address" "$opened" 2>/dev/null && break
  sleep 0.05
done
sort -u "$seen" >"$E2E_DIR/started-with-the-address.txt"
e2e_screenshot after-click root >/dev/null
for folder in "$downloads" "$started_in"; do
  if [ -f "$(mark_of "$folder")" ]; then
    e2e_fail "the planted explorer.exe in $folder ran: $(cat "$(mark_of "$folder")")"
  fi
done
e2e_log "ok: neither planted explorer.exe ran"
e2e_log "seen running with the address: $(tr '\n' '|' <"$E2E_DIR/started-with-the-address.txt")"
# The Windows folder's explorer, the only other one, handed the address to the browser.
e2e_assert "the address reached the browser" grep -qF "$address" "$opened"
e2e_assert "the program keeps running after the click" e2e_running
e2e_pass
