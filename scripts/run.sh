#!/usr/bin/env bash
# Builds Lumora and lumora-server (Release), starts the server over its demo catalogue (made
# once, on the first run), runs the player against it and stops the server when the player exits.
# The build shows one progress line, and its whole output only when it fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="$root/build/release"

# On a terminal a progress line rewrites itself; elsewhere only finished steps are printed.
progress() { if [ -t 1 ]; then printf '\r\033[K%s' "$1"; fi; }
say() { if [ -t 1 ]; then printf '\r\033[K%s\n' "$1"; else printf '%s\n' "$1"; fi; }

build_log="$(mktemp -t lumora-build.XXXXXX.log)"
server_log="$(mktemp -t lumora-server.XXXXXX.log)"
server=""
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -f "$build_log" "$server_log"
}
trap cleanup EXIT

# One target at a time, each announced, so that each one's percentage runs up to 100 once.
compile() {
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMORA_TESTS=OFF || return
  for target in lumora-server lumora; do
    echo "run: target $target"
    cmake --build "$build" -j "$(nproc)" --target "$target" || return
  done
}
progress "run: building Lumora in $build"
if ! compile 2>&1 | tee "$build_log" | while IFS= read -r line; do
  if [[ $line == "run: target "* ]]; then
    target="${line#run: target }"
  elif [[ $line =~ ^\[\ *([0-9]+)%\] ]]; then
    progress "run: building ${target:-Lumora}: ${BASH_REMATCH[1]}%"
  fi
done; then
  say "run: the build failed:"
  grep -Ev '^(\[ *[0-9]+%\] (Building|Linking|Built|Automatic)|run: target |-- )' "$build_log" >&2 ||
    true
  exit 1
fi
say "run: Lumora built in $build"

"$build/server/lumora-server" --port 0 "$@" >"$server_log" 2>&1 &
server=$!

# The server prints "making the demo catalogue..." and "N/M songs made" only while it makes
# the catalogue; it gives up after two minutes without a new line.
told=""
tell_once() {
  if [ -n "$1" ] && [[ $told != *"$1"* ]]; then
    say "run: $1"
    told+="$1"$'\n'
  fi
}
address=""
lines=0
quiet=0
while [ -z "$address" ]; do
  if ! kill -0 "$server" 2>/dev/null; then
    say "run: lumora-server did not start:"
    cat "$server_log" >&2
    exit 1
  fi
  count="$(wc -l <"$server_log")"
  if [ "$count" != "$lines" ]; then
    lines="$count"
    quiet=0
    tell_once "$(sed -n 's/^lumora-server: \(making the .*\)$/\1/p' "$server_log" | head -n 1)"
    made="$(sed -n 's/^lumora-server: \([0-9]*\/[0-9]*\) songs made$/\1/p' "$server_log" | tail -n 1)"
    if [ -n "$made" ] && [ "$made" != "${shown_made:-}" ]; then
      progress "run: $made songs made"
      shown_made="$made"
    fi
    tell_once "$(sed -n 's/^lumora-server: \(.* made in .*\)$/\1/p' "$server_log" | head -n 1)"
    address="$(sed -n 's/^lumora-server listening on \(http[^ ]*\).*/\1/p' "$server_log" | head -n 1)"
    continue
  fi
  quiet=$((quiet + 1))
  if [ "$quiet" -gt 1200 ]; then
    say "run: lumora-server said nothing for two minutes:"
    cat "$server_log" >&2
    exit 1
  fi
  sleep 0.1
done
say "run: lumora-server at $address"
# The server ends with this script: a start-at-login entry must not name its port.
LUMORA_API_BASE="$address" LUMORA_API_BASE_TEMPORARY=1 "$build/src/app/lumora"
