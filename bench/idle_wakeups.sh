#!/usr/bin/env bash
# Wake-ups of the idle player against a bare Qt window (bench/bare_window.cpp) on a private Xvfb
# display: once "onFaceShown" is traced and a 2 s settle has passed, the context switches
# (voluntary + nonvoluntary) of the GUI thread (the main thread, whose id is the pid) are
# counted over SECONDS and given per second. Nothing plays. The player's other threads are
# listed apart, for diagnosis; they are not part of the aim.
#
#   bench/idle_wakeups.sh [BUILD_DIR] [SECONDS]    (default build/bench, 10)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init idle "$@"
seconds="${2:-10}"
settle=2
aim=5
wp_start_xvfb
wp_start_server

# Launches the program, lets it settle once its face is shown, counts for $seconds and leaves
# the wp_thread_rates lines in $1.rates.
count_idle() {  # NAME PROGRAM
  local dir="$wp_work/$1"
  wp_launch "$dir" "$2"
  wp_wait_trace "$dir/trace" onFaceShown 60 || {
    tail -n 20 "$dir/out.log" >&2
    echo "idle: $1 never traced onFaceShown" >&2
    exit 1
  }
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
count_idle lumora "$wp_lumora"
player_rate="$main_rate"
player_cpu="$main_cpu"
player_pid="$main_pid"

echo "idle: GUI thread wake-ups (voluntary + nonvoluntary context switches) per second:"
printf 'idle:   bare window (baseline) %6.1f /s (on the CPU %.2f ms/s)\n' "$bare_rate" "$bare_cpu"
printf 'idle:   lumora                 %6.1f /s (on the CPU %.2f ms/s)\n' "$player_rate" "$player_cpu"
awk -v p="$player_rate" -v b="$bare_rate" -v aim="$aim" 'BEGIN {
  printf "idle:   lumora - bare window = %+.1f /s", p - b
  if (b >= 0.5) printf ", lumora / bare window = %.1f×", p / b
  printf "\nidle: aim: lumora GUI thread <= %d /s: %s\n", aim, p <= aim ? "met" : "NOT met" }'
echo "idle: lumora's other threads (for diagnosis, not part of the aim), wake-ups per second:"
awk -v p="$player_pid" '$1 != p {
    printf "idle:   %-18s tid %-8s %5s /s (on the CPU %s ms/s)\n", $4, $1, $2, $3; n += $2 }
  END { printf "idle:   all other threads together %.1f /s\n", n }' "$wp_work/lumora.rates"
echo "idle: bare window's other threads together:" \
  "$(awk -v p="$bare_pid" '$1 != p { n += $2 } END { printf "%.1f /s", n }' "$wp_work/bare.rates")"
