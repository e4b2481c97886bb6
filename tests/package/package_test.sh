#!/usr/bin/env bash
# The Debian package as scripts/package builds it: unpacked into a fresh
# root, every file checked, and the unpacked program started from its desktop
# entry's Exec on a private Xvfb without a notification area, where it shows
# its main window. Usage: package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1 build=$2
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$("$src/scripts/package" "$build" "$tmp/out")
root=$tmp/root
dpkg-deb -x "$deb" "$root"

icons=usr/share/icons/hicolor
expected="usr/bin/keystrider
usr/bin/keystrider-store
usr/share/applications/org.quorvel.Keystrider.desktop
usr/share/bash-completion/completions/keystrider-store
$(for size in 16 22 24 32 48 64 128 256; do echo "$icons/${size}x$size/apps/keystrider.png"; done)
$icons/scalable/apps/keystrider.svg
$icons/symbolic/apps/keystrider-symbolic.svg
usr/share/keystrider/guide/index.md
usr/share/man/man1/keystrider-store.1
usr/share/man/man1/keystrider.1
usr/share/metainfo/org.quorvel.Keystrider.metainfo.xml
usr/share/zsh/vendor-completions/_keystrider-store"
diff <(sort <<<"$expected") <(cd "$root" && find . -type f | sed 's|^\./||' | sort) ||
  fail "the package's files differ from the list"
copies="docs/guide/index.md usr/share/keystrider/guide/index.md
data/completion/keystrider-store.bash usr/share/bash-completion/completions/keystrider-store
data/completion/_keystrider-store usr/share/zsh/vendor-completions/_keystrider-store
data/org.quorvel.Keystrider.desktop usr/share/applications/org.quorvel.Keystrider.desktop
$(cd "$src" && for f in data/man/*; do echo "$f usr/share/man/man1/${f#data/man/}"; done)
$(cd "$src" && for f in data/icons/hicolor/*/apps/*; do echo "$f usr/share/${f#data/}"; done)"
while read -r from to; do
  cmp -s "$src/$from" "$root/$to" || fail "$from is not installed as $to"
done <<<"$copies"

depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6network6 libsqlite3-0 libx11-6 libxtst6 libxi6 qt6-qpa-plugins xdg-utils; do
  [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
done

desktop=$root/usr/share/applications/org.quorvel.Keystrider.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.quorvel.Keystrider.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"
for page in keystrider keystrider-store; do
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1" 2>"$tmp/warnings")
  [[ ! -s $tmp/warnings && $out == *SYNOPSIS*$page* ]] || fail "man -l $page.1: $(cat "$tmp/warnings")"
done
bash -c "source '$root/usr/share/bash-completion/completions/keystrider-store' && complete -p keystrider-store" \
  >/dev/null || fail "bash completion"

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$tmp/display")
mkdir -m 700 "$tmp/run"
command=$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ %[fFuUick]//g')
PATH=$root/usr/bin:$PATH XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/run QT_QPA_PLATFORM=xcb \
  $command >"$tmp/keystrider.log" 2>&1 &
program=$!
timeout 20 xdotool search --sync --onlyvisible --name '^Keystrider$' >/dev/null ||
  fail "no main window: $(cat "$tmp/keystrider.log")"
[ "$(readlink "/proc/$program/exe")" = "$root/usr/bin/keystrider" ] || fail "not the unpacked program"
kill -TERM "$program"
wait "$program" || fail "exit status $?: $(cat "$tmp/keystrider.log")"
echo "package $(basename "$deb"): files, dependencies, validators, man pages and start all good"
