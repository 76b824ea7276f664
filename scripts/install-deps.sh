#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Corvane need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
  qt6-translations-l10n qt6-l10n-tools
  libqt6sql6-sqlite libqt6svg6
  qt6-charts-dev qt6-pdf-dev libqt6opengl6-dev
  fonts-liberation ccache
  libquazip1-qt6-dev zlib1g-dev libsodium-dev libsqlite3-dev sqlite3
  fonts-arphic-uming
  xvfb xauth imagemagick poppler-utils
  zip unzip p7zip-full python3
  clang libclang-rt-14-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
