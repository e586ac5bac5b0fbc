#!/usr/bin/env bash
# Starts the editor under a virtual X server with a window manager, makes a new image the way a
# user would, and saves screenshots (PNG) into docs/screenshots/ (or the folder given).
# Needs: xvfb openbox xdotool imagemagick (installed when missing).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
KORVANE_PACKAGES+=(xvfb openbox xdotool imagemagick)
korvane_install_packages
out="${1:-$KORVANE_ROOT/docs/screenshots}"
mkdir -p "$out"
build="$KORVANE_ROOT/build/release"
cmake -S "$KORVANE_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target korvane >/dev/null

display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp &
xvfb=$!
editor="" wm=""
cleanup() {
  kill "$editor" "$wm" "$xvfb" 2>/dev/null || true
  [ -n "${scratch:-}" ] && rm -rf "$scratch"
}
trap cleanup EXIT
export DISPLAY="$display"
sleep 1
openbox &
wm=$!
sleep 1
# A scratch folder with a few pictures from the public test suites, when they are there, so that
# the open dialog has something to preview. The editor starts in it.
scratch=$(mktemp -d)
testdata="${KORVANE_TESTDATA:-$KORVANE_ROOT/../shared/testdata}"
for f in jpeg/good/progressive.jpg png/good/basn2c08.png tiff/good/flower-rgb-planar-08.tif; do
  [ -f "$testdata/$f" ] && cp "$testdata/$f" "$scratch/"
done
cd "$scratch"
QT_QPA_PLATFORM=xcb "$build/src/korvane" &
editor=$!
window=""
for _ in $(seq 50); do
  window=$(xdotool search --name 'Korvane_24' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "the editor did not open a window" >&2; exit 1; }
sleep 1
import -window root "$out/start.png"

# File, New..., accept the dialog's defaults.
xdotool windowactivate --sync "$window"
xdotool key --clearmodifiers alt+f
sleep 0.5
xdotool key n
sleep 1
import -window root "$out/new-image-dialog.png"
xdotool key Return
sleep 1
import -window root "$out/new-image.png"
# Both rulers from the View menu, and the Adjust tool's panel.
for key in h v; do
  xdotool mousemove --window "$window" 153 6 click 1
  sleep 0.5
  xdotool key "$key"
  sleep 0.5
done
xdotool mousemove --window "$window" 31 87 click 1
sleep 0.5
xdotool mousemove --window "$window" 300 300
sleep 0.5
import -window root "$out/adjust-and-rulers.png"

# File, Open..., a picture typed into the name field: the preview panel shows it.
if [ -f "$scratch/progressive.jpg" ]; then
  xdotool windowactivate --sync "$window"
  xdotool key --clearmodifiers alt+f
  sleep 0.5
  xdotool key o
  sleep 1.5
  xdotool type --delay 50 progressive.jpg
  sleep 1.5
  import -window root "$out/open-dialog.png"
  xdotool key Return
  sleep 1.5
  import -window root "$out/opened.png"
fi
echo "screenshots in $out"
