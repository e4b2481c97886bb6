#!/usr/bin/env bash
# Whole-program figures of keystrider with a store of 1,000 macros that all
# have hot keys, on a private Xvfb:
#   - start to hot keys ready: from exec until the last macro's hot key (the
#     last one registered) is taken by keystrider's grab, median of RUNS starts;
#   - hot-key press to the macro's first typed key (the runner waits 300 ms
#     before each pass), median over the same starts;
#   - resident memory once idle;
#   - CPU time used over IDLE_SECONDS idle seconds.
# Usage: bench/app_startup.sh [BUILD-DIR]   (RUNS, IDLE_SECONDS, MACROS from the environment)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-7}
idle=${IDLE_SECONDS:-60}
macros=${MACROS:-1000}

source bench/private_display.sh

read -r key mods < <("$build/bin/bench_hotkey_store" "$XDG_CONFIG_HOME/keystrider/store.db" "$macros")

# Starts keystrider in the background ($app) and prints the milliseconds
# until the last macro's hot key is held, and from its press to the first typed key.
start_app() {
  local begun held answer
  begun=$(date +%s%N)
  "$build/bin/keystrider" >/dev/null 2>"$work/err" &
  app=$!
  read -r held answer < <("$build/bin/bench_hotkey_ready" "$key" "$mods")
  awk -v a="$begun" -v b="$held" -v c="$answer" 'BEGIN {printf "%.1f %s\n", (b - a) / 1e6, c}'
}
stop_app() { kill -TERM "$app"; wait "$app" || true; app=""; }

times=()
answers=()
for _ in $(seq "$runs"); do
  start_app >"$work/ms"
  read -r ready answer <"$work/ms"
  times+=("$ready"); answers+=("$answer")
  stop_app
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "start to hot keys ready ($macros hot-key macros): median $(median "${times[@]}") ms of ${runs} (${times[*]})"
echo "hot-key press to first typed key: median $(median "${answers[@]}") ms (${answers[*]})"

start_app >/dev/null
sleep 3
rss=$(awk '/VmRSS/ {print $2}' "/proc/$app/status")
echo "resident memory when idle: $((rss / 1024)) MB ($rss kB)"
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
before=$(ticks "$app")
sleep "$idle"
after=$(ticks "$app")
hz=$(getconf CLK_TCK)
echo "CPU time over $idle idle seconds: $(awk -v d=$((after - before)) -v hz="$hz" 'BEGIN {printf "%.2f", d / hz}') s"
stop_app
