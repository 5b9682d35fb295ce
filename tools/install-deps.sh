#!/usr/bin/env bash
# Installs what the navigator and its tests need from Debian's packages.
# Only the missing ones: a machine that has them all starts without network
# and without root (the package lists are updated only when something is
# to be installed).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  g++ cmake make pkg-config
  libsdl1.2-dev libfreetype-dev zlib1g-dev libboost-dev libboost-graph-dev librapidxml-dev
  libcurl4-openssl-dev fonts-dejavu-core libsqlite3-dev libcairo2-dev libosmium2-dev libprotozero-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev xvfb xauth x11-apps imagemagick socat libxml2-utils zip python3 xdotool xclip xsel
  clang libclang-rt-14-dev
  espeak-ng sox ccache faketime
)
missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages are installed"
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
