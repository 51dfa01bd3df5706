# Shared set-up of Wine for the project's scripts: a prefix of our own, quiet Wine, a display.
# Source it, then call vantrel_wine_env.

: "${VANTREL_WINEPREFIX:=$HOME/.wine-vantrel}"
: "${VANTREL_DISPLAY:=:87}"

vantrel_xvfb_alive() {
  local n=$1 pid
  [ -e "/tmp/.X11-unix/X$n" ] && [ -f "/tmp/.X$n-lock" ] || return 1
  pid=$(tr -d ' ' < "/tmp/.X$n-lock" 2>/dev/null)
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null
}

vantrel_start_xvfb() {
  local display=$1
  local n=${display#:}
  # The socket alone proves nothing: a display killed with its network namespace leaves it
  # behind. Look at the server's own lock file.
  if ! vantrel_xvfb_alive "$n"; then
    (
      flock 9
      if ! vantrel_xvfb_alive "$n"; then
        rm -f "/tmp/.X11-unix/X$n" "/tmp/.X$n-lock"
        # The server must not inherit the lock's descriptor: it would hold the lock for as long
        # as it runs, and a second caller that arrived before the server was up would wait on
        # it for ever.
        nohup setsid Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 9>&- &
        for _ in $(seq 1 100); do vantrel_xvfb_alive "$n" && break; sleep 0.05; done
      fi
    ) 9>"/tmp/.vantrel-xvfb-$n.lock"
  fi
}

vantrel_wine_env() {
  export WINEPREFIX="$VANTREL_WINEPREFIX"
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  if [ -z "${DISPLAY:-}" ]; then
    vantrel_start_xvfb "$VANTREL_DISPLAY"
    export DISPLAY="$VANTREL_DISPLAY"
  fi
  if [ ! -f "$WINEPREFIX/.vantrel-ready" ]; then
    (
      flock 9
      if [ ! -f "$WINEPREFIX/.vantrel-ready" ]; then
        # Nothing started here may keep the lock's descriptor (wineserver lingers): 9>&-.
        wineboot -i >/dev/null 2>&1 9>&- || true
        # Without a window manager, let Wine draw captions and handle focus as Windows does.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 9>&-
        # A crashing test must fail, not wait for someone to close Wine's crash dialog.
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 9>&-
        wineserver -w 9>&-
        touch "$WINEPREFIX/.vantrel-ready"
      fi
    ) 9>"/tmp/.vantrel-wineprefix.lock"
  fi
}

# Ends the shared prefix's Wine session and the shared virtual display: the end of a test run.
vantrel_wine_stop() {
  local n=${VANTREL_DISPLAY#:} pid
  WINEPREFIX="$VANTREL_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$VANTREL_WINEPREFIX" timeout 10 wineserver -w >/dev/null 2>&1 || true
  if vantrel_xvfb_alive "$n"; then
    pid=$(tr -d ' ' <"/tmp/.X$n-lock")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  fi
}

# vantrel_standard_user_server <network namespace> <log file>: makes the Wine session of the
# prefix in WINEPREFIX, in that namespace, that of a standard Windows user: a raw socket is
# refused with WSAEACCES (10013) while the platform's echo service answers. Wine creates
# sockets in its wineserver, so the server is started first, persistent, without CAP_NET_RAW
# (the programs then started with wine connect to it); and the namespace allows no ping
# sockets, over which Wine would otherwise quietly emulate the raw socket. The echo service
# runs in winedevice.exe, which keeps the capability. The caller ends the server
# (wineserver -k, then -w) on every path. The server lives on in the background, so it keeps
# none of the caller's descriptors.
vantrel_standard_user_server() {
  ip netns exec "$1" sysctl -qw net.ipv4.ping_group_range="1 0" &&
    ip netns exec "$1" setpriv --inh-caps=-net_raw --bounding-set=-net_raw wineserver -p30 \
      </dev/null >"$2" 2>&1
}
