#!/usr/bin/env bash
# The build stamp comes from the sources, not from the compile time: the same sources
# always give the same stamp (SOURCE_DATE_EPOCH, else the last commit's time, else the
# changelog's date), the stamp file is not rewritten when nothing changed, and both
# built programs carry the stamp of the sources they were built from.
set -euo pipefail
src=${1:?source folder}; build=${2:?build folder}; mirn=${3:?client}; batch=${4:?mirn-batch}
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
stamp() {  # stamp SOURCE_DIR OUTPUT
  cmake -DSOURCE_DIR="$1" -DOUTPUT="$2" -P "$src/cmake/buildstamp.cmake"
}
texts() { sed -n 's/^#define MIRN_BUILD_\(DATE\|TIME\) "\(.*\)"$/\2/p' "$1" | paste -sd '|'; }

# The same sources twice: the same stamp.
unset SOURCE_DATE_EPOCH
stamp "$src" "$tmp/a.h"; sleep 1; stamp "$src" "$tmp/b.h"
cmp -s "$tmp/a.h" "$tmp/b.h" || fail "two runs on the same sources differ: $(texts "$tmp/a.h") / $(texts "$tmp/b.h")"

# In git: the last commit's time (UTC), in the compiler's date and time forms.
if git -C "$src" rev-parse --show-toplevel >/dev/null 2>&1; then
  ct=$(git -C "$src" log -1 --format=%ct)
  want="$(LC_ALL=C date -u -d "@$ct" '+%b %e %Y')|$(date -u -d "@$ct" '+%H:%M:%S')"
  [ "$(texts "$tmp/a.h")" = "$want" ] || fail "stamp $(texts "$tmp/a.h"), commit time $want"
  echo "ok: commit time $want"
fi

# SOURCE_DATE_EPOCH wins; a one-digit day gets a blank, as __DATE__ writes it.
for case in "1707597279|Feb 10 2024|20:34:39" "1709596800|Mar  5 2024|00:00:00"; do
  IFS='|' read -r epoch d t <<<"$case"
  SOURCE_DATE_EPOCH=$epoch stamp "$src" "$tmp/e.h"
  [ "$(texts "$tmp/e.h")" = "$d|$t" ] || fail "SOURCE_DATE_EPOCH=$epoch gave $(texts "$tmp/e.h"), wanted $d|$t"
  echo "ok: SOURCE_DATE_EPOCH=$epoch -> $d $t"
done

# A tree without git (a release tarball): the newest changelog entry's date.
mkdir -p "$tmp/tree/packaging"; cp "$src/packaging/changelog" "$tmp/tree/packaging/"
stamp "$tmp/tree" "$tmp/c1.h"; stamp "$tmp/tree" "$tmp/c2.h"
cmp -s "$tmp/c1.h" "$tmp/c2.h" || fail "the changelog stamp differs between runs"
trailer=$(grep -m1 '^ -- ' "$src/packaging/changelog" | sed 's/.*  //')
want="$(LC_ALL=C date -u -d "$trailer" '+%b %e %Y')|$(date -u -d "$trailer" '+%H:%M:%S')"
[ "$(texts "$tmp/c1.h")" = "$want" ] || fail "without git: $(texts "$tmp/c1.h"), changelog says $want"
echo "ok: without git -> $want"

# Nothing changed: the stamp file keeps its time, so nothing is recompiled.
header=$build/generated/mirn_buildstamp.h
[ -f "$header" ] || fail "no $header"
before=$(stat -c %Y "$header"); sleep 1
stamp "$src" "$header"
[ "$(stat -c %Y "$header")" = "$before" ] || fail "the stamp file was rewritten with the same stamp"

# The programs carry the stamp of their sources: YYYYMMDD.seconds of the header's texts.
IFS='|' read -r d t <<<"$(texts "$header")"
date8=$(LC_ALL=C date -u -d "$d" '+%Y%m%d')
IFS=: read -r hh mm ss <<<"$t"
secs=$((10#$hh * 3600 + 10#$mm * 60 + 10#$ss))
got=$(QT_QPA_PLATFORM=offscreen "$mirn" --version)
grep -q "(сборка $date8\.$secs)" <<<"$got" || fail "mirn --version: '$got', sources say $date8.$secs"
echo "ok: $got"
XDG_STATE_HOME=$tmp/state QT_QPA_PLATFORM=offscreen "$batch" --help >/dev/null
grep -q "mirn-batch $date8 $secs started" "$tmp/state/mirn/mirn-batch.log" ||
  fail "mirn-batch's stamp: $(grep started "$tmp/state/mirn/mirn-batch.log"), sources say $date8 $secs"
echo "ok: mirn-batch $date8 $secs"
echo "buildstamp ok"
