#!/usr/bin/env bash
# Each song at the same loudness, as heard: a library of a dozen songs whose levels span 24 dB
# (four pieces of made music, each at 0, -12 and -24 dB), served by lumora-server, which
# measures their loudness after its scan; the player plays them all through a private PulseAudio
# server's null sink, with the tray's 响度均衡 switch off, then on (state.ini), in the same run.
# The sink's monitor is recorded (bench/sound_runs.py), each song's stretch is told by the
# media-player service's song changes, and bench/loudness_of.py measures it (EBU R128 integrated
# loudness, true peak). Prints each song's loudness off and on, the spread of each pass (aim:
# <= 1 LU on; about 24 LU off), the loudest true peak on (aim: <= -1 dBFS), and the player's CPU
# over each pass (aim: on not above off).
#
#   bench/loudness_levels.sh [BUILD_DIR]    (default build/bench)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init levels "$@"
wp_need pulseaudio parec gst-launch-1.0 playerctl python3 curl
runs_py="$wp_root/bench/sound_runs.py"
seconds=12
aim_spread=1
aim_peak=-1
clock_ticks="$(getconf CLK_TCK)"

# Four pieces: a chord over noise, a bass and a lead, a bright buzz, a soft pad; each loud.
pieces=(
  "chord|wave=sine freq=220 volume=0.22|wave=sine freq=277 volume=0.18|wave=sine freq=330 volume=0.18|wave=pink-noise volume=0.06"
  "bass|wave=square freq=55 volume=0.3|wave=sine freq=440 volume=0.3"
  "buzz|wave=saw freq=147 volume=0.35|wave=triangle freq=1200 volume=0.2"
  "pad|wave=sine freq=196 volume=0.3|wave=sine freq=294 volume=0.25|wave=sine freq=392 volume=0.2"
)
# Untagged: each song is named by its file, the album by its folder.
library="$wp_work/Levels"
mkdir -p "$library"
for piece in "${pieces[@]}"; do
  IFS='|' read -r -a parts <<<"$piece"
  name="${parts[0]}"
  for db in 0 -12 -24; do
    command=(gst-launch-1.0 -q audiomixer name=m ! "audio/x-raw,rate=44100,channels=2" !
      volume "volume=$(awk -v d="$db" 'BEGIN { print 10 ^ (d / 20) }')" !
      flacenc !
      filesink "location=$library/$name$db.flac")
    for source in "${parts[@]:1}"; do
      # shellcheck disable=SC2206  # the source's properties are words of their own
      command+=(audiotestsrc $source "num-buffers=$((seconds * 10))" samplesperbuffer=4410 ! m.)
    done
    "${command[@]}"
  done
done
songs="$(find "$library" -name '*.flac' | wc -l)"

wp_start_pulse levels
wp_start_xvfb
wp_start_server --library "$library"

# Every song's loudness measured before the player starts.
mapfile -t ids < <(python3 - "$wp_address" <<'EOF'
import json, sys, urllib.request
base = sys.argv[1]
get = lambda path: json.load(urllib.request.urlopen(base + path))
playlists = get("/top/playlist?limit=50&offset=0")["playlists"]
album = next(p for p in playlists if p["name"] == "Levels")  # the folder's
tracks = [str(t["id"]) for t in get(f"/playlist/detail?id={album['id']}")["playlist"]["trackIds"]]
for song in get("/song/detail?ids=" + ",".join(tracks))["songs"]:
    print(song["id"], song["name"])
EOF
)
[ "${#ids[@]}" = "$songs" ] || { echo "levels: the server lists ${#ids[@]} of $songs songs" >&2; exit 1; }
for _ in $(seq 1 600); do
  told=0
  for entry in "${ids[@]}"; do
    curl -fsS "$wp_address/song/url?id=${entry%% *}" | grep -q '"gain":' && told=$((told + 1))
  done
  [ "$told" = "$songs" ] && break
  sleep 0.5
done
[ "$told" = "$songs" ] || { echo "levels: $told of $songs songs measured" >&2; exit 1; }
grep "measured the loudness" "$wp_work/server.err" | sed 's/^lumora-server/levels: server/'

parec --raw --format=s16le --rate=48000 --channels=1 --latency-msec=5 -d levels.monitor |
  python3 "$runs_py" record "$wp_work/sink.raw" "$wp_work/sink.stamps" &
wp_pids+=($!)
sleep 1

