#!/bin/bash
# SPDX-License-Identifier: ISC
# The UI in a real host, on the X server with_xvfb.sh gives: a private jackd
# on the dummy driver, swh-lv2's constant generator in a console jalv wired
# to the plug-in, which HOST (jalv.gtk3 or jalv.qt5) runs with its UI.
# Checks that the meter's own window opens, not the generic controls; that
# the bar lights fewer rows for a quiet signal than for a loud one; that a
# click on the readout clears the peak hold; that the window redraws at a
# new size; and that the host exits 0 when a window manager closes it.
# The stereo variant is fed the loud signal on its left input only, whose
# bar alone lights, then the quiet one on both, whose bars light alike; a
# click on the right readout clears the left peak hold too.
# Screenshots go to SHOTS-{loud,quiet,reset,resized}.png.
#
#   check_ui_host.sh HOST LV2_PATH URI WM_CLOSE SHOTS
set -u
host=$1 lv2_path=$2 uri=$3 wm_close=$4 shots=$5
stereo=false
[ "${uri##*#}" = stereo ] && stereo=true
const_uri=http://plugin.org.uk/swh-plugins/const
work=$(mktemp -d)
mkdir -p "$(dirname "$shots")"
failures=0
source "$(dirname "$0")/../host/processes.sh"
source "$(dirname "$0")/../host/jack.sh"
export JACK_NO_START_SERVER=1
JACK_DEFAULT_SERVER=$(jack_server_name "ui-$(basename "$shots")")
export JACK_DEFAULT_SERVER

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
show_host() {
  echo "--- jackd and host output (end):"
  tail -5 "$work/jackd.log"; tail -30 "$work/host.out"
}
give_up() { fail "$*"; show_host; exit 1; }

start_jackd || give_up "jackd did not start"
# jalv.qt5 takes no options and names its JACK client after the plug-in.
options=()
[ "$host" = jalv.gtk3 ] && options=(--jack-name meter -x --print-controls)
LV2_PATH=$lv2_path stdbuf -oL "$host" "${options[@]}" "$uri" \
  </dev/null >"$work/host.out" 2>&1 &
host_pid=$!
pids+=($host_pid)
jalv_client_open "$work/host.out" || give_up "$host opened no JACK client"
mkfifo "$work/const.in"
LV2_PATH=/usr/lib/lv2 stdbuf -oL jalv -x -n const -c amplitude=0.9 \
  "$const_uri" <"$work/const.in" >"$work/const.out" 2>&1 &
pids+=($!)
exec 7>"$work/const.in"
jalv_client_open "$work/const.out" || give_up "the generator opened no JACK client"

# The stereo variant's inputs are in_l and in_r; it is fed on the left first.
meter_in() { jack_lsp | grep -v '^const:' | grep -m1 ":in${1:-}\$"; }
first_in=
$stereo && first_in=_l
wait_for meter_in $first_in && wait_for jack_lsp const:output ||
  give_up "no JACK ports"
meter_port=$(meter_in $first_in)
jack_connect const:output "$meter_port" || give_up "jack_connect"

ui=$(timeout 20 xdotool search --sync --classname '^tolvanic$' | head -1)
[ -n "$ui" ] || give_up "the meter's own window did not open"
echo "ok: $host opened the meter's own window ($ui)"

# Rows below the readout (48 pixels at scale 1) with a lit pixel: a bright,
# saturated one, as the bar's zones are and the background and scale not.
# A geometry (WxH+X+Y) looks at that part of the window only.
lit_rows() {
  # Every fourth column is enough to find a bar some 40 pixels wide.
  convert "$1" ${2:+-crop "$2"} -sample 25%x100% -depth 8 txt:- |
    sed -n 's/^[0-9]*,\([0-9]*\): (\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4/p' |
    awk '$1 >= 48 {
      max = $2; min = $2
      if ($3 > max) max = $3; if ($4 > max) max = $4
      if ($3 < min) min = $3; if ($4 < min) min = $4
      if (max > 150 && max - min > 100) lit[$1] = 1
    } END { print length(lit) }'
}
# Screenshots the window as NAME until the meter stands still (the level
# falls at 15 dB per second), for at most 20 s; prints its lit rows.
settle() {
  local before=-1 now=0 end=$((SECONDS + 20))
  while [ $SECONDS -lt $end ]; do
    import -window "$ui" "$shots-$1.png" 2>/dev/null
    now=$(lit_rows "$shots-$1.png")
    [ "$now" = "$before" ] && [ "$now" -gt 0 ] && break
    before=$now
    sleep 0.3
  done
  echo "$now"
}
# The (left) peak hold, as jalv.gtk3 prints it.
peak_printed() { sed -n 's/^peak\(_l\)\? = //p' "$work/host.out" | tail -1; }

