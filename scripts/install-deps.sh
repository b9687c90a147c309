#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Safe to run again: it only touches apt when something is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev libxkbcommon-dev libxcb1-dev
  libsqlite3-dev sqlite3 sqlite3-tools
  mdbtools mdbtools-dev
  liblitehtml-dev libgumbo-dev
  libcrypto++-dev libboost-graph-dev libpcre2-dev
  libgsf-1-dev
  # Only for the tests of the reports: independent readers of the .xls workbooks and a browser
  # for the HTML report (pdftoppm renders LibreOffice's PDF of a sheet).
  python3-xlrd libreoffice-calc-nogui chromium poppler-utils
  xvfb xauth
  perl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

# sudo resets the environment, so the setting that keeps apt from asking questions is passed
# on the command line.
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
