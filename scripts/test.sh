#!/usr/bin/env bash
# Builds Quillet and runs every test headless: each test that needs a display
# gets its own Xvfb server, window manager and notification area.
#   scripts/test.sh            warnings as errors
#   QUILLET_SANITIZE=ON scripts/test.sh   with AddressSanitizer and UBSan
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" test
build="${QUILLET_BUILD_DIR:-$top/build-tests}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLET_WERROR=ON \
      -DQUILLET_SANITIZE="${QUILLET_SANITIZE:-OFF}"
cmake --build "$build"
cd "$build"
ctest --output-on-failure -j2 --timeout 600
