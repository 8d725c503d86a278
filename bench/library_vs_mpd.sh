#!/usr/bin/env bash
# lumora-server over a user's library against mpd from Debian, on the same files in the same run.
# Makes a library shaped like a real one (SONGS songs, default 20 000: 60 % MP3, 20 % FLAC, 8 %
# Ogg Vorbis, 6 % M4A, 4 % Opus, 2 % WAV, half-second clips retagged with python3-mutagen;
# albums of 8-14 tracks, album artists, featuring tracks, two-disc compilations, embedded covers
# on a third of the albums, a few broken files), then prints for each server: the first scan, a
# restart with nothing changed, resident memory after the scan, the time until an album copied in
# is seen; and lumora-server's /playlist/detail of its largest playlist and /song/detail of 1 000
# ids (median). Each against the aim, and against the figures of the server before the saved
# index (0.6 ms and 4.1 ms).
#
#   bench/library_vs_mpd.sh [BUILD_DIR] [SONGS]     (default build/bench, 20000)
#
# Needs mpd, mpc and python3-mutagen (apt-get install mpd mpc python3-mutagen); the library is
# kept in BUILD_DIR/bench-library-SONGS and made again only when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build/bench}"
songs="${2:-20000}"
for tool in mpd mpc curl gst-launch-1.0; do
  command -v "$tool" >/dev/null || { echo "library: needs $tool (apt-get install mpd mpc curl)" >&2; exit 2; }
done
/usr/bin/python3 -c 'import mutagen' 2>/dev/null || {
  echo "library: needs python3-mutagen (apt-get install python3-mutagen)" >&2
  exit 2
}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target lumora-server >/dev/null
server="$build/server/lumora-server"
mkdir -p "$build"
lib="$(cd "$build" && pwd)/bench-library-$songs"
work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
rss_mib() { awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] }'; }

# --- the library -------------------------------------------------------------------------------
if [[ ! -f "$lib/.complete" ]]; then
  echo "library: making $songs songs in $lib (once)"
  rm -rf "$lib" && mkdir -p "$lib" "$work/clips"
  clip() {  # NAME ENCODER...
    gst-launch-1.0 -q audiotestsrc num-buffers=11 samplesperbuffer=1024 \
      ! audio/x-raw,rate=22050,channels=1 ! audioconvert ! "$@" \
      ! filesink location="$work/clips/$name"
  }
  name=clip.mp3 clip lamemp3enc bitrate=32
  name=clip.flac clip flacenc
  name=clip.ogg clip vorbisenc ! oggmux
  name=clip.opus clip audioresample ! opusenc ! oggmux
  name=clip.m4a clip avenc_aac ! mp4mux
  name=clip.wav clip wavenc
  gst-launch-1.0 -q videotestsrc num-buffers=1 pattern=smpte ! video/x-raw,width=300,height=300 \
    ! jpegenc ! filesink location="$work/clips/cover.jpg"
  /usr/bin/python3 - "$work/clips" "$lib" "$songs" <<'EOF'
import os, random, shutil, sys
import mutagen
from mutagen.id3 import APIC, ID3, TALB, TCMP, TCON, TIT2, TPE1, TPE2, TPOS, TRCK
from mutagen.flac import FLAC, Picture
from mutagen.mp4 import MP4, MP4Cover

clips, lib, total = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(7)
cover = open(os.path.join(clips, "cover.jpg"), "rb").read()
formats = ["mp3"] * 60 + ["flac"] * 20 + ["ogg"] * 8 + ["m4a"] * 6 + ["opus"] * 4 + ["wav"] * 2
genres = ["华语", "流行", "欧美", "经典", "Rock", "Jazz", ""]

def tag(path, ext, t):
    if ext in ("mp3", "wav"):
        f = mutagen.File(path)
        if f.tags is None:
            f.add_tags()
        id3 = f.tags
        id3.add(TIT2(encoding=3, text=t["title"]))
        id3.add(TPE1(encoding=3, text=t["artist"]))
        id3.add(TALB(encoding=3, text=t["album"]))
        id3.add(TRCK(encoding=3, text=str(t["track"])))
        if t["albumartist"]: id3.add(TPE2(encoding=3, text=t["albumartist"]))
        if t["disc"]: id3.add(TPOS(encoding=3, text=str(t["disc"])))
        if t["compilation"]: id3.add(TCMP(encoding=3, text="1"))
        if t["genre"]: id3.add(TCON(encoding=3, text=t["genre"]))
        if t["cover"]: id3.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="", data=cover))
        f.save()
    elif ext == "m4a":
        f = MP4(path)
        f["\xa9nam"], f["\xa9ART"], f["\xa9alb"] = t["title"], t["artist"], t["album"]
        f["trkn"] = [(t["track"], 0)]
        if t["albumartist"]: f["aART"] = t["albumartist"]
        if t["disc"]: f["disk"] = [(t["disc"], 2)]
        if t["compilation"]: f["cpil"] = True
        if t["genre"]: f["\xa9gen"] = t["genre"]
        if t["cover"]: f["covr"] = [MP4Cover(cover, MP4Cover.FORMAT_JPEG)]
        f.save()
    else:
        f = mutagen.File(path)
        f["title"], f["artist"], f["album"] = t["title"], t["artist"], t["album"]
        f["tracknumber"] = str(t["track"])
        if t["albumartist"]: f["albumartist"] = t["albumartist"]
        if t["disc"]: f["discnumber"] = str(t["disc"])
        if t["compilation"]: f["compilation"] = "1"
        if t["genre"]: f["genre"] = t["genre"]
        if t["cover"]:
            p = Picture(); p.type = 3; p.mime = "image/jpeg"; p.data = cover
            if ext == "flac":
                f.add_picture(p)
            else:
                import base64
                f["metadata_block_picture"] = base64.b64encode(p.write()).decode()
        f.save()

