#!/usr/bin/env bash
# Dropouts of a long song beside two busy loops (`yes > /dev/null` twice): the player and a bare
# `gst-launch-1.0 playbin` of the same song play at the same time, each into a null sink of its
# own on a private PulseAudio server, and each sink's monitor is recorded. A dropout is a silence
# of 1 ms or more inside the tone, counted over SECONDS from 2 s after the tone began. With a
# base build given, it plays beside them too, into a third sink, so before and after share the
# load. Each player runs in a session bus of its own.
#
#   bench/dropouts_under_load.sh [BUILD_DIR [BASE_BUILD_DIR [SECONDS]]]   (default build/bench,
#                                                                          no base, 150)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init dropouts "$@"
base_build="${2:-}"
seconds="${3:-150}"
wp_need pulseaudio parec gst-launch-1.0 playerctl python3
runs_py="$wp_root/bench/sound_runs.py"

wp_start_pulse bare after before

# One tone longer than the measure, the only song of the library.
tones="$wp_work/tones"
mkdir -p "$tones"
gst-launch-1.0 -q audiotestsrc wave=sine freq=440 volume=0.5 \
  "num-buffers=$(((seconds + 30) * 10))" samplesperbuffer=4800 ! \
  audio/x-raw,rate=48000,channels=1 ! taginject "tags=title=Long,artist=Bench,album=Long" ! \
  flacenc ! filesink "location=$tones/long.flac"
wp_start_xvfb
wp_start_server --library "$tones"
url="$(python3 - "$wp_address" <<'EOF'
import json, sys, urllib.request
base = sys.argv[1]
get = lambda path: json.load(urllib.request.urlopen(base + path))
playlist = get("/top/playlist?limit=1&offset=0")["playlists"][0]["id"]
track = get(f"/playlist/detail?id={playlist}")["playlist"]["trackIds"][0]["id"]
print(get(f"/song/url?id={track}&br=320000")["data"][0]["url"])
EOF
)"

sinks=(bare after)
[ -n "$base_build" ] && sinks+=(before)
for sink in "${sinks[@]}"; do
  parec --raw --format=s16le --rate=48000 --channels=1 --latency-msec=5 -d "$sink.monitor" \
    >"$wp_work/$sink.raw" &
  wp_pids+=($!)
done
for _ in 1 2; do
  yes >/dev/null &
  wp_pids+=($!)
done
sleep 1

# The player in a bus of its own, told to play once its face is up: LABEL BUILD_DIR.
launch() {
  local dir="$wp_work/$1"
  PULSE_SINK="$1" LUMORA_AUDIO_DEVICE=default wp_launch "$dir" dbus-run-session -- bash -c '
    "$0" & player=$!
    echo "$player" >"$1"
    for _ in $(seq 1 600); do grep -qx onFaceShown "$LUMORA_TRACE_FILE" && break; sleep 0.1; done
    playerctl -p lumora play
    wait "$player"' "$2/src/app/lumora" "$dir/player.pid"
}
PULSE_SINK=bare gst-launch-1.0 -q playbin "uri=$url" flags=audio >/dev/null 2>&1 &
wp_pids+=($!)
launch after "$wp_build"
[ -n "$base_build" ] && launch before "$(cd "$base_build" && pwd)"
for sink in "${sinks[@]}"; do
  [ "$sink" = bare ] && continue
  for _ in $(seq 1 100); do
    [ -s "$wp_work/$sink/player.pid" ] && break
    sleep 0.1
  done
  wp_pids+=("$(cat "$wp_work/$sink/player.pid")")
done
sleep $((seconds + 8))

echo "dropouts: a 440 Hz tone over HTTP, ${seconds} s from 2 s after it began, two busy loops beside;" \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A counts
for sink in "${sinks[@]}"; do
  read -r count span lengths < <(python3 "$runs_py" dropouts "$wp_work/$sink.raw" 2 "$seconds")
  counts[$sink]="$count"
  printf 'dropouts: %-8s %3s dropouts in %s s, %s ms of silence in all (ms: %s)\n' "$sink" "$count" \
    "$span" "$(echo "${lengths:-0}" | tr ' ' '\n' | awk '{ t += $1 } END { print t + 0 }')" "${lengths:-none}"
done
for sink in "${sinks[@]}"; do
  [ "$sink" = bare ] && continue
  awk -v l="$sink" -v n="${counts[$sink]}" -v b="${counts[bare]}" 'BEGIN {
    printf "dropouts:   lumora %s: %d against the bare playbin'"'"'s %d (aim: at most %d): %s\n", l, n, b, b + 1, n <= b + 1 ? "met" : "NOT met" }'
done
