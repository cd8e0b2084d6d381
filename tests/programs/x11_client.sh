# Sourced by the scripts that drive the built client in a real X window (Xvfb):
#   copy_demo_db NAME        a fresh copy of the demo template on the test server
#   start_x11                Xvfb on a free display; DISPLAY set; stopped on exit
#   start_client BIN DB      the client on that display (pid in $app, log in $tmp/client.log)
#   wait_window REGEX        the id of the newest visible window whose name matches
tmp=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

copy_demo_db() {
  psql -X -q -d postgres -c "drop database if exists $1 with (force)" 2>/dev/null
  psql -X -q -d postgres -c "create database $1 template mirn_demo_tmpl"
}

start_x11() {
  # -noreset: the server must survive a client disconnecting between runs.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$tmp/display" 2>"$tmp/xvfb.log" &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$tmp/display")" QT_QPA_PLATFORM=xcb
  unset QT_QPA_PLATFORM_PLUGIN_PATH
}

start_client() {
  "$1" "$2" "$PGHOST" >"$tmp/client.log" 2>&1 &
  app=$!
}

wait_window() {
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1) && [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$app" 2>/dev/null || { echo "client ended early:" >&2; cat "$tmp/client.log" >&2; return 1; }
    sleep 0.1
  done
  echo "no window matching '$1'" >&2; return 1
}
