#!/usr/bin/env bash
# Builds the client, mirn-batch and their Debian package into build/package (or
# $BUILD_DIR/package); says what it is doing on standard error, since a first build
# takes several minutes, and prints the path of the .deb as its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
step() { echo "package.sh: $(date +%H:%M:%S) $*" >&2; }
start=$SECONDS
if [ ! -f "$build/CMakeCache.txt" ]; then
  step "configuring $build"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
step "building mirn and mirn-batch with ${JOBS:-2} jobs (a first build takes 5-11 minutes)"
# The build tool's own progress ("[ 42%] Building ...", "[12/200] ...") shows the build
# moving; the compilers' words stay in the log unless the build fails.
log="$build/package-build.log"
rc=0
cmake --build "$build" --target mirn mirn-batch manpage -j"${JOBS:-2}" 2>&1 | tee "$log" |
  { grep --line-buffered -E '^\[ *[0-9]+(%|/[0-9]+)\]' | sed -u 's/^/package.sh:   /' >&2 || true; } || rc=$?
if [ "$rc" -ne 0 ]; then
  step "build failed; see $log"; tail -n 40 "$log" >&2; exit 1
fi
out="$build/package"
rm -rf "$out"; mkdir -p "$out"
step "making the Debian package"
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; exit 1; }
step "done in $((SECONDS - start)) s"
ls "$out"/*.deb
