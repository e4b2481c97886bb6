#!/usr/bin/env bash
# Builds and runs the typing benchmark: one 10,000-character text typed into
# a focused window on a private Xvfb by SEND KEYS, by `xdotool type --delay 0`
# and by `xdotool type` at its default delay (12 ms a character, so about two
# minutes a run), 10 runs each. --slow-targets types 200 distinct off-layout
# characters into targets of 0.3 and 1 ms a key with two CPU-bound processes.
#   bench/typing_bench.sh [--runs N] [--no-default-delay] [--slow-targets]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
scripts/build build >/dev/null
exec build/bin/bench_typing "$@"
