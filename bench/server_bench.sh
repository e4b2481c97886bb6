#!/usr/bin/env bash
# Request server figures of the whole program on a private Xvfb, the peer on
# loopback:
#   - clipboard requests (id 1000) answered per second, one connection after
#     another, the clipboard held by xclip;
#   - the reply latency of a request that runs a one-command macro (the
#     runner waits 300 ms before each pass);
#   - a good peer's reply time alone and while a hostile peer sends an
#     element of 80,000 attributes, a byte a second, or an import of 10,000
#     macros of one name (pushes are accepted from every allowed peer here).
# Usage: bench/server_bench.sh [BUILD-DIR]   (REQUESTS, RUNS, GOOD from the environment)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
requests=${REQUESTS:-2000}
runs=${RUNS:-20}
good=${GOOD:-20}
port=${PORT:-47100}

source bench/private_display.sh

store=(--store "$XDG_CONFIG_HOME/keystrider/store.db")
mkdir -p "$XDG_CONFIG_HOME/keystrider"
"$build/bin/keystrider-store" "${store[@]}" set '' SrvOn dword 1
"$build/bin/keystrider-store" "${store[@]}" set '' SrvPort dword "$port"
"$build/bin/keystrider-store" "${store[@]}" set '' SrvAcceptPush dword 1
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
for kind in dribble attributes samename; do
  "$build/bin/bench_server" "$port" hostile "$kind" "$good"
done
# What a hostile peer sent may keep the program busy long after it stopped.
kill -KILL "$app" 2>/dev/null || true
