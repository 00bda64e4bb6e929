#!/bin/sh
# The page's browser test (page-test.mjs): installs its pinned puppeteer-core
# with npm ci into the build tree, serves the built page with the native
# vekhost and drives Debian's chromium. Needs the wasm and native builds.
#   tests/page/run.sh [--screenshots FOLDER] [--drawings N]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
modules="$root/build/wasm/page-test-npm"
mkdir -p "$modules"
cp "$here/package.json" "$here/package-lock.json" "$modules/"
(cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
exec node "$here/page-test.mjs" --page "$root/build/wasm/page" --vekhost "$root/build/native/bin/vekhost" \
     --corpus /usr/share/librecad --work "$root/build/wasm/page-test" --modules "$modules" "$@"
