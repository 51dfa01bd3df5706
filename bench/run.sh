#!/usr/bin/env bash
# The benchmark: builds, then measures the monitor against the floor program in the same run and
# prints one table. Figures, not tests: nothing here fails on a missed target.
#
#   bench/run.sh [minutes]     (minutes per idle run, default 2; BENCH_BUILD=<dir> to reuse a build)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/.." && pwd)
minutes=${1:-2}
build=${BENCH_BUILD:-$repo/build/bench}

cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target vantrel bench_floor bench_opbench pingtool >/dev/null
vantrel=$build/app/vantrel.exe
floor=$build/bench/floor.exe
opbench=$build/bench/opbench.exe

# shellcheck source=../tests/e2e/lib.sh
source "$repo/tests/e2e/lib.sh"
# shellcheck source=bench-lib.sh
source "$here/bench-lib.sh"
export E2E_ARTIFACTS=${E2E_ARTIFACTS:-$build/artifacts}
e2e_setup bench
results=$E2E_DIR/results.txt
: >"$results"
record() { echo "$1=$2" >>"$results"; }
value() { sed -n "s/^$1=//p" "$results" | tail -n 1; }

bench_start_traffic

# Start-up: from the launch to the tray window showing the icon, the same moment for both
# programs, seen from outside by polling the X server every 20 ms. The two programs take turns,
# seven starts each, so that a busy moment of a shared machine falls on both; the median of each.
startup_once() {  # startup_once <exe> <exe name>: prints the milliseconds
  local exe=$1 name=$2 started took
  started=$(e2e_now_ms)
  e2e_start "$exe" >&2
  bench_wait_tray 30 || e2e_fail "$name: no icon within 30 s"
  took=$(($(e2e_now_ms) - started))
  sleep 2
  if [ "$name" = floor.exe ]; then bench_close_floor; else bench_menu_exit "$name"; fi
  e2e_wait_exit 15 >/dev/null || e2e_fail "$name did not end"
  bench_wait_tray_gone 10 || e2e_fail "the tray still shows an icon after $name ended"
  e2e_log "$name: icon after $took ms" >&2
  echo "$took"
}

median_of() { sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }

floor_times=() vantrel_times=()
for _ in 1 2 3 4 5 6 7; do
  floor_times+=("$(startup_once "$floor" floor.exe)") || exit 1
  vantrel_times+=("$(startup_once "$vantrel" vantrel.exe)") || exit 1
done
record floor_start "$(printf '%s\n' "${floor_times[@]}" | median_of)"
record vantrel_start "$(printf '%s\n' "${vantrel_times[@]}" | median_of)"

# Idle: no window open, loopback traffic flowing; CPU of the program's own process over the
# run (after 10 s to settle), then its peak working set and private bytes.
idle_run() {  # idle_run <exe> <exe name> <key>
  local exe=$1 name=$2 key=$3 pid t0 t1
  e2e_start "$exe"
  bench_wait_tray 30 || e2e_fail "$name: no icon within 30 s"
  sleep 10
  pid=$(bench_pid "$name") || e2e_fail "no process $name"
  t0=$(bench_cpu_ticks "$pid")
  e2e_log "$name (process $pid): idle for $minutes min"
  sleep $((minutes * 60))
  t1=$(bench_cpu_ticks "$pid")
  record "${key}_cpu" "$(awk -v d=$((t1 - t0)) -v hz="$BENCH_TICKS" -v m="$minutes" 'BEGIN { printf "%.3f", d / hz / m }')"
  record "${key}_hwm" "$(bench_status_kib "$pid" VmHWM)"
  record "${key}_anon" "$(bench_status_kib "$pid" RssAnon)"
  if [ "$name" = floor.exe ]; then bench_close_floor; else bench_menu_exit "$name"; fi
  local code
  code=$(e2e_wait_exit 15) || e2e_fail "$name did not end"
  [ "$code" = 0 ] || e2e_log "$name ended with exit code $code"
  bench_wait_tray_gone 10 || true
}

idle_run "$floor" floor.exe floor
# The same floor doing the platform calls the design requires (an adapter enumeration at each
# check, the shell sends of each tick and of the connection check) and nothing else.
export VANTREL_FLOOR_PLATFORM=1
idle_run "$floor" floor.exe floor_platform
unset VANTREL_FLOOR_PLATFORM
idle_run "$vantrel" vantrel.exe vantrel

