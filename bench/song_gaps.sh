#!/usr/bin/env bash
# The joins between songs, and the time from a press of next to the new song's first sample,
# heard on a private PulseAudio server's null sink. lumora-server serves a library of 96 unbroken
# tones of 4 s, each its own pitch (made here with GStreamer): two in three are FLAC at 48 kHz
# mono, every third Ogg Vorbis at 44.1 kHz stereo, so some joins change format (not MP3: an MP3
# file begins and ends with some silence of its encoder's own). The sink's monitor is
# recorded throughout (bench/sound_runs.py stamps each read with the wall clock), and each figure
# is read off the recording. Each build given plays in turn, in the same run:
#   - joins: ten songs play through; at each change of song, the silence between the two tones
#     and the time both sound at once, for changes within a format and between formats, against
#     gst-launch-1.0 playing five of the FLAC tones through a concat element (the baseline);
#     each tone is checked to be whole (4 s) and a different song from the one before;
#   - next: 50 presses of next through the media-player service, 2 s apart (so each lands while
#     the following song is opened ahead), to the first cycle of the new tone, from just before
#     playerctl starts and (the press without the start of playerctl's process) from just after
#     its call has returned, against a bare playbin kept warm in its own process switching to a
#     new address written to it (bench/warm_playbin, 20 switches).
#
#   bench/song_gaps.sh [BUILD_DIR [BASE_BUILD_DIR]]    (default build/bench; the base is
#                                                       optional: an older build to compare)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init gaps "$@"
base_build="${2:-}"
wp_need pulseaudio parec gst-launch-1.0 playerctl python3 curl
runs_py="$wp_root/bench/sound_runs.py"
warm="$wp_build/bench/warm_playbin"
[ -x "$warm" ] || { echo "gaps: missing $warm" >&2; exit 2; }
# Enough that the playlist never runs out: a new one is shown for 1 s before its first song.
songs=96
played=10
presses=50
bare_presses=20
aim_join_ms=5
aim_cross_ms=50
aim_next_ratio=1.2
aim_next_ms=100

# The sound server: one null sink, reached by a socket of this run only.
wp_start_pulse bench

# The tones: song k at 200 + 40 k Hz; every third one Ogg Vorbis.
tones="$wp_work/tones"
mkdir -p "$tones"
for k in $(seq 1 "$songs"); do
  extension=flac
  if [ $((k % 3)) = 0 ]; then extension=ogg; fi
  wp_make_tone "$(printf '%s/%02d.%s' "$tones" "$k" "$extension")" $((200 + 40 * k)) 40 "Tone$k" Tones
done

wp_start_xvfb
wp_start_server --library "$tones"

parec --raw --format=s16le --rate=48000 --channels=1 --latency-msec=5 -d bench.monitor |
  python3 "$runs_py" record "$wp_work/sink.raw" "$wp_work/sink.stamps" &
wp_pids+=($!)
sleep 1

