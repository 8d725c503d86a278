#!/usr/bin/env bash
# Builds Lumora (Release) and runs it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMORA_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target lumora
exec "$build/src/app/lumora" "$@"
