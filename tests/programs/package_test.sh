#!/usr/bin/env bash
# The Debian package as an administrator gets it: built by scripts/package.sh, its
# control fields and contents checked (lintian where installed), unpacked into a
# throwaway root, and the unpacked client started under Xvfb up to its sign-in
# window, finding the test database through a settings file alone.
set -euo pipefail
src=${1:?source folder}; build=${2:?build folder}
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$(BUILD_DIR="$build" "$src/scripts/package.sh" | tail -n 1)
[ -f "$deb" ] || fail "no package built"
echo "package: $deb"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = mirn ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 libqt6sql6-psql qt6-translations-l10n libxlsxwriter; do
  grep -q "\b$lib" <<<"$depends" || fail "Depends lacks $lib"
done
# Nothing the client does not load: no development packages, no server.
grep -Eq -- '-dev\b|postgresql\b|libreoffice' <<<"$depends" && fail "Depends names more than the run-time: $depends"
grep -q 'libreoffice-calc' <<<"$(field Recommends)" || fail "Recommends: $(field Recommends)"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
echo "$contents"
for f in ./usr/bin/mirn ./usr/share/applications/mirn.desktop ./usr/share/icons/hicolor/scalable/apps/mirn.svg \
         ./etc/xdg/mirn/mirn.conf ./usr/share/man/man1/mirn.1.gz ./usr/share/doc/mirn/copyright; do
  grep -qx -- "$f" <<<"$contents" || fail "package lacks $f"
done
ctl=$(mktemp -d); root=$(mktemp -d)
trap 'rm -rf "$ctl" "$root"; [ -n "${lint:-}" ] && kill "$lint" 2>/dev/null; [ -n "${app:-}" ] && kill "$app" 2>/dev/null; [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null; true' EXIT
dpkg-deb -e "$deb" "$ctl"
grep -qx /etc/xdg/mirn/mirn.conf "$ctl/conffiles" || fail "the system settings file is not a conffile"
# lintian takes seconds: it checks the package while the unpacked client is tried out,
# and its verdict is awaited before the end.
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$ctl/lintian.log" 2>&1 &
  lint=$!
else
  echo "lintian not installed: skipped"
fi
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$src/packaging/mirn.desktop"; fi
grep -q '^Name\[ru\]=' "$src/packaging/mirn.desktop" || fail "no Russian name in the desktop entry"
xmllint --noout "$src/packaging/mirn.svg" 2>/dev/null || python3 -c 'import sys,xml.dom.minidom as m; m.parse(sys.argv[1])' "$src/packaging/mirn.svg"

# Unpacked as dpkg would install it, without touching the system.
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/mirn" --version | grep -Eq '^mirn [0-9.]+ \(сборка [0-9]{8}\.[0-9]+\)$' || fail "--version"
zcat "$root/usr/share/man/man1/mirn.1.gz" | grep -q 'mirn.conf' || fail "man page"
grep -q '^\[connection\]' "$root/etc/xdg/mirn/mirn.conf" || fail "system settings file"
# Every key of the shipped file is commented out: installing it changes nothing.
grep -Ev '^\s*(#|\[|$)' "$root/etc/xdg/mirn/mirn.conf" && fail "the shipped settings set a value"

# The installed client, told where the database is by a user settings file only.
db=t_package
psql -X -q -d postgres -c "drop database if exists $db with (force)" 2>/dev/null
psql -X -q -d postgres -c "create database $db template mirn_demo_tmpl"
home=$root/home; mkdir -p "$home/.config/mirn"
printf '[connection]\nserver=%s\nport=%s\ndatabase=%s\nuser=%s\npassword=%s\n' \
  "$PGHOST" "$PGPORT" "$db" "$PGUSER" "$PGPASSWORD" >"$home/.config/mirn/mirn.conf"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$root/display" 2>"$root/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$root/display" ] && break; sleep 0.1; done
(
  unset PGHOST PGPORT PGUSER PGPASSWORD PGDATABASE
  export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_STATE_HOME=$home/.local/state \
         XDG_CONFIG_DIRS=$root/etc/xdg DISPLAY=":$(cat "$root/display")" QT_QPA_PLATFORM=xcb
  exec "$root/usr/bin/mirn" >"$root/client.log" 2>&1
) &
app=$!
export DISPLAY=":$(cat "$root/display")"
win=""
for _ in $(seq 150); do
  win=$(xdotool search --onlyvisible --name 'Авторизация \(build: [0-9]{8}\.[0-9]+\)' 2>/dev/null | tail -n 1) && [ -n "$win" ] && break
  kill -0 "$app" 2>/dev/null || { cat "$root/client.log" >&2; fail "the installed client ended"; }
  sleep 0.1
done
[ -n "$win" ] || { cat "$root/client.log" >&2; fail "no sign-in window"; }
echo "sign-in window: $(xdotool getwindowname "$win")"
import -window root "$build/package_signin.png" 2>/dev/null || true
kill "$app"; wait "$app" 2>/dev/null || true; app=""
log=$home/.local/state/mirn/mirn.log
[ -f "$log" ] || fail "no support log at $log"
cat "$log"
grep -q 'mirn [0-9.]* (сборка' "$log" || fail "log lacks the start-up line"
grep -q "connected to $PGHOST:$PGPORT/$db" "$log" || fail "log lacks the connection target"
grep -q "$PGPASSWORD" "$log" && fail "the log holds the password"
if [ -n "${lint:-}" ]; then
  wait "$lint" && rc=0 || rc=$?
  lint=""
  cat "$ctl/lintian.log"
  [ "$rc" -eq 0 ] || fail "lintian reports errors"
fi
echo "package ok"
