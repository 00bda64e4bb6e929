#!/bin/sh
# Builds and runs every test: natively under the sanitizers, then each fuzz
# target for a bounded time (scripts/fuzz.sh), then the Windows DLLs under
# Wine, then the browser page's module against the native program, then the
# page itself in headless Chromium.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset native
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

scripts/fuzz.sh

cmake --preset windows
cmake --build --preset windows -j "$jobs"
ctest --preset windows

scripts/wasm-identity.sh
cmake --preset wasm
cmake --build --preset wasm -j "$jobs"
tests/page/run.sh
