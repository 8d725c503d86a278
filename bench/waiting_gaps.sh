#!/usr/bin/env bash
# How long the GUI thread goes without handling an event while lumora-server holds an answer
# back. The probe is a round trip to the player's media-player service (`playerctl -p lumora
# status`, answered on the GUI thread), repeated back to back, so the longest round trip bounds
# the longest gap between two events the GUI thread handled. Measured while a song plays with
# nothing held back (the baseline, the probe's own cost), then from a click on 图形按钮_下一曲
# while the server holds the new song's /lyric back DELAY s, until that answer has gone out.
# Last, with the answer held back again, a click on the exit button and how long until the
# process has ended, and whether the settings file was written.
#
#   bench/waiting_gaps.sh [BUILD_DIR] [DELAY_SECONDS]    (default build/bench, 20)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init waiting "$@"
wp_need playerctl curl
delay="${2:-20}"
baseline_seconds=5
aim_ms=50
wp_start_xvfb
wp_start_server --test-controls

hold_lyric() {
  curl -fsS "$wp_address/__control/fault?path=/lyric&delay_ms=$((delay * 1000))&times=1" >/dev/null
}
lyric_answers() { grep -c '^GET /lyric' "$wp_work/server.log" || true; }
microseconds() { local t="$1"; echo "${t/./}"; }

# Probes back to back until the command given succeeds (60 s at most); sets probe_max_ms and
# probe_count.
probe_until() {
  local start end us longest=0 deadline=$((EPOCHSECONDS + 60))
  probe_count=0
  while ! "$@" && [ "$EPOCHSECONDS" -lt "$deadline" ]; do
    start="$(microseconds "$EPOCHREALTIME")"
    playerctl -p lumora status >/dev/null 2>&1 || true
    end="$(microseconds "$EPOCHREALTIME")"
    us=$((end - start))
    [ "$us" -gt "$longest" ] && longest="$us"
    probe_count=$((probe_count + 1))
  done
  probe_max_ms="$((longest / 1000)).$(printf '%03d' $((longest % 1000)))"
}
seconds_since() { [ $((EPOCHSECONDS - $1)) -ge "$2" ]; }
lyric_answered_after() { [ "$(lyric_answers)" -gt "$1" ]; }
# A process that has ended may stay a zombie of this shell until waited for.
running() {
  local stat
  stat="$(cat "/proc/$1/stat" 2>/dev/null)" || return 1
  stat="${stat##*) }"
  [ "${stat%% *}" != Z ]
}
# A click at a point of the face.
click() { xdotool mousemove $((face_x + $1)) $((face_y + $2)) click 1; }

dir="$wp_work/lumora"
wp_launch "$dir" "$wp_lumora"
wp_wait_trace "$dir/trace" onFaceShown 60 || {
  tail -n 20 "$dir/out.log" >&2
  echo "waiting: the player never traced onFaceShown" >&2
  exit 1
}
window="$(xdotool search --onlyvisible --name 暂无播放 | head -n 1)"
eval "$(xdotool getwindowgeometry --shell "$window")"
face_x="$X" face_y="$Y"

playerctl -p lumora play
for _ in $(seq 1 600); do
  [ "$(playerctl -p lumora status 2>/dev/null)" = Playing ] && break
  wp_pause_ms 50
done
started="$EPOCHSECONDS"
probe_until seconds_since "$started" "$baseline_seconds"
baseline_ms="$probe_max_ms" baseline_count="$probe_count"

hold_lyric
answered="$(lyric_answers)"
click 121 173  # 图形按钮_下一曲 at (109, 161), 24 × 24
probe_until lyric_answered_after "$answered"
held_ms="$probe_max_ms" held_count="$probe_count"

# Long enough for the click on next to be inside its wait, far from the answer.
hold_lyric
answered="$(lyric_answers)"
click 121 173
sleep 2
lyric_answered_after "$answered" && echo "waiting: the held answer came too soon" >&2
clicked="$(microseconds "$EPOCHREALTIME")"
click 137 244  # 图形按钮_退出 at (125, 232), 24 × 24
while running "$wp_pid"; do wp_pause_ms 1; done
ended="$(microseconds "$EPOCHREALTIME")"
exit_ms=$(((ended - clicked) / 1000))
saved=no
[ -s "$dir/home/.config/lumora/lumora.ini" ] && saved=yes

echo "waiting: display $DISPLAY, server $wp_address, /lyric held back ${delay} s"
echo "waiting: longest round trip of the probe (playerctl -p lumora status, back to back):"
printf 'waiting:   playing, nothing held back (baseline) %8s ms over %d probes\n' \
  "$baseline_ms" "$baseline_count"
printf 'waiting:   from next until the held answer      %8s ms over %d probes\n' \
  "$held_ms" "$held_count"
awk -v h="$held_ms" -v aim="$aim_ms" \
  'BEGIN { printf "waiting: aim: longest gap during the wait <= %d ms: %s\n", aim, h <= aim ? "met" : "NOT met" }'
echo "waiting: exit button during the wait: the process ended after ${exit_ms} ms" \
  "(settings file written: $saved)"