# One pass: the player with the switch as given plays every song through; each song change the
# media-player service tells is stamped. Writes LABEL.segments ("FROM TO NAME") and LABEL.cpu.
play_pass() {  # LABEL true|false
  local label="$1" dir="$wp_work/$1" last="" id at cpu_from cpu_to from
  mkdir -p "$dir/home/.local/state/lumora"
  echo "levelling=$2" >"$dir/home/.local/state/lumora/state.ini"
  LUMORA_AUDIO_DEVICE=default wp_launch "$dir" "$wp_build/src/app/lumora"
  wp_wait_trace "$dir/trace" onFaceShown 60 || { echo "levels: no face ($label)" >&2; exit 1; }
  sleep 2
  : >"$dir/changes"
  playerctl -p lumora play
  from="$EPOCHSECONDS"
  cpu_from="$(wp_cpu_ticks "$wp_pid")"
  # Until every song was heard whole once: the change after the last new song.
  local -A heard=()
  local whole=0
  while [ "$whole" = 0 ] && [ $((EPOCHSECONDS - from)) -lt $((songs * (seconds + 4) + 20)) ]; do
    id="$(playerctl -p lumora metadata --format '{{xesam:url}}' 2>/dev/null || true)"
    id="${id##*id=}"
    at="$EPOCHREALTIME"
    if [ -n "$id" ] && [ "$id" != "$last" ]; then
      [ "${#heard[@]}" = "$songs" ] && whole=1
      heard[$id]=1
      echo "$at $id" >>"$dir/changes"
      last="$id"
    fi
    wp_pause_ms 20
  done
  cpu_to="$(wp_cpu_ticks "$wp_pid")"
  echo "$(((cpu_to - cpu_from) * 1000 / clock_ticks)) $((EPOCHSECONDS - from))" >"$wp_work/$label.cpu"
  wp_stop "$wp_pid"
  # A song's stretch: from its change to the next; each song once.
  awk 'NR > 1 && !seen[id]++ { print at, $1, id } { at = $1; id = $2 }' "$dir/changes" |
    while read -r start end song; do
      for entry in "${ids[@]}"; do
        if [ "${entry%% *}" = "$song" ]; then echo "$start $end ${entry#* }"; fi
      done
    done >"$wp_work/$label.segments"
}

play_pass off false
play_pass on true
for label in off on; do
  python3 "$wp_root/bench/loudness_of.py" "$wp_work/sink.raw" "$wp_work/sink.stamps" \
    "$wp_work/$label.segments" | sort >"$wp_work/$label.levels"
done

echo "levels: $songs songs of $seconds s (four pieces at 0, -12 and -24 dB), FLAC 44.1 kHz stereo;" \
  "null sink 48 kHz mono on a private PulseAudio server; load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'levels: %-14s %10s %10s %12s\n' song "off LUFS" "on LUFS" "on peak dBFS"
join "$wp_work/off.levels" "$wp_work/on.levels" |
  awk '{ printf "levels: %-14s %10s %10s %12s\n", $1, $2, $4, $5 }'
for label in off on; do
  awk -v l="$label" -v aim="$aim_spread" -v n="$songs" '
    $2 != "nan" { c++; if (c == 1 || $2 < lo) lo = $2; if (c == 1 || $2 > hi) hi = $2
                  if (c == 1 || $3 > peak) peak = $3 }
    END { printf "levels: switch %-3s: %d of %d songs heard, spread %.2f LU (%.2f to %.2f LUFS)%s; loudest true peak %.2f dBFS\n",
                 l, c, n, hi - lo, lo, hi, l == "on" ? sprintf(" (aim <= %s)", aim) : "", peak }' \
    "$wp_work/$label.levels"
done
awk -v aim="$aim_peak" '$3 > aim { n++ } END { printf "levels: songs over %s dBFS true peak with the switch on: %d (aim: none)\n", aim, n }' \
  "$wp_work/on.levels"
read -r off_ms off_s <"$wp_work/off.cpu"
read -r on_ms on_s <"$wp_work/on.cpu"
awk -v a="$off_ms" -v as="$off_s" -v b="$on_ms" -v bs="$on_s" 'BEGIN {
  printf "levels: player CPU while playing: off %.1f ms/s, on %.1f ms/s, on / off = %.2f (aim <= 1)\n",
         a / as, b / bs, (b / bs) / (a / as) }'
