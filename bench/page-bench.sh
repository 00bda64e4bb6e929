#!/bin/sh
# The page against the native vekhost on the 1,000,000-entity drawing that
# dxf_run_bench generates (or ENTITIES of its mix): times and the tab's peak
# memory. Not a test: the numbers go into the README by hand.
#   bench/page-bench.sh [ENTITIES]
set -eu
cd "$(dirname "$0")/.."
entities=${1:-1000000}
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j2 --target vekhost dxf_run_bench
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j2
work=build/page-bench
mkdir -p "$work"
drawing="$work/drawing-$entities.dxf"
[ -f "$drawing" ] || build/native-release/bin/dxf_run_bench --generate "$entities" "$drawing"
modules=build/wasm/page-test-npm
mkdir -p "$modules"
cp tests/page/package.json tests/page/package-lock.json "$modules/"
(cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
node bench/page-bench.mjs --page build/wasm/page --vekhost build/native-release/bin/vekhost \
     --drawing "$drawing" --work "$work" --modules "$modules"
