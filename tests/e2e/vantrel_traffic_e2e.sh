#!/usr/bin/env bash
# End-to-end run of vantrel.exe with TCP traffic, driven with the mouse as a person would.
#
# Wine runs in a network namespace of its own that is online through a veth pair with a
# 198.18.0.0/15 address, so the segment counters that the program reads count only this test's
# traffic: an HTTP server and a client fetching from it in a loop, both on the namespace's
# 127.0.0.1.
#
# - Hovering over the icon shows the tooltip with the address and the "Segs In:" and
#   "Segs Out:" lines (screenshot).
# - While traffic flows the face blinks between the smile and the wide-eyed picture; when it
#   stops the face settles on the smile.
# - A left click opens "Network Statistics"; after ten seconds of traffic both lines are drawn
#   (red and fuchsia pixels in the plot) and the totals are plain numbers that grow.
# - A drag from the plot's top left towards its bottom right zooms in: the picture changes, and
#   as the samples in view leave the history the zoomed plot empties, so the zoom outlives the
#   window's rebuilds.
# - Enter closes the window; "&Exit" from the menu ends the program with exit code 0.
#
#   vantrel_traffic_e2e.sh <vantrel.exe> <wintext.exe> <facewatch.exe>
# Exit code 77 (skipped) when network namespaces cannot be created here.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

usage="usage: vantrel_traffic_e2e.sh <vantrel.exe> <wintext.exe> <facewatch.exe>"
exe=$(realpath "${1:?$usage}")
E2E_WINTEXT=$(realpath "${2:?$usage}")
facewatch=$(realpath "${3:?$usage}")
statistics='Network Statistics'

probe="e2e$$probe"
if ! ip netns add "$probe" 2>/dev/null; then
  echo "SKIPPED: network namespaces cannot be created here (needs root and iproute2)"
  exit 77
fi
ip netns delete "$probe"

e2e_setup vantrel-traffic offline
wine_netns=$E2E_NETNS
peer_netns="${wine_netns}peer"
own_cleanup() {
  local status=$?
  set +e
  e2e__delete_netns "$peer_netns"
  (exit "$status")
  e2e__cleanup
}
trap own_cleanup EXIT

# The namespace goes online: a veth pair to a second namespace, 198.18.0.1 on Wine's side.
ip netns add "$peer_netns"
ip netns exec "$peer_netns" ip link set lo up
ip link add e2eveth0 netns "$wine_netns" type veth peer name e2eveth1 netns "$peer_netns"
ip -n "$peer_netns" addr add 198.18.0.2/24 dev e2eveth1
ip -n "$wine_netns" addr add 198.18.0.1/24 dev e2eveth0
ip -n "$peer_netns" link set e2eveth1 up
ip -n "$wine_netns" link set e2eveth0 up

tcp_segments() {
  # shellcheck disable=SC2016 # the dollars are awk's
  ip netns exec "$wine_netns" awk '/^Tcp:/ { n++; if (n == 2) print "in", $11, "out", $12 }' /proc/net/snmp
}

# shellcheck source=faces.sh
source "$(dirname "${BASH_SOURCE[0]}")/faces.sh"

ms_text() {
  printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000))
}

# --- Start: online, no traffic yet ------------------------------------------------------------
e2e_hover 600 600
e2e_start "$exe"
e2e_wait_for 10 e2e_tray_window >/dev/null || e2e_fail "no tray icon within 10 s"
picture_rect
e2e_wait_for 5 face_is smile || e2e_fail "no green face within 5 s of the icon showing ($FACE)"
e2e_log "ok: online, the face is green ($FACE)"
read -r icon_x icon_y < <(e2e_tray_icon_pos 0)
read -r tray_x tray_y tray_w tray_h < <(e2e_window_geometry "$(e2e_tray_window)")

e2e_start_traffic "$wine_netns"
e2e_log "TCP segments in the namespace: $(tcp_segments)"

