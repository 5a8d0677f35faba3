#!/bin/bash
# SPDX-License-Identifier: ISC
# End to end in a real host: a private jackd on the dummy driver, jalv
# hosting the plug-in from the build tree, and a second jalv hosting
# swh-lv2's constant signal generator at 0.25 wired to its input. jalv's
# console `monitors` command reports the output controls. Every process
# started here is stopped by its PID when the script exits.
set -u
lv2_path=$1
uri=$2
const_uri=http://plugin.org.uk/swh-plugins/const
work=$(mktemp -d)
failures=0
source "$(dirname "$0")/processes.sh"
source "$(dirname "$0")/jack.sh"
export JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=$(jack_server_name jalv)

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

start_jackd || { cat "$work/jackd.log"; fail "jackd did not start"; exit 1; }

# jalv reads console commands on stdin: each gets a FIFO held open here.
# Its stdout is line-buffered so the answers arrive as they are printed.
mkfifo "$work/const.in" "$work/meter.in"
LV2_PATH=/usr/lib/lv2 stdbuf -oL jalv -x -n const -c amplitude=0.25 \
  "$const_uri" <"$work/const.in" >"$work/const.out" 2>&1 &
pids+=($!)
exec 7>"$work/const.in"
LV2_PATH=$lv2_path stdbuf -oL jalv -x -n meter "$uri" \
  <"$work/meter.in" >"$work/meter.out" 2>&1 &
pids+=($!)
exec 8>"$work/meter.in"

ports() { jack_lsp | grep -qx const:output && jack_lsp | grep -qx meter:in; }
{ jalv_client_open "$work/const.out" && jalv_client_open "$work/meter.out" &&
  wait_for ports; } || { cat "$work"/*.out; fail "jalv clients did not appear"; exit 1; }
jack_connect const:output meter:in || { fail "jack_connect"; exit 1; }

# Sends `monitors` and sets level, peak and rms from jalv's answer.
read_monitors() {
  local answered
  answered=$(grep -c 'rms = ' "$work/meter.out")
  echo monitors >&8
  for _ in $(seq 50); do
    [ "$(grep -c 'rms = ' "$work/meter.out")" -gt "$answered" ] && break
    sleep 0.1
  done
  value() { sed -n "s/^\(> \)*$1 = //p" "$work/meter.out" | tail -1; }
  level=$(value level) peak=$(value peak) rms=$(value rms)
}

# expect DESCRIPTION AWK-CONDITION: polls the monitors for up to 5 s.
expect() {
  for _ in $(seq 25); do
    read_monitors
    if awk -v level="$level" -v peak="$peak" -v rms="$rms" \
      "BEGIN { exit !($2) }"; then
      echo "ok: $1 (level $level, peak $peak, rms $rms)"
      return 0
    fi
    sleep 0.1
  done
  fail "$1 (level $level, peak $peak, rms $rms)"
  return 1
}

near() { echo "($1 - $2 < $3 && $2 - $1 < $3)"; }
# RMS is republished only when it moves by more than 0.2 dB.
if ! expect "constant 0.25 reads 0.25" \
  "$(near level 0.25 1e-4) && $(near peak 0.25 1e-4) && $(near rms 0.25 0.006)"; then
  # Tell a graph that dropped the generator's signal from a meter that
  # reads it wrong.
  broke=$(graph_broke meter:in) &&
    fail "the audio graph broke, so the signal did not reach the meter: $broke"
fi
jack_disconnect const:output meter:in || fail "jack_disconnect"
expect "disconnected: level and RMS fall, the peak holds" \
  "level < 0.1 && rms < 0.1 && $(near peak 0.25 1e-4)"
echo "set reset 1" >&8
expect "reset in silence: the peak hold clears" "peak == 0"

if [ $failures -gt 0 ]; then
  echo "--- jackd output (end):"; tail -5 "$work/jackd.log"
  echo "--- jalv output:"; cat "$work/meter.out"
fi
exit $((failures > 0))
