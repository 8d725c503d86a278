#!/usr/bin/env bash
# A slow server and an impatient user: lumora-server holds each /song/url answer back 3 s, and
# next is pressed three times, 0.2 s apart, while a song plays. Measured from just before the
# first press to the first sample of the song that then sounds, on a private PulseAudio null
# sink, ROUNDS times for each build given in the same run. The library holds tones of 30 s, so no
# next song is opened ahead while the answers are held. Each tone has a pitch of its own: a round
# counts only when the first new pitch heard is that of the song the player names at its end (a
# build that played an earlier press's song first is timed to a song nobody wanted).
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

wp_start_pulse bench

tones="$wp_work/tones"
mkdir -p "$tones"
for k in $(seq 1 40); do
  wp_make_tone "$(printf '%s/%02d.flac' "$tones" "$k")" $((200 + 40 * k)) 300 "Tone$k" Tones
done
wp_start_xvfb
wp_start_server --library "$tones" --test-controls

parec --raw --format=s16le --rate=48000 --channels=1 --latency-msec=5 -d bench.monitor |
  python3 "$runs_py" record "$wp_work/sink.raw" "$wp_work/sink.stamps" &
wp_pids+=($!)
sleep 1
first_sound() { python3 "$runs_py" first-pitch "$wp_work/sink.raw" "$wp_work/sink.stamps" "$1"; }
# The pitch of the tone the player names: ToneK sounds at 200 + 40 K Hz.
named_pitch() {
  playerctl -p lumora metadata title 2>/dev/null | sed -n 's/^Tone\([0-9]*\)$/\1/p' |
    awk '{ print 200 + 40 * $1 }'
}
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
    local pressed="$EPOCHREALTIME"
    playerctl -p lumora next
    wp_pause_ms 200
    playerctl -p lumora next
    wp_pause_ms 200
    playerctl -p lumora next
    sleep $((2 * held_ms / 1000 + 4))
    echo "$pressed $(named_pitch)" >>"$wp_work/$label.times"
  done
  control reset
  wp_stop "$wp_pid"
  : >"$wp_work/$label.ms"
  local at named heard hz
  while read -r at named; do
    read -r heard hz <<<"$(first_sound "$at")"
    if [ -z "$heard" ]; then
      echo 99999 >>"$wp_work/$label.ms"
    elif [ -z "$named" ] || awk -v h="$hz" -v n="$named" 'BEGIN { exit !(h - n > 15 || n - h > 15) }'; then
      echo "held: $label played ${hz} Hz first, then named the ${named:-unnamed} Hz song" >&2
      echo 99999 >>"$wp_work/$label.ms"
    else
      awk -v a="$at" -v b="$heard" 'BEGIN { printf "%.0f\n", (b - a) * 1000 }' >>"$wp_work/$label.ms"
    fi
  done <"$wp_work/$label.times"
}

wp_each_build measure "$base_build"

echo "held: /song/url held ${held_ms} ms, three presses of next 0.2 s apart; load average" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
for label in "${wp_labels[@]}"; do
  wp_rounds "$label" "$wp_work/$label.ms" "$aim_ms" "first press to sound"
  echo "held:   that is $(wp_median $(cat "$wp_work/$label.ms")) ms, $(awk -v m="$(wp_median $(cat "$wp_work/$label.ms"))" -v h="$held_ms" 'BEGIN { printf "%.2f", m / h }') held answers"
done