made, album = 0, 0
while made < total:
    album += 1
    artist = "Artist %d" % (album // 3)
    compilation = album % 25 == 0
    discs = 2 if compilation else 1
    count = min(total - made, rng.randint(8, 14))
    ext = rng.choice(formats)
    folder = os.path.join(lib, "Compilations" if compilation else artist, "Album %d" % album)
    os.makedirs(folder, exist_ok=True)
    with_cover = album % 3 == 0
    genre = rng.choice(genres)
    for i in range(count):
        disc = (i * discs) // count + 1 if discs > 1 else 0
        performer = "Singer %d" % rng.randint(1, 5000) if compilation else artist
        if not compilation and i % 7 == 3: performer = artist + " feat. Guest %d" % i
        title = "Song %d of album %d" % (i + 1, album)
        path = os.path.join(folder, "%02d %s.%s" % (i + 1, title, ext))
        shutil.copyfile(os.path.join(clips, "clip." + ext), path)
        tag(path, ext, dict(title=title, artist=performer, album="Album %d" % album,
                            albumartist="Various Artists" if compilation else (artist if i % 7 == 3 else ""),
                            track=i + 1, disc=disc, compilation=compilation, genre=genre,
                            cover=with_cover))
        made += 1
broken = os.path.join(lib, "Broken")
os.makedirs(broken, exist_ok=True)
open(os.path.join(broken, "empty.mp3"), "wb").close()
open(os.path.join(broken, "page.mp3"), "w").write("<html>not audio</html>")
open(os.path.join(broken, "._resource.mp3"), "wb").write(b"\0" * 4096)
EOF
  touch "$lib/.complete"
fi
files="$(find "$lib" -type f ! -name .complete | wc -l)"
echo "library: $files files in $lib ($(du -sh "$lib" | cut -f1))"
rm -rf "$lib/New Album"

# --- lumora-server -----------------------------------------------------------------------------
lumora_port=$((20000 + RANDOM % 20000))
lumora_start() {
  : >"$work/lumora.out"
  local t0
  t0="$(now)"
  "$server" --port "$lumora_port" --data "$work/lumora-data" --library "$lib" \
    >"$work/lumora.out" 2>"$work/lumora.err" &
  lumora_pid=$!
  pids+=("$lumora_pid")
  # It listens before its first scan ends; the scan ends at its line on stderr.
  until grep -q "listening on" "$work/lumora.out" && grep -q "library scanned" "$work/lumora.err"; do
    kill -0 "$lumora_pid" || { cat "$work/lumora.err" >&2; exit 1; }
    sleep 0.02
  done
  lumora_secs="$(since "$t0")"
}
lumora_stop() { kill "$lumora_pid"; wait "$lumora_pid" || true; }
api() { curl -sf "http://127.0.0.1:$lumora_port$1"; }

lumora_start
lumora_first="$lumora_secs"
lumora_rss="$(rss_mib "$lumora_pid")"
grep "library scanned" "$work/lumora.err" | tail -1
lumora_stop
lumora_start
lumora_restart="$lumora_secs"
grep "library scanned" "$work/lumora.err" | tail -1

# The largest playlist, and 1 000 ids from the largest ones.
top="$(api '/top/playlist?limit=300&offset=0&order=hot')"
largest="$(grep -o '"id":[0-9]*' <<<"$top" | awk -F: 'NR == 1 { print $2 }')"
ids=""
for p in $(grep -o '"id":[0-9]*' <<<"$top" | cut -d: -f2); do
  ids+="$(api "/playlist/detail?id=$p" | grep -o '"trackIds":.*' | grep -o '[0-9]\{6,\}' | paste -sd,),"
  (($(tr -cd , <<<"$ids" | wc -c) >= 1000)) && break
done
ids="$(tr , '\n' <<<"$ids" | awk 'NF && n++ < 1000' | paste -sd,)"
timed() {  # TARGET RUNS -> median ms
  local t=()
  for _ in $(seq 1 "$2"); do
    t+=("$(curl -s -o /dev/null -w '%{time_total}' "http://127.0.0.1:$lumora_port$1" | awk '{ print $1 * 1000 }')")
  done
  median "${t[@]}"
}
playlist_ms="$(timed "/playlist/detail?id=$largest" 200)"
details_ms="$(timed "/song/detail?ids=$ids" 50)"

# --- mpd ---------------------------------------------------------------------------------------
mpd_port=$((40000 + RANDOM % 20000))
mkdir -p "$work/mpd"
cat >"$work/mpd/mpd.conf" <<EOF
music_directory "$lib"
db_file "$work/mpd/database"
log_file "$work/mpd/log"
pid_file "$work/mpd/pid"
bind_to_address "127.0.0.1"
port "$mpd_port"
auto_update "yes"
audio_output {
  type "null"
  name "none"
}
EOF
mpc_() { mpc -q -h 127.0.0.1 -p "$mpd_port" "$@"; }
mpd_songs() { mpc -h 127.0.0.1 -p "$mpd_port" stats 2>/dev/null | awk '/^Songs:/ { print $2 }'; }
mpd_updating() { mpc -h 127.0.0.1 -p "$mpd_port" status 2>/dev/null | grep -q '^Updating'; }
mpd_start() {  # FIRST: waits until mpd answers, and for a first start until its scan has ended
  local t0
  t0="$(now)"
  mpd --no-daemon "$work/mpd/mpd.conf" >/dev/null 2>&1 &
  mpd_pid=$!
  pids+=("$mpd_pid")
  until mpc_ stats >/dev/null 2>&1; do
    kill -0 "$mpd_pid" || { tail "$work/mpd/log" >&2; exit 1; }
    sleep 0.02
  done
  if [[ "$1" == first ]]; then
    mpd_updating || [[ "$(mpd_songs)" -gt 0 ]] || mpc_ update
    while mpd_updating; do sleep 0.05; done
  fi
  mpd_secs="$(since "$t0")"
}
mpd_stop() { kill "$mpd_pid"; wait "$mpd_pid" || true; }
mpd_start first
mpd_first="$mpd_secs"
mpd_rss="$(rss_mib "$mpd_pid")"
echo "mpd: $(mpd_songs) songs"
mpd_stop
mpd_start again
mpd_restart="$mpd_secs"

# --- a change: an album copied in, seen by both at once ----------------------------------------
mkdir -p "$work/new"
for i in 1 2 3 4 5 6 7 8; do
  src="$(find "$lib/Artist 1" -name '*.mp3' | sort | awk 'NR == 1')"
  cp "$src" "$work/new/$i.mp3"
  /usr/bin/python3 -c "from mutagen.id3 import ID3, TIT2; t = ID3('$work/new/$i.mp3'); t.add(TIT2(encoding=3, text='Brandnew $i')); t.save()"
done
t0="$(now)"
cp -r "$work/new" "$lib/New Album"
lumora_seen="" mpd_seen=""
while [[ -z "$lumora_seen" || -z "$mpd_seen" ]]; do
  if [[ -z "$lumora_seen" ]] && api '/search?keywords=Brandnew&type=1&limit=10' | grep -q '"songCount":8'; then
    lumora_seen="$(since "$t0")"
  fi
  if [[ -z "$mpd_seen" ]] && [[ "$(mpc -h 127.0.0.1 -p "$mpd_port" search title Brandnew | wc -l)" -eq 8 ]]; then
    mpd_seen="$(since "$t0")"
  fi
  (($(awk -v t="$(since "$t0")" 'BEGIN { print (t > 60) }'))) && { lumora_seen="${lumora_seen:-never}"; mpd_seen="${mpd_seen:-never}"; }
  sleep 0.05
done
rm -rf "$lib/New Album"
lumora_stop
mpd_stop

# --- the figures -------------------------------------------------------------------------------
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f×", a / b; else print "-" }'; }
echo
printf '%-34s %12s %12s %8s  %s\n' "$songs songs" "lumora" "mpd" "ratio" "aim"
printf '%-34s %11ss %11ss %8s  %s\n' "first scan" "$lumora_first" "$mpd_first" "$(ratio "$lumora_first" "$mpd_first")" "≤ mpd"
printf '%-34s %11ss %11ss %8s  %s\n' "restart, nothing changed" "$lumora_restart" "$mpd_restart" "$(ratio "$lumora_restart" "$mpd_restart")" "≤ 1 s"
printf '%-34s %8s MiB %8s MiB %8s  %s\n' "resident after the scan" "$lumora_rss" "$mpd_rss" "$(ratio "$lumora_rss" "$mpd_rss")" "≤ 40 MiB and ≤ mpd"
printf '%-34s %11ss %11ss %8s  %s\n' "an album copied in, seen after" "$lumora_seen" "$mpd_seen" "$(ratio "$lumora_seen" "$mpd_seen")" "≤ 2 s"
printf '%-34s %9s ms %9s ms %8s  %s\n' "/playlist/detail, largest, median" "$playlist_ms" "0.6" "$(ratio "$playlist_ms" 0.6)" "≤ 0.6 ms (before the index)"
printf '%-34s %9s ms %9s ms %8s  %s\n' "/song/detail of 1 000 ids, median" "$details_ms" "4.1" "$(ratio "$details_ms" 4.1)" "≤ 4.1 ms (before the index)"
