#!/usr/bin/env bash
# scripts/build must fail when the compiler fails and pass when it passes.
# Runs the script on a two-file project in a temporary copy, so it is quick.
set -uo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts"
cp "$src/scripts/build" "$work/scripts/"
cat >"$work/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(BuildStatus CXX)
add_executable(probe probe.cpp)
CMAKE

build() { printf '%s\n' "$1" >"$work/probe.cpp"; "$work/scripts/build" "$work/b" >"$work/out" 2>&1; }

if ! build 'int main() { return 0; }'; then
  cat "$work/out"; echo "FAIL: a good source did not build"; exit 1
fi
if build 'int main() { return undeclared_name; }'; then
  cat "$work/out"; echo "FAIL: a compile error left scripts/build with status 0"; exit 1
fi
grep -q undeclared_name "$work/out" || { cat "$work/out"; echo "FAIL: the compiler's error was not shown"; exit 1; }
echo "build status: ok"
