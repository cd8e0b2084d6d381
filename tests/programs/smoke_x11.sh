#!/usr/bin/env bash
# The built client in a real X window: it starts against a copy of the demo
# database, shows the sign-in window, takes an administrator code typed on the
# keyboard and opens the journal. Screenshots land in the build folder.
set -euo pipefail
bin=${1:?client binary}; out=${2:?output folder}
. "$(dirname "$0")/x11_client.sh"
copy_demo_db t_smoke_x11
start_x11
start_client "$bin" t_smoke_x11

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
