#!/usr/bin/env bash
# The built client in a real X window: it starts against a copy of the demo
# database, shows the sign-in window, takes an administrator code typed on the
# keyboard and opens the journal. Screenshots land in the build folder.
set -euo pipefail
bin=${1:?client binary}; out=${2:?output folder}
db=t_smoke_x11
psql -X -q -d postgres -c "drop database if exists $db with (force)" 2>/dev/null
psql -X -q -d postgres -c "create database $db template mirn_demo_tmpl"

tmp=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")" QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORM_PLUGIN_PATH

"$bin" "$db" "$PGHOST" >"$tmp/client.log" 2>&1 &
app=$!

wait_window() {  # name regex -> window id
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$app" 2>/dev/null || { echo "client ended early:" >&2; cat "$tmp/client.log" >&2; return 1; }
    sleep 0.1
  done
  echo "no window matching '$1'" >&2; return 1
}

signin=$(wait_window 'Авторизация \(build: [0-9]{8}\.[0-9]+\)')
xdotool getwindowname "$signin"
sleep 0.3
import -window root "$out/smoke_signin.png"
xdotool windowfocus --sync "$signin"
xdotool type --delay 40 '9471'
xdotool key Return
journal=$(wait_window '^Табель$')
sleep 1
import -window root "$out/smoke_journal.png"
echo "journal window $journal shown; screenshots in $out"
kill -0 "$app"
