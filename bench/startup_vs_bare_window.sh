#!/usr/bin/env bash
# Start-up of the whole player against a bare Qt window (bench/bare_window.cpp): the time from
# the launch to the trace line "onFaceShown", written once the window's first paint has been
# flushed. RUNS launches of each, taken in turn (ABBA order) on one private Xvfb display, each
# with fresh folders, after one untimed launch of each; prints the medians and their ratio.
# The player loads the playlist square's first page from a lumora-server over the demo
# catalogue on a free port and plays to the no-sound device. Apart, the dynamic loader's own
# share before main (LD_DEBUG=statistics, each program started without a display, so it ends
# at once) and the number of libraries each loads before main.
#
#   bench/startup_vs_bare_window.sh [BUILD_DIR] [RUNS] [xcb|offscreen]
#                                   (default build/bench, 15, xcb)
set -euo pipefail
# shellcheck source=bench/whole_program.sh
source "$(dirname "$0")/whole_program.sh"
wp_init startup "$@"
runs="${2:-15}"
platform="${3:-xcb}"
case "$platform" in xcb | offscreen) ;; *) echo "startup: platform xcb or offscreen" >&2; exit 2 ;; esac
wp_start_xvfb
export QT_QPA_PLATFORM="$platform"
wp_start_server

# Sets ms: milliseconds from the launch to the face shown; the process is stopped once it is
# seen.
startup_ms() {  # NAME PROGRAM
  local dir="$wp_work/$1.$((++launches))"
  wp_launch "$dir" "$2"
  if ! wp_wait_trace "$dir/trace" onFaceShown 60; then
    tail -n 20 "$dir/out.log" >&2
    echo "startup: $1 never traced onFaceShown" >&2
    exit 1
  fi
  wp_stop "$wp_pid"
  rm -rf "$dir"
  ms="$(awk -v a="$wp_launched" -v b="$wp_seen" 'BEGIN { printf "%.1f", (b - a) * 1000 }')"
}

launches=0
echo "startup: display $DISPLAY, QT_QPA_PLATFORM=$platform, server $wp_address," \
  "$runs runs each after one untimed launch"
startup_ms bare "$wp_bare"
startup_ms lumora "$wp_lumora"
bare=()
player=()
for i in $(seq 1 "$runs"); do
  if ((i % 2)); then
    startup_ms bare "$wp_bare" && b="$ms"
    startup_ms lumora "$wp_lumora" && p="$ms"
  else
    startup_ms lumora "$wp_lumora" && p="$ms"
    startup_ms bare "$wp_bare" && b="$ms"
  fi
  bare+=("$b")
  player+=("$p")
  printf 'startup: run %2d: bare window %7.1f ms, lumora %7.1f ms\n' "$i" "$b" "$p"
done
bm="$(wp_median "${bare[@]}")"
pm="$(wp_median "${player[@]}")"
range() { printf '%s\n' "$@" | sort -g | sed -n '1p;$p' | paste -sd' ' | awk '{ printf "min %.1f, max %.1f", $1, $2 }'; }
printf 'startup: bare window (baseline) median %.1f ms (%s)\n' "$bm" "$(range "${bare[@]}")"
printf 'startup: lumora                 median %.1f ms (%s)\n' "$pm" "$(range "${player[@]}")"
awk -v p="$pm" -v b="$bm" 'BEGIN {
  printf "startup: lumora / bare window = %.2f×, difference %.1f ms (aim: ≤ 2×)\n", p / b, p - b }'

# The loader's "total startup time" in TSC cycles, median of $runs starts.
loader_cycles() {  # PROGRAM
  local c=()
  for _ in $(seq 1 "$runs"); do
    c+=("$(env -u DISPLAY QT_QPA_PLATFORM=xcb LD_DEBUG=statistics "$1" 2>&1 |
      sed -n 's/.*total startup time in dynamic loader: \([0-9]*\) cycles.*/\1/p')")
  done
  wp_median "${c[@]}"
}
bl="$(loader_cycles "$wp_bare")"
pl="$(loader_cycles "$wp_lumora")"
awk -v p="$pl" -v b="$bl" -v pn="$(ldd "$wp_lumora" | wc -l)" -v bn="$(ldd "$wp_bare" | wc -l)" 'BEGIN {
  printf "startup: before main, the dynamic loader: bare window %.1f M cycles (%d libraries), lumora %.1f M cycles (%d libraries), %.2f×\n", b / 1e6, bn, p / 1e6, pn, p / b }'
