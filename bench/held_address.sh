#!/usr/bin/env bash
# A slow server and an impatient user: lumora-server holds each /song/url answer back 3 s, and
# next is pressed three times, 0.2 s apart, while a song plays. Measured from just before the
# first press to the first sample of the song that then sounds, on a private PulseAudio null
# sink, ROUNDS times for each build given in the same run. The library holds tones of 30 s, so no
# next song is opened ahead while the answers are held.
#
#   bench/held_address.sh [BUILD_DIR [BASE_BUILD_DIR [ROUNDS]]]   (default build/bench, no base, 3)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init held "$@"
base_build="${2:-}"
rounds="${3:-3}"
wp_need pulseaudio parec gst-launch-1.0 playerctl python3 curl
runs_py="$wp_root/bench/sound_runs.py"
held_ms=3000
aim_ms=3600

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
[ -S "$PULSE_RUNTIME_PATH/native" ] || { echo "held: no sound server" >&2; exit 1; }

tones="$wp_work/tones"
mkdir -p "$tones"
for k in $(seq 1 40); do
  gst-launch-1.0 -q audiotestsrc wave=sine "freq=$((200 + 40 * k))" volume=0.5 num-buffers=300 \
    samplesperbuffer=4800 ! audio/x-raw,rate=48000,channels=1 ! \
    taginject "tags=title=Tone$k,artist=Bench,album=Tones" ! \
    flacenc ! filesink "location=$(printf '%s/%02d.flac' "$tones" "$k")"
done
wp_start_xvfb
wp_start_server --library "$tones" --test-controls

parec --raw --format=s16le --rate=48000 --channels=1 --latency-msec=5 -d bench.monitor |
  python3 "$runs_py" record "$wp_work/sink.raw" "$wp_work/sink.stamps" &
wp_pids+=($!)
sleep 1
first_sound() { python3 "$runs_py" first "$wp_work/sink.raw" "$wp_work/sink.stamps" "$1"; }
control() { curl -fsS "$wp_address/__control/$1" >/dev/null; }

measure() {  # LABEL BUILD_DIR
  local label="$1" dir="$wp_work/$1"
  LUMORA_AUDIO_DEVICE=default wp_launch "$dir" "$2/src/app/lumora"
  wp_wait_trace "$dir/trace" onFaceShown 60 || { echo "held: no face ($label)" >&2; exit 1; }
  sleep 1
  playerctl -p lumora play
  sleep 4
  : >"$wp_work/$label.times"
  for _ in $(seq 1 "$rounds"); do
    control reset
    control "fault?path=/song/url&delay_ms=$held_ms&times=3"
    echo "$EPOCHREALTIME" >>"$wp_work/$label.times"
    playerctl -p lumora next
    wp_pause_ms 200
    playerctl -p lumora next
    wp_pause_ms 200
    playerctl -p lumora next
    sleep $((2 * held_ms / 1000 + 4))
  done
  control reset
  wp_stop "$wp_pid"
  : >"$wp_work/$label.ms"
  local at heard
  while read -r at; do
    heard="$(first_sound "$at")"
    if [ -n "$heard" ]; then
      awk -v a="$at" -v b="$heard" 'BEGIN { printf "%.0f\n", (b - a) * 1000 }' >>"$wp_work/$label.ms"
    else
      echo 99999 >>"$wp_work/$label.ms"
    fi
  done <"$wp_work/$label.times"
}

labels=(after)
[ -n "$base_build" ] && labels=(before after)
for label in "${labels[@]}"; do
  if [ "$label" = before ]; then measure before "$(cd "$base_build" && pwd)"; else measure after "$wp_build"; fi
done

echo "held: /song/url held ${held_ms} ms, three presses of next 0.2 s apart; load average" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
for label in "${labels[@]}"; do
  sort -g "$wp_work/$label.ms" | awk -v l="$label" -v aim="$aim_ms" -v held="$held_ms" '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "held: lumora %-6s first press to sound: median %5d ms, worst %5d ms (%d rounds), %.2f held answers (aim: <= %d ms: %s)\n",
      l, m, v[NR], NR, m / held, aim, v[NR] <= aim ? "met" : "NOT met" }'
  echo "held:   each round (ms): $(tr '\n' ' ' <"$wp_work/$label.ms")"
done
