#!/usr/bin/env bash
# Builds the client and its Debian package into build/package (or $BUILD_DIR/package);
# prints the path of the .deb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target mirn manpage -j"${JOBS:-2}" >/dev/null
out="$build/package"
rm -rf "$out"; mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; exit 1; }
ls "$out"/*.deb
