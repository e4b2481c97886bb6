#!/usr/bin/env bash
# Request server figures of the whole program on a private Xvfb, the peer on
# loopback:
#   - clipboard requests (id 1000) answered per second, one connection after
#     another, the clipboard held by xclip;
#   - the reply latency of a request that runs a one-command macro (the
#     runner waits 300 ms before each pass).
# Usage: bench/server_bench.sh [BUILD-DIR]   (REQUESTS, RUNS from the environment)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
requests=${REQUESTS:-2000}
runs=${RUNS:-20}
port=${PORT:-47100}

source bench/private_display.sh

store=(--store "$XDG_CONFIG_HOME/keystrider/store.db")
mkdir -p "$XDG_CONFIG_HOME/keystrider"
"$build/bin/keystrider-store" "${store[@]}" set '' SrvOn dword 1
"$build/bin/keystrider-store" "${store[@]}" set '' SrvPort dword "$port"
"$build/bin/keystrider-store" "${store[@]}" set 'Macros\Ping' MsgID dword 10000
"$build/bin/keystrider-store" "${store[@]}" set 'Macros\Ping\Commands\0' id dword 4354
"$build/bin/keystrider-store" "${store[@]}" set 'Macros\Ping\Commands\0' Name sz Seen
"$build/bin/keystrider-store" "${store[@]}" set 'Macros\Ping\Commands\0' Value sz yes
printf 'bench clipboard text' | xclip -selection clipboard 2>/dev/null

"$build/bin/keystrider" >/dev/null 2>"$work/err" &
app=$!
for _ in $(seq 200); do
  "$build/bin/bench_server" "$port" rate 1 >/dev/null 2>&1 && break
  sleep 0.05
done
"$build/bin/bench_server" "$port" rate "$requests"
"$build/bin/bench_server" "$port" latency "$runs"
