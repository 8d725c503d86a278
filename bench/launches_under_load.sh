#!/usr/bin/env bash
# Launches the player RUNS times, one after another, while BUSY busy loops keep the machine's
# cores loaded, and prints each launch's time to the trace's "onMainWindowCreated" and
# "onFaceShown" with the load average; the slowest launch's trace and output are kept in
# WORK/slowest. Each launch has a fresh config folder, a private X display and the same
# lumora-server over the test catalogue, as the end-to-end tests have.
#
#   bench/launches_under_load.sh [BUILD_DIR] [RUNS] [BUSY]   (default build/asan, 20, 8)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/asan}" && pwd)"
runs="${2:-20}"
busy="${3:-8}"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "launches: missing $tool" >&2; exit 2; }
done
work="$(mktemp -d -t lumora-launches.XXXXXX)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

Xvfb -displayfd 9 -screen 0 800x600x24 -nolisten tcp -noreset 9>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
"$build/server/lumora-server" --port 0 --test-catalogue --demo-dir "$build/test-data/demo" \
  --data "$work/server" >"$work/server.log" 2>&1 &
pids+=($!)
address=""
for _ in $(seq 1200); do
  address="$(sed -n 's/^lumora-server listening on \(http[^ ]*\).*/\1/p' "$work/server.log")"
  [ -n "$address" ] && break
  sleep 0.1
done
[ -n "$address" ] || { cat "$work/server.log" >&2; exit 1; }
for _ in $(seq "$busy"); do
  (while :; do :; done) &
  pids+=($!)
done
sleep 5  # let the load average climb before the first launch

# The sanitizers' settings of the tests (leaks are not this script's business).
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" ASAN_OPTIONS=detect_leaks=0
export LUMORA_API_BASE="$address" LUMORA_AUDIO_DEVICE=0
faces=()
slowest=0
for i in $(seq "$runs"); do
  dir="$work/$i"
  mkdir -p "$dir"
  start="$EPOCHREALTIME"
  XDG_CONFIG_HOME="$dir/config" LUMORA_TRACE_FILE="$dir/trace" \
    "$build/src/app/lumora" >"$dir/out.log" 2>&1 &
  app=$!
  created="" face=""
  while kill -0 "$app" 2>/dev/null && [ -z "$face" ]; do
    [ -z "$created" ] && grep -qx onMainWindowCreated "$dir/trace" 2>/dev/null && created="$EPOCHREALTIME"
    grep -qx onFaceShown "$dir/trace" 2>/dev/null && face="$EPOCHREALTIME"
    [ "$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { print (b - a > 60) }')" = 1 ] && break
    sleep 0.02
  done
  # A launch that never showed its face: where each of its threads is.
  [ -z "$face" ] && command -v gdb >/dev/null &&
    gdb -p "$app" -batch -ex "thread apply all bt 30" >"$dir/stacks.txt" 2>&1
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  load="$(cut -d' ' -f1 /proc/loadavg)"
  if [ -z "$face" ]; then
    echo "launch $i: no face within 60 s (load $load); trace: $(tr '\n' ' ' <"$dir/trace" 2>/dev/null)"
    rm -rf "$work/slowest"
    mv "$dir" "$work/slowest"
    echo "launches: its trace, output and threads' stacks are in $work/slowest"
    exit 1
  fi
  ms="$(awk -v a="$start" -v b="$face" 'BEGIN { printf "%.0f", (b - a) * 1000 }')"
  printf 'launch %2d: created %6.0f ms, face %6.0f ms, load %s\n' "$i" \
    "$(awk -v a="$start" -v b="$created" 'BEGIN { print (b - a) * 1000 }')" "$ms" "$load"
  faces+=("$ms")
  if [ "$ms" -gt "$slowest" ]; then
    slowest="$ms"
    rm -rf "$work/slowest"
    cp -r "$dir" "$work/slowest"
  fi
  rm -rf "$dir"
done
printf '%s\n' "${faces[@]}" | sort -n | awk '{ v[NR] = $1 } END {
  printf "launches: %d faces, min %d ms, median %d ms, max %d ms\n", NR, v[1], v[int((NR + 1) / 2)], v[NR] }'
echo "launches: the slowest launch's trace and output are in $work/slowest"
trap - EXIT
cleanup
