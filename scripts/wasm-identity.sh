#!/bin/sh
# The browser page's module against the native vekhost: builds both (the
# wasm and native presets) and converts every Nth drawing of librecad-data's
# parts library with each (scripts/wasm-identity.mjs); the bytes written and
# the messages must be the same.
#
#   scripts/wasm-identity.sh [EVERY [CORPUS_DIR]]     (default: 50, /usr/share/librecad)
set -eu
cd "$(dirname "$0")/.."
every=${1:-50}
corpus=${2:-/usr/share/librecad}
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target vekhost Tarnex
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j2 --target tarnex_wasm
drawings=$(find "$corpus" -name '*.dxf' | LC_ALL=C sort | awk -v n="$every" 'NR % n == 1')
# shellcheck disable=SC2086  # one argument per drawing (the library's names have no blanks)
exec node scripts/wasm-identity.mjs build/wasm/page/tarnex.js build/native/bin/vekhost \
    build/wasm/identity $drawings
