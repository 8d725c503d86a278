# shellcheck shell=bash disable=SC2034  # the wp_ variables are read by the sourcing scripts
# Shared by the benchmarks that run the whole program (startup_vs_bare_window.sh,
# idle_wakeups.sh, playing_cpu.sh, waiting_gaps.sh); sourced, not run. Each of them gets a private X display, a
# private session bus, a lumora-server over the demo catalogue and fresh folders per launch, and
# everything it started is stopped, by its own pid, when it exits.
#
#   wp_init NAME [BUILD_DIR] ARGS...   BUILD_DIR defaults to build/bench; re-runs the calling
#                                      script inside its own session bus
#   wp_need TOOL...                    fails with a clear message when one is missing
#   wp_start_xvfb                      exports DISPLAY; the pointer parked away from the face
#   wp_start_server [ARGS...]          sets wp_address; ARGS go to lumora-server
#   wp_launch DIR PROGRAM [ARGS...]    fresh XDG folders and trace file in DIR (HOME and the media
#                                      plugin registry are kept for the whole run); sets wp_pid,
#                                      wp_launched (EPOCHREALTIME just before the launch)
#   wp_wait_trace FILE LINE SECONDS    waits for LINE in FILE; sets wp_seen (EPOCHREALTIME)
#   wp_stop PID                        SIGTERM, then SIGKILL after 5 s; waits for it
#   wp_pause_ms MS                     sleeps MS (< 1000) milliseconds without a process
#   wp_switches TASK_DIR               voluntary + nonvoluntary context switches of one task
#   wp_threads PID                     per thread: switches, CPU time, name
#   wp_thread_rates BEFORE AFTER SECONDS   the per-second rates between two wp_threads lists
#   wp_cpu_ticks PID                   utime + stime of the whole process, in clock ticks
#   wp_median NUMBERS...               the median
#   wp_start_pulse SINK...             a private PulseAudio server with a null sink (48 kHz mono) of
#                                      each name; exports PULSE_SERVER
#   wp_each_build FUNCTION [BASE_DIR]  FUNCTION before BASE_DIR (when given), then FUNCTION after
#                                      BUILD_DIR: each called as FUNCTION LABEL DIR; sets wp_labels
#   wp_rounds LABEL FILE AIM_MS WHAT   one line: median and worst of the numbers in FILE, the aim
#                                      on the worst, then every number

wp_init() {
  wp_name="$1"
  shift
  wp_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  local dir="${1:-$wp_root/build/bench}"
  [ -d "$dir" ] || { echo "$wp_name: no build folder $dir" >&2; exit 2; }
  wp_build="$(cd "$dir" && pwd)"
  wp_lumora="$wp_build/src/app/lumora"
  wp_bare="$wp_build/bench/bare_window"
  wp_server_bin="$wp_build/server/lumora-server"
  for f in "$wp_lumora" "$wp_bare" "$wp_server_bin"; do
    [ -x "$f" ] || {
      echo "$wp_name: missing $f (build with -DCMAKE_BUILD_TYPE=Release -DLUMORA_BENCH=ON)" >&2
      exit 2
    }
  done
  wp_need dbus-run-session Xvfb xdotool
  # One private session bus for the whole run, as a desktop session has one.
  if [ -z "${LUMORA_BENCH_BUS:-}" ]; then
    LUMORA_BENCH_BUS=1 exec dbus-run-session -- "$0" "$@"
  fi
  wp_work="$(mktemp -d -t "lumora-$wp_name.XXXXXX")"
  wp_pids=()
  trap wp_cleanup EXIT
  trap 'exit 130' INT TERM
  # A 1 ms pause without starting a process: a read that times out on a FIFO nobody writes.
  mkfifo "$wp_work/tick"
  exec {wp_tick_fd}<>"$wp_work/tick"
}

wp_cleanup() {
  local pid
  for pid in "${wp_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${wp_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -n "${wp_work:-}" ] && rm -rf "$wp_work"
}

wp_need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || {
      echo "$wp_name: missing $tool (scripts/setup.sh installs it)" >&2
      exit 2
    }
  done
}

# Below a second.
wp_pause_ms() {
  local t
  printf -v t '0.%03d' "$1"
  read -r -t "$t" -u "$wp_tick_fd" _ || true
}

