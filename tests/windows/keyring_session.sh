#!/bin/sh
# Runs a test inside a session bus of its own with a keyring daemon unlocked on it: the
# desktop's keyring without a desktop, and never the keyring of whoever runs the tests.
# HOME is a temporary folder, so the keyring's files (and whatever else the test writes
# there) go away afterwards. Usage: keyring_session.sh PROGRAM [ARGUMENTS...]
set -eu
home=$(mktemp -d "${TMPDIR:-/tmp}/mirn-keyring.XXXXXX")
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME="$home" XDG_RUNTIME_DIR="$home/run"
unset XDG_DATA_HOME XDG_STATE_HOME DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
# The daemon takes the keyring's password on standard input and leaves the default
# ("login") keyring created and unlocked; it ends with the bus.
dbus-run-session -- sh -c 'printf %s keyring-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null && exec "$@"' \
  keyring_session "$@"
