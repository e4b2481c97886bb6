#!/usr/bin/env bash
# scripts/package's .deb unpacked: its files, dependencies, validators, man
# pages; the program started by its desktop entry on an Xvfb without a tray
# shows its window, hidden by Escape once trayer appears. Args: SOURCE BUILD
set -euo pipefail
src=$1 build=$2
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$("$src/scripts/package" "$build" "$tmp/out")
root=$tmp/root && dpkg-deb -x "$deb" "$root"
share=usr/share
copies="docs/guide/index.md $share/keystrider/guide/index.md
docs/screenshots/1280x720/main-window.png $share/keystrider/screenshots/1280x720/main-window.png
docs/screenshots/1280x720/macro-editor.png $share/keystrider/screenshots/1280x720/macro-editor.png
data/completion/keystrider-store.bash $share/bash-completion/completions/keystrider-store
data/completion/_keystrider-store $share/zsh/vendor-completions/_keystrider-store
data/org.quorvel.Keystrider.desktop $share/applications/org.quorvel.Keystrider.desktop
data/org.quorvel.Keystrider.metainfo.xml $share/metainfo/org.quorvel.Keystrider.metainfo.xml
$(cd "$src" && for f in data/man/*; do echo "$f $share/man/man1/${f#data/man/}"; done)
$(cd "$src" && for f in data/icons/hicolor/*/apps/*; do echo "$f $share/${f#data/}"; done)"
while read -r from to; do cmp -s "$src/$from" "$root/$to" || fail "$from is not installed as $to"; done <<<"$copies"
diff <(printf 'usr/bin/keystrider\nusr/bin/keystrider-store\n%s\n' "$(cut -d' ' -f2 <<<"$copies")" | sort) \
  <(cd "$root" && find . -type f | sed 's|^\./||' | sort) || fail "the package holds other files"

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libsqlite3-0 libxtst6 libxi6 qt6-qpa-plugins xdg-utils; do [[ $depends == *"$p"* ]] || fail "$p"; done
desktop=$root/$share/applications/org.quorvel.Keystrider.desktop && desktop-file-validate "$desktop" || fail "desktop file"
appstreamcli validate --no-net "$root/$share/metainfo/"*.xml >/dev/null || fail "appstreamcli validate"
for page in keystrider keystrider-store; do
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/$share/man/man1/$page.1" 2>"$tmp/warnings")
  [[ ! -s $tmp/warnings && $out == *SYNOPSIS*$page* ]] || fail "man -l $page.1: $(cat "$tmp/warnings")"
done

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$tmp/display")
mkdir -m 700 "$tmp/run"
PATH=$root/usr/bin:$PATH XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/run QT_QPA_PLATFORM=xcb \
  $(sed -n 's/^Exec=//p' "$desktop" | sed 's/ %[fFuUick]//g') >"$tmp/log" 2>&1 &
program=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Keystrider$' | head -1 || true)
[ -n "$window" ] || fail "no main window: $(cat "$tmp/log")"
trayer --edge top --align right --widthtype pixel --width 24 --height 24 2>/dev/null &
timeout 20 sh -c "until xwininfo -root -tree | grep -q '\"keystrider\": (\"'; do sleep 0.1; done" || fail "no icon"
xdotool windowfocus --sync "$window" key Escape && sleep 1
! xdotool search --onlyvisible --name '^Keystrider$' >/dev/null || fail "Escape left the window shown"
kill -TERM "$program"
wait "$program" || fail "exit status $?: $(cat "$tmp/log")"