wp_start_xvfb() {
  # Xvfb picks a free display itself and writes its number to the descriptor given.
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset 9>"$wp_work/display" \
    >"$wp_work/xvfb.log" 2>&1 &
  wp_pids+=($!)
  local n=""
  for _ in $(seq 1 100); do
    n="$(cat "$wp_work/display")"
    [ -n "$n" ] && break
    sleep 0.05
  done
  [ -n "$n" ] || { cat "$wp_work/xvfb.log" >&2; echo "$wp_name: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$n" QT_QPA_PLATFORM=xcb
  # The pointer starts in the middle of the screen, where the face opens: park it well away
  # from the face and the screen's edges, so nothing is hovered.
  xdotool mousemove 900 650
}

# The demo catalogue is kept beside the build, so only the first run makes it (about 12 s).
wp_start_server() {
  "$wp_server_bin" --port 0 --demo --demo-dir "$wp_build/bench-data/demo" \
    --data "$wp_work/server" "$@" >"$wp_work/server.log" 2>"$wp_work/server.err" &
  wp_pids+=($!)
  wp_address=""
  for _ in $(seq 1 1200); do
    wp_address="$(sed -n 's/^lumora-server listening on \(http[^ ]*\).*/\1/p' \
      "$wp_work/server.log" | head -n 1)"
    # A library is served once its first scan ends (the server listens before).
    [ -n "$wp_address" ] && { [[ " $* " != *" --library "* ]] ||
      grep -q "library scanned in" "$wp_work/server.err"; } && return 0
    kill -0 "${wp_pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  cat "$wp_work/server.err" >&2
  echo "$wp_name: lumora-server did not start" >&2
  exit 1
}

wp_launch() {
  local dir="$1"
  shift
  mkdir -p "$dir/home/.config" "$dir/home/.cache" "$dir/home/.local/share" "$dir/run"
  mkdir -p "$wp_work/desktop-home"
  chmod 700 "$dir/run"
  : >"$dir/trace"
  wp_launched="$EPOCHREALTIME"
  (
    # Every folder the player keeps anything in is new for each launch, but HOME itself stays
    # put for the whole run, as it does on a desktop: a media plugin names folders under HOME
    # among what its registry entry depends on, and a new HOME at every launch would have the
    # framework scan that plugin again, in a process of its own, at every start.
    export HOME="$wp_work/desktop-home" XDG_CONFIG_HOME="$dir/home/.config"
    export XDG_CACHE_HOME="$dir/home/.cache" XDG_DATA_HOME="$dir/home/.local/share"
    export XDG_STATE_HOME="$dir/home/.local/state" XDG_RUNTIME_DIR="$dir/run"
    export XDG_MUSIC_DIR="$dir/home/Music" LUMORA_TRACE_FILE="$dir/trace"
    export LUMORA_API_BASE="$wp_address" LUMORA_AUDIO_DEVICE="${LUMORA_AUDIO_DEVICE:-0}"
    # GStreamer's plugin registry lives in the cache folder and outlasts a start on a desktop;
    # rebuilt at every launch it would cost each one a full plugin scan.
    export GST_REGISTRY="$wp_work/gst-registry.bin"
    exec {wp_tick_fd}>&-
    exec "$@" >"$dir/out.log" 2>&1
  ) &
  wp_pid=$!
  wp_pids+=("$wp_pid")
}

# Polls every millisecond with shell built-ins only, so the waiting starts no processes.
wp_wait_trace() {
  local file="$1" line="$2" deadline=$((EPOCHSECONDS + $3)) lines l
  while :; do
    if [ -s "$file" ]; then
      mapfile -t lines <"$file"
      for l in "${lines[@]}"; do
        [ "$l" = "$line" ] && { wp_seen="$EPOCHREALTIME"; return 0; }
      done
    fi
    [ "$EPOCHSECONDS" -lt "$deadline" ] || return 1
    wp_pause_ms 1
  done
}

# Once waited for, the pid is dropped from the list the clean-up kills: it may be reused.
wp_stop() {
  local pid="$1" i
  if kill "$pid" 2>/dev/null; then
    for i in $(seq 1 500); do
      kill -0 "$pid" 2>/dev/null || break
      wp_pause_ms 10
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
  for i in "${!wp_pids[@]}"; do
    if [ "${wp_pids[$i]}" = "$pid" ]; then unset 'wp_pids[i]'; fi
  done
}

wp_switches() {
  awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { n += $2 } END { print n + 0 }' "$1/status"
}

# One "TID SWITCHES RUN_NS NAME" line per thread of a process: context switches (voluntary +
# nonvoluntary) and time on the CPU in nanoseconds (schedstat), the name without spaces.
wp_threads() {
  local task run name
  for task in /proc/"$1"/task/*; do
    [ -r "$task/schedstat" ] || continue
    read -r run _ <"$task/schedstat"
    name="$(<"$task/comm")"
    echo "${task##*/} $(wp_switches "$task") $run ${name// /_}"
  done
}

# From two wp_threads listings SECONDS apart: "TID SWITCHES_PER_S CPU_MS_PER_S NAME" per
# thread; threads that started or ended in between are marked in the name.
wp_thread_rates() {
  awk -v s="$3" 'NR == FNR { sw[$1] = $2; ns[$1] = $3; name[$1] = $4; next }
    $1 in sw { printf "%s %.1f %.2f %s\n", $1, ($2 - sw[$1]) / s, ($3 - ns[$1]) / s / 1e6, $4
               seen[$1] = 1; next }
    { printf "%s %.1f %.2f %s(started_meanwhile)\n", $1, $2 / s, $3 / s / 1e6, $4 }
    END { for (t in sw) if (!(t in seen)) printf "%s ? ? %s(ended_meanwhile)\n", t, name[t] }' \
    "$1" "$2"
}

# Fields 14 and 15 of /proc/PID/stat; the name in field 2 may hold spaces, so count after ")".
wp_cpu_ticks() {
  local stat
  stat="$(<"/proc/$1/stat")"
  stat="${stat##*) }"
  awk '{ print $12 + $13 }' <<<"$stat"
}

wp_median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# A sine tone of HZ Hz lasting TENTHS tenths of a second, tagged TITLE by Bench on ALBUM, written
# to FILE: FLAC at 48 kHz mono, or Ogg Vorbis at 44.1 kHz stereo for a name ending in .ogg.
wp_make_tone() {
  local file="$1" hz="$2" tenths="$3" title="$4" album="$5"
  local rate=48000 channels=1 encode=(flacenc)
  if [[ $file == *.ogg ]]; then rate=44100 channels=2 encode=(vorbisenc ! oggmux); fi
  gst-launch-1.0 -q audiotestsrc wave=sine "freq=$hz" volume=0.5 "num-buffers=$tenths" \
    "samplesperbuffer=$((rate / 10))" ! "audio/x-raw,rate=$rate,channels=$channels" ! \
    taginject "tags=title=$title,artist=Bench,album=$album" ! "${encode[@]}" ! \
    filesink "location=$file"
}

wp_start_pulse() {
  export PULSE_RUNTIME_PATH="$wp_work/pulse"
  mkdir -p "$PULSE_RUNTIME_PATH"
  chmod 700 "$PULSE_RUNTIME_PATH"
  local modules=() sink
  for sink in "$@"; do modules+=(-L "module-null-sink sink_name=$sink rate=48000 channels=1"); done
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    "${modules[@]}" \
    -L "module-native-protocol-unix socket=$PULSE_RUNTIME_PATH/native auth-anonymous=1" \
    >"$wp_work/pulse.log" 2>&1 &
  wp_pids+=($!)
  export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
  for _ in $(seq 1 100); do
    [ -S "$PULSE_RUNTIME_PATH/native" ] && return 0
    sleep 0.05
  done
  echo "$wp_name: no sound server" >&2
  exit 1
}

wp_each_build() {
  wp_labels=()
  if [ -n "${2:-}" ]; then
    wp_labels+=(before)
    "$1" before "$(cd "$2" && pwd)"
  fi
  wp_labels+=(after)
  "$1" after "$wp_build"
}

wp_rounds() {
  sort -g "$2" | awk -v n="$wp_name" -v l="$1" -v aim="$3" -v what="$4" '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%s: lumora %-6s %s: median %5d ms, worst %5d ms (%d rounds; aim: <= %d ms: %s)\n",
      n, l, what, m, v[NR], NR, aim, v[NR] <= aim ? "met" : "NOT met" }'
  echo "$wp_name:   each round (ms): $(tr '\n' ' ' <"$2")"
}
