# Deleting a network namespace that the test scripts made, with everything still running in it.
# Sourced by the network-namespace helpers and the end-to-end harness.

# vantrel_netns_processes <namespace>: the processes that have any thread in the namespace.
# `ip netns pids` looks at each process's first thread only, and a Wine process whose first
# thread has ended (a zombie leader, seen with winedevice.exe once its server was killed) keeps
# running on its other threads out of that list's sight, holding whatever it inherited.
vantrel_netns_processes() {
  local id
  id=$(stat -L -c %i "/run/netns/$1" 2>/dev/null) || return 0
  # Processes come and go while find walks /proc: its complaints about them say nothing.
  { find /proc/[0-9]*/task/[0-9]*/ns -maxdepth 1 -name net -lname "net:\\[$id\\]" 2>/dev/null || true; } |
    cut -d/ -f3 | sort -u
}

# vantrel_netns_delete <namespace>: kills every process in it, waits until they are gone (a
# process left behind would keep the namespace, and the test's output pipe, alive), deletes it.
vantrel_netns_delete() {
  local ns=$1 pids
  [ -e "/run/netns/$ns" ] || return 0
  for _ in $(seq 1 100); do
    pids=$(vantrel_netns_processes "$ns")
    [ -z "$pids" ] && break
    # shellcheck disable=SC2086
    kill -9 $pids 2>/dev/null || true
    sleep 0.05
  done
  [ -z "$pids" ] || echo "warning: processes $pids in network namespace $ns would not end" >&2
  ip netns delete "$ns" 2>/dev/null || true
}