# --- The tooltip ------------------------------------------------------------------------------
# The sampler writes "<address>\nSegs In:<n>\nSegs Out:<n>" every 500 ms; three lines make the
# tall tooltip.
e2e_hover "$icon_x" "$icon_y"
tooltip=$(e2e_wait_tooltip 5) || e2e_fail "no tooltip within 5 s of hovering over the icon"
sleep 0.7
read -r x y w h < <(e2e_window_geometry "$tooltip")
e2e_screenshot tooltip "0,0,$((x + w + 20)),$((y + h + 10))" >/dev/null
e2e_assert "the tooltip has three lines (${w} x ${h} pixels)" [ "$h" -ge 36 ]
e2e_hover 600 600 0.3

# --- The blink ---------------------------------------------------------------------------------
# facewatch.exe looks at the picture every 40 ms from inside the Wine session: a screenshot per
# look takes about as long as one phase of the blink under load, so its looks would keep falling
# on the same phase.
read -r pic_x pic_y < <(sed 's/^16x16+\([0-9]*\)+\([0-9]*\)$/\1 \2/' <<<"$PICTURE")
e2e_wine "$facewatch" "$pic_x" "$pic_y" 4000 </dev/null 2>/dev/null | tr -d '\r' >"$E2E_DIR/blink.txt" ||
  e2e_fail "facewatch.exe could not read the screen"
