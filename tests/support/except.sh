#!/usr/bin/env bash
# usage: except.sh PROGRAM FUNCTION...
# Runs every test function of the QTest program PROGRAM but the ones named: those run
# as test entries of their own, side by side with this one. A function added later runs
# here without being listed anywhere.
set -euo pipefail
program=$1
shift
listed=$("$program" -functions) || exit 1
functions=()
while read -r f; do
  f=${f%"()"}
  [ -n "$f" ] || continue
  for skip in "$@"; do [ "$f" = "$skip" ] && continue 2; done
  functions+=("$f")
done <<<"$listed"
[ "${#functions[@]}" -gt 0 ] || { echo "except.sh: no test function left in $program" >&2; exit 1; }
exec "$program" "${functions[@]}"
