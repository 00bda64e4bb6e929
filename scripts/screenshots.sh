#!/bin/sh
# Pictures for the docs under Wine with a virtual X display: the main
# settings dialog (a fresh registry, and colour change selected with a
# non-default colour and line type) and the two pickers.
#   scripts/screenshots.sh [build-dir] [out-dir]
# The build dir is a Windows build with tarnex_main_dialog_show and
# tarnex_picker_show built and its Wine prefix made (default build/windows);
# pictures go to docs/pictures.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh xvfb imagemagick x11-utils
build=${1:-build/windows}
out=${2:-docs/pictures}
for program in tarnex_main_dialog_show tarnex_picker_show; do
  [ -x "$build/bin/$program.exe" ] || { echo "missing $build/bin/$program.exe: build $program first" >&2; exit 1; }
done
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

display=:$((190 + $$ % 100))
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

# shot <file> <caption> <program> <args...>: runs the program, waits for the
# window with that caption, captures it.
shot() {
  file=$1 caption=$2 program=$3
  shift 3
  timeout 60 wine "$build/bin/$program.exe" "$@" </dev/null >/dev/null 2>&1 &
  runner=$!
  id=""
  for _ in $(seq 1 100); do
    # xwininfo prints the window names as UTF-8 (the Korean caption too).
    id=$(xwininfo -root -tree 2>/dev/null | awk -v c="\"$caption\"" 'index($0, c) { print $1; exit }')
    [ -n "$id" ] && break
    sleep 0.2
  done
  if [ -z "$id" ]; then
    echo "window \"$caption\" not found for $file" >&2
    kill "$runner" 2>/dev/null || true
    return 1
  fi
  sleep 1.5  # let it paint
  import -window "$id" "$out/$file"
  kill "$runner" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  echo "$out/$file"
}

main=tarnex_main_dialog_show
shot main-dialog-fresh.png "자리수변경" $main --seconds 20
shot main-dialog-colour-change.png "자리수변경" $main --seconds 20 \
  Color=1 mColor1=MAINCOLOR06 mLType1=LINETYPE10 d_point=2 inchmm=1 IsExploded=1
shot color-picker.png "Color Property" tarnex_picker_show color MAINCOLOR06 20
shot linetype-picker.png "Line Type Property" tarnex_picker_show linetype LINETYPE07 20
