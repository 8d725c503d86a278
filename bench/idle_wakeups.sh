#!/usr/bin/env bash
# Wake-ups of the idle player against a bare Qt window (bench/bare_window.cpp) on a private Xvfb
# display: once "onFaceShown" is traced and a 2 s settle has passed, the context switches
# (voluntary + nonvoluntary) of the GUI thread (the main thread, whose id is the pid) are
# counted over SECONDS and given per second, in three variants: the face shown with nothing
# played, the face docked (moved past the top edge with edge auto-hide on, slid out of sight,
# the pointer still and away) and a song paused (played and paused over the player's MPRIS
# service). The player's other threads are listed apart, for diagnosis; they are not part of
# the aim.
#
#   bench/idle_wakeups.sh [BUILD_DIR] [SECONDS]    (default build/bench, 10)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init idle "$@"
seconds="${2:-10}"
settle=2
aim=5
wp_need playerctl
wp_start_xvfb
wp_start_server

face_window() {  # PID
  local w
  for w in $(xdotool search --onlyvisible --pid "$1"); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$WIDTH" = 154 ] && [ "$HEIGHT" = 260 ] && { echo "$w"; return 0; }
  done
  return 1
}

# Waits until CHECK (a command) succeeds, 20 s at most.
wait_until() {  # WHAT CHECK...
  local what="$1" deadline=$((EPOCHSECONDS + 20))
  shift
  until "$@"; do
    [ "$EPOCHSECONDS" -lt "$deadline" ] || { echo "idle: no $what" >&2; exit 1; }
    wp_pause_ms 50
  done
}

face_top_is() {  # WINDOW TOP
  eval "$(xdotool getwindowgeometry --shell "$1")"
  [ "$Y" = "$2" ]
}

status_is() { [ "$(playerctl -p lumora status 2>/dev/null)" = "$1" ]; }

# A stream still buffering is not paused: asked again until it is.
pause_player() {
  playerctl -p lumora pause
  wp_pause_ms 200
  status_is Paused
}

# Brings the launched program ($wp_pid) into the variant's state.
prepare() {  # shown|docked|paused
  case "$1" in
    docked)
      local w
      w="$(face_window "$wp_pid")"
      xdotool windowmove "$w" 200 -5
      wait_until "face docked at the top" face_top_is "$w" $((2 - 260))
      ;;
    paused)
      playerctl -p lumora play
      wait_until "song playing" status_is Playing
      wait_until "song paused" pause_player
      ;;
  esac
}

# Launches the program, lets it settle once its face is shown, counts for $seconds and leaves
# the wp_thread_rates lines in $1.rates.
count_idle() {  # NAME PROGRAM [VARIANT]
  local dir="$wp_work/$1"
  wp_launch "$dir" "$2"
  wp_wait_trace "$dir/trace" onFaceShown 60 || {
    tail -n 20 "$dir/out.log" >&2
    echo "idle: $1 never traced onFaceShown" >&2
    exit 1
  }
  prepare "${3:-shown}"
  sleep "$settle"
  wp_threads "$wp_pid" >"$dir.before"
  sleep "$seconds"
  wp_threads "$wp_pid" >"$dir.after"
  wp_stop "$wp_pid"
  wp_thread_rates "$dir.before" "$dir.after" "$seconds" >"$dir.rates"
  main_rate="$(awk -v p="$wp_pid" '$1 == p { print $2 }' "$dir.rates")"
  main_cpu="$(awk -v p="$wp_pid" '$1 == p { print $3 }' "$dir.rates")"
  main_pid="$wp_pid"
}

echo "idle: display $DISPLAY, server $wp_address, settle ${settle} s, counted over ${seconds} s"
count_idle bare "$wp_bare"
bare_rate="$main_rate"
bare_cpu="$main_cpu"
bare_pid="$main_pid"
echo "idle: GUI thread wake-ups (voluntary + nonvoluntary context switches) per second:"
printf 'idle:   bare window (baseline) %6.1f /s (on the CPU %.2f ms/s)\n' "$bare_rate" "$bare_cpu"
echo "idle: bare window's other threads together:" \
  "$(awk -v p="$bare_pid" '$1 != p { n += $2 } END { printf "%.1f /s", n }' "$wp_work/bare.rates")"

for variant in shown docked paused; do
  count_idle "lumora-$variant" "$wp_lumora" "$variant"
  printf 'idle:   lumora, %-6s         %6.1f /s (on the CPU %.2f ms/s)\n' "$variant" "$main_rate" "$main_cpu"
  awk -v p="$main_rate" -v b="$bare_rate" -v aim="$aim" 'BEGIN {
    printf "idle:     lumora - bare window = %+.1f /s", p - b
    if (b >= 0.5) printf ", lumora / bare window = %.1f×", p / b
    printf "; aim: GUI thread <= %d /s: %s\n", aim, p <= aim ? "met" : "NOT met" }'
  echo "idle:     lumora's other threads (for diagnosis, not part of the aim), wake-ups per second:"
  awk -v p="$main_pid" '$1 != p {
      printf "idle:       %-18s tid %-8s %5s /s (on the CPU %s ms/s)\n", $4, $1, $2, $3; n += $2 }
    END { printf "idle:       all other threads together %.1f /s\n", n }' \
    "$wp_work/lumora-$variant.rates"
done
