#!/usr/bin/env bash
# CPU of the player while it plays a song, against gst-launch-1.0 playing the same song's address
# to the same sink. The no-sound device of LUMORA_AUDIO_DEVICE=0 is a fakesink with sync on
# behind a volume element in an audio-only playbin (src/playback/AudioPlayer.cpp), so the
# baseline is `playbin flags=audio audio-sink="volume ! fakesink sync=true"`. Both play at once
# and are measured over the same interval, SECONDS from 2 s after the baseline started, as utime +
# stime of the whole process (/proc/PID/stat): what a wake-up costs on a virtual machine drifts
# from minute to minute, and the same streaming threads used from 2.6 to 5 ms/s in intervals
# measured one after the other. Four variants: desktop lyrics hidden, shown (a click on the face's lyrics
# button), shown with the karaoke sweep on, and nothing in sight (lyrics hidden and the face moved
# all but 14 px off the screen's left edge, where edge docking leaves it; aim ≤ 1.15×). The player runs on a private Xvfb display and
# session bus and is told to play by playerctl over its MPRIS service; "next" skips until the
# song has a timed lyric and lasts long enough for the interval. The resident memory of each
# (VmRSS, with its anonymous and file-backed shares) is read at the interval's end. Per-thread
# figures follow, for diagnosis.
#
#   bench/playing_cpu.sh [BUILD_DIR] [SECONDS] [VARIANT...]    (default build/bench, 20, all four)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init playing "$@"
wp_need playerctl gst-launch-1.0 curl xwininfo
seconds="${2:-20}"
settle=2
aim=1.25
clock_ticks="$(getconf CLK_TCK)"
wp_start_xvfb
wp_start_server

meta() { playerctl -p lumora metadata --format "$1" 2>/dev/null || true; }

# Waits until the player plays a song other than $1; sets song_id, song_started, song_us.
wait_for_song() {  # PREVIOUS_ID
  local id
  for _ in $(seq 1 300); do
    if [ "$(playerctl -p lumora status 2>/dev/null)" = Playing ]; then
      id="$(meta '{{xesam:url}}')"
      id="${id##*id=}"
      if [ -n "$id" ] && [ "$id" != "$1" ]; then
        song_started="$EPOCHREALTIME"
        song_id="$id"
        song_us="$(meta '{{mpris:length}}')"
        return 0
      fi
    fi
    sleep 0.05
  done
  echo "playing: no new song playing" >&2
  exit 1
}

has_timed_lyric() { curl -fsS "$wp_address/lyric?id=$1" | grep -q '"lyric":"\[[0-9]'; }

# Plays, then skips until the song suits the interval.
choose_song() {
  playerctl -p lumora play
  wait_for_song ""
  local need_us=$(((settle + seconds + 8) * 1000000))
  for _ in $(seq 1 40); do
    if [ "${song_us:-0}" -ge "$need_us" ] && has_timed_lyric "$song_id"; then return 0; fi
    playerctl -p lumora next
    wait_for_song "$song_id"
  done
  echo "playing: no song of $((need_us / 1000000)) s or more with a timed lyric" >&2
  exit 1
}

lyrics_window_shown() { xwininfo -name DizazLyricsWindow 2>/dev/null | grep -q IsViewable; }

find_face() {  # PID; sets WINDOW, X, Y
  local w
  for w in $(xdotool search --onlyvisible --pid "$1"); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$WIDTH" = 154 ] && [ "$HEIGHT" = 260 ] && break
  done
}

dock_face() {  # PID
  find_face "$1"
  xdotool windowmove "$WINDOW" -140 "$Y"
}

click_lyrics_button() {  # PID
  find_face "$1"
  # The lyrics button covers 53..77 × 232..256 of the face.
  xdotool mousemove "$((X + 65))" "$((Y + 244))" click 1
  xdotool mousemove 900 650
}

sleep_until() {  # EPOCHREALTIME
  local left
  left="$(awk -v t="$1" -v now="$EPOCHREALTIME" 'BEGIN { d = t - now; print (d > 0 ? d : 0) }')"
  sleep "$left"
}

