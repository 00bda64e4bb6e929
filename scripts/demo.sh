#!/bin/sh
# The main job: builds the Windows DLLs and runs the command, through the real
# Tarnex.dll loaded by the host driver under Wine, on the embedded sample drawing;
# each run ends with its summary, and its picture goes to docs/pictures
# (demo-runN.svg, and demo-runN.png made from it with rsvg-convert).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target vekhost Tarnex veklib wineprefix >/dev/null
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
status=0
env -u DISPLAY wine build/windows/bin/vekhost.exe demo --pictures docs/pictures || status=$?
wineserver -k 2>/dev/null || true
if [ "$status" -eq 0 ]; then
  for picture in docs/pictures/demo-run*.svg; do
    rsvg-convert "$picture" -o "${picture%.svg}.png"
  done
  echo "Pictures: docs/pictures/demo-run*.svg and .png"
fi
exit $status
