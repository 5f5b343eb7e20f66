#!/usr/bin/env bash
# Installs every Debian package the project needs, only when something is missing.
# Idempotent; must run as root (or with sudo available) on Debian 12.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config ccache clang-format
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-l10n-tools
  libgl1-mesa-dev
  libsqlite3-dev sqlite3
  libphonenumber-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  xvfb xauth imagemagick poppler-utils xdg-utils
  fonts-dejavu-core
  qt6-translations-l10n
  dpkg-dev file help2man lintian desktop-file-utils appstream x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
