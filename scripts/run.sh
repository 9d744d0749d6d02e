#!/usr/bin/env bash
# Builds Quillet and starts it in the current X session.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" run
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_BUILD_TESTS=OFF
cmake --build "$top/build"
exec "$top/build/quillet" "$@"
