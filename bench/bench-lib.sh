# Helpers shared by bench/run.sh and bench/soak-e2e.sh, on top of tests/e2e/lib.sh (source that
# first, then call e2e_setup).

BENCH_TICKS=$(getconf CLK_TCK)

# bench_pid <exe name>: prints the Linux process id of the Windows program of that name in this
# run's Wine prefix (the program's own process, not the wine loader or the server).
bench_pid() {
  local name=$1 pid comm
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    comm=$(cat "/proc/$pid/comm" 2>/dev/null) || continue
    [ "$comm" = "${name:0:15}" ] || continue
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    echo "$pid"
    return 0
  done
  return 1
}

# bench_cpu_ticks <pid>: user + system time of the process so far, in clock ticks.
bench_cpu_ticks() {
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

# bench_status_kib <pid> <field>: a field of /proc/<pid>/status in KiB (VmHWM, RssAnon...).
bench_status_kib() {
  awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status"
}

# bench_wait_tray <seconds>: true once Wine's tray window shows an icon.
bench_wait_tray() {
  local deadline
  deadline=$(e2e__deadline "$1")
  until [ -n "$(e2e_tray_window)" ]; do
    e2e__past "$deadline" && return 1
    sleep 0.02
  done
}

# bench_wait_tray_gone <seconds>: true once Wine's tray window is hidden again (no icon left).
bench_wait_tray_gone() {
  local deadline
  deadline=$(e2e__deadline "$1")
  while [ -n "$(e2e_tray_window)" ]; do
    e2e__past "$deadline" && return 1
    sleep 0.05
  done
}

# bench_menu_exit <exe name>: chooses the last entry ("&Exit") of the icon's menu with the mouse.
bench_menu_exit() {
  local exe=$1 x y menu
  read -r x y < <(e2e_tray_icon_pos 0) || return 1
  e2e_click "$x" "$y" 3
  menu=$(e2e_wait_menu "$exe" 5) || return 1
  read -r x y < <(e2e_menu_last_entry_pos "$menu") || return 1
  e2e_click "$x" "$y" 1
}

# bench_close_floor: asks the floor program to close (WM_CLOSE to its window).
bench_close_floor() {
  e2e_wine taskkill /im floor.exe >/dev/null 2>&1
}

# Loopback traffic: a small web server on 127.0.0.1 and a client fetching from it five times a
# second, so the TCP counters move as they do on a machine in use.
bench_start_traffic() {
  local dir=$E2E_TMP/www port
  mkdir -p "$dir"
  head -c 65536 /dev/urandom >"$dir/blob"
  port=$((20000 + RANDOM % 20000))
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "$dir" >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  for _ in $(seq 1 50); do curl -s -o /dev/null "http://127.0.0.1:$port/blob" && break; sleep 0.1; done
  (
    while :; do
      curl -s -o /dev/null "http://127.0.0.1:$port/blob" || true
      sleep 0.2
    done
  ) &
  E2E_PIDS+=($!)
  e2e_log "loopback traffic: http://127.0.0.1:$port/blob five times a second"
}