# shellcheck disable=SC2016 # the dollars are awk's
read -r looks smiles wides others changes phases < <(awk '
  { n++; count[$2]++; if (NR > 1 && $2 != last) { changes++; phase[last] = phase[last] " " ($1 - since); since = $1 }
    if (NR == 1) since = $1; last = $2 }
  END { printf "%d %d %d %d %d %s\n", n, count["smile"], count["wide"], n - count["smile"] - count["wide"], changes,
        "smile:" phase["smile"] "|wide:" phase["wide"] }' "$E2E_DIR/blink.txt")
e2e_log "in 4 s of traffic: $looks looks, $smiles smiling, $wides wide-eyed, $changes changes (phases in ms: $phases)"
e2e_assert "the face blinks: $wides wide-eyed and $smiles smiling looks of $looks, $others others" \
  [ "$looks" -ge 20 -a "$wides" -ge $((looks / 5)) -a "$smiles" -ge $((looks / 5)) -a "$others" -eq 0 ]
# Each tick with segments flips the picture: eight ticks in 4 s.
e2e_assert "the face changes picture again and again ($changes changes in 4 s)" [ "$changes" -ge 5 ]
e2e_wait_for 2 face_is wide && e2e_screenshot tray-wide "$tray_x,$tray_y,$tray_w,$tray_h" >/dev/null

# --- Traffic stops: the smile stays -------------------------------------------------------------
e2e_stop_traffic
stopped=$(e2e_now_ms)
e2e_log "traffic stopped; TCP segments in the namespace: $(tcp_segments)"
e2e_wait_for 5 face_is smile || e2e_fail "the face did not return to the smile within 5 s ($FACE)"
# Settled means: the smile from now on. The sampler may still flip once for the last segments.
settled=
deadline=$(e2e__deadline 8)
until e2e__past "$deadline"; do
  since=$(e2e_now_ms)
  while face_is smile && (($(e2e_now_ms) - since < 2000)); do sleep 0.1; done
  if (($(e2e_now_ms) - since >= 2000)); then
    settled=$((since - stopped))
    break
  fi
  e2e_log "not settled yet: $FACE"
done
[ -n "$settled" ] || e2e_fail "the face did not settle on the smile within 8 s of the traffic stopping"
e2e_log "the face settled on the smile $(ms_text "$settled") s after the traffic stopped"
e2e_assert "settled within 2 s (took $settled ms)" [ "$settled" -le 2000 ]
e2e_screenshot tray-settled "$tray_x,$tray_y,$tray_w,$tray_h" >/dev/null

# --- The statistics window -----------------------------------------------------------------------
e2e_start_traffic "$wine_netns"
e2e_click "$icon_x" "$icon_y" 1
window=$(e2e_wait_window "^$statistics\$" 5) || e2e_fail "no statistics window within 5 s of the left click"
e2e_hover 600 1000
read -r win_x win_y win_w win_h < <(e2e_window_geometry "$window")
e2e_log "the statistics window is at $win_x,$win_y, $win_w x $win_h"
sleep 10
e2e_screenshot statistics "$window" >/dev/null
e2e_window_texts "$statistics" >"$E2E_DIR/statistics-texts.txt"
e2e_log "the statistics window's texts: $(tr '\t\n' ': ' <"$E2E_DIR/statistics-texts.txt")"

# The chart's layout, found from its colours in the window. The walls are framed in dark grey
# (128,128,128): the two long grey rows are the back wall's top and bottom edges, the long grey
# columns the left wall's front edge, the back wall's left edge and its right edge; the left wall
# between them is light yellow (255,255,128). The lines may hide parts of all of these, but not
# most of a frame edge. The legend is the only white above the floor. Sets FRONT_LEFT BACK_LEFT
# BACK_RIGHT BACK_TOP BACK_BOTTOM FRONT_BOTTOM and LEGEND_LEFT, in window pixels.
chart_layout() {
  local found
  found=$(import -window root -crop "${win_w}x${win_h}+${win_x}+${win_y}" +repage -depth 8 rgb:- |
    od -An -v -tu1 -w3 | awk -v w="$win_w" '
      { i = NR - 1; x = i % w; y = int(i / w) }
      $1 == 128 && $2 == 128 && $3 == 128 { row[y]++; column[x]++ }
      $1 == 255 && $2 == 255 && $3 == 128 { yellow[x]++ }
      $1 == 255 && $2 == 255 && $3 == 255 { white[y] = white[y] " " x }
      END {
        top = -1; bottom = -1; n = 0
        for (y = 0; y < NR / w; y++) if (row[y] >= 100) { if (top < 0) top = y; bottom = y }
        for (x = 0; x < w; x++) if (column[x] >= 100) columns[n++] = x
        if (top < 0 || bottom - top < 100 || n != 3) exit
        wall = 0
        for (x = columns[0]; x <= columns[1]; x++) wall += yellow[x]
        if (wall < 500) exit
        legend = w
        for (y = top; y < (top + bottom) / 2; y++) {
          k = split(white[y], xs, " ")
          for (j = 1; j <= k; j++) if (xs[j] > columns[2] && xs[j] + 0 < legend) legend = xs[j] + 0
        }
        print columns[0], columns[1], columns[2], top, bottom, legend
      }')
  [ -n "$found" ] || return 1
  read -r FRONT_LEFT BACK_LEFT BACK_RIGHT BACK_TOP BACK_BOTTOM LEGEND_LEFT <<<"$found"
  FRONT_BOTTOM=$((BACK_BOTTOM + BACK_LEFT - FRONT_LEFT))
}

# line_pixels: prints "<red> <fuchsia>", the pixels of the two series' colours between the left
# wall and the legend, from a little above the plot (the lines' depth reaches over its top
# edge) to just below it. Not higher: the caption's icon has red in it.
line_pixels() {
  local x=$FRONT_LEFT y=$((BACK_TOP - 20))
  local w=$((LEGEND_LEFT - 2 - x)) h=$((FRONT_BOTTOM + 6 - y))
  import -window root -crop "${w}x${h}+$((win_x + x))+$((win_y + y))" +repage -depth 8 rgb:- |
    od -An -v -tu1 -w3 | awk '
      $1 == 255 && $2 == 0 && $3 == 0 { red++ }
      $1 == 255 && $2 == 0 && $3 == 255 { fuchsia++ }
      END { print red + 0, fuchsia + 0 }'
}

# silver_in_row <x0> <x1> <y>: pixels of the rubber band's silver (192,192,192) in one row of
# window pixels.
silver_in_row() {
  import -window root -crop "$(($2 - $1))x1+$((win_x + $1))+$((win_y + $3))" +repage -depth 8 rgb:- |
    od -An -v -tu1 -w3 | awk '$1 == 192 && $2 == 192 && $3 == 192 { n++ } END { print n + 0 }'
}

chart_layout || e2e_fail "no chart (framed walls, a light yellow left wall) in the statistics window"
e2e_log "chart layout: back wall $BACK_LEFT..$BACK_RIGHT x $BACK_TOP..$BACK_BOTTOM, front left $FRONT_LEFT, front bottom $FRONT_BOTTOM, legend from $LEGEND_LEFT"
e2e_assert "the legend is right of the plot" [ "$LEGEND_LEFT" -gt "$BACK_RIGHT" -a "$LEGEND_LEFT" -lt "$win_w" ]
read -r red fuchsia < <(line_pixels)
e2e_log "line pixels after ten seconds of traffic: red $red, fuchsia $fuchsia"
e2e_assert "both lines are drawn (red $red, fuchsia $fuchsia pixels in the plot)" [ "$red" -ge 200 -a "$fuchsia" -ge 200 ]

# The totals: two labels that show plain decimal numbers, and they grow with the traffic.
totals() {
  e2e_window_texts "$statistics" | awk -F'\t' '$1 == "Static" && $2 ~ /^[0-9]+$/ { printf "%s ", $2 }'
}
read -r in_total out_total rest < <(totals; echo)
e2e_assert "the totals are two plain numbers ('$in_total' '$out_total' '$rest')" \
  [ -n "$in_total" -a -n "$out_total" -a -z "$rest" ]
sleep 1.5
read -r in_later out_later _ < <(totals; echo)
e2e_log "totals: in $in_total then $in_later, out $out_total then $out_later"
e2e_assert "the totals grow while traffic flows" [ "${in_later:-0}" -gt "$in_total" -a "${out_later:-0}" -gt "$out_total" ]
if ! grep -qxF $'Static\tInLabel' "$E2E_DIR/statistics-texts.txt"; then
  e2e_log "ok: the labels' initial captions are gone"
else
  e2e_fail "a total still shows its initial caption"
fi

# --- Zoom: drag from the plot's top left towards its bottom right ----------------------------------
# Over the left part of the time axis and nearly all of the value axis: the view then holds the
# older half of the samples, which leave the history within about twenty seconds.
press_x=$((BACK_LEFT + 10))
release_x=$((press_x + (BACK_RIGHT - BACK_LEFT) / 2))
band_length=$((release_x - press_x))
# The rubber band's top and bottom edges run along the press and release rows; take rows that no
# grid line covers.
quiet_row() {
  local row best=$win_w n
  for row in $(seq "$1" "$2"); do
    n=$(silver_in_row "$press_x" "$release_x" "$row")
    if [ "$n" -lt "$best" ]; then
      best=$n
      QUIET_ROW=$row
    fi
  done
}
quiet_row $((BACK_TOP + 8)) $((BACK_TOP + 14))
press_y=$QUIET_ROW
quiet_row $((BACK_BOTTOM - 16)) $((BACK_BOTTOM - 10))
release_y=$QUIET_ROW
band_rows() {
  echo "$(silver_in_row "$press_x" "$release_x" "$press_y") $(silver_in_row "$press_x" "$release_x" "$release_y")"
}
read -r top_before bottom_before < <(band_rows)
e2e_log "drag from $press_x,$press_y to $release_x,$release_y (window pixels); silver along those rows before: $top_before and $bottom_before of $band_length"
e2e_screenshot statistics-before-zoom "$window" >/dev/null
before="$E2E_TMP/before-zoom.png"
cp "$E2E_DIR/statistics-before-zoom.png" "$before"

xdotool mousemove $((win_x + press_x)) $((win_y + press_y))
sleep 0.2
xdotool mousedown 1
for step in $(seq 1 12); do
  xdotool mousemove $((win_x + press_x + (release_x - press_x) * step / 12)) \
    $((win_y + press_y + (release_y - press_y) * step / 12))
  sleep 0.05
done
# Hold still across one of the window's once-a-second rebuilds first: its repaint must put the
# band back on top. Where the band crosses a line the exclusive-or shows another colour, and the
# lines move under it with every rebuild, so the band counts as shown once one of its edges runs
# along the empty part of the plot.
sleep 1.2
band_shows() {
  read -r top_during bottom_during < <(band_rows)
  [ "$top_during" -ge $((band_length / 2)) ] || [ "$bottom_during" -ge $((band_length / 2)) ]
}
e2e_wait_for 4 band_shows || true
e2e_screenshot zoom-rubber-band "$window" >/dev/null
xdotool mouseup 1
e2e_assert "the rubber band shows while dragging (silver along its top edge $top_during, bottom edge $bottom_during, of $band_length)" \
  [ "$top_during" -ge $((band_length / 2)) -o "$bottom_during" -ge $((band_length / 2)) ]
e2e_hover $((win_x + win_w + 50)) $((win_y + win_h + 20)) 1.5
e2e_screenshot statistics-zoomed "$window" >/dev/null
# The zoomed grid may put a line on one of the rows, hardly on both.
read -r top_after bottom_after < <(band_rows)
e2e_assert "no rubber band is left after the release (silver along its rows $top_after and $bottom_after)" \
  [ "$top_after" -lt $((band_length / 3)) -o "$bottom_after" -lt $((band_length / 3)) ]

# The axes are rescaled: the strips with the axes' labels differ from before. (The labels of the
# value axis sit left of the wall, those of the time axis below the floor.)
axis_differs() {
  local name=$1 geometry=$2 changed
  changed=$(compare -metric AE -crop "$geometry" "$before" "$E2E_DIR/statistics-zoomed.png" null: 2>&1 || true)
  e2e_log "$name labels: $changed pixels changed"
  [ "${changed%% *}" -gt 20 ] 2>/dev/null
}
e2e_assert "the value axis labels change" axis_differs value "$((FRONT_LEFT - 6))x$((FRONT_BOTTOM - BACK_TOP + 20))+0+$((BACK_TOP - 10))"
e2e_assert "the time axis labels change" axis_differs time "$((LEGEND_LEFT))x24+0+$((FRONT_BOTTOM + 3))"

# The zoom holds through the window's once-a-second rebuilds: the samples in view leave the
# history and the view empties, while unzoomed the lines always reach across the plot.
read -r red fuchsia < <(line_pixels)
e2e_log "line pixels just after the zoom: red $red, fuchsia $fuchsia"
zoom_started=$(e2e_now_ms)
lines_gone() {
  read -r red fuchsia < <(line_pixels)
  [ "$red" -eq 0 ] && [ "$fuchsia" -eq 0 ]
}
e2e_wait_for 40 lines_gone ||
  e2e_fail "the zoomed view still shows lines 40 s after the zoom (red $red, fuchsia $fuchsia)"
e2e_log "ok: the zoomed view emptied $(e2e_since "$zoom_started") s after the zoom, while traffic flows"
# A rebuild or two later it is still empty: the zoom did not come undone.
sleep 2.2
e2e_assert "the zoomed view stays empty (red $red, fuchsia $fuchsia)" lines_gone
e2e_screenshot statistics-zoomed-empty "$window" >/dev/null

# --- Enter closes; the next showing is unzoomed --------------------------------------------------
e2e_key --window "$window" Return
e2e_assert "Enter closes the statistics window" e2e_window_gone "^$statistics\$" 3
e2e_assert "the program keeps running" e2e_running
e2e_click "$icon_x" "$icon_y" 1
window=$(e2e_wait_window "^$statistics\$" 5) || e2e_fail "no statistics window within 5 s of the second left click"
e2e_hover 600 1000 1.2
read -r red fuchsia < <(line_pixels)
e2e_screenshot statistics-shown-again "$window" >/dev/null
e2e_assert "shown again, the view is unzoomed: both lines (red $red, fuchsia $fuchsia)" [ "$red" -ge 200 -a "$fuchsia" -ge 200 ]
e2e_key --window "$window" Return
e2e_assert "Enter closes the statistics window again" e2e_window_gone "^$statistics\$" 3

# --- Exit through the menu ------------------------------------------------------------------------
e2e_stop_traffic
e2e_exit_through_menu

e2e_pass
