#!/bin/bash
# SPDX-License-Identifier: ISC
# Runs a command with DISPLAY set to a private, headless X server of its
# own, and stops the server after it. -noreset: without it the server
# resets whenever its last client leaves, between two hosts of one test.
set -u
work=$(mktemp -d)
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"
  kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$work"
  exit 1
fi
export DISPLAY=":$(cat "$work/display")"
"$@"
status=$?
kill "$server"
wait "$server" 2>/dev/null
rm -rf "$work"
exit $status
