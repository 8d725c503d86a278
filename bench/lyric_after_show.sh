#!/usr/bin/env bash
# How long the face keeps an old lyric line after it comes back. A song of 60 s plays with a
# lyric line every 3 s; bench/face_watch takes the face off the screen 1.2 s into a line and
# puts it back 4.3 s in, when the next line is in effect, and reads the line's pixels every 2 ms
# until the old line is gone. ROUNDS rounds for each build given, in the same run, on the
# no-sound device.
#
#   bench/lyric_after_show.sh [BUILD_DIR [BASE_BUILD_DIR [ROUNDS]]]   (default build/bench, no
#                                                                      base, 8)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init lyric "$@"
base_build="${2:-}"
rounds="${3:-8}"
wp_need gst-launch-1.0 playerctl python3
watch="$wp_build/bench/face_watch"
[ -x "$watch" ] || { echo "lyric: missing $watch" >&2; exit 2; }
aim_ms=100
# 歌手名称 on the face: (4, 208), 146 × 18.
line_area=(4 208 146 18)

songs="$wp_work/songs"
mkdir -p "$songs"
for k in 1 2; do
  wp_make_tone "$songs/$k.flac" $((300 * k)) 600 "Lines$k" Lines
  for s in $(seq 0 3 57); do printf '[%02d:%02d.00]line %02d of song %d\n' $((s / 60)) $((s % 60)) $((s / 3 + 1)) "$k"; done \
    >"$songs/$k.lrc"
done
wp_start_xvfb
wp_start_server --library "$songs"

measure() {  # LABEL BUILD_DIR
  local label="$1" dir="$wp_work/$1" window
  wp_launch "$dir" "$2/src/app/lumora"
  wp_wait_trace "$dir/trace" onFaceShown 60 || { echo "lyric: no face ($label)" >&2; exit 1; }
  window="$(xdotool search --onlyvisible --pid "$wp_pid" | head -n 1)"
  [ -n "$window" ] || window="$(xdotool search --onlyvisible --name 暂无播放 | head -n 1)"
  sleep 1
  playerctl -p lumora play
  "$watch" "$window" "${line_area[@]}" "$rounds" >"$wp_work/$label.ms" || {
    echo "lyric: the line never changed ($label)" >&2
    exit 1
  }
  wp_stop "$wp_pid"
}

wp_each_build measure "$base_build"

echo "lyric: a line every 3 s; the face away from 1.2 s to 4.3 s into a line; load average" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
for label in "${wp_labels[@]}"; do
  wp_rounds "$label" "$wp_work/$label.ms" "$aim_ms" "old line gone after"
done