runs() { python3 "$runs_py" runs "$wp_work/sink.raw" "$wp_work/sink.stamps" "$1" "$2"; }
joins() { python3 "$runs_py" joins "$wp_work/sink.raw" "$wp_work/sink.stamps" "$1" "$2"; }
first_sound() { python3 "$runs_py" first "$wp_work/sink.raw" "$wp_work/sink.stamps" "$1"; }
faults_of() {
  awk '{ d = $2 - $1; if (d < 3.95 || d > 4.05) printf "gaps:   tone %d lasted %.3f s\n", NR, d
         if (NR > 1 && ($3 - hz < 10 && hz - $3 < 10)) printf "gaps:   tone %d repeats %d Hz\n", NR, hz
         hz = $3 }' "$1"
}
# Every third pitch is Ogg Vorbis: "same" or "cross" for a join between two pitches.
kind_of_join() {
  awk '{ a = int(($3 - 200) / 40 + 0.5) % 3 == 0; b = int(($4 - 200) / 40 + 0.5) % 3 == 0
         print (a == b ? "same" : "cross"), $1, $2 }' "$1"
}
median_of() { sort -g | awk '{ v[NR] = $1 } END { if (!NR) print "-"; else print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
worst_of() { sort -g | tail -n 1; }
# Milliseconds from each stamp in FILE to the first new tone after it.
to_sound() {
  local at heard
  while read -r at; do
    heard="$(first_sound "$at")"
    if [ -n "$heard" ]; then
      awk -v a="$at" -v b="$heard" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
    else
      echo 9999
    fi
  done <"$1"
}

# The baselines first: five FLAC tones one after the other, then the warm playbin.
mapfile -t urls < <(python3 - "$wp_address" <<'EOF'
import json, sys, urllib.request
base = sys.argv[1]
get = lambda path: json.load(urllib.request.urlopen(base + path))
playlist = get("/top/playlist?limit=1&offset=0")["playlists"][0]["id"]
for track in get(f"/playlist/detail?id={playlist}")["playlist"]["trackIds"][:21]:
    print(get(f"/song/url?id={track['id']}&br=320000")["data"][0]["url"])
EOF
)
[ "${#urls[@]}" -ge 21 ] || { echo "gaps: the server lists no tones" >&2; exit 1; }
concat=(concat name=c ! audioconvert ! audioresample ! pulsesink)
for k in 1 2 4 5 7; do
  concat+=(filesrc "location=$(printf '%s/%02d.flac' "$tones" "$k")" ! flacparse ! flacdec ! c.)
done
base_from="$EPOCHREALTIME"
gst-launch-1.0 -q "${concat[@]}" >"$wp_work/concat.log" 2>&1 || {
  tail -n 20 "$wp_work/concat.log" >&2
  echo "gaps: the baseline failed" >&2
  exit 1
}
sleep 0.5
runs "$base_from" "$EPOCHREALTIME" >"$wp_work/concat.runs"
joins "$base_from" "$EPOCHREALTIME" | kind_of_join /dev/stdin >"$wp_work/concat.joins"

mkfifo "$wp_work/warm.in"
"$warm" <"$wp_work/warm.in" >/dev/null 2>&1 &
wp_pids+=($!)
exec {warm_fd}>"$wp_work/warm.in"
echo "${urls[0]}" >&"$warm_fd"
sleep 2
: >"$wp_work/warm.times"
for i in $(seq 1 "$bare_presses"); do
  echo "$EPOCHREALTIME" >>"$wp_work/warm.times"
  echo "${urls[$i]}" >&"$warm_fd"
  sleep 2
done
exec {warm_fd}>&-
sleep 1
to_sound "$wp_work/warm.times" >"$wp_work/warm.ms"

# A build plays ten songs through, then takes the presses: LABEL BUILD_DIR.
play_build() {
  local label="$1" build="$2" dir="$wp_work/$1"
  LUMORA_AUDIO_DEVICE=default wp_launch "$dir" "$build/src/app/lumora"
  wp_wait_trace "$dir/trace" onFaceShown 60 || { echo "gaps: no face ($label)" >&2; exit 1; }
  sleep 2
  local from="$EPOCHREALTIME"
  playerctl -p lumora play
  # Room for gaps of up to 2 s.
  sleep $((played * 6 + 4))
  local to="$EPOCHREALTIME"
  runs "$from" "$to" | head -n "$played" >"$wp_work/$label.runs"
  [ "$(wc -l <"$wp_work/$label.runs")" = "$played" ] || {
    cat "$wp_work/$label.runs" >&2
    echo "gaps: $label did not play $played tones" >&2
    exit 1
  }
  local last_end
  last_end="$(tail -n 1 "$wp_work/$label.runs" | awk '{ print $2 }')"
  joins "$from" "$last_end" | kind_of_join /dev/stdin >"$wp_work/$label.joins"
  : >"$wp_work/$label.times"
  : >"$wp_work/$label.returned"
  for _ in $(seq 1 "$presses"); do
    echo "$EPOCHREALTIME" >>"$wp_work/$label.times"
    playerctl -p lumora next
    echo "$EPOCHREALTIME" >>"$wp_work/$label.returned"
    sleep 2
  done
  sleep 1
  to_sound "$wp_work/$label.times" >"$wp_work/$label.ms"
  to_sound "$wp_work/$label.returned" >"$wp_work/$label.returned.ms"
  wp_stop "$wp_pid"
}

builds=(after)
[ -n "$base_build" ] && builds=(before after)
for label in "${builds[@]}"; do
  if [ "$label" = before ]; then play_build before "$(cd "$base_build" && pwd)"; else play_build after "$wp_build"; fi
done

report_joins() {  # LABEL FILE
  local same_gap same_overlap cross_gap
  same_gap="$(awk '$1 == "same" { print $2 }' "$2" | worst_of)"
  same_overlap="$(awk '$1 == "same" && $3 != "-" { print $3 }' "$2" | worst_of)"
  cross_gap="$(awk '$1 == "cross" { print $2 }' "$2" | worst_of)"
  printf 'gaps: %-34s within a format: worst silence %5s ms, worst overlap %4s ms (%d joins);' \
    "$1" "${same_gap:--}" "${same_overlap:--}" "$(awk '$1 == "same"' "$2" | wc -l)"
  printf ' between formats: worst silence %5s ms (%d)\n' "${cross_gap:--}" \
    "$(awk '$1 == "cross"' "$2" | wc -l)"
}

echo "gaps: sink bench (null, 48 kHz mono) on a private PulseAudio server; server $wp_address;" \
  "tones of 4 s, FLAC 48 kHz mono and Ogg Vorbis 44.1 kHz stereo; load average $(cut -d' ' -f1-3 /proc/loadavg)"
faults_of "$wp_work/concat.runs"
report_joins "gst-launch-1.0 concat (baseline)" "$wp_work/concat.joins"
warm_median="$(median_of <"$wp_work/warm.ms")"
printf 'gaps: %-34s next to sound: median %6.1f ms, worst %6.1f ms (%d)\n' "warm bare playbin" \
  "$warm_median" "$(worst_of <"$wp_work/warm.ms")" "$(wc -l <"$wp_work/warm.ms")"
for label in "${builds[@]}"; do
  faults_of "$wp_work/$label.runs"
  report_joins "lumora $label" "$wp_work/$label.joins"
  awk -v l="lumora $label" -v aim="$aim_join_ms" -v cross="$aim_cross_ms" '
    $1 == "same" && ($2 > aim || ($3 != "-" && $3 > aim)) { bad++ }
    $1 == "cross" && $2 > cross { badx++ }
    END { printf "gaps:   %s: joins within a format over %d ms: %d (aim: none); between formats over %d ms: %d (aim: none)\n", l, aim, bad, cross, badx }' \
    "$wp_work/$label.joins"
  for from in ms returned.ms; do
    median="$(median_of <"$wp_work/$label.$from")"
    over="$(awk -v aim="$aim_next_ms" '$1 > aim { n++ } END { print n + 0 }' "$wp_work/$label.$from")"
    printf 'gaps: %-34s next to sound, %-16s median %6.1f ms, worst %6.1f ms (%d); %.2f× the warm playbin (aim: <= %s); presses over %d ms: %d (aim: none)\n' \
      "lumora $label" "$([ "$from" = ms ] && echo "press:" || echo "call returned:")" "$median" \
      "$(worst_of <"$wp_work/$label.$from")" "$(wc -l <"$wp_work/$label.$from")" \
      "$(awk -v a="$median" -v b="$warm_median" 'BEGIN { print a / b }')" "$aim_next_ratio" \
      "$aim_next_ms" "$over"
  done
  echo "gaps:   lumora $label, each join (kind silence overlap): $(tr '\n' ';' <"$wp_work/$label.joins")"
  echo "gaps:   lumora $label, each next to sound (ms, in press order): $(tr '\n' ' ' <"$wp_work/$label.ms")"
done
