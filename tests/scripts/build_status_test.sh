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
fail() { cat "$work/out"; echo "FAIL: $1"; exit 1; }

build 'int main() { return 0; }' || fail "a good source did not build"
! build 'int main() { return undeclared_name; }' || fail "a compile error left scripts/build with status 0"
grep -q undeclared_name "$work/out" || fail "the compiler's error was not shown"
echo "build status: ok"
