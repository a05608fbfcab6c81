#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Safe to run again.
set -euo pipefail
PACKAGES=(
    cmake ninja-build g++ pkg-config clang-format ccache
    qt6-base-dev qt6-serialport-dev qt6-multimedia-dev qt6-tools-dev qt6-l10n-tools
    libqt6sql6-sqlite libqt6sql6-odbc libqt6sql6-psql libsodium-dev qt6-translations-l10n
    gstreamer1.0-plugins-good unixodbc libsqliteodbc
    fonts-noto-core fonts-dejavu-core
    xvfb xauth poppler-utils zbar-tools sqlite3 imagemagick
    cups printer-driver-cups-pdf postgresql
)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
