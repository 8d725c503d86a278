#!/usr/bin/env bash
# Builds Lumora and lumora-server (Release), starts the server over its demo catalogue (made
# once, on the first run), runs the player against it and stops the server when the player exits.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMORA_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target lumora lumora-server

log="$(mktemp -t lumora-server.XXXXXX.log)"
"$build/server/lumora-server" --port 0 "$@" >"$log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -f "$log"' EXIT

echo "run: starting lumora-server (the first start makes the demo catalogue, about half a minute)"
address=""
for _ in $(seq 1 1200); do
  address="$(sed -n 's/^lumora-server listening on \(http[^ ]*\).*/\1/p' "$log" | head -n 1)"
  [ -n "$address" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    cat "$log" >&2
    echo "run: lumora-server did not start" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$address" ]; then
  echo "run: lumora-server did not get ready in two minutes; its log is in $log" >&2
  exit 1
fi
echo "run: lumora-server at $address"
LUMORA_API_BASE="$address" "$build/src/app/lumora"