read -r width height < <(xdotool getwindowgeometry "$ui" |
  sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
# Between the two bars of the stereo window at its natural size: 89 of its
# 148 columns at scale 1.
split=$((width * 89 / 148))
left="${split}x${height}+0+0" right="$((width - split))x${height}+${split}+0"

loud=$(settle loud)
if [ "$loud" -eq 0 ]; then
  # Tell a graph that dropped the generator's signal from a meter or a
  # window that shows none.
  broke=$(graph_broke "$meter_port") &&
    give_up "the audio graph broke, so no signal reached the meter: $broke"
  give_up "the meter shows no signal"
fi
if $stereo; then
  lit_left=$(lit_rows "$shots-loud.png" "$left")
  lit_right=$(lit_rows "$shots-loud.png" "$right")
  [ "$lit_left" = "$loud" ] && [ "$lit_right" = 0 ] &&
    echo "ok: fed on the left only, the left bar lights $lit_left rows, the right none" ||
    fail "fed on the left only, lit rows left $lit_left, right $lit_right"
fi
echo "set amplitude 0.1" >&7
sleep 0.5
if $stereo; then
  jack_connect const:output "$(meter_in _r)" || give_up "jack_connect right"
fi
quiet=$(settle quiet)
if $stereo; then
  # Alike but for the peak hold line (2 pixels, not lit), which on the
  # right sits on the top of the bar and on the left higher up, at -0.9.
  lit_left=$(lit_rows "$shots-quiet.png" "$left")
  lit_right=$(lit_rows "$shots-quiet.png" "$right")
  if [ "$lit_left" -gt 0 ] && [ $((lit_left - lit_right)) -ge 0 ] &&
    [ $((lit_left - lit_right)) -le 2 ]; then
    echo "ok: fed alike, the bars light $lit_left and $lit_right rows"
  else
    fail "fed alike, lit rows left $lit_left, right $lit_right"
  fi
fi
# Lit from -60 dBFS up to -0.9 dBFS, then up to -20 dBFS: 59.1 dB against
# 40 dB of the bar's length.
if awk -v l="$loud" -v q="$quiet" 'BEGIN { exit !(q > 0 && l / q > 1.35 && l / q < 1.6) }'; then
  echo "ok: lit rows loud $loud, quiet $quiet"
else
  fail "lit rows loud $loud, quiet $quiet: not in the ratio of 59.1 to 40 dB"
fi

# The middle of the readout; the stereo window's right one.
click_x=$((width / 2))
$stereo && click_x=$((width * 3 / 4))
xdotool mousemove --window "$ui" $click_x 24 click 1
sleep 0.5
settle reset >/dev/null
# The readout shows the peak hold, which changes only at a reset here (in
# stereo the left one, which the click on the right one must clear too).
readout_width=$width
$stereo && readout_width=$((width / 2))
changed=$(compare -metric AE -extract "${readout_width}x48+0+0" "$shots-quiet.png" \
  "$shots-reset.png" null: 2>&1)
[ "${changed%% *}" -gt 0 ] 2>/dev/null && echo "ok: the readout changed after the click" ||
  fail "the readout did not change after the click ($changed)"
if [ -n "$(peak_printed)" ]; then
  for _ in $(seq 30); do
    awk -v p="$(peak_printed)" 'BEGIN { exit !(p < 0.11) }' && break
    sleep 0.1
  done
  awk -v p="$(peak_printed)" 'BEGIN { exit !(p < 0.11) }' &&
    echo "ok: the host reads the peak hold $(peak_printed) after the click" ||
    fail "peak hold still $(peak_printed) after the click"
fi

top=$(xdotool search --maxdepth 1 --onlyvisible --classname "^$host\$" | head -1)
xdotool windowsize "$top" $((width + 64)) $((height * 2))
sleep 0.5
resized=$(settle resized)
new_height=$(xdotool getwindowgeometry "$ui" | sed -n 's/.*Geometry: [0-9]*x//p')
if [ "$new_height" -gt "$height" ] &&
  awk -v r="$resized" -v q="$quiet" 'BEGIN { exit !(r > 1.3 * q) }'; then
  echo "ok: resized from $height to $new_height rows, lit rows $quiet to $resized"
else
  fail "resized from $height to $new_height rows, lit rows $quiet to $resized"
fi

"$wm_close" "$top" || fail "could not send the close message"
for _ in $(seq 100); do kill -0 $host_pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $host_pid 2>/dev/null; then
  fail "$host still runs 10 s after its window was closed"
else
  wait $host_pid
  status=$?
  [ $status = 0 ] && echo "ok: $host exited 0 after its window was closed" ||
    fail "$host exited $status after its window was closed"
fi

if [ $failures -gt 0 ]; then
  broke=$(graph_broke "$meter_port") &&
    echo "FAIL: the audio graph broke during the test: $broke"
  show_host
fi
exit $((failures > 0))
