#!/usr/bin/env bash
# The client's command line, without a display: --help and --version answer in
# Russian with code 0; an unknown option or a third argument prints the usage on
# standard error with code 2; no window system is needed for any of them.
set -uo pipefail
bin=${1:?client binary}
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
fail() { echo "FAIL: $*" >&2; exit 1; }
check() {  # check EXPECTED_CODE STREAM REGEX ARGS...
  local want=$1 stream=$2 re=$3; shift 3
  local out err rc
  out=$("$bin" "$@" 2>/tmp/cli_err.$$); rc=$?; err=$(cat /tmp/cli_err.$$); rm -f /tmp/cli_err.$$
  [ "$rc" -eq "$want" ] || fail "$* -> code $rc, wanted $want ($out$err)"
  local text=$out; [ "$stream" = err ] && text=$err
  grep -Eq -- "$re" <<<"$text" || fail "$* -> '$text' lacks /$re/"
  echo "ok: $* -> $rc"
}
check 0 out '^Использование: mirn' --help
check 0 out 'база_данных' -h
check 0 out '^mirn [0-9]+\.[0-9]+\.[0-9]+ \(сборка [0-9]{8}\.[0-9]+\)$' --version
check 0 out '^mirn [0-9.]+ \(сборка' -v
check 2 err 'неизвестный параметр «bogus»' --bogus
check 2 err '^Использование: mirn' --bogus
check 2 err 'лишний аргумент «c»' a b c
