#!/usr/bin/env bash
# 200 songs through playNext on the no-sound device, with the heap in use and the RSS printed
# after 20 and after 200 songs. The address sanitizer's quarantine of freed blocks is switched
# off so the RSS shows what the program really keeps.
#   bench/playback_soak.sh [BUILD_DIR]     (default build/asan; needs test_e2e)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/asan}" && pwd)"
LUMORA_BINARY_DIR="$build" LUMORA_AUDIO_DEVICE=0 QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=0:thread_local_quarantine_size_kb=0 \
  "$build/tests/e2e/test_e2e" --gtest_filter='PlaybackWindow.TwoHundredSongsDoNotPileUpMemory' |
  grep -E 'figures|OK|FAILED'
