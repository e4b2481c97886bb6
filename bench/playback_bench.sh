#!/usr/bin/env bash
# Playback timing: Keystrider's player, a bare reference XTest injector and
# xmacroplay into a private Xvfb, every event watched through RECORD, with
# two CPU-bound processes running. Takes about four and a half minutes.
#   bench/playback_bench.sh [--no-load]   (builds build/ first when needed)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
[ -x build/bin/bench_playback ] || scripts/build build
exec build/bin/bench_playback "$@"
