#!/usr/bin/env bash
# The long end-to-end soak: the real program under Wine and Xvfb with loopback traffic, the
# statistics and host test windows opened and closed with the mouse every minute. Afterwards the
# program must still answer, its private bytes must not have grown beyond a small band, and
# "&Exit" must end it with exit code 0.
#
#   bench/soak-e2e.sh [minutes]     (default 30; BENCH_BUILD=<dir> to reuse a build)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
minutes=${1:-30}
build=${BENCH_BUILD:-$repo/build/bench}
# Growth allowed over the whole run, after the first minute: Wine's own caches settle by then.
band_kib=${SOAK_BAND_KIB:-2048}

cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target vantrel >/dev/null
vantrel=$build/app/vantrel.exe

# shellcheck source=../tests/e2e/lib.sh
source "$repo/tests/e2e/lib.sh"
# shellcheck source=bench-lib.sh
source "$here/bench-lib.sh"
export E2E_ARTIFACTS=${E2E_ARTIFACTS:-$build/artifacts}
e2e_setup soak-e2e
bench_start_traffic

e2e_start "$vantrel"
e2e_assert "the icon is in the tray within 30 s" bench_wait_tray 30
sleep 2
pid=$(bench_pid vantrel.exe) || e2e_fail "no vantrel.exe process"
e2e_log "vantrel.exe is process $pid"

statistics_title='^Network Statistics$'
host_test_title='^Host Test$'

# One cycle: a left click opens the statistics window and Enter presses its OK button; the
# menu's "Host Test", clicked, opens the host test window and Escape closes it.
cycle() {
  local x y id menu
  read -r x y < <(e2e_tray_icon_pos 0) || e2e_fail "no icon in the tray"
  e2e_click "$x" "$y" 1
  id=$(e2e_wait_window "$statistics_title" 10) || e2e_fail "the statistics window did not open"
  sleep 3  # three rebuilds of the chart while it is shown
  e2e_key --window "$id" Return
  e2e_window_gone "$statistics_title" 10 || e2e_fail "the statistics window did not close"

  e2e_click "$x" "$y" 3
  menu=$(e2e_wait_menu vantrel.exe 5) || e2e_fail "the menu did not open"
  read -r x y < <(e2e_tray_menu_entry_pos "$menu" 3) || e2e_fail "the menu has no place"
  e2e_click "$x" "$y" 1
  id=$(e2e_wait_window "$host_test_title" 10) || e2e_fail "the host test window did not open"
  sleep 1
  e2e_key --window "$id" Escape
  e2e_window_gone "$host_test_title" 10 || e2e_fail "the host test window did not close"
}

started=$(e2e_now_ms)
baseline=
for minute in $(seq 1 "$minutes"); do
  cycle
  anon=$(bench_status_kib "$pid" RssAnon)
  e2e_log "minute $minute: RssAnon $anon KiB, VmHWM $(bench_status_kib "$pid" VmHWM) KiB, CPU $(bench_cpu_ticks "$pid") ticks"
  echo "$minute $anon" >>"$E2E_DIR/rss.txt"
  [ "$minute" = 1 ] && baseline=$anon
  # The rest of the minute idle, with the traffic flowing.
  next=$((started + minute * 60000))
  while (($(e2e_now_ms) < next)); do sleep 1; done
done
e2e_screenshot end root >/dev/null

# Still responsive: the statistics window opens once more, and its totals are filled in.
cycle
final=$(bench_status_kib "$pid" RssAnon)
e2e_log "private bytes (RssAnon): $baseline KiB after the first minute, $final KiB at the end"
e2e_assert "private bytes grew by $((final - baseline)) KiB, within $band_kib KiB" \
  test $((final - baseline)) -le "$band_kib"

e2e_assert "the menu's Exit entry is chosen" bench_menu_exit vantrel.exe
code=$(e2e_wait_exit 15) || e2e_fail "vantrel.exe still runs 15 s after Exit"
e2e_assert_equal "exit code" 0 "$code"
e2e_pass
