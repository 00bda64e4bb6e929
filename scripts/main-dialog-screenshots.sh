#!/bin/sh
# Pictures of the main settings dialog under Wine with a virtual X display:
# a fresh registry, and colour change selected with a non-default colour and
# line type.
#   scripts/main-dialog-screenshots.sh [build-dir] [out-dir]
# The build dir is a Windows build with tarnex_main_dialog_show built and its
# Wine prefix made (default build/windows); pictures go to docs/pictures.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/windows}
out=${2:-docs/pictures}
show="$build/bin/tarnex_main_dialog_show.exe"
[ -x "$show" ] || { echo "missing $show: build tarnex_main_dialog_show first" >&2; exit 1; }
[ -f "$build/wineprefix/.tarnex-ready" ] || { echo "missing $build/wineprefix" >&2; exit 1; }
mkdir -p "$out"
out=$(cd "$out" && pwd)

# A hard-linked clone of the test prefix with registry files of its own, so
# the pictures leave the tests' prefix untouched.
work=$(mktemp -d)
prefix="$work/prefix"
cp -al "$build/wineprefix" "$prefix"
for f in "$build"/wineprefix/*.reg; do rm -f "$prefix/$(basename "$f")"; cp "$f" "$prefix/"; done
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

display=:$((290 + $$ % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  DISPLAY=$display timeout 20 wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
sleep 1
export DISPLAY=$display
timeout 30 wineserver -p >/dev/null 2>&1 || true

# shot <file> <settings...>: opens the dialog, waits for its window, captures it.
shot() {
  name=$1
  shift
  timeout 60 wine "$show" --seconds 20 "$@" </dev/null >/dev/null 2>&1 &
  runner=$!
  id=""
  for _ in $(seq 1 100); do
    # xwininfo prints the window names as UTF-8: the Korean caption.
    id=$(xwininfo -root -tree 2>/dev/null |
      awk '/자리수변경/ { print $1; exit }')
    [ -n "$id" ] && break
    sleep 0.2
  done
  if [ -z "$id" ]; then
    echo "dialog window not found for $name" >&2
    kill "$runner" 2>/dev/null || true
    return 1
  fi
  sleep 1.5  # let it paint
  import -window "$id" "$out/$name"
  kill "$runner" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  echo "$out/$name"
}

shot main-dialog-fresh.png
shot main-dialog-colour-change.png Color=1 mColor1=MAINCOLOR06 mLType1=LINETYPE10 d_point=2 inchmm=1 IsExploded=1
