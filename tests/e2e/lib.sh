# End-to-end harness: runs real Windows programs under Wine on a private virtual X display and
# drives them the way a person would, with the mouse on the notification-area icon, the keyboard,
# screenshots and pixel checks. Source it from a bash script:
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_setup my_test [offline]       # artefact dir, own Xvfb, own Wine prefix, cleanup trap
#   e2e_wine_version win10            # optional: winxp | win7 | win10 | default
#   e2e_start "$exe"                  # background; e2e_wait_exit 2 gives its exit code
#   read -r x y < <(e2e_tray_icon_pos 0)
#   e2e_click "$x" "$y" 3
#   e2e_screenshot menu
#   e2e_window_has_text "About Application" Static "2.00"   # needs E2E_WINTEXT
#   e2e_pass
#
# Every script gets its own display and its own copy of a prepared Wine prefix, so several can
# run at once under `ctest -j`, beside the unit tests on the shared display :87.
#
# How Wine 8.0 behaves here (measured on Debian 12, Xvfb 1280x1024x24, Managed=N, no window
# manager):
# - Without a desktop tray (no _NET_SYSTEM_TRAY owner), explorer.exe shows its own top-level
#   window "Wine System Tray" at (0,0). With one icon it is 166 x 45: a 3-pixel frame, a 19-pixel
#   caption, and one row of 20 x 20 cells (16-pixel small icon plus a 2-pixel border), left to
#   right in the order the icons were added. The first icon's picture sits at (5,24)-(20,39).
#   When the last icon is removed the window is unmapped.
# - Start-up: the first wineboot of a new prefix takes about 15 s, plus about 5 s until the
#   wineserver exits; preparing the end-to-end prefix from nothing takes 22 to 30 s in all, once
#   per machine. Starting Wine on a ready prefix copy (wineserver, services, explorer) takes
#   1 to 2.5 s; after that the tray shows a program's icon 0.2 to 0.9 s after it starts, and a
#   second copy that leaves at once has ended 0.1 to 0.6 s after its start (the higher figures
#   with six end-to-end runs at once).
# - When explorer.exe starts together with the program, the tray shows the icon but loses the
#   clicks of about its first second; e2e_setup therefore starts Wine before any program.
# - Hovering over an icon shows its tooltip after about 0.6 s, as its own unnamed, override-
#   redirect X window about 20 pixels below the pointer.
# - A TrackPopupMenu menu is its own unnamed X window of class "<program>.exe", top-left corner
#   at the pointer; it appears about 0.15 s after the right click. It does not get the X input
#   focus: the focus stays on the tray window, which belongs to explorer.exe, so keys typed at
#   that moment go to explorer and the menu never sees them. A person's keyboard reaches the menu
#   once its X window has the focus, hence e2e_menu_key.
# - A dialog (DialogBox, MessageBox) is its own X window named by its caption, centred on the
#   screen, and with Managed=N Wine gives it the X input focus when it is activated, so keys
#   such as Escape reach it directly. All Wine windows are override-redirect with Managed=N.
# - When a program's window is destroyed without NIM_DELETE, Wine removes its icons itself; that
#   the icon is gone after the program ended does not prove that the program removed it.
# - `winecfg -v winxp` does nothing in a 64-bit prefix (it offers only winxp64, 5.2); writing
#   HKCU\Software\Wine Version=winxp works and Windows reports 5.1.2600.
# - Under win10, `ver` reports 10.0 but GetVersionEx in a program whose manifest does not name
#   Windows 10 reports 6.2, as Windows does.
# - The exit status of `wine prog.exe` is the Windows process's exit code (modulo 256).
# - Offline runs (e2e_setup <name> offline): the address and socket calls are answered by the
#   Wine session's own processes, so the whole session runs in a network namespace that has only
#   loopback; ipconfig there lists 127.0.0.1 and ::1 and nothing else.

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_REPO=$(cd "$E2E_LIB_DIR/../.." && pwd)
# shellcheck source-path=SCRIPTDIR source=../../tools/wine-env.sh
source "$E2E_REPO/tools/wine-env.sh"
# shellcheck source-path=SCRIPTDIR source=../netns/netns-delete.sh
source "$E2E_REPO/tests/netns/netns-delete.sh"

