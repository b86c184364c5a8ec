#!/usr/bin/env bash
# Screenshot of the control gallery: runs lv_gallery in a lab's X display, waits until it has
# painted, and saves the whole screen to build/artifacts/gallery.png.
#
#   scripts/gallery-shot.sh [EXE]       (default build/win/tools/gallery/lv_gallery.exe)
#
# Uses the lab LAB_NAME (default "lv"); a lab that is not up is brought up and taken down again.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
export LAB_NAME=${LAB_NAME:-lv}
exe=${1:-build/win/tools/gallery/lv_gallery.exe}
out=build/artifacts/gallery.png
state=$root/build/lab-$LAB_NAME

if [ ! -f "$exe" ]; then
  echo "gallery-shot: $exe not found (build the lv_gallery target)" >&2
  exit 1
fi
mkdir -p build/artifacts

started=0
if [ ! -f "$state/display" ]; then
  bash scripts/lab.sh up >/dev/null
  started=1
fi
cleanup() {
  if [ -n "${pid:-}" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  if [ "$started" = 1 ]; then bash scripts/lab.sh down >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT

# The gallery closes itself after 30 s; the shot is taken once its window has been up a while.
bash scripts/lab.sh tool wine "$exe" 30 >"$state/gallery.out" 2>&1 &
pid=$!
for _ in $(seq 1 40); do
  if bash scripts/lab.sh tool xdotool search --name "Larkvane controls" >/dev/null 2>&1; then break; fi
  sleep 0.5
done
sleep 3 # let every control paint (tool tips and timers settle)
rm -f "$out"
bash scripts/lab.sh tool import -window root -crop 900x640+0+0 "$out"
echo "gallery-shot: $out"
