# Test hosts in network namespaces, for scripts that ping them with the real program under Wine.
# Source it; everything it creates is removed by vt_cleanup, which it installs as the EXIT trap.
#
# Layout: a client namespace (where Wine and the pinging programs run) joined to each test host
# namespace by a veth pair: host number N has 198.18.N.2, the client's end 198.18.N.1, a /24 of
# its own. Nothing is added to the machine's own namespace, and no namespace has a route
# off the machine.
#
# Wine creates sockets in its wineserver process, so the server must run inside the client
# namespace too: the scripts use a copy of the project's prefix, whose server starts there.

VT_SKIP=77
vt_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
vt_repo=$(cd "$vt_here/../.." && pwd)
vt_tag="vt$$"
vt_client="${vt_tag}c"
vt_namespaces=()
vt_pids=()
vt_prefix=""
vt_scratch=$(mktemp -d "/tmp/vantrel-netns.XXXXXX")
# shellcheck source=netns-delete.sh
source "$vt_here/netns-delete.sh"

vt_cleanup() {
  local pid ns
  # Every step must run whatever the one before it said; the script's own status stands.
  set +e
  for pid in "${vt_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${vt_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  # The prefix copy's wineserver (and the services it started) keep the standard error of the
  # program that started them: CTest's output pipe. Left running, they hold the test open after
  # it has ended, so they are stopped and waited for, not left to linger.
  vt_stop_wine
  for ns in "${vt_namespaces[@]}"; do vantrel_netns_delete "$ns"; done
  rm -rf "$vt_scratch"
}
trap vt_cleanup EXIT
trap 'exit 130' INT TERM

vt_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Exits with the skip code, saying so, when namespaces cannot be made here.
vt_require_netns() {
  local probe="${vt_tag}probe"
  if ! ip netns add "$probe" 2>/dev/null; then
    echo "SKIPPED: network namespaces cannot be created here (needs root and ip netns)"
    exit $VT_SKIP
  fi
  ip netns delete "$probe"
}

vt_new_ns() {
  ip netns add "$1"
  vt_namespaces+=("$1")
  ip netns exec "$1" ip link set lo up
}

# The client namespace, with only its loopback interface so far, and the Wine prefix that the
# programs run in there.
vt_make_client() {
  vt_new_ns "$vt_client"
  vt_prepare_wine
}

# A private copy of the project's prefix, so that its wineserver starts inside the client
# namespace (the shared prefix's server may already run outside it). Made here, in the script's
# own shell, never lazily inside a command substitution: a variable set in that subshell would
# be lost, and with it the clean-up of the copy's server.
vt_prepare_wine() {
  [ -z "$vt_prefix" ] || return 0
  # shellcheck source=../../tools/wine-env.sh
  ( source "$vt_repo/tools/wine-env.sh" && vantrel_wine_env ) || vt_fail "the Wine prefix cannot be prepared"
  cp -a "${VANTREL_WINEPREFIX:-$HOME/.wine-vantrel}" "$vt_scratch/prefix" || vt_fail "the Wine prefix cannot be copied"
  vt_prefix="$vt_scratch/prefix"
}

# Ends the prefix copy's Wine session and waits until its server has gone.
vt_stop_wine() {
  [ -n "$vt_prefix" ] && [ -d "$vt_prefix" ] || return 0
  WINEPREFIX="$vt_prefix" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$vt_prefix" timeout 10 wineserver -w >/dev/null 2>&1 || true
}

# Test host number N, joined to the client namespace; its address is 198.18.N.2.
vt_add_host() {
  local n=$1 ns="${vt_tag}h$1"
  vt_new_ns "$ns"
  ip link add "${vt_tag}a$n" netns "$vt_client" type veth peer name "${vt_tag}b$n" netns "$ns"
  ip -n "$vt_client" addr add "198.18.$n.1/24" dev "${vt_tag}a$n"
  ip -n "$ns" addr add "198.18.$n.2/24" dev "${vt_tag}b$n"
  ip -n "$vt_client" link set "${vt_tag}a$n" up
  ip -n "$ns" link set "${vt_tag}b$n" up
  # ICMP errors are rate limited per destination; the tests send them on purpose.
  ip netns exec "$ns" sysctl -qw net.ipv4.icmp_ratelimit=0
}

vt_host_ns() {
  echo "${vt_tag}h$1"
}

# Starts the delayed echo responder in host N's namespace, the kernel's own replies off.
vt_start_responder() {
  local n=$1 delay=$2 ns
  ns=$(vt_host_ns "$n")
  ip netns exec "$ns" sysctl -qw net.ipv4.icmp_echo_ignore_all=1
  ip netns exec "$ns" python3 "$vt_here/echo-responder.py" "198.18.$n.2" "$delay" "$vt_scratch/ready$n" &
  vt_pids+=($!)
  for _ in $(seq 1 100); do [ -f "$vt_scratch/ready$n" ] && return 0; sleep 0.05; done
  vt_fail "the echo responder of host $n did not start"
}

# The three hosts that the host test is shown and tested against, each on its own link from the
# client namespace: 198.18.1.2 answers after 30 ms (its kernel's own replies off, a responder in
# their place), 198.18.2.2 ignores echo requests, 198.18.3.2 rejects them with host unreachable.
vt_add_echo_hosts() {
  vt_add_host 1
  vt_start_responder 1 30
  vt_add_host 2
  ip netns exec "$(vt_host_ns 2)" sysctl -qw net.ipv4.icmp_echo_ignore_all=1
  vt_add_host 3
  ip netns exec "$(vt_host_ns 3)" iptables -A INPUT -p icmp --icmp-type echo-request \
    -j REJECT --reject-with icmp-host-unreachable
}

# Runs a Windows program under Wine inside the client namespace (made by vt_make_client).
vt_wine() {
  [ -n "$vt_prefix" ] || vt_fail "vt_wine needs vt_make_client first"
  ip netns exec "$vt_client" env VANTREL_WINEPREFIX="$vt_prefix" "$vt_repo/tools/wine-run" "$@"
}

# Makes the Wine session of the client namespace that of a standard Windows user (see
# vantrel_standard_user_server in tools/wine-env.sh): its server started now, before the first
# vt_wine, in the prefix copy that vt_make_client made; the clean-up ends it with the copy.
vt_standard_user() {
  [ -n "$vt_prefix" ] || vt_fail "vt_standard_user needs vt_make_client first"
  ( source "$vt_repo/tools/wine-env.sh" &&
    WINEPREFIX="$vt_prefix" vantrel_standard_user_server "$vt_client" "$vt_scratch/wineserver.log" ) ||
    vt_fail "could not start a wineserver without CAP_NET_RAW: $(cat "$vt_scratch/wineserver.log")"
}

# For an end-to-end script (tests/e2e/lib.sh) whose Wine session runs in its offline namespace:
# call after e2e_setup. The test hosts are then joined to that namespace, and both libraries'
# clean-ups run at the end, the host namespaces first (the session's namespace holds the other
# ends of their links).
vt_join_e2e_session() {
  vt_client=$E2E_NETNS
  trap vt__e2e_cleanup EXIT
}

vt__e2e_cleanup() {
  local status=$?
  # Under errexit the failing status handed on below would end the trap before Wine is stopped.
  set +e
  vt_cleanup
  (exit "$status")
  e2e__cleanup
}
