#!/usr/bin/env bash
# Typing into foot on a private headless sway: a 3,000-character mixed text
# (ASCII, Latin-1, CJK, emoji, line breaks) typed by the program's virtual
# keyboard and by wtype, alternating, 5 runs each unless told otherwise.
#   bench/wayland_typing_bench.sh [--runs N]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
scripts/build build >/dev/null
exec build/bin/bench_wayland_typing "$@"