e2e_log "operation costs"
e2e_wine "$opbench" 2>>"$E2E_DIR/opbench.err" | tr -d '\r' | tee "$E2E_DIR/opbench.txt"

# ping_accuracy <administrator|standard-user>: prints the figure, or why there is none.
ping_accuracy() {
  local out
  if [ ! -f "$repo/tests/netns/netns-lib.sh" ] || [ ! -f "$repo/tests/netns/echo-responder.py" ]; then
    echo "not measured (no namespace test hosts here)"
  elif out=$(bash "$here/ping-accuracy.sh" "$build/hosttest/pingtool.exe" "$1" 2>>"$E2E_DIR/ping-$1.err"); then
    tail -n 1 <<<"$out"
  else
    echo "not measured ($(tail -n 1 "$E2E_DIR/ping-$1.err" 2>/dev/null))"
  fi
}
e2e_log "ping accuracy"
ping_line=$(ping_accuracy administrator)
ping_user_line=$(ping_accuracy standard-user)

op() {  # op <name> <median|p99>
  sed -n "s/^op $1 median_us=\([0-9.]*\) p99_us=\([0-9.]*\).*/\1 \2/p" "$E2E_DIR/opbench.txt" |
    awk -v w="$2" '{ print (w == "median" ? $1 : $2) }'
}

{
  echo "Vantrel benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'): $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version), idle runs of $minutes min"
  echo
  echo "| figure | vantrel | floor | ratio or difference | target |"
  echo "|---|---|---|---|---|"
  awk -v v="$(value vantrel_cpu)" -v f="$(value floor_cpu)" 'BEGIN {
    printf "| idle CPU, s per minute (own process, loopback traffic) | %.3f | %.3f | %.2f x | <= 1.3 x |\n", v, f, (f > 0 ? v / f : 0) }'
  awk -v v="$(value vantrel_cpu)" -v f="$(value floor_platform_cpu)" 'BEGIN {
    printf "| idle CPU against the floor doing the required platform calls (enumeration, shell sends) | %.3f | %.3f | %.2f x | (information) |\n", v, f, (f > 0 ? v / f : 0) }'
  awk -v v="$(value vantrel_hwm)" -v f="$(value floor_hwm)" 'BEGIN {
    printf "| peak working set (VmHWM), MiB | %.1f | %.1f | %+.1f MiB | <= +2 MiB |\n", v / 1024, f / 1024, (v - f) / 1024 }'
  awk -v v="$(value vantrel_anon)" -v f="$(value floor_anon)" 'BEGIN {
    printf "| private bytes (RssAnon) at the end, MiB | %.1f | %.1f | %+.1f MiB | <= +2 MiB |\n", v / 1024, f / 1024, (v - f) / 1024 }'
  awk -v v="$(value vantrel_start)" -v f="$(value floor_start)" 'BEGIN {
    printf "| start-up to the icon in the tray, ms (median of 7, taking turns) | %d | %d | %.2f x | <= 1.5 x |\n", v, f, (f > 0 ? v / f : 0) }'
  printf '| sampler tick, us median / p99 (statistics and shell entries scripted) | %s / %s | | | < 50 us |\n' "$(op tick median)" "$(op tick p99)"
  printf '| sampler tick with the real shell, us median / p99 | %s / %s | | | (information) |\n' "$(op tick_with_shell median)" "$(op tick_with_shell p99)"
  printf '| address check (enumeration included), us median / p99 | %s / %s | | | (none) |\n' "$(op address_check median)" "$(op address_check p99)"
  printf '| chart rebuild, 60 records, us median / p99 | %s / %s | | | < 200 us |\n' "$(op chart_rebuild median)" "$(op chart_rebuild p99)"
  printf '| chart paint, 521 x 385 at 96 DPI, us median / p99 | %s / %s | | | < 5000 us |\n' "$(op chart_paint median)" "$(op chart_paint p99)"
  printf '| icon change (real shell), us median / p99 | %s / %s | | | (none) |\n' "$(op icon_change median)" "$(op icon_change p99)"
  printf '| ping accuracy, median difference to iputils over 20 pings (administrator: raw socket) | %s | | | <= 1 ms |\n' "$ping_line"
  printf '| ping accuracy, the same as a standard user (echo service) | %s | | | <= 1 ms |\n' "$ping_user_line"
} | tee "$E2E_DIR/table.md"
e2e_log "table saved in $E2E_DIR/table.md"
