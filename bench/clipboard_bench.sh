#!/usr/bin/env bash
# Clipboard command figures on a private Xvfb (bench_clipboard starts it),
# with xclip holding and reading the 10 MB text.
#   bench/clipboard_bench.sh        (builds build/ first when needed)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
[ -x build/bin/bench_clipboard ] || scripts/build build
exec build/bin/bench_clipboard "$@"
