#!/usr/bin/env bash
# Silence between songs, and from a press of next to the new song's first sample, heard on a
# private PulseAudio server's null sink. lumora-server serves a library of 96 unbroken tones of
# 4 s, each its own pitch (made here with GStreamer), and the Release player plays them in
# playlist mode. The sink's monitor is recorded throughout (bench/sound_runs.py stamps each read
# with the wall clock), so each figure is a wall time read off the recording:
#   - gaps: ten songs play through; the silence from one tone's last sample to the next tone's
#     first, against gst-launch-1.0 playing five of the same tone files one after the other
#     through a concat element (the baseline, in the same run); each tone is checked
#     to be whole (4 s) and a different song from the one before;
#   - next: 50 presses of next through the media-player service, 2 s apart (so each lands while
#     the following song waits opened aside), from just before playerctl starts to the first
#     cycle of the new tone, against a bare gst-launch-1.0 playbin from its launch
#     to its first sample (five launches).
#
#   bench/song_gaps.sh [BUILD_DIR]    (default build/bench)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init gaps "$@"
wp_need pulseaudio parec gst-launch-1.0 playerctl python3 curl
runs_py="$wp_root/bench/sound_runs.py"
# Enough that the playlist never runs out: a new one is shown for 1 s before its first song.
songs=96
played=10
presses=50
aim_gap_ms=50
aim_worst_ms=200
aim_next_ms=100

# The sound server: one null sink at 48 kHz mono, reached by a socket of this run only.
export PULSE_RUNTIME_PATH="$wp_work/pulse"
mkdir -p "$PULSE_RUNTIME_PATH"
chmod 700 "$PULSE_RUNTIME_PATH"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
  -L "module-null-sink sink_name=bench rate=48000 channels=1" \
  -L "module-native-protocol-unix socket=$PULSE_RUNTIME_PATH/native auth-anonymous=1" \
  >"$wp_work/pulse.log" 2>&1 &
wp_pids+=($!)
export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
for _ in $(seq 1 100); do
  [ -S "$PULSE_RUNTIME_PATH/native" ] && break
  sleep 0.05
done
[ -S "$PULSE_RUNTIME_PATH/native" ] || { echo "gaps: no sound server" >&2; exit 1; }

# The tones: song k at 200 + 40 k Hz.
tones="$wp_work/tones"
mkdir -p "$tones"
for k in $(seq 1 "$songs"); do
  gst-launch-1.0 -q audiotestsrc wave=sine "freq=$((200 + 40 * k))" volume=0.5 num-buffers=40 \
    samplesperbuffer=4800 ! audio/x-raw,rate=48000,channels=1 ! \
    taginject "tags=title=Tone$k,artist=Bench,album=Tones" ! \
    flacenc ! filesink "location=$(printf '%s/%02d.flac' "$tones" "$k")"
done

wp_start_xvfb
wp_start_server --library "$tones"

parec --raw --format=s16le --rate=48000 --channels=1 --latency-msec=5 -d bench.monitor |
  python3 "$runs_py" record "$wp_work/sink.raw" "$wp_work/sink.stamps" &
wp_pids+=($!)
sleep 1

# Tone runs between two wall times: "START END HZ" per line.
runs() { python3 "$runs_py" runs "$wp_work/sink.raw" "$wp_work/sink.stamps" "$1" "$2"; }
first_sound() { python3 "$runs_py" first "$wp_work/sink.raw" "$wp_work/sink.stamps" "$1"; }
# Gaps in ms between consecutive runs, and the runs that are not whole or repeat a pitch.
gaps_of() {
  awk 'NR > 1 { printf "%.1f\n", ($1 - end) * 1000 } { end = $2 }' "$1"
}
faults_of() {
  awk '{ d = $2 - $1; if (d < 3.95 || d > 4.05) printf "gaps:   tone %d lasted %.3f s\n", NR, d
         if (NR > 1 && ($3 - hz < 10 && hz - $3 < 10)) printf "gaps:   tone %d repeats %d Hz\n", NR, hz
         hz = $3 }' "$1"
}
summary() {  # LABEL FILE_OF_MS
  sort -g "$2" | awk -v l="$1" '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "gaps: %-34s median %7.1f ms, worst %7.1f ms, best %7.1f ms (%d)\n", l, m, v[NR], v[1], NR }'
}
median_of() { sort -g "$1" | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
worst_of() { sort -g "$1" | tail -n 1; }

# The baseline first: five of the same tones, one after the other.
mapfile -t urls < <(python3 - "$wp_address" <<'EOF'
import json, sys, urllib.request
base = sys.argv[1]
get = lambda path: json.load(urllib.request.urlopen(base + path))
playlist = get("/top/playlist?limit=1&offset=0")["playlists"][0]["id"]
for track in get(f"/playlist/detail?id={playlist}")["playlist"]["trackIds"][:5]:
    print(get(f"/song/url?id={track['id']}&br=320000")["data"][0]["url"])
EOF
)
[ "${#urls[@]}" = 5 ] || { echo "gaps: the server lists no tones" >&2; exit 1; }
concat=(concat name=c ! audioconvert ! audioresample ! pulsesink)
# From the files themselves: decoding over HTTP, concat's delayed links fail now and then.
for k in 1 2 3 4 5; do
  concat+=(filesrc "location=$(printf '%s/%02d.flac' "$tones" "$k")" ! flacparse ! flacdec ! c.)
done
base_from="$EPOCHREALTIME"
gst-launch-1.0 -q "${concat[@]}" >"$wp_work/concat.log" 2>&1 || {
  tail -n 20 "$wp_work/concat.log" >&2
  echo "gaps: the baseline failed" >&2
  exit 1
}
sleep 0.5
runs "$base_from" "$EPOCHREALTIME" >"$wp_work/base.runs"
gaps_of "$wp_work/base.runs" >"$wp_work/base.gaps"
[ -s "$wp_work/base.gaps" ] || { echo "gaps: the baseline played no two tones" >&2; exit 1; }

# A bare playbin, launch to first sample.
: >"$wp_work/bare.ms"
for _ in 1 2 3 4 5; do
  launched="$EPOCHREALTIME"
  gst-launch-1.0 -q playbin "uri=${urls[0]}" flags=audio >/dev/null 2>&1 &
  pid=$!
  wp_pids+=("$pid")
  sleep 1.5
  wp_stop "$pid"
  sleep 0.5
  heard="$(first_sound "$launched")"
  [ -n "$heard" ] && awk -v a="$launched" -v b="$heard" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }' \
    >>"$wp_work/bare.ms"
