# SPDX-License-Identifier: ISC
# Sourced, after processes.sh, by the tests that run a JACK graph: a
# private jackd on the dummy driver, named JACK_DEFAULT_SERVER, logging to
# $work/jackd.log.

# Starts jackd (its PID goes into `pids`) and waits for it to answer.
# Where the machine allows it (root, or a user with an rtprio limit), JACK
# runs its process threads with real-time priority, as on any studio
# machine, so that a busy CPU delays the graph instead of breaking it.
start_jackd() {
  local realtime=--no-realtime
  chrt --fifo 1 true 2>/dev/null && realtime=--realtime
  # A generous client timeout: the machine may be busy beside the test.
  jackd "$realtime" --timeout 5000 --name "$JACK_DEFAULT_SERVER" -d dummy \
    -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
  pids+=($!)
  wait_for jack_lsp
}

# Prints why the audio graph broke, if it did: jackd reports failed cycles
# or clients that timed out or were removed, or the generator's port is no
# longer connected to PORT. Returns 1 if the graph looks sound.
graph_broke() {
  local port=$1 trouble
  trouble=$(grep -E -c 'Process error|was not finished|ClientKill|TimedWait error|XRun' \
    "$work/jackd.log")
  if [ "$trouble" -gt 0 ]; then
    echo "jackd reports $trouble failed cycles or dropped clients"
  elif ! jack_lsp -c "$port" 2>/dev/null | grep -q '^ '; then
    echo "$port lost its connection"
  else
    return 1
  fi
}
