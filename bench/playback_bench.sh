#!/usr/bin/env bash
# Playback timing: Keystrider's player and a bare reference XTest injector,
# interleaved, into a private Xvfb, every event watched through RECORD; the
# player's trace tells where the time of its late events went. Ten runs of
# 300 events take about four minutes. Exits 2 when a run breaks the rule.
#   bench/playback_bench.sh [--load] [--peer] [--runs N] [--events N]
#   --load   two CPU-bound processes run throughout
#   --peer   then xmacroplay and the idle cost (about a minute more)
# Configures build/ when it is not yet, and builds the benchmark alone.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
if [ ! -f build/CMakeCache.txt ]; then
  mkdir -p build
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >build/configure.log 2>&1 || {
    cat build/configure.log; exit 1; }
fi
cmake --build build -j"$(nproc)" --target bench_playback >build/bench_playback.log 2>&1 || {
  cat build/bench_playback.log; exit 1; }
exec build/bin/bench_playback "$@"
