#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the demo and the tests need.
# Quiet when everything is there already.
set -euo pipefail
PKGS=(build-essential cmake pkg-config ccache dpkg-dev
      qt6-base-dev qt6-base-dev-tools libqt6sql6-psql qt6-translations-l10n libgl-dev
      libxlsxwriter-dev libcsv-dev libspdlog-dev openssl lintian
      qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus-daemon libsecret-tools
      postgresql postgresql-client
      xvfb xauth xdotool imagemagick x11-utils
      poppler-utils libreoffice-calc-nogui
      fonts-dejavu-core locales unzip)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The client runs under a Russian locale (calendars, decimal comma); tests check it too.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
