#!/usr/bin/env bash
# Playback timing on a private headless sway: the 1,000-event recording
# played by the program's player and by a bare virtual-keyboard injector
# with absolute deadlines, alternating, 3 runs each unless told otherwise,
# observed by a Qt window as the events arrive. About a minute a run.
#   bench/wayland_playback_bench.sh [--runs N]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
scripts/build build >/dev/null
exec build/bin/bench_wayland_playback "$@"
