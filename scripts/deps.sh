#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the demo and the tests need.
# Quiet when everything is there already.
set -euo pipefail
PKGS=(build-essential cmake pkg-config
      qt6-base-dev qt6-base-dev-tools libqt6sql6-psql qt6-translations-l10n libgl-dev
      libxlsxwriter-dev
      postgresql postgresql-client
      xvfb xauth xdotool imagemagick x11-utils
      poppler-utils libreoffice-calc-nogui
      fonts-dejavu-core locales unzip)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
