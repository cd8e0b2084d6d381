#!/usr/bin/env bash
# The Debian package as an administrator gets it: built by scripts/package.sh, its
# control fields and contents checked (lintian where installed), unpacked into a
# throwaway root, and the unpacked client started under Xvfb up to its sign-in
# window, finding the test database through a settings file alone.
set -euo pipefail
src=${1:?source folder}; build=${2:?build folder}
fail() { echo "FAIL: $*" >&2; exit 1; }

progress=$(mktemp)
deb=$(BUILD_DIR="$build" "$src/scripts/package.sh" 2> >(tee "$progress" >&2) | tail -n 1)
[ -f "$deb" ] || fail "no package built"
echo "package: $deb"
# Minutes of building are not silent.
grep -q '^package.sh: .* building mirn and mirn-batch' "$progress" || fail "package.sh says nothing while building"
grep -q '^package.sh: .* making the Debian package' "$progress" || fail "package.sh says nothing while packaging"
rm -f "$progress"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = mirn ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 libqt6sql6-psql qt6-translations-l10n libxlsxwriter \
           libqt6keychain1 libsecret-1-0; do
  grep -q "\b$lib" <<<"$depends" || fail "Depends lacks $lib"
done
# Nothing the client does not load: no development packages, no server.
grep -Eq -- '-dev\b|postgresql\b|libreoffice' <<<"$depends" && fail "Depends names more than the run-time: $depends"
grep -q 'libreoffice-calc' <<<"$(field Recommends)" || fail "Recommends: $(field Recommends)"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
echo "$contents"
for f in ./usr/bin/mirn ./usr/share/applications/mirn.desktop ./usr/share/icons/hicolor/scalable/apps/mirn.svg \
         ./etc/xdg/mirn/mirn.conf ./usr/share/man/man1/mirn.1.gz ./usr/share/doc/mirn/copyright \
         ./usr/bin/mirn-batch ./usr/share/man/man1/mirn-batch.1.gz ./usr/share/mirn/schema.sql ./usr/share/mirn/demo.sql \
         ./usr/share/mirn/extension.sql ./usr/share/mirn/extension_drop.sql ./usr/share/mirn/README.md; do
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
# The file the client writes its window layout to (QSettings "mirn"/"layout", INI).
zcat "$root/usr/share/man/man1/mirn.1.gz" | grep -q 'layout\.ini' || fail "man page does not name layout.ini"
zcat "$root/usr/share/man/man1/mirn.1.gz" | grep -q 'layout\.conf' && fail "man page names layout.conf"
grep -q 'layout\.ini' "$src/README.md" || fail "README does not name layout.ini"
grep -q 'layout\.conf' "$src/README.md" && fail "README names layout.conf"
grep -q 'apt install --no-install-recommends ./mirn_' "$src/README.md" || fail "README: no install line without the recommended packages"
for f in schema.sql demo.sql extension.sql extension_drop.sql roles.sql roles_drop.sql README.md upgrade/extension-1-2.sql upgrade/payroll_export-0-1.sql; do
  cmp -s "$src/db/$f" "$root/usr/share/mirn/$f" || fail "/usr/share/mirn/$f differs from db/$f"
done
man_batch=$(zcat "$root/usr/share/man/man1/mirn-batch.1.gz")
for w in 'import entries' 'rebuild' 'КОДЫ ВОЗВРАТА' 'mirn-batch.log' '/usr/share/mirn/' 'Windows\\-1251'; do
  grep -q -- "$w" <<<"$man_batch" || fail "mirn-batch man page lacks $w"
done
if command -v man >/dev/null; then
  man -l "$root/usr/share/man/man1/mirn-batch.1.gz" 2>&1 >/dev/null | grep -q . && fail "man reports problems in mirn-batch.1"
fi
batch_help=$(XDG_STATE_HOME=$root/state QT_QPA_PLATFORM=offscreen "$root/usr/bin/mirn-batch" --help) || fail "mirn-batch --help"
grep -q '^Вызов: mirn-batch' <<<"$batch_help" || fail "mirn-batch --help: $batch_help"
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

# The installed scripts install the extension; the installed mirn-batch then prints the
# change report (which needs it) from the same database.
psql -X -q -v ON_ERROR_STOP=1 -d $db -f "$root/usr/share/mirn/extension.sql" >/dev/null || fail "installed extension.sql"
HOME=$home XDG_STATE_HOME=$home/.local/state "$root/usr/bin/mirn-batch" report changes --from 01.01.2020 --to 01.01.2040 \
  --pdf "$root/changes.pdf" --db $db --server "$PGHOST" || fail "installed mirn-batch"
[ -s "$root/changes.pdf" ] || fail "installed mirn-batch wrote no change report"
psql -X -q -v ON_ERROR_STOP=1 -d $db -f "$root/usr/share/mirn/extension_drop.sql" >/dev/null || fail "installed extension_drop.sql"
if [ -n "${lint:-}" ]; then
  wait "$lint" && rc=0 || rc=$?
  lint=""
  cat "$ctl/lintian.log"
  [ "$rc" -eq 0 ] || fail "lintian reports errors"
fi
echo "package ok"
