# SPDX-License-Identifier: ISC
# Sourced by the host tests that start servers and hosts: each PID they
# start goes into `pids`, and stop_all, run when the script exits, stops
# them by PID and removes the script's folder `work`.

pids=()

stop_all() {
  exec 7>&- 8>&-
  # Clients before the server, each given two seconds to leave.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || continue
    for _ in $(seq 20); do kill -0 "${pids[i]}" 2>/dev/null || break; sleep 0.1; done
    kill -9 "${pids[i]}" 2>/dev/null
    wait "${pids[i]}" 2>/dev/null
  done
  rm -rf "$work"
}
trap stop_all EXIT

# Polls (0.1 s steps, at most 10 s) until a command succeeds.
wait_for() {
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