done

# The player: ten songs through, then the presses.
dir="$wp_work/lumora"
LUMORA_AUDIO_DEVICE=default wp_launch "$dir" "$wp_lumora"
wp_wait_trace "$dir/trace" onFaceShown 60 || { echo "gaps: no face" >&2; exit 1; }
sleep 2
play_from="$EPOCHREALTIME"
playerctl -p lumora play
# Room for gaps of up to 2 s.
sleep $((played * 6 + 4))
play_to="$EPOCHREALTIME"
runs "$play_from" "$play_to" >"$wp_work/all.runs"
head -n "$played" "$wp_work/all.runs" >"$wp_work/player.runs"
gaps_of "$wp_work/player.runs" >"$wp_work/player.gaps"
[ "$(wc -l <"$wp_work/player.runs")" = "$played" ] || {
  cat "$wp_work/player.runs" >&2
  echo "gaps: the player did not play $played tones" >&2
  exit 1
}

: >"$wp_work/press.times"
for _ in $(seq 1 "$presses"); do
  echo "$EPOCHREALTIME" >>"$wp_work/press.times"
  playerctl -p lumora next
  sleep 2
done
sleep 1
: >"$wp_work/press.ms"
while read -r pressed; do
  heard="$(first_sound "$pressed")"
  if [ -n "$heard" ]; then
    awk -v a="$pressed" -v b="$heard" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }' >>"$wp_work/press.ms"
  else
    echo 9999 >>"$wp_work/press.ms"
  fi
done <"$wp_work/press.times"
wp_stop "$wp_pid"

echo "gaps: sink bench (null, 48 kHz mono) on a private PulseAudio server; server $wp_address;" \
  "tones of 4 s, FLAC"
faults_of "$wp_work/base.runs"
faults_of "$wp_work/player.runs"
summary "gst-launch-1.0 concat (baseline)" "$wp_work/base.gaps"
summary "lumora, song to song" "$wp_work/player.gaps"
awk -v b="$(median_of "$wp_work/base.gaps")" -v p="$(median_of "$wp_work/player.gaps")" \
  -v w="$(worst_of "$wp_work/player.gaps")" -v aim="$aim_gap_ms" -v aimw="$aim_worst_ms" 'BEGIN {
  printf "gaps:   lumora - baseline: median %+.1f ms", p - b
  if (b > 0) printf ", ratio %.2f×", p / b
  printf " (aims: median <= %d ms: %s; worst <= %d ms: %s)\n", aim, p <= aim ? "met" : "NOT met", aimw, w <= aimw ? "met" : "NOT met" }'
summary "bare playbin, launch to sound" "$wp_work/bare.ms"
summary "lumora, next to sound" "$wp_work/press.ms"
awk -v b="$(median_of "$wp_work/bare.ms")" -v p="$(median_of "$wp_work/press.ms")" \
  -v w="$(worst_of "$wp_work/press.ms")" -v aim="$aim_next_ms" -v n="$presses" 'BEGIN {
  printf "gaps:   next / bare playbin: median %.2f×; presses over %d ms: ", p / b, aim }'
awk -v aim="$aim_next_ms" '$1 > aim { n++ } END { printf "%d", n }' "$wp_work/press.ms"
echo " of $presses (aim: none)"
echo "gaps:   lumora, each next to sound (ms, in press order): $(tr '\n' ' ' <"$wp_work/press.ms")"
echo "gaps:   lumora, each song to song (ms): $(tr '\n' ' ' <"$wp_work/player.gaps")"
