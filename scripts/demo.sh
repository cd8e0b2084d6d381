#!/usr/bin/env bash
# Sets everything up, builds, starts a private PostgreSQL with the demo database
# and opens the client on it. The server is stopped when the client ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
pgdir=$(mktemp -d /tmp/mirn-demo-pg.XXXXXX)
trap '"$root/scripts/pg.sh" stop "$pgdir"' EXIT
"$root/scripts/pg.sh" start "$pgdir"
"$root/scripts/pg.sh" createdb "$pgdir" mirn_erp demo
# shellcheck disable=SC1091
. "$pgdir/env"
echo "Demo database on 127.0.0.1:$PGPORT. Codes: 9471 (administrator), brolkin, tuvem, pivrat."
# A Russian desktop: month and day names, decimal comma.
LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 "${BUILD_DIR:-$root/build}/mirn" "$@"
