#!/bin/bash
# SPDX-License-Identifier: ISC
# The plug-ins in Ardour, driven headless by ardour7-lua on its dummy
# backend through a session script (ardour_session.lua by default: the mono
# plug-ins; ardour_stereo.lua: the stereo variant), with a throw-away home
# and session and LV2_PATH pinned to the build tree plus the system's LV2
# folder.
# Usage: check_ardour.sh LV2_PATH_OF_BUILD [SCRIPT]
set -u
here=$(cd "$(dirname "$0")" && pwd)
build_lv2=$1
script=${2:-ardour_session.lua}
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

command -v ardour7-lua >/dev/null || { echo "FAIL: ardour7-lua is not installed"; exit 1; }
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
export XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export LV2_PATH=$build_lv2:/usr/lib/lv2

# luasession stops by itself at the script's end; the deadline only catches
# a hang. Once a script has printed "done", its checks are over, and its
# session's teardown gets a few seconds.
ardour7-lua "$here/$script" "$work/session" >"$work/log" 2>&1 &
pid=$!
after_done=0
for _ in $(seq 1 180); do
  kill -0 "$pid" 2>/dev/null || break
  grep -qE '^done' "$work/log" && after_done=$((after_done + 1))
  [ $after_done -gt 15 ] && break
  sleep 1
done
if kill -0 "$pid" 2>/dev/null; then
  if [ $after_done -gt 15 ]; then
    echo "seen: ardour7-lua still runs 15 s after its checks ended; stopped"
  else
    echo "FAIL: ardour7-lua still runs after 180 s"
  fi
  kill -TERM "$pid"; sleep 2; kill -KILL "$pid" 2>/dev/null
fi
wait "$pid"; status=$?; pid=
grep -E '^(ok|seen|FAIL|done)' "$work/log"
if grep -q '^FAIL' "$work/log" || ! grep -qx 'done' "$work/log"; then
  echo "FAIL: ardour7-lua exited with status $status; its log:"; tail -40 "$work/log"
  exit 1
fi
