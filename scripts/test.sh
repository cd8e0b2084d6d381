#!/usr/bin/env bash
# Sets everything up, builds, starts a private PostgreSQL and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
pgdir=$(mktemp -d /tmp/mirn-test-pg.XXXXXX)
trap '"$root/scripts/pg.sh" stop "$pgdir"' EXIT
"$root/scripts/pg.sh" start "$pgdir"
# Each test copies one of these templates into a database of its own.
"$root/scripts/pg.sh" createdb "$pgdir" mirn_tmpl schema
"$root/scripts/pg.sh" createdb "$pgdir" mirn_demo_tmpl demo
# shellcheck disable=SC1091
. "$pgdir/env"
export MIRN_PG_SCRIPT="$root/scripts/pg.sh" MIRN_PG_DIR="$pgdir"
# Most tests wait on the server or on the programs they start: twice the cores keeps
# both busy.
ctest --test-dir "$build" --output-on-failure -j"${MIRN_TEST_JOBS:-$(($(nproc) * 2))}" "$@"
