# SPDX-License-Identifier: ISC
# Sourced, after processes.sh, by the tests that run a JACK graph: a
# private jackd on the dummy driver, logging to $work/jackd.log, and jalv
# clients wired on it.
#
# The hosts open their JACK clients first, each waited for by what it
# prints, and only then do short-lived clients (jack_lsp, jack_connect)
# run. jackd 1.9.21 can lose the wake-up of a client that opened while
# short-lived ones opened and closed beside it: on a busy machine that
# client then never runs again ("client = meter was not finished, state =
# Triggered"), and no signal reaches the meter.

# The server's name, for a test row (ROW) of this build tree: a jackd
# killed hard keeps its slot among the 8 that /dev/shm holds until a server
# of the same name starts again, and two build trees' rows never meet.
jack_server_name() {
  echo "tolvanic-$(pwd | cksum | cut -d' ' -f1)-$1"
}

# Starts jackd for JACK_DEFAULT_SERVER (its PID goes into `pids`) and waits
# for it to answer. Where the machine allows it (root, or a user with an
# rtprio limit), JACK runs its process threads with real-time priority, as
# on any studio machine, so that a busy CPU delays the graph instead of
# breaking it.
start_jackd() {
  local realtime=--no-realtime
  chrt --fifo 1 true 2>/dev/null && realtime=--realtime
  # A generous client timeout: the machine may be busy beside the test.
  jackd "$realtime" --timeout 5000 --name "$JACK_DEFAULT_SERVER" -d dummy \
    -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
  pids+=($!)
  wait_for jack_lsp
}

# Waits for a jalv whose line-buffered output goes to FILE to have opened
# its JACK client, which it tells by printing its client's name.
jalv_client_open() {
  wait_for grep -q '^JACK Name:' "$1"
}

# Prints why the audio graph broke, if it did: jackd reports failed cycles
# or clients that did not finish or were removed, or the generator's port
# is no longer connected to PORT. Returns 1 if the graph looks sound.
graph_broke() {
  local port=$1 trouble
  trouble=$(grep -E -c 'Process error|was not finished|ClientKill|TimedWait error|XRun' \
    "$work/jackd.log")
  if [ "$trouble" -gt 0 ]; then
    echo "jackd reports $trouble failed cycles or unfinished clients"
  elif ! jack_lsp -c "$port" 2>/dev/null | grep -q '^ '; then
    echo "$port lost its connection"
  else
    return 1
  fi
}
