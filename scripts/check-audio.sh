#!/usr/bin/env bash
# Plays one song of the test catalogue through the real program and shows that its sound
# reached the sound server: Xvfb for the screen, a private PulseAudio with a null sink, the
# play button pressed with xdotool, a few seconds recorded from the sink's monitor, RMS by sox.
#
#   scripts/check-audio.sh [BUILD_DIR]     (default build/asan; needs lumora and lumora-server)
#
# Prints the RMS before and after the press and their ratio; exits 0 when the recording after
# the press is not silent and the one before it is.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/asan}" && pwd)"
lumora="$build/src/app/lumora"
server_bin="$build/server/lumora-server"
for tool in Xvfb xdotool pulseaudio pactl parec sox "$lumora" "$server_bin"; do
  command -v "$tool" >/dev/null || { echo "check-audio: missing $tool" >&2; exit 2; }
done

work="$(mktemp -d -t lumora-audio.XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  PULSE_RUNTIME_PATH="$work/pulse" pulseaudio --kill 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private screen and sound server, nothing of the user's session.
display=""
for n in $(seq 120 160); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$n" ] && { display=":$n"; break; }
done
[ -n "$display" ] || { echo "check-audio: no Xvfb display" >&2; exit 1; }
export DISPLAY="$display"
export XDG_RUNTIME_DIR="$work/run" PULSE_RUNTIME_PATH="$work/pulse" HOME="$work/home"
mkdir -p "$XDG_RUNTIME_DIR" "$PULSE_RUNTIME_PATH" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
pulseaudio --start --exit-idle-time=-1 -n --daemonize=yes \
  --load="module-null-sink sink_name=lumora_null" --load=module-native-protocol-unix
export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink lumora_null

"$server_bin" --port 0 --test-catalogue --demo-dir "$build/test-data/demo" --data "$work/server" \
  >"$work/server.log" 2>&1 &
pids+=($!)
address=""
for _ in $(seq 1 1200); do
  address="$(sed -n 's/^lumora-server listening on \(http[^ ]*\).*/\1/p' "$work/server.log" | head -n 1)"
  [ -n "$address" ] && break
  sleep 0.1
done
[ -n "$address" ] || { cat "$work/server.log" >&2; echo "check-audio: no server" >&2; exit 1; }
echo "check-audio: server $address, display $DISPLAY"

# -1: the default output, which is the null sink of this sound server.
LUMORA_AUDIO_DEVICE=-1 LUMORA_API_BASE="$address" XDG_CONFIG_HOME="$work/config" \
  ASAN_OPTIONS=detect_leaks=0 "$lumora" >"$work/lumora.log" 2>&1 &
pids+=($!)
window=""
for _ in $(seq 1 100); do
  window="$(xdotool search --name '^暂无播放$' 2>/dev/null | head -n 1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { cat "$work/lumora.log" >&2; echo "check-audio: no window" >&2; exit 1; }
sleep 1  # let the first page of the playlist square arrive

record() {  # seconds, file
  timeout "$1" parec -d lumora_null.monitor --format=s16le --rate=44100 --channels=2 >"$2" || true
}
rms() {
  sox -t raw -r 44100 -e signed -b 16 -c 2 "$1" -n stat 2>&1 |
    sed -n 's/^RMS *amplitude: *//p'
}
record 2 "$work/before.raw"

eval "$(xdotool getwindowgeometry --shell "$window")"
# The play button covers 64..92 × 159..187 of the face.
xdotool mousemove "$((X + 78))" "$((Y + 173))" click 1
# The playlist loads (with its one-second pause) before the song starts.
sleep 3
record 4 "$work/after.raw"

# What a person sees while it plays, kept beside the build.
if command -v import >/dev/null; then
  import -window "$window" "$build/check-audio.png" 2>/dev/null &&
    echo "check-audio: screenshot $build/check-audio.png"
fi

before="$(rms "$work/before.raw")"
after="$(rms "$work/after.raw")"
title="$(xdotool getwindowname "$window" 2>/dev/null || true)"
echo "check-audio: window title after the press: $title"
echo "check-audio: RMS before the press ${before:-?}, after ${after:-?}" \
  "($(stat -c %s "$work/after.raw") bytes recorded)"
awk -v b="${before:-0}" -v a="${after:-0}" 'BEGIN {
  if (b > 0) printf "check-audio: ratio after/before %.1f\n", a / b;
  else printf "check-audio: ratio after/before inf (silence before)\n";
  exit !(a > 0.01 && b < 0.001) }' && { echo "check-audio: sound arrived"; exit 0; }
echo "check-audio: no sound from the player" >&2
tail -n 20 "$work/lumora.log" >&2
exit 1