# Measures running processes over the same interval, [START + settle, + seconds]. For each PID
# and DIR it leaves in DIR.cpu the CPU seconds, in DIR.rss the "VmRSS RssAnon RssFile" of the
# interval's end (kB), and in DIR.rates the per-thread rates.
measure() {  # START PID DIR [PID DIR]...
  local start="$1" i
  shift
  local -a pair=("$@")
  sleep_until "$(awk -v t="$start" -v s="$settle" 'BEGIN { printf "%.6f", t + s }')"
  for ((i = 0; i < ${#pair[@]}; i += 2)); do
    wp_cpu_ticks "${pair[i]}" >"${pair[i + 1]}.ticks"
    wp_threads "${pair[i]}" >"${pair[i + 1]}.before"
  done
  sleep "$seconds"
  for ((i = 0; i < ${#pair[@]}; i += 2)); do
    local pid="${pair[i]}" dir="${pair[i + 1]}"
    awk -v a="$(<"$dir.ticks")" -v b="$(wp_cpu_ticks "$pid")" -v hz="$clock_ticks" \
      'BEGIN { print (b - a) / hz }' >"$dir.cpu"
    wp_threads "$pid" >"$dir.after"
    awk '/^(VmRSS|RssAnon|RssFile):/ { printf "%s ", $2 }' "/proc/$pid/status" >"$dir.rss"
    wp_thread_rates "$dir.before" "$dir.after" "$seconds" >"$dir.rates"
  done
}

show_threads() {  # LABEL RATES
  awk -v l="$1" '{ printf "playing:     %-10s %-24s tid %-8s CPU %6s ms/s, %6s wake-ups/s\n", l, $4, $1, $3, $2 }' \
    "$2"
}

run_variant() {  # hidden|shown|swept (shown, with the karaoke sweep switched on)|docked
  local dir="$wp_work/lumora-$1" title url
  if [ "$1" = swept ]; then
    # The switch is one the player remembers: set in its state file before the launch.
    mkdir -p "$dir/home/.local/state/lumora"
    echo "karaoke=true" >"$dir/home/.local/state/lumora/state.ini"
  fi
  wp_launch "$dir" "$wp_lumora"
  local pid="$wp_pid"
  wp_wait_trace "$dir/trace" onFaceShown 60 || { echo "playing: no face" >&2; exit 1; }
  sleep "$settle"
  echo "playing: status before anything was asked: $(playerctl -p lumora status 2>&1)"
  choose_song
  title="$(meta '{{xesam:title}}')"
  case "$1" in
    shown | swept) click_lyrics_button "$pid" ;;
    docked) dock_face "$pid" ;;
  esac
  local aim="$aim"
  [ "$1" = docked ] && aim=1.15
  if [[ "$1" = shown || "$1" = swept ]] && ! lyrics_window_shown; then
    echo "playing: the desktop lyrics did not show" >&2
    exit 1
  fi
  if [[ "$1" = hidden || "$1" = docked ]] && lyrics_window_shown; then
    echo "playing: the desktop lyrics are shown" >&2
    exit 1
  fi
  url="$(curl -fsS "$wp_address/song/url?id=$song_id&br=320000" |
    sed -n 's/.*"url":"\([^"]*\)".*/\1/p')"
  local gdir="$wp_work/gst-$1"
  wp_launch "$gdir" gst-launch-1.0 -q playbin "uri=$url" flags=audio \
    "audio-sink=volume ! fakesink sync=true"
  local gpid="$wp_pid"
  measure "$wp_launched" "$pid" "$dir" "$gpid" "$gdir"
  if [ "$(meta '{{xesam:url}}')" != "$wp_address/#/song?id=$song_id" ] ||
    [ "$(playerctl -p lumora status 2>/dev/null)" != Playing ]; then
    echo "playing: the song did not play through the interval" >&2
    exit 1
  fi
  kill -0 "$gpid" 2>/dev/null || { echo "playing: gst-launch-1.0 ended early" >&2; exit 1; }
  wp_stop "$pid"
  wp_stop "$gpid"
  local player_s player_rss gst_s gst_rss
  player_s="$(<"$dir.cpu")"
  player_rss="$(<"$dir.rss")"
  gst_s="$(<"$gdir.cpu")"
  gst_rss="$(<"$gdir.rss")"

  echo "playing: $([ "$1" = docked ] && echo "face docked away, desktop lyrics hidden" || echo "desktop lyrics $1"): song $song_id \"$title\"" \
    "($(awk -v u="$song_us" 'BEGIN { printf "%.1f", u / 1e6 }') s, timed lyric), $url"
  awk -v p="$player_s" -v g="$gst_s" -v s="$seconds" -v aim="$aim" 'BEGIN {
    printf "playing:   gst-launch-1.0 playbin (baseline) %6.2f s CPU over %d s (%.2f %% of a core)\n", g, s, 100 * g / s
    printf "playing:   lumora                            %6.2f s CPU over %d s (%.2f %% of a core)\n", p, s, 100 * p / s
    if (g > 0) printf "playing:   lumora / gst-launch = %.2f×, difference %+.2f s (aim: <= %.2f×: %s)\n", p / g, p - g, aim, p / g <= aim ? "met" : "NOT met"
    else printf "playing:   difference %+.2f s (the baseline used no measurable CPU)\n", p - g }'
  awk -v p="$player_rss" -v g="$gst_rss" 'BEGIN {
    split(p, pl, " "); split(g, gl, " ")
    printf "playing:   resident memory: gst-launch-1.0 (baseline) %.1f MB (anonymous %.1f, files %.1f)\n", gl[1] / 1024, gl[2] / 1024, gl[3] / 1024
    printf "playing:                    lumora                     %.1f MB (anonymous %.1f, files %.1f)\n", pl[1] / 1024, pl[2] / 1024, pl[3] / 1024
    printf "playing:                    lumora / gst-launch = %.2f×, difference %+.1f MB\n", pl[1] / gl[1], (pl[1] - gl[1]) / 1024 }'
  echo "playing:   per thread (schedstat; for diagnosis):"
  show_threads lumora "$dir.rates"
  show_threads gst-launch "$gdir.rates"
}

echo "playing: display $DISPLAY, server $wp_address, sink \"volume ! fakesink sync=true\"," \
  "both playing at once, measured over ${seconds} s from ${settle} s after the baseline started," \
  "CLK_TCK $clock_ticks"
variants=("${@:3}")
[ "${#variants[@]}" -gt 0 ] || variants=(hidden shown swept docked)
for variant in "${variants[@]}"; do run_variant "$variant"; done
