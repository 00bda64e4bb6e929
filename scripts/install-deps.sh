#!/bin/sh
# Installs, only when absent, what building and testing both targets needs on
# a fresh Debian machine. Further packages may be named as arguments.
# python3-ezdxf (for Debian's own /usr/bin/python3) reads the DXF library's
# output; librecad-data's parts library is the real drawings it is tried on.
# emscripten builds the page's module; chromium runs the page's tests, driven
# by puppeteer-core from npm. Node may come from elsewhere than Debian: any
# node and npm on the PATH will do.
set -eu
need=""
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for p in cmake make g++ libgtest-dev googletest libbenchmark-dev nlohmann-json3-dev libcli11-dev libfast-float-dev libfmt-dev emscripten \
         clang-14 clang-format-14 libclang-rt-14-dev g++-mingw-w64-x86-64 wine wine64 fonts-nanum python3-ezdxf \
         librecad-data librsvg2-bin chromium "$@"; do
  have "$p" || need="$need $p"
done
command -v node >/dev/null 2>&1 || need="$need nodejs"
command -v npm >/dev/null 2>&1 || need="$need npm"
if [ -n "$need" ]; then
  echo "Installing:$need"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need
fi
