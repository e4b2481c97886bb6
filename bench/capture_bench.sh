#!/usr/bin/env bash
# Input capture throughput on a private Xvfb (bench_capture starts it):
# 100,000 key events injected through XTest as fast as possible, captured
# through RECORD, checked for count and order.
#   bench/capture_bench.sh [N]         (builds build/ first when needed)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
[ -x build/bin/bench_capture ] || scripts/build build
exec build/bin/bench_capture "$@"