E2E_NAME=
E2E_DIR=
E2E_TMP=
E2E_DISPLAY=
E2E_XVFB_PID=
E2E_PREFIX=
E2E_NETNS=
E2E_VERSION=default
E2E_PROC=
E2E__TEMPLATE=
E2E_START_TIME=
declare -a E2E_PIDS=()

E2E_SCREEN_WIDTH=1280
E2E_SCREEN_HEIGHT=1024
# Wine's stand-alone tray window at 96 DPI: frame width and icon cell size.
E2E_TRAY_FRAME=3
E2E_TRAY_CELL=20

# Time in milliseconds, from bash itself (no bc on a bare Debian).
e2e_now_ms() {
  local now=${EPOCHREALTIME/[.,]/}
  echo $((10#$now / 1000))
}

# e2e_since <start ms>: prints the seconds since then, as "1.234".
e2e_since() {
  local ms=$(($(e2e_now_ms) - $1))
  printf '%d.%03d' $((ms / 1000)) $((ms % 1000))
}

# e2e__deadline <seconds, may have a fraction>: prints the time in ms at which they are over.
e2e__deadline() {
  local whole=${1%%.*} fraction=000
  [[ $1 == *.* ]] && fraction="${1#*.}000"
  echo $(($(e2e_now_ms) + 10#${whole:-0} * 1000 + 10#${fraction:0:3}))
}

e2e__past() {
  (($(e2e_now_ms) > $1))
}

e2e_log() {
  printf '[%8s s] %s\n' "$(e2e_since "${E2E_START_TIME:-$(e2e_now_ms)}")" "$*"
}

e2e_fail() {
  e2e_log "FAIL: $*"
  if [ -n "$E2E_DISPLAY" ]; then
    e2e_screenshot "failure" root >/dev/null 2>&1 || true
    e2e_log "screen at the failure: $E2E_DIR/failure.png"
  fi
  [ -n "$E2E_DIR" ] && e2e_log "artefacts: $E2E_DIR"
  exit 1
}

# e2e_assert <message> <command...>: runs the command; a non-zero status fails the test.
e2e_assert() {
  local message=$1
  shift
  if "$@"; then
    e2e_log "ok: $message"
  else
    e2e_fail "$message"
  fi
}

# e2e_assert_equal <message> <expected> <actual>: fails with both values when they differ.
e2e_assert_equal() {
  if [ "$2" = "$3" ]; then
    e2e_log "ok: $1"
  else
    e2e_fail "$1: expected '$2', got '$3'"
  fi
}

e2e_pass() {
  e2e_log "PASS: $E2E_NAME${E2E_VERSION:+ (Windows version setting: $E2E_VERSION)}"
}

e2e__require_tools() {
  local missing=() tool
  for tool in wine wineserver Xvfb xdotool import convert flock od awk; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "FAIL: missing tools: ${missing[*]} (Debian: apt-get install wine xvfb xdotool imagemagick)" >&2
    exit 1
  fi
}

# A display of our own: try numbers from 100 up and keep the first one whose lock this Xvfb
# holds. Two scripts racing for the same number is settled by the X server's own lock file.
e2e__start_xvfb() {
  local n pid
  for n in $(seq 100 199); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${E2E_SCREEN_WIDTH}x${E2E_SCREEN_HEIGHT}x24" -nolisten tcp \
      >"$E2E_TMP/xvfb.log" 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
      if ! kill -0 "$pid" 2>/dev/null; then break; fi
      if [ -S "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
        E2E_DISPLAY=":$n"
        E2E_XVFB_PID=$pid
        export DISPLAY=$E2E_DISPLAY
        return 0
      fi
      sleep 0.05
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  e2e_fail "no free X display between :100 and :199"
}

e2e__cleanup() {
  local status=$?
  if [ -n "$E2E_PREFIX" ] && [ -d "$E2E_PREFIX" ]; then
    WINEPREFIX=$E2E_PREFIX wineserver -k >/dev/null 2>&1 || true
    # wineserver -k returns before the processes are gone; wait for the server to exit.
    WINEPREFIX=$E2E_PREFIX timeout 10 wineserver -w >/dev/null 2>&1 || true
  fi
  local pid
  for pid in "${E2E_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  e2e_stop_traffic
  if [ -n "$E2E_NETNS" ]; then
    e2e__delete_netns "$E2E_NETNS"
  fi
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
  fi
  [ -n "$E2E_PREFIX" ] && rm -rf "$E2E_PREFIX" "$E2E_PREFIX.xvfb"
  [ -n "$E2E_TMP" ] && rm -rf "$E2E_TMP"
  exit "$status"
}

# One prepared prefix, made once from the project's shared prefix (Wine's default version
# setting, Managed=N), then copied for each run with hard links: about 800 files, done in a few
# hundredths of a second instead of copying 700 MB. Only the program files are shared; the
# registry and the other text files that Wine rewrites get their own copies, so no run can change
# the template. Sets E2E__TEMPLATE (not printed: e2e_fail must be able to end the script here).
e2e__template_prefix() {
  local template="$VANTREL_WINEPREFIX-e2e"
  E2E__TEMPLATE=$template
  local stamp
  stamp=$(wine --version 2>/dev/null)
  [ "$(cat "$template/.vantrel-e2e-ready" 2>/dev/null)" = "$stamp" ] && return 0
  (
    flock 9
    [ "$(cat "$template/.vantrel-e2e-ready" 2>/dev/null)" = "$stamp" ] && exit 0
    e2e_log "preparing the end-to-end Wine prefix $template (once)"
    vantrel_wine_env
    rm -rf "$template" "$template.new"
    cp -a "$VANTREL_WINEPREFIX" "$template.new" || exit 1
    rm -f "$template.new/.vantrel-ready"
    local new="$template.new"
    # 9>&-: no process started here may hold the lock after this block (wineserver lingers).
    WINEPREFIX=$new wine reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1 9>&-
    # Without a window manager, Wine draws the frames and moves the focus itself.
    WINEPREFIX=$new wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      >/dev/null 2>&1 9>&- || exit 1
    WINEPREFIX=$new wineserver -w 9>&-
    mv "$template.new" "$template" || exit 1
    echo "$stamp" >"$template/.vantrel-e2e-ready"
  ) 9>"$template.lock" || e2e_fail "could not prepare the Wine prefix $template"
}

e2e__copy_prefix() {
  local template=$1 copy=$2
  if ! cp -al "$template" "$copy" 2>/dev/null; then
    rm -rf "$copy"
    cp -a "$template" "$copy"
    return
  fi
  local file
  while IFS= read -r -d '' file; do
    cp -p "$file" "$file.copy" && mv -f "$file.copy" "$file"
  done < <(find "$copy" -type f -links +1 \
    ! -iname '*.dll' ! -iname '*.exe' ! -iname '*.drv' ! -iname '*.sys' ! -iname '*.nls' \
    ! -iname '*.ocx' ! -iname '*.acm' ! -iname '*.cpl' ! -iname '*.tlb' ! -iname '*.ax' \
    ! -iname '*.ttf' ! -iname '*.com' -print0)
}

e2e__make_prefix() {
  e2e__template_prefix
  # Beside the template, so that hard links work even when /tmp is another file system. The
  # name carries this script's process id for e2e__reap_stale_runs.
  mkdir -p "$VANTREL_WINEPREFIX-e2e-runs"
  E2E_PREFIX=$(mktemp -d "$VANTREL_WINEPREFIX-e2e-runs/$E2E_NAME.$$.XXXXXX")
  rmdir "$E2E_PREFIX"
  echo "$E2E_XVFB_PID" >"$E2E_PREFIX.xvfb"
  e2e__copy_prefix "$E2E__TEMPLATE" "$E2E_PREFIX" ||
    e2e_fail "could not copy the Wine prefix $E2E__TEMPLATE"
  export WINEPREFIX=$E2E_PREFIX
  e2e_log "Wine prefix $E2E_PREFIX"
}

e2e__delete_netns() {
  vantrel_netns_delete "$1"
}

# A script killed outright (a CTest time-out sends SIGKILL) cannot run its trap and leaves its
# prefix copy, its wineserver and its Xvfb behind. The next script clears up after it.
e2e__reap_stale_runs() {
  local run owner xvfb
  for run in "$VANTREL_WINEPREFIX"-e2e-runs/*.*.*; do
    [ -d "$run" ] || continue
    owner=${run%.*}
    owner=${owner##*.}
    [[ $owner =~ ^[0-9]+$ ]] || continue
    kill -0 "$owner" 2>/dev/null && continue
    WINEPREFIX=$run wineserver -k >/dev/null 2>&1 || true
    xvfb=$(cat "$run.xvfb" 2>/dev/null || true)
    if [ -n "$xvfb" ] && [ "$(cat "/proc/$xvfb/comm" 2>/dev/null)" = Xvfb ]; then
      kill "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$run" "$run.xvfb"
  done
  local namespace
  for namespace in $(ip netns list 2>/dev/null | grep -o '^e2e[0-9]*'); do
    kill -0 "${namespace#e2e}" 2>/dev/null || e2e__delete_netns "$namespace"
  done
}

# e2e_wine <args...>: wine in this run's prefix and, when offline, in its network namespace.
e2e_wine() {
  if [ -n "$E2E_NETNS" ]; then
    ip netns exec "$E2E_NETNS" wine "$@"
  else
    wine "$@"
  fi
}

# An offline machine: a network namespace with nothing but loopback. The whole Wine session runs
# in it (wineserver and winedevice.exe answer the address and socket calls, not the program's
# own process), so it is made before Wine starts. The X server is still reached through its
# socket file.
e2e__make_netns() {
  E2E_NETNS="e2e$$"
  ip netns add "$E2E_NETNS" 2>/dev/null ||
    e2e_fail "cannot create the network namespace $E2E_NETNS (needs root and iproute2)"
  ip netns exec "$E2E_NETNS" ip link set lo up
  e2e_log "offline: Wine runs in network namespace $E2E_NETNS with loopback only"
}

# e2e_setup <name> [offline [standard-user]]: fresh artefact directory, a private Xvfb, a
# private Wine prefix (Wine's default version setting), Wine started, and a trap that stops all
# of it when the script ends. "offline" runs Wine without any network but loopback;
# "standard-user" then makes the session that of a user without administrator rights, to whom
# raw sockets are refused.
e2e_setup() {
  E2E_NAME=$1
  E2E_START_TIME=$(e2e_now_ms)
  e2e__require_tools
  E2E_DIR="${E2E_ARTIFACTS:-$E2E_REPO/build/windows/artifacts}/$E2E_NAME"
  rm -rf "$E2E_DIR"
  mkdir -p "$E2E_DIR"
  E2E_DIR=$(cd "$E2E_DIR" && pwd)
  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-e2e.XXXXXX")
  trap e2e__cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM

  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  e2e__reap_stale_runs
  e2e__start_xvfb
  e2e_log "display $E2E_DISPLAY, artefacts in $E2E_DIR"
  e2e__make_prefix
  [ "${2:-}" = offline ] && e2e__make_netns
  [ "${3:-}" = standard-user ] && e2e__standard_user
  e2e__warm_up
}

# The session's wineserver started before anything else, as a standard user's (see
# vantrel_standard_user_server); the clean-up ends it with the prefix's other processes.
e2e__standard_user() {
  [ -n "$E2E_NETNS" ] || e2e_fail "a standard user's session needs the offline namespace"
  vantrel_standard_user_server "$E2E_NETNS" "$E2E_TMP/wineserver.log" ||
    e2e_fail "could not start a wineserver without CAP_NET_RAW: $(cat "$E2E_TMP/wineserver.log")"
  e2e_log "standard user: wineserver without CAP_NET_RAW, no ping sockets in $E2E_NETNS"
}

# Start the wineserver, its services and explorer.exe (which owns the tray) before the program
# under test. When they start together with the program, the tray shows its icon but loses the
# clicks of its first second or so (measured: a right click 0.8 s after the tray appeared opened
# no menu, one after 1.5 s did; with a running explorer even 0.2 s is enough).
e2e__warm_up() {
  local started
  started=$(e2e_now_ms)
  e2e_wine cmd /c ver >/dev/null 2>&1 || e2e_fail "Wine does not start in $E2E_PREFIX"
  e2e_log "Wine started in $(e2e_since "$started") s"
}

# e2e_wine_version <winxp|win7|win10|default>: sets Wine's Windows version for the programs
# started after it and proves that it took effect by asking Windows for its version. Running
# programs keep the version they started with, so call it before e2e_start.
e2e_wine_version() {
  local version=$1 expected reported
  case $version in
    winxp) expected='5.1.' ;;
    win7 | default) expected='6.1.' ;;
    win10) expected='10.0.' ;;
    *) e2e_fail "unknown Windows version setting '$version'" ;;
  esac
  [ ${#E2E_PIDS[@]} -eq 0 ] || e2e_fail "e2e_wine_version must come before the first e2e_start"
  if [ "$version" = default ]; then
    e2e_wine reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1 || true
  else
    # winecfg -v refuses winxp in a 64-bit prefix; the registry value is what Wine reads. Once
    # in a dozen CI runs reg.exe failed here, right after the session had started, and did not
    # fail again when run by hand; what it said is kept, and it is given a second try, since
    # the check of the reported version below proves whether the setting took.
    local attempt
    for attempt in 1 2; do
      e2e_wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >>"$E2E_DIR/reg.log" 2>&1 && break
      e2e_log "reg add of the version setting failed (try $attempt): $(tr -d '\r' <"$E2E_DIR/reg.log" | tail -n 3)"
      [ "$attempt" -eq 2 ] && e2e_fail "could not set the Windows version setting $version"
      sleep 0.5
    done
  fi
  E2E_VERSION=$version
  reported=$(e2e_wine cmd /c ver 2>/dev/null | tr -d '\r' | grep -o 'Windows [0-9.]*' || true)
  echo "$version: $reported" >"$E2E_DIR/windows-version.txt"
  case $reported in
    "Windows $expected"*) e2e_log "ok: version setting $version, Windows reports '$reported'" ;;
    *) e2e_fail "version setting $version: expected Windows $expected*, Windows reports '$reported'" ;;
  esac
}

# e2e_start <exe> [args...]: runs the program under Wine in the background. Sets E2E_PROC to a
# handle for e2e_wait_exit and e2e_running (the latest one is their default).
e2e_start() {
  local exe=$1
  shift
  [ -f "$exe" ] || e2e_fail "no such program: $exe"
  local id=${#E2E_PIDS[@]}
  (
    # The caller's errexit would end this subshell at a non-zero exit code before recording it.
    set +e
    e2e_wine "$exe" "$@" </dev/null >>"$E2E_DIR/wine.log" 2>&1
    echo $? >"$E2E_TMP/exit.$id.new"
    mv "$E2E_TMP/exit.$id.new" "$E2E_TMP/exit.$id"
  ) &
  E2E_PIDS+=($!)
  E2E_PROC=$id
  e2e_log "started $(basename "$exe") $* (process $id)"
}

# e2e_running [process]: true while the program has not ended.
e2e_running() {
  local id=${1:-$E2E_PROC}
  [ ! -f "$E2E_TMP/exit.$id" ]
}

# e2e_end_helpers <pid>...: ends a script's own background helpers (traffic clients, servers)
# and reaps them, so that none outlives the step that needed it.
e2e_end_helpers() {
  local pid
  for pid in "$@"; do kill "$pid" 2>/dev/null || true; done
  for pid in "$@"; do wait "$pid" 2>/dev/null || true; done
}

# e2e_start_traffic <network namespace> [port]: TCP traffic on that namespace's loopback, for the
# monitor to count: a file server on 127.0.0.1 and a client fetching a small file from it about
# fifty times a second. Returns once the server answers. The clean-up ends both, as does
# e2e_stop_traffic.
declare -a E2E_TRAFFIC_PIDS=()
e2e_start_traffic() {
  local netns=$1 port=${2:-8765} www="$E2E_TMP/www"
  mkdir -p "$www"
  head -c 4096 /dev/zero >"$www/page"
  ip netns exec "$netns" python3 -m http.server "$port" --bind 127.0.0.1 --directory "$www" \
    >>"$E2E_DIR/http-server.log" 2>&1 &
  E2E_TRAFFIC_PIDS+=($!)
  ip netns exec "$netns" python3 -c '
import sys, time, urllib.request
url = "http://127.0.0.1:%s/page" % sys.argv[1]
while True:
    try:
        urllib.request.urlopen(url, timeout=2).read()
    except OSError:
        pass
    time.sleep(0.02)
' "$port" >/dev/null 2>&1 &
  E2E_TRAFFIC_PIDS+=($!)
  # Until the server answers, the client's fetches fail quietly. Python alone takes about 3 s to
  # start on a loaded machine here (through pyenv's shim), hence the limit.
  e2e_wait_for 15 ip netns exec "$netns" python3 -c '
import sys, urllib.request
urllib.request.urlopen("http://127.0.0.1:%s/page" % sys.argv[1], timeout=1).read()' "$port" 2>/dev/null ||
    e2e_fail "the test's HTTP server on 127.0.0.1:$port in $netns does not answer"
  e2e_log "traffic flows on 127.0.0.1:$port in the namespace $netns"
}

e2e_stop_traffic() {
  [ ${#E2E_TRAFFIC_PIDS[@]} -eq 0 ] || e2e_end_helpers "${E2E_TRAFFIC_PIDS[@]}"
  E2E_TRAFFIC_PIDS=()
}

# e2e_exit_through_menu: ends vantrel.exe as a person would: a right click on its icon, "&Exit"
# clicked; fails unless the program ends within 5 s with exit code 0.
e2e_exit_through_menu() {
  local menu code icon_x icon_y x y
  read -r icon_x icon_y < <(e2e_tray_icon_pos 0)
  e2e_click "$icon_x" "$icon_y" 3
  menu=$(e2e_wait_menu vantrel.exe 5) || e2e_fail "no menu within 5 s of the right click"
  read -r x y < <(e2e_tray_menu_entry_pos "$menu" 4)
  e2e_click "$x" "$y" 1
  code=$(e2e_wait_exit 5) || e2e_fail "vantrel.exe still runs 5 s after &Exit"
  e2e_assert_equal "the exit code after &Exit" 0 "$code"
}

# e2e_wait_exit <seconds> [process]: waits for the program to end and prints its exit code.
# Returns 1 (printing nothing) when it is still running after that time.
e2e_wait_exit() {
  local seconds=$1 id=${2:-$E2E_PROC}
  local deadline
  deadline=$(e2e__deadline "$seconds")
  while [ ! -f "$E2E_TMP/exit.$id" ]; do
    e2e__past "$deadline" && return 1
    sleep 0.05
  done
  cat "$E2E_TMP/exit.$id"
}

# e2e_wait_for <seconds> <command...>: polls the command every 0.1 s until it succeeds.
e2e_wait_for() {
  local seconds=$1
  shift
  local deadline
  deadline=$(e2e__deadline "$seconds")
  until "$@"; do
    e2e__past "$deadline" && return 1
    sleep 0.1
  done
}

# e2e_wait_window <title regex> <seconds>: prints the id of the first visible X window whose
# title matches, once there is one.
e2e_wait_window() {
  local title=$1 seconds=$2 id
  local deadline
  deadline=$(e2e__deadline "$seconds")
  while :; do
    id=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    e2e__past "$deadline" && return 1
    sleep 0.1
  done
}

# e2e_window_gone <title regex> <seconds>: true once no visible window has that title.
e2e_window_gone() {
  local title=$1 seconds=$2
  e2e_wait_for "$seconds" e2e__no_window "$title"
}

e2e__no_window() {
  [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]
}

# e2e_window_geometry <window id>: prints "x y width height".
e2e_window_geometry() {
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)" || return 1
  echo "$X $Y $WIDTH $HEIGHT"
}

# e2e_tray_window: prints the id of Wine's tray window while it is shown.
e2e_tray_window() {
  xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -n 1
}

# e2e_tray_icon_pos <index>: prints the screen centre "x y" of the index-th icon (0 is the one
# added first). The cells sit in one row along the bottom of the window, inside its frame.
e2e_tray_icon_pos() {
  local index=${1:-0} tray x y w h
  tray=$(e2e_tray_window)
  [ -n "$tray" ] || return 1
  read -r x y w h < <(e2e_window_geometry "$tray")
  echo "$((x + E2E_TRAY_FRAME + index * E2E_TRAY_CELL + E2E_TRAY_CELL / 2))" \
    "$((y + h - E2E_TRAY_FRAME - E2E_TRAY_CELL / 2))"
}

# e2e_tray_icon_rect <index>: prints "x y w h" of the icon's cell.
e2e_tray_icon_rect() {
  local cx cy
  read -r cx cy < <(e2e_tray_icon_pos "$1") || return 1
  echo "$((cx - E2E_TRAY_CELL / 2)) $((cy - E2E_TRAY_CELL / 2)) $E2E_TRAY_CELL $E2E_TRAY_CELL"
}

# e2e_click <x> <y> [button]: moves the pointer there and clicks (1 left, 2 middle, 3 right).
e2e_click() {
  xdotool mousemove "$1" "$2" sleep 0.1 click "${3:-1}"
}

# e2e_hover <x> <y> [seconds]: moves the pointer there and rests it.
e2e_hover() {
  xdotool mousemove "$1" "$2"
  sleep "${3:-0}"
}

# e2e_key [--window <id>] <keys...>: presses keys (xdotool names: Escape, Return, alt+F4, a).
# With --window, that X window first gets the input focus.
e2e_key() {
  if [ "$1" = --window ]; then
    xdotool windowfocus "$2"
    sleep 0.1
    shift 2
  fi
  xdotool key --delay 50 "$@"
}

# e2e_type [--window <id>] <text>: types text.
e2e_type() {
  if [ "$1" = --window ]; then
    xdotool windowfocus "$2"
    sleep 0.1
    shift 2
  fi
  xdotool type --delay 50 "$1"
}

# e2e_wait_menu <exe name> <seconds>: prints the id of the program's open pop-up menu: the
# visible X window of the program's class that has no title.
e2e_wait_menu() {
  local exe=$1 seconds=$2 id
  local deadline
  deadline=$(e2e__deadline "$seconds")
  while :; do
    for id in $(xdotool search --onlyvisible --classname "^${exe//./\\.}\$" 2>/dev/null); do
      if [ -z "$(xdotool getwindowname "$id" 2>/dev/null)" ]; then
        echo "$id"
        return 0
      fi
    done
    e2e__past "$deadline" && return 1
    sleep 0.05
  done
}

# e2e_menu_key <menu id> <key>: chooses a menu entry by its access key, as a person pressing
# the underlined letter would (the menu needs the X focus first, see the notes at the top).
e2e_menu_key() {
  e2e_key --window "$1" "$2"
}

# e2e_tray_menu_entry_pos <menu id> <n>: prints the centre "x y" of entry n (1 to 4) of the
# monitor's icon menu: four entries alike in height (about 18 pixels) with a separator between
# each two, alike too, inside a 1-pixel border, so each entry's place follows from the menu's
# height. Clicking is surer than the access key: the menu may not have the X focus yet.
e2e_tray_menu_entry_pos() {
  local mx my mw mh item=18 separator
  read -r mx my mw mh < <(e2e_window_geometry "$1") || return 1
  separator=$(((mh - 2 - 4 * item) / 3))
  echo "$((mx + mw / 2)) $((my + 1 + ($2 - 1) * (item + separator) + item / 2))"
}

# e2e_menu_last_entry_pos <menu id>: prints the centre "x y" of the menu's bottom entry (entries
# are about 18 pixels high inside a 1-pixel border).
e2e_menu_last_entry_pos() {
  local x y w h
  read -r x y w h < <(e2e_window_geometry "$1") || return 1
  echo "$((x + w / 2)) $((y + h - 10))"
}

# e2e_wait_tooltip <seconds>: prints the id of the tray's tooltip once it shows: a visible,
# untitled window of explorer.exe, the process that owns the tray.
e2e_wait_tooltip() {
  local seconds=$1 id
  local deadline
  deadline=$(e2e__deadline "$seconds")
  while :; do
    for id in $(xdotool search --onlyvisible --classname '^explorer\.exe$' 2>/dev/null); do
      if [ -z "$(xdotool getwindowname "$id" 2>/dev/null)" ]; then
        echo "$id"
        return 0
      fi
    done
    e2e__past "$deadline" && return 1
    sleep 0.05
  done
}

# e2e_window_texts <title>: prints "class<TAB>text" for each visible control of the shown window
# with exactly that title, read inside Wine by wintext.exe (path in E2E_WINTEXT). Screenshots are
# for people; this is how a test reads what a dialog says.
e2e_window_texts() {
  [ -f "${E2E_WINTEXT:-}" ] || e2e_fail "E2E_WINTEXT does not name wintext.exe ('${E2E_WINTEXT:-}')"
  e2e_wine "$E2E_WINTEXT" "$1" </dev/null 2>/dev/null | tr -d '\r'
}

# e2e_window_has_text <title> <class> <text>: true when a visible control of that class shows
# exactly that text.
e2e_window_has_text() {
  e2e_window_texts "$1" | grep -qxF "$2"$'\t'"$3"
}

# e2e_screenshot <name> [root|<window id>|x,y,w,h]: saves a PNG in the artefact directory and
# prints its path.
e2e_screenshot() {
  local name=$1 what=${2:-root} file
  case $name in
    /*) file=$name ;;
    *) file="$E2E_DIR/${name%.png}.png" ;;
  esac
  case $what in
    root) import -window root "$file" ;;
    *,*,*,*)
      local x y w h
      IFS=, read -r x y w h <<<"$what"
      import -window root -crop "${w}x${h}+${x}+${y}" +repage "$file"
      ;;
    *) import -window "$what" "$file" ;;
  esac
  echo "$file"
}

# e2e_pixel <x> <y>: prints the screen colour there as "R G B" (0..255).
e2e_pixel() {
  import -window root -crop "1x1+$1+$2" +repage -depth 8 rgb:- | od -An -v -tu1 | awk '{print $1, $2, $3}'
}

# e2e_expect_color <x> <y> <r,g,b> [tolerance]: true when each channel is within the tolerance.
e2e_expect_color() {
  local r g b er eg eb tol=${4:-0}
  read -r r g b < <(e2e_pixel "$1" "$2")
  IFS=, read -r er eg eb <<<"$3"
  if ((r >= er - tol && r <= er + tol && g >= eg - tol && g <= eg + tol && b >= eb - tol && b <= eb + tol)); then
    return 0
  fi
  e2e_log "pixel ($1,$2) is $r,$g,$b, expected $3 +- $tol"
  return 1
}

# e2e_find_color_in_rect <x> <y> <w> <h> <r,g,b> [tolerance]: prints how many pixels of the
# rectangle have that colour (each channel within the tolerance).
e2e_find_color_in_rect() {
  local x=$1 y=$2 w=$3 h=$4 er eg eb tol=${6:-0}
  IFS=, read -r er eg eb <<<"$5"
  import -window root -crop "${w}x${h}+${x}+${y}" +repage -depth 8 rgb:- | od -An -v -tu1 -w3 |
    awk -v r="$er" -v g="$eg" -v b="$eb" -v t="$tol" '
      function near(v, e) { return v >= e - t && v <= e + t }
      near($1, r) && near($2, g) && near($3, b) { n++ }
      END { print n + 0 }'
}
