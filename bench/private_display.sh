# Sourced by the whole-program benchmarks: a work folder, a private Xvfb with
# DISPLAY, XDG_CONFIG_HOME and TMPDIR pointing into it, a notification area
# (so the program starts in the tray, as on a usual desktop), and a cleanup on
# exit that ends the program started as $app, the tray and the server.
work=$(mktemp -d)
xvfb=""
app=""
tray=""
cleanup() {
  [ -n "$app" ] && kill -TERM "$app" 2>/dev/null || true
  [ -n "$tray" ] && kill -TERM "$tray" 2>/dev/null || true
  [ -n "$xvfb" ] && kill -TERM "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work"
if command -v trayer >/dev/null; then
  trayer --edge top >/dev/null 2>&1 &
  tray=$!
fi
