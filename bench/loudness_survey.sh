#!/usr/bin/env bash
# How long lumora-server takes to measure the loudness of a generated library of SONGS songs
# (default 20 000; links to one 2-second MP3 of made music, a hundred to a folder), and whether
# its answers are slower while it measures: /song/url, /search and /playlist/detail, 40 times
# each, timed by curl, in rounds while the measurement runs and again once it is done, in the same
# run (aim: the medians while it runs within 1.2× of those after).
#
#   bench/loudness_survey.sh [BUILD_DIR] [SONGS]    (default build/bench, 20000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/bench}" && pwd)"
songs="${2:-20000}"
server="$build/server/lumora-server"
[ -x "$server" ] || { echo "survey: missing $server (build with -DCMAKE_BUILD_TYPE=Release)" >&2; exit 2; }
for tool in gst-launch-1.0 curl; do
  command -v "$tool" >/dev/null || { echo "survey: needs $tool (scripts/setup.sh)" >&2; exit 2; }
done
work="$(mktemp -d -t lumora-survey.XXXXXX)"
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
aim=1.2
rounds=40

gst-launch-1.0 -q audiomixer name=m ! audio/x-raw,rate=44100,channels=2 ! \
  lamemp3enc target=bitrate bitrate=128 ! filesink "location=$work/song.mp3" \
  audiotestsrc wave=sine freq=220 volume=0.3 num-buffers=20 samplesperbuffer=4410 ! m. \
  audiotestsrc wave=pink-noise volume=0.1 num-buffers=20 samplesperbuffer=4410 ! m.
for ((i = 0; i < songs; i++)); do
  folder="$work/library/$((i / 100))"
  [ $((i % 100)) = 0 ] && mkdir -p "$folder"
  ln "$work/song.mp3" "$folder/$i.mp3"
done

"$server" --port 0 --library "$work/library" --data "$work/data" --check-every 0 \
  >"$work/server.log" 2>"$work/server.err" &
pid=$!
address=""
for _ in $(seq 1 6000); do
  address="$(sed -n 's/^lumora-server listening on \(http[^ ]*\).*/\1/p' "$work/server.log")"
  [ -n "$address" ] && grep -q "library scanned in" "$work/server.err" && break
  sleep 0.1
done
scanned="$EPOCHREALTIME"
grep "library scanned in" "$work/server.err" | sed 's/^lumora-server/survey: server/'
song="$(curl -fsS "$address/search?keywords=1&type=1&limit=1" | sed -n 's/.*"songs":\[{"id":\([0-9]*\).*/\1/p')"
playlist="$(curl -fsS "$address/top/playlist?limit=1" | sed -n 's/.*"playlists":\[{"id":\([0-9]*\).*/\1/p')"
[ -n "$song" ] && [ -n "$playlist" ] || { echo "survey: the server lists no songs" >&2; exit 1; }
targets=("/song/url?id=$song" "/search?keywords=12&type=1&limit=30" "/playlist/detail?id=$playlist")

measured() { grep -q "measured the loudness" "$work/server.err"; }
# One round: each target once, its time in ms appended to its file.
round() {  # LABEL
  local i
  for i in "${!targets[@]}"; do
    curl -fsS -o /dev/null -w '%{time_total}\n' "$address${targets[$i]}" |
      awk '{ printf "%.3f\n", $1 * 1000 }' >>"$work/$1.$i"
  done
}
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

during=0
while ! measured; do
  if [ "$during" -lt "$rounds" ]; then
    round during
    during=$((during + 1))
  fi
  sleep 1
done
done_at="$EPOCHREALTIME"
for _ in $(seq 1 "$rounds"); do round after; sleep 0.2; done

echo "survey: $songs songs of 2 s (MP3, 128 kbit/s); load average $(cut -d' ' -f1-3 /proc/loadavg)"
grep "measured the loudness" "$work/server.err" | sed 's/^lumora-server/survey: server/'
awk -v a="$scanned" -v b="$done_at" -v n="$songs" 'BEGIN {
  printf "survey: measured %d songs (%d s of audio) in %.0f s after the scan: %.0f songs/s, %.0fx real time\n",
         n, n * 2, b - a, n / (b - a), n * 2 / (b - a) }'
[ "$during" -gt 0 ] || { echo "survey: no round while it measured" >&2; exit 0; }
for i in "${!targets[@]}"; do
  awk -v t="${targets[$i]}" -v d="$(median "$work/during.$i")" -v a="$(median "$work/after.$i")" \
    -v n="$during" -v aim="$aim" 'BEGIN {
    printf "survey: %-40s median while measuring %.2f ms (%d), after %.2f ms: %.2fx (aim <= %s)\n",
           t, d, n, a, (a > 0 ? d / a : 0), aim }'
done
