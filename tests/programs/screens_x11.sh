#!/usr/bin/env bash
# The window checks of test_screens on a real X server of 1024×768 (Xvfb, no window
# manager), photographing each grid window into the build folder (screens/*.png).
set -euo pipefail
bin=${1:?test_screens binary}; out=${2:?output folder}
tmp=$(mktemp -d)
trap '[ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null; rm -rf "$tmp"' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")" QT_QPA_PLATFORM=xcb MIRN_SHOTS="$out/screens" MIRN_SCREENS_DB=t_screens_x11
rm -rf "$MIRN_SHOTS"
"$bin" windowFits
n=$(ls "$MIRN_SHOTS"/*.png | wc -l)
[ "$n" -eq 8 ] || { echo "expected 8 screenshots, got $n" >&2; exit 1; }
ls -l "$MIRN_SHOTS"
