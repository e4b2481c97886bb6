#!/usr/bin/env bash
# Playback timing: Keystrider's player and xmacroplay into a private Xvfb,
# every event watched through RECORD. Takes about three minutes.
#   bench/playback_bench.sh            (builds build/ first when needed)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
[ -x build/bin/bench_playback ] || scripts/build build
exec build/bin/bench_playback
